// The typed values of a case file, shared by the readers of its sections:
// numbers, whole numbers, texts, lists of texts, the keys a table may hold and
// paths relative to the case file. Every problem is kept as "file:line: what",
// the first one only. It knows no section of the case and never throws.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

#include "case/case.h"

namespace host {

// A file a case or model file names, beside that file unless it is absolute
// or begins at a root ("/data/x.csv", "C:\\x.csv").
std::string ResolveBeside(const std::string& file, const std::string& relative);

// One case file being read: its path, the Case its sections fill and the
// first problem found. Every Fail returns false, so a reader can return it.
class CaseValues {
 public:
  CaseValues(std::string path, Case& loaded) : path_(std::move(path)), case_(loaded) {}

  const std::string& path() const { return path_; }
  Case& loaded() { return case_; }
  // The first problem found, empty while there is none.
  const std::string& error() const { return error_; }

  // At the node's line of the case file.
  bool Fail(const toml::node& node, const std::string& what);
  // At a line of the case file.
  bool FailAt(int line, const std::string& what);
  // At a line of another file the case names, such as a CSV table.
  bool FailIn(const std::string& file, int line, const std::string& what);
  // A message that names its file itself.
  bool FailWith(const std::string& message);

  // Where a table of the case file begins, for the messages of a later check.
  Origin OriginOf(const toml::node& node) const;

  // Refuses the first key of the table that is not allowed, naming `where` ("[case]").
  bool OnlyKeys(const toml::table& table, std::initializer_list<const char*> allowed, const char* where);
  bool OnlyKeys(const toml::table& table, const std::vector<const char*>& allowed, const char* where);

  // A key's value into out; a key left out is refused when required and
  // leaves out as it was otherwise. A number is finite; a whole number is
  // written without a point.
  bool Number(const toml::table& table, const char* key, double& out, bool required, const char* where);
  bool WholeNumber(const toml::table& table, const char* key, int64_t& out, bool required, const char* where);
  bool Text(const toml::table& table, const char* key, std::string& out, bool required, const char* where);
  // A list of texts, such as plot = ["a", "b"], appended to out.
  bool TextList(const toml::node& node, std::vector<std::string>& out, const char* notList, const char* notText);

  // A path in the case, relative to the case file's folder.
  std::string Resolve(const std::string& relative) const;

 private:
  std::string path_;
  Case& case_;
  std::string error_;
};

// What a value sent to FIX must fit, in a message.
std::string BeyondFloat(const std::string& name, double value);

}  // namespace host
