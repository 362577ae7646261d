// One step of the coupled run, and the checks of what the model and the PV
// rows hold after it.
#include "run/step.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "driver/driver_rules.h"
#include "fix/operator_events.h"

namespace host {
namespace {}  // namespace

void AtStepBoundary(Session& session, int64_t step, double seconds, StepContext& x) {
  x.marks.clear();
  x.malfunctions.At(step, seconds, session.fix(), x.out, x.marks);
  for (const std::string& label : x.marks) {
    x.plot.Mark(PlotMarker{seconds, label});
  }
  for (const CaseEvent& event : session.scenario().events) {
    if (event.step == step) {
      x.out << "  step " << step << ": " << ApplyEvent(session.fix(), event).text << '\n';
      x.plot.Mark(PlotMarker{seconds, event.name.empty() ? PointText(event.node, event.tag, event.field) : event.name});
    }
  }
}

namespace {

// The values counted as exchanged at this step.
void Count(const DCSDataDef* record, RecordBuilder& b, RunResult& result) {
  for (int32_t i = 0; i < record->CtrlRowCnt; ++i) {
    result.valuesFromDcs += b.ctrl(i).OutputUpdated + b.ctrl(i).TV1Updated;
  }
  for (int32_t i = 0; i < std::min(record->PVImportRowCnt, dcs::MaxPVImportRows); ++i) {
    result.valuesFromDcs += b.pvImport(i).Active == 1 ? 1 : 0;
  }
  for (int32_t i = 0; i < std::min(record->PVRowCnt, dcs::MaxPVRows); ++i) {
    result.valuesToDcs += b.pv(i).Active == 1 ? 1 : 0;
  }
}

}  // namespace

void Step(Session& session, int64_t step, double dt, StepContext& x) {
  const double seconds = dt * static_cast<double>(step);
  AtStepBoundary(session, step, seconds, x);
  RecordBuilder& b = session.builder();
  DCSDataDef* record = session.record();
  ProcessModel& model = session.model();
  for (int32_t i = 0; i < record->PVRowCnt; ++i) {
    // What the plant measures: the model's variable, or the row's own
    // value; a check's drive and a transmitter's faults act on either.
    const int from = session.carries()[static_cast<size_t>(i)];
    const double value = from != ProcessModel::None ? model.Value(static_cast<size_t>(from))
                                                    : session.scenario().pv[static_cast<size_t>(i)].value;
    x.malfunctions.Remember(static_cast<size_t>(i), value);
    b.pv(i).Value = x.malfunctions.Transmitted(static_cast<size_t>(i), value, seconds);
  }
  for (int32_t i = 0; i < record->CtrlRowCnt; ++i) {
    b.ctrl(i).OutputUpdated = 0;
    b.ctrl(i).TV1Updated = 0;
  }
  const auto begin = std::chrono::steady_clock::now();
  session.dcs().DCSSimulate(record);
  const auto end = std::chrono::steady_clock::now();
  x.times.Add(std::chrono::duration<double, std::micro>(end - begin).count());
  if (session.fix().IsSimulated()) {
    session.fix().simulated().Scan(dt);  // a real FIX scans by itself
  }
  for (int32_t i = 0; i < record->CtrlRowCnt; ++i) {
    const int drives = session.drives()[static_cast<size_t>(i)];
    if (drives != ProcessModel::None && !x.malfunctions.Stuck(static_cast<size_t>(i))) {
      model.SetValue(static_cast<size_t>(drives), b.ctrl(i).OutputValue);
    }
  }
  const std::vector<InputSource>& inputs = session.inputs();
  for (size_t k = 0; k < inputs.size(); ++k) {
    const InputSource& from = inputs[k];
    model.SetInput(k, from.controller ? b.ctrl(from.row).OutputValue : b.pvImport(from.row).Value);
  }
  Count(record, b, x.result);
  model.Advance(dt);
}

std::string Broken(Session& session, int64_t step) {
  // The message, and its allocation, only when something is wrong.
  // Steps counted as the trace counts them: the first is 1.
  const auto when = [step]() { return step < 0 ? std::string("at the start") : "step " + std::to_string(step + 1); };
  const ProcessModel& model = session.model();
  if (!model.Failure().empty()) {
    return when() + ": " + model.Failure();
  }
  for (size_t k = 0; k < model.Names().size(); ++k) {
    if (!std::isfinite(model.Value(k))) {
      return when() + ": the model's " + model.Names()[k] + " is " + std::to_string(model.Value(k)) +
             ", not a finite number";
    }
  }
  const Case& c = session.scenario();
  for (size_t i = 0; i < c.pv.size(); ++i) {
    const int from = session.carries()[i];
    const double value = from == ProcessModel::None ? c.pv[i].value : model.Value(static_cast<size_t>(from));
    if (!FitsFixFloat(value)) {
      return when() + ": " + RowLabel("PV", i) + " (" + PointText(c.pv[i].node, c.pv[i].tag, c.pv[i].field) +
             ", from " + c.pv[i].from + ") would send " + Shown(value) + ", beyond what FIX can hold";
    }
  }
  return std::string();
}

}  // namespace host
