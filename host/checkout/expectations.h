// The expectations of a control checkout: each binds its signal once, takes
// the samples the runner hands it after every step, and is judged at the end
// of the run. It knows nothing of the runner: what it needs of a run comes
// through Sample and RunOutcome; it never writes into FIX.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "case/case.h"
#include "checkout/step_response.h"
#include "fix/fix_group.h"
#include "fix/fix_library.h"

namespace host {

// A measured value, time or limit in a verdict, to four significant digits.
std::string Measured(double value);

struct Verdict {
  bool passed = false;
  std::string waived;       // the waiver's punch-list reference and reason, or empty
  std::string loop;         // the controller tag of a loop check or an expectation over loops, else empty
  std::string description;  // the expectation as the case states it
  std::string measured;     // what was measured, and where
  // A signal's window, for the plot.
  bool windowed = false;
  std::string signal;
  double from = 0.0, to = -1.0, lo = 0.0, hi = 0.0;
  double failTime = 0.0, failValue = 0.0;
};

// What a run reports beside its samples: whether the case bound, the keys of
// the driver's messages in the order reported, and each controller's mode as
// FIX held it at the end (by tag).
struct RunOutcome {
  bool configured = false;
  std::vector<std::string> messageKeys;
  std::map<std::string, std::string> finalModes;
};

// A paired loop's signals among the run's, for the expectations over loops.
struct LoopColumns {
  std::string tag;                        // the controller's
  size_t pv = 0, target = 0, output = 0;  // the PV row's value, the controller's tv1 and its output (0-1)
  double low = 0.0, high = 100.0;         // the PV's span
};

class Expectations {
 public:
  // Binds every expectation's signal: one of the run's sampled signals (by
  // the name the runner gives it; fromFix says which came from FIX, a float),
  // or a FIX point read in a group of dcshost's own at every step. An
  // expectation over loops becomes one per loop its pattern matches, in
  // percent of the loop's span. False with a message when a signal names
  // neither, or a pattern no loop.
  bool Bind(const Case& c, const std::vector<LoopColumns>& loops, const std::vector<std::string>& signals,
            const std::vector<bool>& fromFix, const FixLibrary& fix, std::string& error);
  // One step's values (after the step), in the order of the signals bound.
  void Sample(int64_t step, double seconds, const std::vector<double>& values, const std::vector<bool>& exchanged);
  // Every expectation's verdict, from the samples and the run's outcome.
  std::vector<Verdict> Judge(const RunOutcome& outcome) const;

 private:
  struct Window {
    bool bound = false;
    size_t column = 0;  // the trace column (less `minus`'s or `offset`, times `scale`), or
    size_t minus = NoColumn;
    double offset = 0.0, scale = 1.0;
    int32_t point = -1;  // the FIX point in group_
    bool text = false;
    bool fromFix = false;  // a float FIX held: compared at FIX's precision
    size_t samples = 0;
    double min = 0.0, minTime = 0.0, max = 0.0, maxTime = 0.0;
    bool failed = false;
    double failTime = 0.0, failValue = 0.0;
    std::string failText;
    double firstTime = 0.0, lastTime = 0.0;
    StepResponse answer;  // after_event: the answer to the event's step
  };
  static constexpr size_t NoColumn = static_cast<size_t>(-1);
  // The case's expectations, those over loops one per loop, and each one's loop tag (or empty).
  bool Expand(const Case& c, const std::vector<LoopColumns>& loops, std::string& error);
  bool BindSignals(const std::vector<std::string>& signals, const std::vector<bool>& fromFix, const FixLibrary& fix,
                   std::string& error);
  void Take(const CaseExpectation& e, Window& w, double seconds, double value, const std::string& text);
  // A signal's window against its band.
  static void JudgeSignal(const CaseExpectation& e, const Window& w, Verdict& v);
  // The answer to an event's step against its limits.
  static void JudgeResponse(const CaseExpectation& e, const Window& w, double stepSeconds, Verdict& v);
  const Case* case_ = nullptr;
  std::vector<CaseExpectation> expectations_;
  std::vector<std::string> loopOf_;
  std::vector<Window> windows_;
  std::unique_ptr<FixGroup> group_;
};

}  // namespace host
