// The loop checks' operator actions carried out through FIX at a step
// boundary (modes, outputs and targets set as an operator station sets them;
// a transmitter failed and recovered in the simulated database), and the
// record's values the checks read.
#pragma once

#include <cstdint>
#include <vector>

#include "checkout/loop_checks.h"
#include "checkout/malfunctions.h"
#include "run/session.h"

namespace host {

// The record's PV values, controller outputs and targets, by row.
class RecordSignals : public LoopSignals {
 public:
  explicit RecordSignals(RecordBuilder& builder) : builder_(builder) {}
  double Pv(size_t row) const override { return builder_.pv(static_cast<int32_t>(row)).Value; }
  double Output(size_t row) const override { return builder_.ctrl(static_cast<int32_t>(row)).OutputValue; }
  double Target(size_t row) const override { return builder_.ctrl(static_cast<int32_t>(row)).TV1Value; }
  double Command(size_t row) const override { return builder_.pvImport(static_cast<int32_t>(row)).Value; }

 private:
  RecordBuilder& builder_;
};

// The actions due before the step (counted from the run's first) carried
// out; `due` is the buffer they are gathered in. A PV row driven by a check
// is driven through the transmitters' faults, which own what PV rows send.
void DoLoopActions(Session& session, LoopChecks& checks, Malfunctions& transmitters, int64_t step,
                   std::vector<LoopAction>& due);

}  // namespace host
