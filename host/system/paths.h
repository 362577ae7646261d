// File names as dcshost's narrow strings hold them, and as std::filesystem
// holds them. On Windows a narrow name is in the system's code page (what
// main's arguments and the narrow file functions use), while the standard
// library converts narrow paths as UTF-8: these two functions convert through
// the wide name instead, so a name beyond ASCII keeps its letters. Elsewhere
// both are plain conversions.
#pragma once

#include <filesystem>
#include <string>

namespace host {

std::filesystem::path PathOf(const std::string& name);
// The name with '/' as separator, as a user writes it on every platform.
std::string GenericName(const std::filesystem::path& path);

}  // namespace host
