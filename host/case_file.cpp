// Case files: TOML for the case, CSV for tag tables. Every problem names the
// file and line; paths inside a case are relative to the case file.
#include "case_file.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <set>

#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

#include "csv_table.h"

namespace host {
namespace {

namespace fs = std::filesystem;

class CaseReader {
 public:
  CaseReader(std::string path, Case& loaded) : path_(std::move(path)), case_(loaded) {}

  bool Read(std::string& error) {
    toml::parse_result parsed = toml::parse_file(path_);
    if (!parsed) {
      const toml::parse_error& problem = parsed.error();
      error = path_ + ":" + std::to_string(problem.source().begin.line) + ": " + std::string(problem.description());
      return false;
    }
    const bool read = Root(parsed.table());
    error = error_;
    return read && error_.empty();
  }

 private:
  bool Fail(const toml::node& node, const std::string& what) {
    if (error_.empty()) {
      error_ = path_ + ":" + std::to_string(node.source().begin.line) + ": " + what;
    }
    return false;
  }
  bool FailAt(int line, const std::string& what) {
    if (error_.empty()) {
      error_ = path_ + ":" + std::to_string(line) + ": " + what;
    }
    return false;
  }

  bool OnlyKeys(const toml::table& table, std::initializer_list<const char*> allowed, const char* where) {
    const std::set<std::string> known(allowed.begin(), allowed.end());
    for (const auto& entry : table) {
      if (known.count(std::string(entry.first.str())) == 0) {
        return Fail(entry.second, "unknown key '" + std::string(entry.first.str()) + "' in " + where);
      }
    }
    return true;
  }

  bool Number(const toml::table& table, const char* key, double& out, bool required, const char* where) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
      return !required || FailAt(table.source().begin.line, std::string("missing '") + key + "' in " + where);
    }
    if (const auto value = node->value<double>(); value && std::isfinite(*value)) {
      out = *value;
      return true;
    }
    return Fail(*node, std::string("'") + key + "' must be a number");
  }

  bool Integer(const toml::table& table, const char* key, int64_t& out, bool required, const char* where) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
      return !required || FailAt(table.source().begin.line, std::string("missing '") + key + "' in " + where);
    }
    if (!node->is_integer()) {
      return Fail(*node, std::string("'") + key + "' must be a whole number");
    }
    out = *node->value<int64_t>();
    return true;
  }

  bool Text(const toml::table& table, const char* key, std::string& out, bool required, const char* where) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
      return !required || FailAt(table.source().begin.line, std::string("missing '") + key + "' in " + where);
    }
    if (!node->is_string()) {
      return Fail(*node, std::string("'") + key + "' must be a text in quotes");
    }
    out = *node->value<std::string>();
    return true;
  }

  // A path in the case, relative to the case file's folder. The folder keeps
  // the case path's own spelling and separator, so that messages name files
  // as the user wrote them (a Unix path given under wine stays one).
  std::string Resolve(const std::string& relative) const {
    const fs::path p(relative);
    if (p.is_absolute() || p.has_root_directory()) {
      return relative;
    }
#if defined(_WIN32)
    const size_t slash = path_.find_last_of("/\\");
#else
    const size_t slash = path_.find_last_of('/');
#endif
    return slash == std::string::npos ? relative : path_.substr(0, slash + 1) + relative;
  }

  bool Root(const toml::table& root) {
    if (!OnlyKeys(root, {"case", "model", "controller", "pv", "pv_import", "event"}, "the case file")) {
      return false;
    }
    const toml::table* general = root["case"].as_table();
    if (general == nullptr) {
      return FailAt(1, "missing the [case] table");
    }
    return General(*general) && Model(root) && InlineRows(root) && Events(root);
  }

  bool General(const toml::table& table) {
    if (!OnlyKeys(table, {"name", "init_cycle", "steps", "step_seconds", "database", "controllers", "pv",
                          "pv_import", "plot"},
                  "[case]")) {
      return false;
    }
    std::string initCycle = "Perform";
    int64_t steps = case_.steps;
    if (!Text(table, "name", case_.name, false, "[case]") || !Text(table, "init_cycle", initCycle, false, "[case]") ||
        !Integer(table, "steps", steps, false, "[case]") ||
        !Number(table, "step_seconds", case_.stepSeconds, false, "[case]")) {
      return false;
    }
    if (initCycle != "Perform" && initCycle != "Skip") {
      return Fail(*table.get("init_cycle"), "init_cycle must be \"Perform\" or \"Skip\", not \"" + initCycle + "\"");
    }
    case_.initCycle = initCycle == "Skip" ? 1 : 0;
    if (steps < 0 || steps > 100000000) {
      return Fail(*table.get("steps"), "steps must be between 0 and 100000000");
    }
    case_.steps = static_cast<int>(steps);
    if (case_.stepSeconds <= 0.0) {
      return Fail(*table.get("step_seconds"), "step_seconds must be above 0");
    }
    if (const toml::node* plot = table.get("plot")) {
      const toml::array* panels = plot->as_array();
      if (panels == nullptr) {
        return Fail(*plot, "plot must be a list of texts, such as [\"level+LIC101.tv1\", \"valve\"]");
      }
      for (const toml::node& panel : *panels) {
        if (!panel.is_string()) {
          return Fail(panel, "each entry of plot must be a text");
        }
        case_.plot.push_back(*panel.value<std::string>());
      }
    }
    std::string database;
    if (!Text(table, "database", database, true, "[case]")) {
      return false;
    }
    case_.database = Resolve(database);
    for (const char* key : {"controllers", "pv", "pv_import"}) {
      std::string file;
      if (!Text(table, key, file, false, "[case]")) {
        return false;
      }
      if (!file.empty() && !CsvRows(key, Resolve(file))) {
        return false;
      }
    }
    return true;
  }

  bool Model(const toml::table& root) {
    const toml::node* node = root.get("model");
    if (node == nullptr) {
      return true;
    }
    const toml::table* table = node->as_table();
    if (table == nullptr) {
      return Fail(*node, "[model] must be a table");
    }
    if (!Text(*table, "type", case_.model.type, true, "[model]")) {
      return false;
    }
    if (case_.model.type != "none" && case_.model.type != "tank") {
      return Fail(*table->get("type"), "unknown model type \"" + case_.model.type + "\" (none or tank)");
    }
    for (const auto& entry : *table) {
      const std::string key(entry.first.str());
      if (key == "type") {
        continue;
      }
      double value = 0.0;
      if (!Number(*table, key.c_str(), value, true, "[model]")) {
        return false;
      }
      case_.model.parameters[key] = value;
    }
    return true;
  }

  // Inline rows: [[controller]], [[pv]], [[pv_import]].
  bool InlineRows(const toml::table& root) {
    for (const char* key : {"controller", "pv", "pv_import"}) {
      const toml::node* node = root.get(key);
      if (node == nullptr) {
        continue;
      }
      const toml::array* rows = node->as_array();
      if (rows == nullptr) {
        return Fail(*node, std::string("[[") + key + "]] must be an array of tables");
      }
      for (const toml::node& element : *rows) {
        const toml::table* row = element.as_table();
        if (row == nullptr) {
          return Fail(element, std::string("each ") + key + " must be a table");
        }
        if (!InlineRow(key, *row)) {
          return false;
        }
      }
    }
    return true;
  }

  bool InlineRow(const std::string& kind, const toml::table& row) {
    const int line = static_cast<int>(row.source().begin.line);
    const Origin origin{path_, line};
    const char* where = kind == "controller" ? "a controller row" : (kind == "pv" ? "a PV row" : "a PV-import row");
    std::string node, tag, field;
    int64_t active = 1;
    if (!Text(row, "node", node, true, where) || !Text(row, "tag", tag, true, where) ||
        !Text(row, "field", field, true, where) || !Integer(row, "active", active, false, where)) {
      return false;
    }
    if (active < INT16_MIN || active > INT16_MAX) {
      return Fail(*row.get("active"), "active must fit 16 bits");
    }
    if (kind == "controller") {
      CaseCtrlRow c{node, tag, field, static_cast<int16_t>(active), 1.0, 0.0, 0.0, "", origin};
      return OnlyKeys(row, {"node", "tag", "field", "active", "mode", "output", "tv1", "drives"}, where) &&
             Number(row, "mode", c.mode, false, where) && Number(row, "output", c.output, false, where) &&
             Number(row, "tv1", c.tv1, false, where) && Text(row, "drives", c.drives, false, where) &&
             Keep(case_.controllers, c);
    }
    CasePVRow p{node, tag, field, static_cast<int16_t>(active), 0.0, "", origin};
    if (kind == "pv") {
      return OnlyKeys(row, {"node", "tag", "field", "active", "value", "from"}, where) &&
             Number(row, "value", p.value, false, where) && Text(row, "from", p.from, false, where) &&
             Keep(case_.pv, p);
    }
    return OnlyKeys(row, {"node", "tag", "field", "active", "value"}, where) &&
           Number(row, "value", p.value, false, where) && Keep(case_.pvImport, p);
  }

  template <typename T>
  static bool Keep(std::vector<T>& rows, const T& row) {
    rows.push_back(row);
    return true;
  }

  bool Events(const toml::table& root) {
    const toml::node* node = root.get("event");
    if (node == nullptr) {
      return true;
    }
    const toml::array* events = node->as_array();
    if (events == nullptr) {
      return Fail(*node, "[[event]] must be an array of tables");
    }
    for (const toml::node& element : *events) {
      const toml::table* table = element.as_table();
      if (table == nullptr) {
        return Fail(element, "each event must be a table");
      }
      CaseEvent event;
      event.origin = Origin{path_, static_cast<int>(table->source().begin.line)};
      int64_t step = 0;
      std::string point;
      if (!OnlyKeys(*table, {"step", "point", "value", "text"}, "an event") ||
          !Integer(*table, "step", step, true, "an event") || !Text(*table, "point", point, true, "an event")) {
        return false;
      }
      if (step < 0 || step > case_.steps) {
        return Fail(*table->get("step"), "event step " + std::to_string(step) + " lies outside the run of " +
                                             std::to_string(case_.steps) + " steps");
      }
      event.step = static_cast<int>(step);
      if (!ParsePointName(point, event.node, event.tag, event.field)) {
        return Fail(*table->get("point"), "point must read NODE:TAG.FIELD, not \"" + point + "\"");
      }
      const bool hasValue = table->get("value") != nullptr;
      const bool hasText = table->get("text") != nullptr;
      if (hasValue == hasText) {
        return FailAt(event.origin.line, "an event sets either a value or a text");
      }
      event.isText = hasText;
      if (!(hasText ? Text(*table, "text", event.text, true, "an event")
                    : Number(*table, "value", event.value, true, "an event"))) {
        return false;
      }
      case_.events.push_back(event);
    }
    return true;
  }

  // Rows from a CSV table: NODE,TAG,FIELD,Active and the row's values.
  bool CsvRows(const std::string& kind, const std::string& file) {
    CsvTable table;
    std::string problem;
    if (!ReadCsv(file, table, problem)) {
      error_ = problem;
      return false;
    }
    const std::vector<std::string> expected =
        kind == "controllers" ? std::vector<std::string>{"NODE", "TAG", "FIELD", "Active", "Mode", "Output", "TV1"}
        : kind == "pv"        ? std::vector<std::string>{"NODE", "TAG", "FIELD", "Active", "Value"}
                              : std::vector<std::string>{"NODE", "TAG", "FIELD", "Active", "Value"};
    const std::string optional = kind == "controllers" ? "Drives" : (kind == "pv" ? "From" : "");
    const size_t width = table.header.size();
    const bool headerOk = (width == expected.size() || (width == expected.size() + 1 && !optional.empty() &&
                                                         table.header.back() == optional)) &&
                          std::equal(expected.begin(), expected.end(), table.header.begin());
    if (!headerOk) {
      std::string names;
      for (const std::string& name : expected) {
        names += (names.empty() ? "" : ",") + name;
      }
      error_ = file + ":1: the header must read " + names + (optional.empty() ? "" : "[," + optional + "]");
      return false;
    }
    for (const CsvRow& row : table.rows) {
      if (!CsvRow_(kind, file, row, width)) {
        return false;
      }
    }
    return true;
  }

  bool CsvNumber(const std::string& file, const CsvRow& row, size_t column, const std::string& name, double& out) {
    const std::string& text = column < row.cells.size() ? row.cells[column] : std::string();
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    if (text.empty() || end == nullptr || *end != '\0' || !std::isfinite(out)) {
      error_ = file + ":" + std::to_string(row.line) + ": " + name + " must be a number, not '" + text + "'";
      return false;
    }
    return true;
  }

  bool CsvRow_(const std::string& kind, const std::string& file, const CsvRow& row, size_t width) {
    std::vector<std::string> cells = row.cells;
    cells.resize(width);
    double active = 0.0;
    if (!CsvNumber(file, row, 3, "Active", active)) {
      return false;
    }
    if (active != std::floor(active) || active < INT16_MIN || active > INT16_MAX) {
      error_ = file + ":" + std::to_string(row.line) + ": Active must be a whole number that fits 16 bits";
      return false;
    }
    const Origin origin{file, row.line};
    const auto activeFlag = static_cast<int16_t>(active);
    if (kind == "controllers") {
      CaseCtrlRow c{cells[0], cells[1], cells[2], activeFlag, 0.0, 0.0, 0.0, width > 7 ? cells[7] : "", origin};
      if (!CsvNumber(file, row, 4, "Mode", c.mode) || !CsvNumber(file, row, 5, "Output", c.output) ||
          !CsvNumber(file, row, 6, "TV1", c.tv1)) {
        return false;
      }
      case_.controllers.push_back(c);
      return true;
    }
    CasePVRow p{cells[0], cells[1], cells[2], activeFlag, 0.0, width > 5 ? cells[5] : "", origin};
    if (!CsvNumber(file, row, 4, "Value", p.value)) {
      return false;
    }
    (kind == "pv" ? case_.pv : case_.pvImport).push_back(p);
    return true;
  }

  std::string path_;
  Case& case_;
  std::string error_;
};

}  // namespace

bool ParsePointName(const std::string& text, std::string& node, std::string& tag, std::string& field) {
  const size_t colon = text.find(':');
  const size_t dot = text.find('.', colon == std::string::npos ? 0 : colon);
  if (colon == std::string::npos || dot == std::string::npos || colon == 0 || dot == colon + 1 ||
      dot + 1 == text.size()) {
    return false;
  }
  node = text.substr(0, colon);
  tag = text.substr(colon + 1, dot - colon - 1);
  field = text.substr(dot + 1);
  return true;
}

bool LoadCase(const std::string& path, Case& loaded, std::string& error) {
  loaded = Case();
  loaded.path = path;
  if (!fs::exists(path)) {
    error = path + ": no such case file";
    return false;
  }
  CaseReader reader(path, loaded);
  return reader.Read(error);
}

}  // namespace host
