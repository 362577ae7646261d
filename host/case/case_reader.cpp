// Case files: TOML for the case, CSV for tag tables. Every problem names the
// file and line; paths inside a case are relative to the case file.
#include "case/case.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <set>

#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

#include "case/csv_table.h"

namespace host {

const std::vector<TableDescriptor>& TableDescriptors() {
  static const std::vector<TableDescriptor> tables = {
      {TableKind::Ctrl, "controller", "controllers", "controller", {"mode", "output", "tv1"},
       {"Mode", "Output", "TV1"}, {1.0, 0.0, 0.0}, "drives", "Drives"},
      {TableKind::PV, "pv", "pv", "PV", {"value"}, {"Value"}, {0.0}, "from", "From"},
      {TableKind::PVImport, "pv_import", "pv_import", "PV-import", {"value"}, {"Value"}, {0.0}, nullptr, nullptr},
  };
  return tables;
}

namespace {

namespace fs = std::filesystem;

// One row as read, before it is stored into its table.
struct RowCells {
  std::string node, tag, field;
  int16_t active = 1;
  std::vector<double> values;
  std::string link;
  Origin origin;
};

// What a value sent to FIX must fit, in a message.
std::string BeyondFloat(const std::string& name, double value) {
  char text[96];
  std::snprintf(text, sizeof text, " %g is beyond what FIX can hold (a float, at most %.2g)", value,
                static_cast<double>(FLT_MAX));
  return name + text;
}

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
    return OnlyKeys(table, std::vector<const char*>(allowed), where);
  }
  bool OnlyKeys(const toml::table& table, const std::vector<const char*>& allowed, const char* where) {
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
    if (!OnlyKeys(root, {"case", "model", "controller", "pv", "pv_import", "event", "expect", "malfunction"},
                  "the case file")) {
      return false;
    }
    const toml::table* general = root["case"].as_table();
    if (general == nullptr) {
      return FailAt(1, "missing the [case] table");
    }
    return General(*general) && Model(root) && InlineRows(root) &&
           Tables(root, "event", [this](const toml::table& t) { return Event(t); }) &&
           Tables(root, "expect", [this](const toml::table& t) { return Expectation(t); }) &&
           Tables(root, "malfunction", [this](const toml::table& t) { return Malfunction(t); });
  }

  bool General(const toml::table& table) {
    if (!OnlyKeys(table, {"name", "init_cycle", "steps", "step_seconds", "database", "controllers", "pv",
                          "pv_import", "plot", "initial_state"},
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
    if (steps < 0 || steps > MaxSteps) {
      return Fail(*table.get("steps"), "steps must be between 0 and " + std::to_string(MaxSteps));
    }
    case_.steps = static_cast<int>(steps);
    if (case_.stepSeconds <= 0.0) {
      return Fail(*table.get("step_seconds"), "step_seconds must be above 0");
    }
    if (const toml::node* plot = table.get("plot");
        plot != nullptr && !TextList(*plot, case_.plot,
                                     "plot must be a list of texts, such as [\"level+LIC101.tv1\", \"valve\"]",
                                     "each entry of plot must be a text")) {
      return false;
    }
    std::string state;
    if (!Text(table, "initial_state", state, false, "[case]")) {
      return false;
    }
    case_.initialState = state.empty() ? std::string() : Resolve(state);
    // The simulated database's file; a real FIX has its own database.
    std::string database;
    if (!Text(table, "database", database, false, "[case]")) {
      return false;
    }
    if (!database.empty()) {
      case_.database = Resolve(database);
      if (!UsableFile(case_.database, "database file")) {
        return false;
      }
    }
    for (const TableDescriptor& kind : TableDescriptors()) {
      std::string file;
      if (!Text(table, kind.fileKey, file, false, "[case]")) {
        return false;
      }
      if (!file.empty() && !CsvRows(kind, Resolve(file))) {
        return false;
      }
    }
    return true;
  }

  // A file the case names must be a file with something in it.
  bool UsableFile(const std::string& file, const std::string& what) {
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    const auto size = fs::is_regular_file(status) ? fs::file_size(file, ec) : 0;
    if (ec || !fs::exists(status)) {
      error_ = file + ": cannot open the " + what;
    } else if (fs::is_directory(status)) {
      error_ = file + ": is a folder, not a " + what;
    } else if (size == 0) {
      error_ = file + ": the " + what + " is empty";
    }
    return error_.empty();
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

  // Rows written in the case: [[controller]], [[pv]], [[pv_import]].
  bool InlineRows(const toml::table& root) {
    for (const TableDescriptor& kind : TableDescriptors()) {
      if (!Tables(root, kind.rowsKey, [this, &kind](const toml::table& row) { return InlineRow(kind, row); })) {
        return false;
      }
    }
    return true;
  }

  bool InlineRow(const TableDescriptor& kind, const toml::table& row) {
    const std::string where = std::string("a ") + kind.label + " row";
    std::vector<const char*> keys = {"node", "tag", "field", "active"};
    keys.insert(keys.end(), kind.valueKeys.begin(), kind.valueKeys.end());
    if (kind.linkKey != nullptr) {
      keys.push_back(kind.linkKey);
    }
    RowCells cells;
    cells.origin = Origin{path_, static_cast<int>(row.source().begin.line)};
    int64_t active = 1;
    if (!Text(row, "node", cells.node, true, where.c_str()) || !Text(row, "tag", cells.tag, true, where.c_str()) ||
        !Text(row, "field", cells.field, true, where.c_str()) ||
        !Integer(row, "active", active, false, where.c_str())) {
      return false;
    }
    if (active < INT16_MIN || active > INT16_MAX) {
      return Fail(*row.get("active"), "active must fit 16 bits");
    }
    cells.active = static_cast<int16_t>(active);
    if (!OnlyKeys(row, keys, where.c_str())) {
      return false;
    }
    cells.values = kind.valueDefaults;
    for (size_t k = 0; k < kind.valueKeys.size(); ++k) {
      if (!Number(row, kind.valueKeys[k], cells.values[k], false, where.c_str())) {
        return false;
      }
    }
    if (kind.linkKey != nullptr && !Text(row, kind.linkKey, cells.link, false, where.c_str())) {
      return false;
    }
    const std::string beyond = ValueBeyondFloat(kind, cells);
    if (!beyond.empty()) {
      return FailAt(cells.origin.line, beyond);
    }
    Store(kind, cells);
    return true;
  }

  // The first value of a row that FIX could not hold, as a message; empty when all fit.
  static std::string ValueBeyondFloat(const TableDescriptor& kind, const RowCells& cells) {
    for (size_t k = 0; k < cells.values.size(); ++k) {
      // A controller's output travels in percent; its mode is never sent.
      const std::string key = kind.valueKeys[k];
      if (kind.kind == TableKind::Ctrl && key == "mode") {
        continue;
      }
      const double sent = kind.kind == TableKind::Ctrl && key == "output" ? cells.values[k] * 100.0 : cells.values[k];
      if (!FitsFixFloat(sent)) {
        return BeyondFloat(key, cells.values[k]);
      }
    }
    return std::string();
  }

  void Store(const TableDescriptor& kind, const RowCells& r) {
    switch (kind.kind) {
      case TableKind::Ctrl:
        case_.controllers.push_back(
            CaseCtrlRow{r.node, r.tag, r.field, r.active, r.values[0], r.values[1], r.values[2], r.link, r.origin});
        break;
      case TableKind::PV:
        case_.pv.push_back(CasePVRow{r.node, r.tag, r.field, r.active, r.values[0], r.link, r.origin});
        break;
      case TableKind::PVImport:
        case_.pvImport.push_back(CasePVRow{r.node, r.tag, r.field, r.active, r.values[0], "", r.origin});
        break;
    }
  }

  static std::string PointName(const CaseEvent& event) { return event.node + ":" + event.tag + "." + event.field; }

  // A list of texts, such as plot = ["a", "b"].
  bool TextList(const toml::node& node, std::vector<std::string>& out, const char* notList, const char* notText) {
    const toml::array* entries = node.as_array();
    if (entries == nullptr) {
      return Fail(node, notList);
    }
    for (const toml::node& entry : *entries) {
      if (!entry.is_string()) {
        return Fail(entry, notText);
      }
      out.push_back(*entry.value<std::string>());
    }
    return true;
  }

  // Every table of an array such as [[expect]], each read by `read`.
  template <typename Read>
  bool Tables(const toml::table& root, const char* key, Read read) {
    const toml::node* node = root.get(key);
    if (node == nullptr) {
      return true;
    }
    const toml::array* tables = node->as_array();
    if (tables == nullptr) {
      return Fail(*node, std::string("[[") + key + "]] must be an array of tables");
    }
    for (const toml::node& element : *tables) {
      const toml::table* table = element.as_table();
      if (table == nullptr) {
        return Fail(element, std::string("each ") + key + " must be a table");
      }
      if (!read(*table)) {
        return false;
      }
    }
    return true;
  }

  static std::string Shown(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
  }

  // [[expect]]: a signal's window and band, a controller's final mode, the
  // driver's messages, or whether the case binds.
  bool Expectation(const toml::table& t) {
    CaseExpectation e;
    e.origin = Origin{path_, static_cast<int>(t.source().begin.line)};
    const char* where = "an expectation";
    if (!OnlyKeys(t, {"signal", "after", "step", "before", "within", "min", "max", "equals", "controller", "mode",
                      "messages", "binds"},
                  where)) {
      return false;
    }
    const int kinds = (t.get("signal") != nullptr) + (t.get("controller") != nullptr) +
                      (t.get("messages") != nullptr) + (t.get("binds") != nullptr);
    if (kinds != 1) {
      return FailAt(e.origin.line, "an expectation names one of signal, controller, messages or binds");
    }
    if (const toml::node* binds = t.get("binds")) {
      if (!binds->is_boolean()) {
        return Fail(*binds, "binds must be true or false");
      }
      e.kind = CaseExpectation::Kind::Binds;
      e.binds = *binds->value<bool>();
      e.description = e.binds ? "the case binds" : "the case does not bind";
    } else if (const toml::node* messages = t.get("messages")) {
      if (!TextList(*messages, e.messages, "messages must be a list of message keys, [] for none",
                    "each message key must be a text")) {
        return false;
      }
      e.kind = CaseExpectation::Kind::Messages;
      std::string list;
      for (const std::string& key : e.messages) {
        list += (list.empty() ? "" : ", ") + key;
      }
      e.description = e.messages.empty() ? "no driver messages" : "driver messages exactly " + list;
    } else if (t.get("controller") != nullptr) {
      e.kind = CaseExpectation::Kind::Mode;
      if (!Text(t, "controller", e.controller, true, where) || !Text(t, "mode", e.text, true, where)) {
        return false;
      }
      if (e.text != "AUTO" && e.text != "MANL") {
        return Fail(*t.get("mode"), "mode must be \"AUTO\" or \"MANL\", not \"" + e.text + "\"");
      }
      const bool known = std::any_of(case_.controllers.begin(), case_.controllers.end(),
                                     [&e](const CaseCtrlRow& row) { return row.tag == e.controller; });
      if (!known) {
        return Fail(*t.get("controller"), "no controller row has the tag '" + e.controller + "'");
      }
      e.description = e.controller + " ends in " + e.text;
    } else if (!SignalExpectation(t, e)) {
      return false;
    }
    case_.expectations.push_back(e);
    return true;
  }

  bool SignalExpectation(const toml::table& t, CaseExpectation& e) {
    const char* where = "an expectation";
    e.kind = CaseExpectation::Kind::Signal;
    e.lo = std::nan("");
    e.hi = std::nan("");
    int64_t step = 0;
    if (!Text(t, "signal", e.signal, true, where) || !Number(t, "after", e.after, false, where) ||
        !Integer(t, "step", step, false, where)) {
      return false;
    }
    if (t.get("after") != nullptr && t.get("step") != nullptr) {
      return FailAt(e.origin.line, "an expectation's window starts either after seconds or at a step");
    }
    e.fromTime = t.get("after") != nullptr;
    e.fromStep = step;
    if (!Number(t, "before", e.before, false, where)) {
      return false;
    }
    if (t.get("before") != nullptr && (e.before <= 0.0 || (e.fromTime && e.before <= e.after))) {
      return Fail(*t.get("before"), "before must come after the window's start");
    }
    const int bands = (t.get("within") != nullptr) + (t.get("min") != nullptr || t.get("max") != nullptr) +
                      (t.get("equals") != nullptr);
    if (bands != 1) {
      return FailAt(e.origin.line, "an expectation on a signal gives within = [lo, hi], min and/or max, or equals");
    }
    std::string band;
    if (const toml::node* within = t.get("within")) {
      const toml::array* pair = within->as_array();
      if (pair == nullptr || pair->size() != 2 || !(*pair)[0].is_number() || !(*pair)[1].is_number()) {
        return Fail(*within, "within must be [low, high], two numbers");
      }
      e.lo = *(*pair)[0].value<double>();
      e.hi = *(*pair)[1].value<double>();
      if (!(e.lo <= e.hi)) {
        return Fail(*within, "within must be [low, high] with low at most high");
      }
      band = "within [" + Shown(e.lo) + ", " + Shown(e.hi) + "]";
    } else if (const toml::node* equals = t.get("equals")) {
      e.hasEquals = true;
      e.equalsText = equals->is_string();
      if (e.equalsText) {
        e.text = *equals->value<std::string>();
        band = "equals \"" + e.text + "\"";
      } else if (!Number(t, "equals", e.equalsValue, true, where)) {
        return false;
      } else {
        band = "equals " + Shown(e.equalsValue);
      }
    } else {
      if (!Number(t, "min", e.lo, false, where) || !Number(t, "max", e.hi, false, where)) {
        return false;
      }
      band = t.get("min") != nullptr && t.get("max") != nullptr ? "within [" + Shown(e.lo) + ", " + Shown(e.hi) + "]"
             : t.get("min") != nullptr                           ? "at least " + Shown(e.lo)
                                                                 : "at most " + Shown(e.hi);
    }
    e.description = e.signal + " " + band +
                    (e.fromTime ? " after " + Shown(e.after) + " s" : e.fromStep > 0 ? " from step " + std::to_string(e.fromStep) : "") +
                    (e.before > 0.0 ? " before " + Shown(e.before) + " s" : "");
    return true;
  }

  // [[malfunction]]: an instructor's fault from a step, on a transmitter (a
  // PV row), a valve (a model input) or a node.
  bool Malfunction(const toml::table& t) {
    CaseMalfunction m;
    m.origin = Origin{path_, static_cast<int>(t.source().begin.line)};
    const char* where = "a malfunction";
    std::string kind;
    if (!OnlyKeys(t, {"kind", "step", "until", "pv", "bias", "rate", "input", "node"}, where) ||
        !Text(t, "kind", kind, true, where) || !Integer(t, "step", m.step, true, where) ||
        !Integer(t, "until", m.until, false, where)) {
      return false;
    }
    static const std::map<std::string, CaseMalfunction::Kind> Kinds = {
        {"frozen", CaseMalfunction::Kind::Frozen}, {"bias", CaseMalfunction::Kind::Bias},
        {"drift", CaseMalfunction::Kind::Drift},   {"failed", CaseMalfunction::Kind::Failed},
        {"stuck", CaseMalfunction::Kind::Stuck},   {"node_down", CaseMalfunction::Kind::NodeDown}};
    const auto found = Kinds.find(kind);
    if (found == Kinds.end()) {
      return Fail(*t.get("kind"), "unknown malfunction \"" + kind + "\" (frozen, bias, drift, failed, stuck, node_down)");
    }
    m.kind = found->second;
    if (m.step < 0 || m.step > case_.steps || (t.get("until") != nullptr && m.until <= m.step)) {
      return Fail(*t.get("step"), "a malfunction starts within the run and ends after it starts");
    }
    const std::string span = "from step " + std::to_string(m.step) +
                             (m.until >= 0 ? " to step " + std::to_string(m.until) : std::string());
    switch (m.kind) {
      case CaseMalfunction::Kind::Stuck:
        if (!Text(t, "input", m.input, true, where)) {
          return false;
        }
        m.description = "stuck valve: model input " + m.input + " ignores its controller " + span;
        m.label = m.input + " stuck";
        break;
      case CaseMalfunction::Kind::NodeDown:
        if (!Text(t, "node", m.node, true, where)) {
          return false;
        }
        m.description = "node " + m.node + " down " + span;
        m.label = m.node + " down";
        break;
      default: {
        std::string tag;
        if (!Text(t, "pv", tag, true, where)) {
          return false;
        }
        const auto row = std::find_if(case_.pv.begin(), case_.pv.end(),
                                      [&tag](const CasePVRow& r) { return r.tag == tag; });
        if (row == case_.pv.end()) {
          return Fail(*t.get("pv"), "no PV row has the tag '" + tag + "'");
        }
        m.pvRow = static_cast<size_t>(row - case_.pv.begin());
        const char* amount = m.kind == CaseMalfunction::Kind::Bias ? "bias" : "rate";
        const bool needsAmount = m.kind == CaseMalfunction::Kind::Bias || m.kind == CaseMalfunction::Kind::Drift;
        if (needsAmount && !Number(t, amount, m.amount, true, where)) {
          return false;
        }
        m.description = "transmitter " + tag + " " + kind +
                        (needsAmount ? " by " + Shown(m.amount) + (m.kind == CaseMalfunction::Kind::Drift ? " per s" : "")
                                     : std::string()) +
                        " " + span;
        m.label = tag + " " + kind;
      }
    }
    case_.malfunctions.push_back(m);
    return true;
  }

  // [[event]]: an operator's change at a step.
  bool Event(const toml::table& t) {
    const toml::table* table = &t;
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
    if (IsTextField(event.field) != hasText) {
      return Fail(*table->get(hasText ? "text" : "value"),
                  PointName(event) + (hasText ? " holds a number: give it value = a number, not a text"
                                              : " holds a text: give it text = \"...\", not a number"));
    }
    if (!hasText && !FitsFixFloat(event.value)) {
      return Fail(*table->get("value"), BeyondFloat("value", event.value));
    }
    case_.events.push_back(event);
    return true;
  }

  // Rows from a CSV table: NODE,TAG,FIELD,Active, the row's values and the
  // optional link column.
  bool CsvRows(const TableDescriptor& kind, const std::string& file) {
    CsvTable table;
    std::string problem;
    if (!ReadCsv(file, table, problem)) {
      error_ = problem;
      return false;
    }
    std::vector<std::string> expected = {"NODE", "TAG", "FIELD", "Active"};
    expected.insert(expected.end(), kind.valueColumns.begin(), kind.valueColumns.end());
    const size_t width = table.header.size();
    const bool linked = kind.linkColumn != nullptr && width == expected.size() + 1 &&
                        table.header.back() == kind.linkColumn;
    const bool headerOk = (width == expected.size() || linked) &&
                          std::equal(expected.begin(), expected.end(), table.header.begin());
    if (!headerOk) {
      std::string names;
      for (const std::string& name : expected) {
        names += (names.empty() ? "" : ",") + name;
      }
      error_ = file + ":1: the header must read " + names +
               (kind.linkColumn == nullptr ? "" : std::string("[,") + kind.linkColumn + "]");
      return false;
    }
    for (const CsvRow& row : table.rows) {
      if (!CsvRowCells(kind, file, row, width, linked)) {
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

  bool CsvRowCells(const TableDescriptor& kind, const std::string& file, const CsvRow& row, size_t width,
                   bool linked) {
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
    RowCells r{cells[0], cells[1], cells[2], static_cast<int16_t>(active), {}, linked ? cells.back() : "",
               Origin{file, row.line}};
    r.values.resize(kind.valueColumns.size());
    for (size_t k = 0; k < kind.valueColumns.size(); ++k) {
      if (!CsvNumber(file, row, 4 + k, kind.valueColumns[k], r.values[k])) {
        return false;
      }
    }
    const std::string beyond = ValueBeyondFloat(kind, r);
    if (!beyond.empty()) {
      error_ = file + ":" + std::to_string(row.line) + ": " + beyond;
      return false;
    }
    Store(kind, r);
    return true;
  }

  std::string path_;
  Case& case_;
  std::string error_;
};

}  // namespace

bool LoadCase(const std::string& path, Case& loaded, std::string& error) {
  loaded = Case();
  loaded.path = path;
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec && ec != std::errc::no_such_file_or_directory) {
    error = path + ": cannot read the case file: " + ec.message();
    return false;
  }
  if (!fs::exists(status)) {
    error = path + ": no such case file";
    return false;
  }
  if (fs::is_directory(status)) {
    error = path + ": is a folder, not a case file";
    return false;
  }
  CaseReader reader(path, loaded);
  return reader.Read(error);
}

}  // namespace host
