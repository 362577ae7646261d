// The run's signals: their names and units from the case and the model, and
// their values from the model and the host's record after each step.
#include "run/signals.h"

#include <unordered_set>

#include "driver/driver_rules.h"

namespace host {
namespace {

// The name, or with "#row" after it when an earlier column has it already.
// The names so far are kept in a hash set, so that naming stays linear in the
// number of columns.
std::string Unique(std::unordered_set<std::string>& taken, std::string name, size_t row) {
  if (taken.count(name) != 0) {
    name += "#" + std::to_string(row);
  }
  taken.insert(name);
  return name;
}

// A PV-import field that carries a mode or a flag, drawn as steps.
bool DiscreteField(const std::string& field) { return IsTextField(field) || field == "F_AUTO"; }

}  // namespace

std::vector<TraceColumn> TraceColumns(const Case& c, const ProcessModel& model) {
  std::vector<TraceColumn> columns;
  std::unordered_set<std::string> taken;
  for (const std::string& name : model.Names()) {
    taken.insert(name);
    columns.push_back(TraceColumn{name, model.Unit(name), "model", false});
  }
  for (size_t i = 0; i < c.controllers.size(); ++i) {
    const CaseCtrlRow& r = c.controllers[i];
    columns.push_back(TraceColumn{Unique(taken, r.tag + ".output", i), "0-1", "from DCS", false});
    columns.push_back(TraceColumn{Unique(taken, r.tag + ".tv1", i), "", "from DCS", false});
  }
  for (size_t i = 0; i < c.pv.size(); ++i) {
    const CasePVRow& r = c.pv[i];
    const std::string unit = r.from.empty() ? std::string() : model.Unit(r.from);
    columns.push_back(TraceColumn{Unique(taken, r.tag + "." + r.field, i), unit, "to DCS", false});
  }
  for (size_t i = 0; i < c.pvImport.size(); ++i) {
    const CasePVRow& r = c.pvImport[i];
    columns.push_back(
        TraceColumn{Unique(taken, r.tag + "." + r.field, i), "", "from DCS", DiscreteField(r.field)});
  }
  return columns;
}

std::vector<std::string> SignalNames(const std::vector<TraceColumn>& columns) {
  std::vector<std::string> names;
  names.reserve(columns.size());
  for (const TraceColumn& column : columns) {
    names.push_back(column.name);
  }
  return names;
}

std::vector<bool> SignalsFromFix(const std::vector<TraceColumn>& columns) {
  std::vector<bool> fromFix;
  fromFix.reserve(columns.size());
  for (const TraceColumn& column : columns) {
    fromFix.push_back(column.direction == "from DCS");
  }
  return fromFix;
}

std::vector<LoopColumns> LoopSignalColumns(const Case& c, const ProcessModel& model,
                                           const std::vector<CheckedLoop>& loops) {
  // The columns' order: the model's variables, each controller's output and
  // tv1, then each PV row's value.
  const size_t controllers = model.Names().size();
  const size_t pvRows = controllers + 2 * c.controllers.size();
  std::vector<LoopColumns> columns;
  columns.reserve(loops.size());
  for (const CheckedLoop& loop : loops) {
    columns.push_back(LoopColumns{c.controllers[loop.controller].tag, pvRows + loop.pv,
                                  controllers + 2 * loop.controller + 1, controllers + 2 * loop.controller, loop.low,
                                  loop.high});
  }
  return columns;
}

void SampleSignals(Session& session, std::vector<double>& values, std::vector<bool>& exchanged) {
  values.clear();
  exchanged.clear();
  const ProcessModel& model = session.model();
  for (size_t k = 0; k < model.Names().size(); ++k) {
    values.push_back(model.Value(k));
    exchanged.push_back(true);
  }
  RecordBuilder& b = session.builder();
  const DCSDataDef* record = b.record();
  for (int32_t i = 0; i < record->CtrlRowCnt; ++i) {
    values.push_back(b.ctrl(i).OutputValue);
    exchanged.push_back(b.ctrl(i).OutputUpdated != 0);
    values.push_back(b.ctrl(i).TV1Value);
    exchanged.push_back(b.ctrl(i).TV1Updated != 0);
  }
  for (int32_t i = 0; i < record->PVRowCnt; ++i) {
    values.push_back(b.pv(i).Value);
    exchanged.push_back(b.pv(i).Active == 1 && i < dcs::MaxPVRows);
  }
  for (int32_t i = 0; i < record->PVImportRowCnt; ++i) {
    values.push_back(b.pvImport(i).Value);
    exchanged.push_back(b.pvImport(i).Active == 1 && i < dcs::MaxPVImportRows);
  }
}

}  // namespace host
