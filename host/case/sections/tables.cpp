// The three tag tables (controllers, PV, PV-import), read by one reader that
// their descriptors drive: rows written in the case as [[controller]] and the
// like, and rows from the CSV files [case] names. A row is checked for what
// FIX can hold; whether its point exists is left to the binding check.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "case/csv_table.h"
#include "case/sections/sections.h"

namespace host {

const std::vector<TableDescriptor>& TableDescriptors() {
  static const std::vector<TableDescriptor> tables = {
      {TableKind::Ctrl,
       "controller",
       "controllers",
       "controller",
       {"mode", "output", "tv1"},
       {"Mode", "Output", "TV1"},
       {1.0, 0.0, 0.0},
       "drives",
       "Drives"},
      {TableKind::PV, "pv", "pv", "PV", {"value"}, {"Value"}, {0.0}, "from", "From"},
      {TableKind::PVImport, "pv_import", "pv_import", "PV-import", {"value"}, {"Value"}, {0.0}, nullptr, nullptr},
  };
  return tables;
}

namespace {

// One row as read, before it is stored into its table.
struct RowCells {
  std::string node, tag, field;
  int16_t active = 1;
  std::vector<double> values;
  std::string link;
  Origin origin;
};

// Every kind has its one descriptor.
const TableDescriptor& Descriptor(TableKind kind) {
  const std::vector<TableDescriptor>& tables = TableDescriptors();
  return *std::find_if(tables.begin(), tables.end(), [kind](const TableDescriptor& t) { return t.kind == kind; });
}

// A name of the row that holds a control character, as a message; empty when none does.
std::string ControlCharacterIn(const RowCells& cells) {
  const std::pair<const char*, const std::string*> names[] = {
      {"NODE", &cells.node}, {"TAG", &cells.tag}, {"FIELD", &cells.field}, {"the link", &cells.link}};
  for (const auto& [what, name] : names) {
    if (HasControlCharacter(*name)) {
      return std::string(what) + " holds a control character (below the space, such as a NUL): FIX names hold none";
    }
  }
  return std::string();
}

// The first value of a row that FIX could not hold, as a message; empty when all fit.
std::string ValueBeyondFloat(const TableDescriptor& kind, const RowCells& cells) {
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

void Store(const TableDescriptor& kind, const RowCells& r, Case& loaded) {
  switch (kind.kind) {
    case TableKind::Ctrl:
      loaded.controllers.push_back(
          CaseCtrlRow{r.node, r.tag, r.field, r.active, r.values[0], r.values[1], r.values[2], r.link, r.origin});
      break;
    case TableKind::PV:
      loaded.pv.push_back(CasePVRow{r.node, r.tag, r.field, r.active, r.values[0], r.link, r.origin});
      break;
    case TableKind::PVImport:
      loaded.pvImport.push_back(CasePVRow{r.node, r.tag, r.field, r.active, r.values[0], "", r.origin});
      break;
  }
}

bool ReadInlineRow(CaseValues& values, const TableDescriptor& kind, const toml::table& row) {
  const std::string where = std::string("a ") + kind.label + " row";
  std::vector<const char*> keys = {"node", "tag", "field", "active"};
  keys.insert(keys.end(), kind.valueKeys.begin(), kind.valueKeys.end());
  if (kind.linkKey != nullptr) {
    keys.push_back(kind.linkKey);
  }
  RowCells cells;
  cells.origin = values.OriginOf(row);
  int64_t active = 1;
  if (!values.Text(row, "node", cells.node, true, where.c_str()) ||
      !values.Text(row, "tag", cells.tag, true, where.c_str()) ||
      !values.Text(row, "field", cells.field, true, where.c_str()) ||
      !values.WholeNumber(row, "active", active, false, where.c_str())) {
    return false;
  }
  if (active < INT16_MIN || active > INT16_MAX) {
    return values.Fail(*row.get("active"), "active must fit 16 bits");
  }
  cells.active = static_cast<int16_t>(active);
  if (!values.OnlyKeys(row, keys, where.c_str())) {
    return false;
  }
  cells.values = kind.valueDefaults;
  for (size_t k = 0; k < kind.valueKeys.size(); ++k) {
    if (!values.Number(row, kind.valueKeys[k], cells.values[k], false, where.c_str())) {
      return false;
    }
  }
  if (kind.linkKey != nullptr && !values.Text(row, kind.linkKey, cells.link, false, where.c_str())) {
    return false;
  }
  for (const std::string& problem : {ControlCharacterIn(cells), ValueBeyondFloat(kind, cells)}) {
    if (!problem.empty()) {
      return values.FailAt(cells.origin.line, problem);
    }
  }
  Store(kind, cells, values.loaded());
  return true;
}

bool CsvNumber(CaseValues& values, const std::string& file, const CsvRow& row, size_t column, const std::string& name,
               double& out) {
  const std::string text = column < row.cells.size() ? row.cells[column] : std::string();
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  if (text.empty() || end == nullptr || *end != '\0' || !std::isfinite(out)) {
    return values.FailIn(file, row.line, name + " must be a number, not '" + text + "'");
  }
  return true;
}

// A CSV row: NODE,TAG,FIELD,Active, the row's values and, when the header
// has it, the link column last.
bool CsvRowCells(CaseValues& values, const TableDescriptor& kind, const std::string& file, const CsvRow& row,
                 size_t width, bool linked) {
  std::vector<std::string> cells = row.cells;
  cells.resize(width);
  double active = 0.0;
  if (!CsvNumber(values, file, row, 3, "Active", active)) {
    return false;
  }
  if (active != std::floor(active) || active < INT16_MIN || active > INT16_MAX) {
    return values.FailIn(file, row.line, "Active must be a whole number that fits 16 bits");
  }
  RowCells r{cells[0],
             cells[1],
             cells[2],
             static_cast<int16_t>(active),
             {},
             linked ? cells.back() : "",
             Origin{file, row.line}};
  r.values.resize(kind.valueColumns.size());
  for (size_t k = 0; k < kind.valueColumns.size(); ++k) {
    if (!CsvNumber(values, file, row, 4 + k, kind.valueColumns[k], r.values[k])) {
      return false;
    }
  }
  for (const std::string& problem : {ControlCharacterIn(r), ValueBeyondFloat(kind, r)}) {
    if (!problem.empty()) {
      return values.FailIn(file, row.line, problem);
    }
  }
  Store(kind, r, values.loaded());
  return true;
}

}  // namespace

template <TableKind kind>
bool ReadTagRow(CaseValues& values, const toml::table& row) {
  return ReadInlineRow(values, Descriptor(kind), row);
}

template bool ReadTagRow<TableKind::Ctrl>(CaseValues& values, const toml::table& row);
template bool ReadTagRow<TableKind::PV>(CaseValues& values, const toml::table& row);
template bool ReadTagRow<TableKind::PVImport>(CaseValues& values, const toml::table& row);

bool ReadTagFile(CaseValues& values, const TableDescriptor& kind, const std::string& file) {
  CsvTable table;
  std::string problem;
  if (!ReadCsv(file, table, problem)) {
    return values.FailWith(problem);
  }
  std::vector<std::string> expected = {"NODE", "TAG", "FIELD", "Active"};
  expected.insert(expected.end(), kind.valueColumns.begin(), kind.valueColumns.end());
  const size_t width = table.header.size();
  const bool linked =
      kind.linkColumn != nullptr && width == expected.size() + 1 && table.header.back() == kind.linkColumn;
  const bool headerOk =
      (width == expected.size() || linked) && std::equal(expected.begin(), expected.end(), table.header.begin());
  if (!headerOk) {
    std::string names;
    for (const std::string& name : expected) {
      names += (names.empty() ? "" : ",") + name;
    }
    return values.FailIn(file, 1,
                         "the header must read " + names +
                             (kind.linkColumn == nullptr ? "" : std::string("[,") + kind.linkColumn + "]"));
  }
  for (const CsvRow& row : table.rows) {
    if (!CsvRowCells(values, kind, file, row, width, linked)) {
      return false;
    }
  }
  return true;
}

}  // namespace host
