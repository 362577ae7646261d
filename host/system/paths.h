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

// A name as one line and one field of a list file (failed.txt, cases.tsv):
// each byte below the space, DEL and '%' written as %XX (a line break %0A, a
// tab %09), so that any file name survives the list; and back, false for a
// '%' that two hexadecimal digits do not follow.
std::string NameAsLine(const std::string& name);
// A byte as "%XX" (capital hexadecimal digits), appended to out.
void AppendPercentEncoded(std::string& out, unsigned char byte);
bool NameFromLine(const std::string& line, std::string& name);

}  // namespace host
