// Control checkout: the case's expectations, judged at the end of a run from
// what was sampled at every step, and the instructor's malfunctions, applied
// at their steps to the simulated database and the model.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "case/case.h"
#include "run/case_runner.h"
#include "fix/fix_group.h"
#include "fix/fix_library.h"
#include "plant/process_model.h"
#include "run/record_builder.h"
#include "report/trace.h"

namespace host {

struct Verdict {
  bool passed = false;
  std::string description;  // the expectation as the case states it
  std::string measured;     // what was measured, and where
  // A signal's window, for the plot.
  bool windowed = false;
  std::string signal;
  double from = 0.0, to = -1.0, lo = 0.0, hi = 0.0;
  double failTime = 0.0, failValue = 0.0;
};

class Expectations {
 public:
  // Binds every expectation's signal: a trace column, or a FIX point read in
  // a group of dcshost's own at every step. False with a message when a
  // signal names neither.
  bool Bind(const Case& c, const std::vector<TraceColumn>& columns, const FixLibrary& fix, std::string& error);
  // One step's values (after the step), in trace column order.
  void Sample(int64_t step, double seconds, const std::vector<double>& values, const std::vector<bool>& exchanged);
  // Every expectation's verdict, from the samples and the run's result.
  std::vector<Verdict> Judge(const RunResult& result) const;

 private:
  struct Window {
    bool bound = false;
    size_t column = 0;      // the trace column, or
    int32_t point = -1;     // the FIX point in group_
    bool text = false;
    size_t samples = 0;
    double min = 0.0, minTime = 0.0, max = 0.0, maxTime = 0.0;
    bool failed = false;
    double failTime = 0.0, failValue = 0.0;
    std::string failText;
    double firstTime = 0.0, lastTime = 0.0;
  };
  void Take(const CaseExpectation& e, Window& w, double seconds, double value, const std::string& text);
  const Case* case_ = nullptr;
  std::vector<Window> windows_;
  std::unique_ptr<FixGroup> group_;
};

class Malfunctions {
 public:
  explicit Malfunctions(const Case& c) : case_(c) {}
  // Starts and ends the malfunctions due at this step; prints each, and
  // marks it on the plot.
  void At(int64_t step, double seconds, const FixLibrary& fix, PlotRecorder& plot, std::ostream& out);
  // A transmitter's fault on the value its PV row sends at this step.
  double Transmitted(size_t pvRow, double value, double seconds) const;
  // True while a stuck valve keeps a model input from following its controller.
  bool Stuck(const std::string& input) const;
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
    double since;      // seconds at its start
    double frozen;     // the value a frozen transmitter holds
  };
  void Start(const CaseMalfunction& m, double seconds, const FixLibrary& fix, double frozenValue);
  void End(const CaseMalfunction& m, const FixLibrary& fix);
  const Case& case_;
  std::vector<Active> active_;
  std::vector<double> lastSent_;  // per PV row: the value before any fault
};

}  // namespace host
