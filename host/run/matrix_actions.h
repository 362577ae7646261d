// The cause-and-effect matrix against a FIX: what each cause needs read once
// before the run (the PV row that sends its point, its limit, its span), the
// effects' states read at every step of the checks through a group of
// dcshost's own, made once, and the reset commands written as an operator
// presses them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "checkout/malfunctions.h"
#include "checkout/matrix_checks.h"
#include "fix/fix_group.h"
#include "fix/fix_library.h"

namespace host {

// The node of a tag the matrix names without one: [matrix]'s, else the first PV row's.
std::string MatrixNode(const Case& c, const std::string& node);

MatrixFacts ReadMatrixFacts(const FixLibrary& fix, const Case& c);

// What `check` finds the matrix needs that the case or FIX lacks: a cause no
// PV row sends, a limit neither the matrix nor FIX gives, an effect's or a
// reset's point FIX does not have.
std::vector<std::string> MatrixProblems(const FixLibrary& fix, const Case& c);

class MatrixStates {
 public:
  MatrixStates(const FixLibrary& fix, const Case& c);
  // Before a step of the checks: each cause's PV row sends what the checks
  // say, and the reset commands are written when due.
  void Drive(const MatrixChecks& checks, Malfunctions& transmitters, int64_t step) const;
  // After it: every effect's state read and sampled.
  void Sample(MatrixChecks& checks, int64_t step);

 private:
  const FixLibrary& fix_;
  const Case& case_;
  std::unique_ptr<FixGroup> group_;
  std::vector<int> rows_;  // each cause's PV row, -1 where none sends it
  std::vector<int32_t> handles_;
  std::vector<std::string> states_;  // room made once
};

}  // namespace host
