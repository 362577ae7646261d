// A TOML file read whole and parsed: the case and saved states share it. The
// file is read through the narrow file functions, as every file of dcshost is
// (on Windows they take the name in the system's code page). It never throws.
#pragma once

#include <string>

#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

namespace host {

// False with "PATH: cannot read WHAT" or "PATH:LINE: what the parser says".
bool ParseTomlFile(const std::string& path, const std::string& what, toml::table& table, std::string& error);
// The same for a text held in memory, its messages naming `path`.
bool ParseTomlText(const std::string& path, const std::string& text, toml::table& table, std::string& error);

}  // namespace host
