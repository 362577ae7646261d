// The read-only binding check: before the driver configures, dcshost defines
// every row's points (three per controller, by the driver's own rule) in
// groups of its own, resolves them and lists every bad point with FIX's text;
// blank cells and rows beyond the driver's capacity are problems too. It never
// sets a value or writes a group.
#include "fix/binding_check.h"

#include <algorithm>
#include <cstddef>
#include <set>
#include <unordered_map>

#include "driver/driver_rules.h"
#include "fix/fix_group.h"

namespace host {
namespace {

// One point a row will be bound to.
struct PlannedPoint {
  std::string table;
  size_t row;
  Origin origin;
  std::string node, tag, field;
};

bool Blank(const std::string& table, size_t row, const Origin& origin, const std::string& node, const std::string& tag,
           const std::string& field, std::vector<std::string>& problems) {
  const char* names[] = {"NODE", "TAG", "FIELD"};
  const std::string* cells[] = {&node, &tag, &field};
  bool blank = false;
  for (int k = 0; k < 3; ++k) {
    if (cells[k]->empty()) {
      problems.push_back(RowLabel(table, row) + " (" + Where(origin) + "): " + names[k] + " is blank");
      blank = true;
    }
  }
  return blank;
}

// Rows past the driver's capacity: the driver never binds them.
template <typename Row>
void BeyondCapacity(const std::string& table, const std::vector<Row>& rows, int32_t capacity,
                    std::vector<std::string>& problems) {
  for (size_t i = static_cast<size_t>(capacity); i < rows.size(); ++i) {
    problems.push_back(RowLabel(table, i) + " (" + Where(rows[i].origin) + "): beyond the driver's " +
                       std::to_string(capacity) + " " + table + " rows: it would never be bound");
  }
}

// The points of every row the driver will bind, table by table.
std::vector<std::vector<PlannedPoint>> PlanPoints(const Case& c, std::vector<std::string>& problems) {
  std::vector<std::vector<PlannedPoint>> tables(3);
  const auto label = [](TableKind kind) { return std::string(TableDescriptors()[static_cast<size_t>(kind)].label); };
  const std::string ctrl = label(TableKind::Ctrl);
  for (size_t i = 0; i < c.controllers.size() && i < static_cast<size_t>(dcs::MaxCtrlRows); ++i) {
    const CaseCtrlRow& r = c.controllers[i];
    if (!Blank(ctrl, i, r.origin, r.node, r.tag, r.field, problems)) {
      const dcs::CtrlPointFields fields = dcs::CtrlPointFieldsOf(r.field.c_str());
      for (const char* field : {fields.output, fields.tv1, fields.mode}) {
        tables[0].push_back(PlannedPoint{ctrl, i, r.origin, r.node, r.tag, field});
      }
    }
  }
  const auto plan = [&](TableKind kind, const std::vector<CasePVRow>& rows, int32_t capacity,
                        std::vector<PlannedPoint>& points) {
    const std::string table = label(kind);
    for (size_t i = 0; i < rows.size() && i < static_cast<size_t>(capacity); ++i) {
      const CasePVRow& r = rows[i];
      if (!Blank(table, i, r.origin, r.node, r.tag, r.field, problems)) {
        points.push_back(PlannedPoint{table, i, r.origin, r.node, r.tag, r.field});
      }
    }
  };
  plan(TableKind::PV, c.pv, dcs::MaxPVRows, tables[1]);
  plan(TableKind::PVImport, c.pvImport, dcs::MaxPVImportRows, tables[2]);
  BeyondCapacity(ctrl, c.controllers, dcs::MaxCtrlRows, problems);
  BeyondCapacity(label(TableKind::PV), c.pv, dcs::MaxPVRows, problems);
  BeyondCapacity(label(TableKind::PVImport), c.pvImport, dcs::MaxPVImportRows, problems);
  return tables;
}

// Defines and resolves one table's points in a group of dcshost's own and
// lists every point FIX reports bad.
void CheckPoints(const FixLibrary& fix, const std::vector<PlannedPoint>& points, std::vector<std::string>& problems) {
  if (points.empty()) {
    return;
  }
  std::vector<PointName> names;
  names.reserve(points.size());
  for (const PlannedPoint& p : points) {
    names.push_back(PointName{p.node, p.tag, p.field});
  }
  const std::vector<int16_t> codes = PointErrors(fix.api(), names);
  for (size_t k = 0; k < points.size(); ++k) {
    const int16_t code = codes[k];
    if (code != 0) {
      const PlannedPoint& p = points[k];
      problems.push_back(RowLabel(p.table, p.row) + " (" + Where(p.origin) + "): " + PointText(p.node, p.tag, p.field) +
                         ": " + fix.ErrorText(code));
    }
  }
}

}  // namespace

std::vector<std::string> SharedWrites(const Case& c) {
  std::vector<std::string> warnings;
  std::unordered_map<std::string, std::string> writer;  // point -> the first row that writes it
  const auto writes = [&](const std::string& point, const std::string& row) {
    const auto [first, added] = writer.emplace(point, row);
    if (!added && first->second != row) {  // a controller's own points may coincide
      warnings.push_back(row + " writes " + point + ", as " + first->second +
                         " does: one of the two values is lost at every write");
    }
  };
  const std::string ctrl = TableDescriptors()[static_cast<size_t>(TableKind::Ctrl)].label;
  for (size_t i = 0; i < c.controllers.size() && i < static_cast<size_t>(dcs::MaxCtrlRows); ++i) {
    const CaseCtrlRow& r = c.controllers[i];
    const dcs::CtrlPointFields fields = dcs::CtrlPointFieldsOf(r.field.c_str());
    for (const char* field : {fields.output, fields.tv1, fields.mode}) {
      writes(PointText(r.node, r.tag, field), RowLabel(ctrl, i) + " (" + Where(r.origin) + ")");
    }
  }
  const std::string pv = TableDescriptors()[static_cast<size_t>(TableKind::PV)].label;
  for (size_t i = 0; i < c.pv.size() && i < static_cast<size_t>(dcs::MaxPVRows); ++i) {
    const CasePVRow& r = c.pv[i];
    writes(PointText(r.node, r.tag, r.field), RowLabel(pv, i) + " (" + Where(r.origin) + ")");
  }
  return warnings;
}

std::vector<std::string> BindingProblems(const Case& c, const FixLibrary& fix) {
  std::vector<std::string> problems;
  for (const std::vector<PlannedPoint>& points : PlanPoints(c, problems)) {
    CheckPoints(fix, points, problems);
  }
  return problems;
}

std::vector<std::string> MissingSheetFields(const Case& c, const FixLibrary& fix) {
  std::set<std::pair<std::string, std::string>> seen;
  std::vector<std::pair<std::string, std::string>> tags;  // node, tag: the controllers' first, as the case writes them
  for (const CaseCtrlRow& row : c.controllers) {
    if (seen.emplace(row.node, row.tag).second) {
      tags.emplace_back(row.node, row.tag);
    }
  }
  for (const CasePVRow& row : c.pv) {
    if (seen.emplace(row.node, row.tag).second) {
      tags.emplace_back(row.node, row.tag);
    }
  }
  const std::pair<const char*, const char*> fields[] = {{"A_DESC", "description"}, {"A_EGUDESC", "engineering units"}};
  std::vector<std::string> notes;
  for (const auto& [field, what] : fields) {
    std::vector<PointName> points;
    points.reserve(tags.size());
    for (const auto& [node, tag] : tags) {
      points.push_back(PointName{node, tag, field});
    }
    const std::vector<int16_t> errors = PointErrors(fix.api(), points);
    std::string names;
    size_t missing = 0;
    for (size_t k = 0; k < errors.size(); ++k) {
      if (errors[k] != 0 && ++missing <= 5) {
        names += (missing == 1 ? "" : ", ") + tags[k].first + ":" + tags[k].second;
      }
    }
    if (missing > 0) {
      notes.push_back(std::string("no ") + field + " (" + what + ") in FIX for " + std::to_string(missing) + " of " +
                      std::to_string(tags.size()) + " tags, so their loop sheets show none: " + names +
                      (missing > 5 ? " and " + std::to_string(missing - 5) + " more" : ""));
    }
  }
  // A measured tag with alarm limits whose alarm state FIX does not hold: its alarms cannot be read.
  const char* const limits[] = {"F_HIHI", "F_HI", "F_LO", "F_LOLO", "A_ALMST"};
  std::vector<PointName> alarms;
  std::vector<std::string> measured;
  std::set<std::string> named;
  for (const CasePVRow& row : c.pv) {
    const std::string name = row.node + ":" + row.tag;
    if (named.insert(name).second) {
      measured.push_back(name);
      for (const char* field : limits) {
        alarms.push_back(PointName{row.node, row.tag, field});
      }
    }
  }
  const std::vector<int16_t> errors = PointErrors(fix.api(), alarms);
  std::string names;
  size_t limited = 0, stateless = 0;
  for (size_t k = 0; k < measured.size(); ++k) {
    const auto at = errors.begin() + static_cast<std::ptrdiff_t>(5 * k);
    if (std::any_of(at, at + 4, [](int16_t e) { return e == 0; })) {
      ++limited;
      if (at[4] != 0 && ++stateless <= 5) {
        names += (stateless == 1 ? "" : ", ") + measured[k];
      }
    }
  }
  if (stateless > 0) {
    notes.push_back("no A_ALMST (alarm state) in FIX for " + std::to_string(stateless) + " of " +
                    std::to_string(limited) + " measured tags with alarm limits, so their alarms cannot be read: " +
                    names + (stateless > 5 ? " and " + std::to_string(stateless - 5) + " more" : ""));
  }
  return notes;
}

}  // namespace host
