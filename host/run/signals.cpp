// The run's signals: their names and units from the case and the model, and
// their values from the model and the host's record after each step.
#include "run/signals.h"

#include "driver/driver_rules.h"
#include "run/record_names.h"

namespace host {
namespace {

// A PV-import field that carries a mode or a flag, drawn as steps.
bool DiscreteField(const std::string& field) { return IsTextField(field) || field == "F_AUTO"; }

}  // namespace

std::vector<TraceColumn> TraceColumns(const Case& c, const ProcessModel& model) {
  std::vector<TraceColumn> columns;
  for (const std::string& name : model.Names()) {
    columns.push_back(TraceColumn{name, model.Unit(name), "model", false});
  }
  const std::vector<RecordSignal> signals = RecordSignals(c);
  const std::vector<std::string> names = TraceNames(signals, model.Names());
  for (size_t k = 0; k < signals.size(); ++k) {
    const RecordSignal& s = signals[k];
    switch (s.table) {
      case TableKind::Ctrl: columns.push_back(TraceColumn{names[k], s.tv1 ? "" : "0-1", "from DCS", false}); break;
      case TableKind::PV: {
        const std::string& from = c.pv[s.row].from;
        columns.push_back(TraceColumn{names[k], from.empty() ? std::string() : model.Unit(from), "to DCS", false});
        break;
      }
      case TableKind::PVImport:
        columns.push_back(TraceColumn{names[k], "", "from DCS", DiscreteField(c.pvImport[s.row].field)});
        break;
    }
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
  // tv1, then each PV row's value, then each PV-import row's.
  const size_t controllers = model.Names().size();
  const size_t pvRows = controllers + 2 * c.controllers.size();
  const size_t importRows = pvRows + c.pv.size();
  std::vector<LoopColumns> columns;
  columns.reserve(loops.size());
  for (const CheckedLoop& loop : loops) {
    if (loop.discrete) {  // its feedback, and its command in place of a target and an output
      const size_t command = importRows + loop.controller;
      columns.push_back(LoopColumns{CheckedTag(c, loop), pvRows + loop.pv, command, command, loop.low, loop.high});
      continue;
    }
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
