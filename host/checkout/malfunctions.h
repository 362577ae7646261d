// The instructor's malfunctions of a control checkout, applied at their steps:
// transmitter faults on the values PV rows send, a valve stuck against its
// controller, and failed points and nodes in the simulated database. They act
// only on the simulated database and the model, never on another FIX.
#pragma once

#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "case/case.h"
#include "fix/fix_library.h"

namespace host {

class Malfunctions {
 public:
  explicit Malfunctions(const Case& c)
      : case_(c),
        lastSent_(c.pv.size(), 0.0),
        driven_(c.pv.size(), std::numeric_limits<double>::quiet_NaN()),
        stuck_(c.controllers.size(), 0) {}
  // Starts and ends the malfunctions due at this step; prints each, and adds
  // its short label to marks (for the plot; "valve stuck", "valve stuck ends").
  void At(int64_t step, double seconds, const FixLibrary& fix, std::ostream& out, std::vector<std::string>& marks);
  // A transmitter's fault on the value its PV row sends at this step: on
  // the plant's value, or on the one a loop check drives it to.
  double Transmitted(size_t pvRow, double value, double seconds) const;
  // A loop check drives the PV row to a value, as a calibrator drives a
  // transmitter; NaN releases it.
  void Drive(size_t pvRow, double value) {
    if (pvRow < driven_.size()) {
      driven_[pvRow] = value;
    }
  }
  // True while a stuck valve keeps the model input this controller row drives
  // from following it.
  bool Stuck(size_t ctrlRow) const { return ctrlRow < stuck_.size() && stuck_[ctrlRow] > 0; }
  // The value a PV row would send without a fault: what a freeze holds.
  void Remember(size_t pvRow, double value);
  // The frozen values, for a saved state, and restoring them with every
  // malfunction that had started before the saved step and not yet ended.
  std::vector<std::pair<size_t, double>> Frozen() const;
  void Restore(int64_t step, double seconds, const std::vector<std::pair<size_t, double>>& frozen,
               const FixLibrary& fix);

 private:
  struct Active {
    const CaseMalfunction* m;
    double since;   // seconds at its start
    double frozen;  // the value a frozen transmitter holds
  };
  void Start(const CaseMalfunction& m, double seconds, const FixLibrary& fix, double frozenValue);
  void End(const CaseMalfunction& m, const FixLibrary& fix);
  // A stuck valve's start (+1) or end (-1) on every controller row driving its input.
  void MarkStuck(const CaseMalfunction& m, int change);
  bool IsActive(const CaseMalfunction& m) const;
  const Case& case_;
  std::vector<Active> active_;
  std::vector<double> lastSent_;  // per PV row: the value before any fault
  std::vector<double> driven_;    // per PV row: the value a loop check drives it to, or NaN
  std::vector<int> stuck_;        // per controller row: the stuck valves on the input it drives
};

}  // namespace host
