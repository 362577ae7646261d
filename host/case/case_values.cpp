// The typed values of a case file and the "file:line: what" of its problems.
// Nothing here knows a section of the case; the section readers say which
// keys they take and what their values mean.
#include "case/case_values.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>

namespace host {

bool CaseValues::Fail(const toml::node& node, const std::string& what) {
  if (error_.empty()) {
    error_ = path_ + ":" + std::to_string(node.source().begin.line) + ": " + what;
  }
  return false;
}

bool CaseValues::FailAt(int line, const std::string& what) { return FailIn(path_, line, what); }

bool CaseValues::FailIn(const std::string& file, int line, const std::string& what) {
  return FailWith(file + ":" + std::to_string(line) + ": " + what);
}

bool CaseValues::FailWith(const std::string& message) {
  if (error_.empty()) {
    error_ = message;
  }
  return false;
}

Origin CaseValues::OriginOf(const toml::node& node) const {
  return Origin{path_, static_cast<int>(node.source().begin.line)};
}

bool CaseValues::OnlyKeys(const toml::table& table, std::initializer_list<const char*> allowed, const char* where) {
  return OnlyKeys(table, std::vector<const char*>(allowed), where);
}

bool CaseValues::OnlyKeys(const toml::table& table, const std::vector<const char*>& allowed, const char* where) {
  const std::set<std::string> known(allowed.begin(), allowed.end());
  for (const auto& entry : table) {
    if (known.count(std::string(entry.first.str())) == 0) {
      std::string keys;
      for (const char* key : allowed) {
        keys += (keys.empty() ? "" : ", ") + std::string(key);
      }
      return Fail(entry.second,
                  "unknown key '" + std::string(entry.first.str()) + "' in " + where + " (its keys: " + keys + ")");
    }
  }
  return true;
}

bool CaseValues::Number(const toml::table& table, const char* key, double& out, bool required, const char* where) {
  const toml::node* node = table.get(key);
  if (node == nullptr) {
    return !required ||
           FailAt(static_cast<int>(table.source().begin.line), std::string("missing '") + key + "' in " + where);
  }
  if (const auto value = node->value<double>(); value && std::isfinite(*value)) {
    out = *value;
    return true;
  }
  return Fail(*node, std::string("'") + key + "' must be a number");
}

bool CaseValues::WholeNumber(const toml::table& table, const char* key, int64_t& out, bool required,
                             const char* where) {
  const toml::node* node = table.get(key);
  if (node == nullptr) {
    return !required ||
           FailAt(static_cast<int>(table.source().begin.line), std::string("missing '") + key + "' in " + where);
  }
  if (!node->is_integer()) {
    return Fail(*node, std::string("'") + key + "' must be a whole number");
  }
  out = *node->value<int64_t>();
  return true;
}

bool CaseValues::Text(const toml::table& table, const char* key, std::string& out, bool required, const char* where) {
  const toml::node* node = table.get(key);
  if (node == nullptr) {
    return !required ||
           FailAt(static_cast<int>(table.source().begin.line), std::string("missing '") + key + "' in " + where);
  }
  if (!node->is_string()) {
    return Fail(*node, std::string("'") + key + "' must be a text in quotes");
  }
  out = *node->value<std::string>();
  if (HasControlCharacter(out)) {
    return Fail(*node, std::string("'") + key +
                           "' holds a control character (below the space, such as a NUL): "
                           "the texts of a case hold none");
  }
  return true;
}

bool CaseValues::TextList(const toml::node& node, std::vector<std::string>& out, const char* notList,
                          const char* notText) {
  const toml::array* entries = node.as_array();
  if (entries == nullptr) {
    return Fail(node, notList);
  }
  for (const toml::node& entry : *entries) {
    if (!entry.is_string()) {
      return Fail(entry, notText);
    }
    out.push_back(*entry.value<std::string>());
    if (HasControlCharacter(out.back())) {
      return Fail(entry, "a text of the list holds a control character (below the space, such as a NUL)");
    }
  }
  return true;
}

// The folder keeps the file's own spelling and separator, so that messages
// name files as the user wrote them (a Unix path given under wine stays one).
std::string ResolveBeside(const std::string& file, const std::string& relative) {
  const std::filesystem::path p(relative);
  if (p.is_absolute() || p.has_root_directory()) {
    return relative;
  }
#if defined(_WIN32)
  const size_t slash = file.find_last_of("/\\");
#else
  const size_t slash = file.find_last_of('/');
#endif
  return slash == std::string::npos ? relative : file.substr(0, slash + 1) + relative;
}

std::string CaseValues::Resolve(const std::string& relative) const { return ResolveBeside(path_, relative); }

std::string BeyondFloat(const std::string& name, double value) {
  char text[96];
  (void)std::snprintf(text, sizeof text, " %g is beyond what FIX can hold (a float, at most %.2g)", value,
                      static_cast<double>(FLT_MAX));
  return name + text;
}

}  // namespace host
