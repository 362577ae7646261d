// The loop checks' operator actions carried out through FIX at a step
// boundary (modes, outputs and targets set as an operator station sets them;
// a transmitter failed and recovered in the simulated database), and the
// record's values the checks read.
#pragma once

#include <cstdint>
#include <vector>

#include "checkout/loop_checks.h"
#include "run/session.h"

namespace host {

// The record's PV values, controller outputs and targets, by row.
class RecordSignals : public LoopSignals {
 public:
  explicit RecordSignals(RecordBuilder& builder) : builder_(builder) {}
  double Pv(size_t row) const override { return builder_.pv(static_cast<int32_t>(row)).Value; }
  double Output(size_t row) const override { return builder_.ctrl(static_cast<int32_t>(row)).OutputValue; }
  double Target(size_t row) const override { return builder_.ctrl(static_cast<int32_t>(row)).TV1Value; }

 private:
  RecordBuilder& builder_;
};

// The actions due before the step (counted from the run's first) carried
// out; `due` is the buffer they are gathered in.
void DoLoopActions(Session& session, LoopChecks& checks, int64_t step, std::vector<LoopAction>& due);

}  // namespace host
