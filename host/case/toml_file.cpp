// TOML files read whole, their parse errors given as "file:line: what"; and
// the one file that compiles the TOML library's own functions.
#define TOML_IMPLEMENTATION
#include "case/toml_file.h"

#include <fstream>
#include <sstream>

namespace host {

bool ParseTomlFile(const std::string& path, const std::string& what, toml::table& table, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = path + ": cannot read " + what;
    return false;
  }
  std::ostringstream text;
  text << file.rdbuf();
  return ParseTomlText(path, text.str(), table, error);
}

bool ParseTomlText(const std::string& path, const std::string& text, toml::table& table, std::string& error) {
  toml::parse_result parsed = toml::parse(text, path);
  if (!parsed) {
    const toml::parse_error& problem = parsed.error();
    error = path + ":" + std::to_string(problem.source().begin.line) + ": " + std::string(problem.description());
    return false;
  }
  table = std::move(parsed.table());
  return true;
}

}  // namespace host
