// Loop checks at run time: the actions due at a step boundary with their
// values from the record as it is, the setpoint step's answer measured as it
// goes (rise, overshoot, settling, the error at the end), and the verdicts.
#include "checkout/loop_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "case/glob.h"
#include "checkout/loop_check_script.h"

namespace host {
namespace {

std::string Signed(double x) { return (x >= 0.0 ? "+" : "") + Measured(x); }

}  // namespace

void LoopChecks::At(int64_t step, const LoopSignals& signals, std::vector<LoopAction>& due) {
  due.clear();
  for (size_t i = 0; i < loops_.size(); ++i) {
    Script& s = scripts_[i];
    const CheckedLoop& loop = loops_[i];
    const LoopCheckSettings& set = settings_[i];
    const double span = loop.high - loop.low;
    if (step == s.dir0) {  // MANL, then the output moved by a few percent, down where up would pass 100 %
      s.u0 = 100.0 * signals.Output(loop.controller);
      s.du = s.u0 + set.outputStep <= 100.0 ? set.outputStep : -set.outputStep;
      s.pv0 = signals.Pv(loop.pv);
      due.push_back(LoopAction{LoopAction::Kind::SetMode, i, 0.0, "MANL", "direction"});
      due.push_back(LoopAction{LoopAction::Kind::SetOutput, i, s.u0 + s.du, ""});
    } else if (step == s.dir1) {  // measured, then the output restored, and AUTO unless it failed
      s.dpv = signals.Pv(loop.pv) - s.pv0;
      s.dirMeasured = true;
      due.push_back(LoopAction{LoopAction::Kind::SetOutput, i, s.u0, ""});
      if (DirectionPassed(i)) {
        due.push_back(LoopAction{LoopAction::Kind::SetMode, i, 0.0, "AUTO"});
      } else {
        s.stoppedBy = "direction";  // left in MANL: a loop that acts the wrong way would run away
      }
    }
    if (s.stoppedBy != nullptr) {
      continue;
    }
    if (step == s.sp0) {  // the target stepped, down where up would leave the span
      s.uBeforeStep = 100.0 * signals.Output(loop.controller);
      s.sp = signals.Target(loop.controller);
      const double step10 = set.setpointStep / 100.0 * span;
      s.newSp = s.sp + step10 <= loop.high ? s.sp + step10 : s.sp - step10;
      s.answer.Start(signals.Pv(loop.pv), s.newSp, set.settleBand / 100.0 * span);
      due.push_back(LoopAction{LoopAction::Kind::SetTarget, i, s.newSp, "", "setpoint step"});
    } else if (step == s.sp1) {  // the target back; a loop that failed the step is left in MANL as it was
      due.push_back(LoopAction{LoopAction::Kind::SetTarget, i, s.sp, ""});
      if (!StepPassed(i)) {
        s.stoppedBy = "setpoint step";
        due.push_back(LoopAction{LoopAction::Kind::SetMode, i, 0.0, "MANL"});
        due.push_back(LoopAction{LoopAction::Kind::SetOutput, i, s.uBeforeStep, ""});
        continue;
      }
    }
    if (step == s.bad0) {
      s.badU0 = 100.0 * signals.Output(loop.controller);
      due.push_back(LoopAction{LoopAction::Kind::FailPv, i, 0.0, "", "bad transmitter"});
    } else if (s.bad0 >= 0 && step == s.bad0 + 1) {
      // The output the controller holds once it has met the failed PV: the scan of the
      // step the transmitter failed in is the one that sheds, and the reference is after it.
      s.badU0 = 100.0 * signals.Output(loop.controller);
    } else if (step == s.bad1) {  // the mode read back, then the transmitter recovered and AUTO restored
      s.badU1 = 100.0 * signals.Output(loop.controller);
      s.badMeasured = true;
      due.push_back(LoopAction{LoopAction::Kind::ReadMode, i, 0.0, ""});
      due.push_back(LoopAction{LoopAction::Kind::RecoverPv, i, 0.0, ""});
      due.push_back(LoopAction{LoopAction::Kind::SetMode, i, 0.0, "AUTO"});
    }
  }
}

std::pair<double, double> LoopChecks::CheckWindow(size_t loop) const {
  const Script& s = scripts_[loop];
  int64_t first = s.end;
  for (const int64_t start : {s.dir0, s.sp0, s.bad0}) {
    first = start >= 0 && start < first ? start : first;
  }
  const double margin = 0.05 * static_cast<double>(s.end - first);
  return {std::fmax(0.0, (static_cast<double>(first) - margin) * dt_), static_cast<double>(s.end) * dt_};
}

std::vector<std::pair<double, std::string>> LoopChecks::CheckStarts(size_t loop) const {
  const Script& s = scripts_[loop];
  std::vector<std::pair<double, std::string>> starts;
  const std::pair<int64_t, const char*> checks[] = {
      {s.dir0, "direction"}, {s.sp0, "setpoint step"}, {s.bad0, "bad transmitter"}};
  for (const auto& check : checks) {
    if (check.first >= 0) {
      starts.emplace_back(static_cast<double>(check.first) * dt_, check.second);
    }
  }
  return starts;
}

std::vector<Verdict> LoopChecks::NotReached(const Case& c, const std::string& why) const {
  std::vector<Verdict> missed;
  const auto add = [&](const std::string& tag, const char* check) {
    Verdict v;
    v.description = tag + " " + check;
    v.measured = "not reached: " + why;
    v.loop = tag;
    missed.push_back(v);
  };
  for (size_t i = 0; i < loops_.size(); ++i) {
    const Script& s = scripts_[i];
    const std::string& tag = c.controllers[loops_[i].controller].tag;
    if (s.dir0 >= 0 && !s.dirMeasured) {
      add(tag, "direction");
    }
    const bool stopped = s.stoppedBy != nullptr;  // what it stopped is "not run", judged with the rest
    if (s.sp0 >= 0 && s.answer.samples < s.sp1 - s.sp0 && !stopped) {
      add(tag, "setpoint step");
    }
    if (s.bad0 >= 0 && !s.badMeasured && !stopped) {
      add(tag, "bad transmitter");
    }
  }
  return missed;
}

std::string LoopChecks::Unmatched(const Case& c, const std::vector<CheckedLoop>& loops) {
  for (const CaseLoopCheck& check : c.loopChecks) {
    const bool matched = std::any_of(loops.begin(), loops.end(), [&](const CheckedLoop& loop) {
      return GlobMatch(check.loops, c.controllers[loop.controller].tag);
    });
    if (!matched) {
      return Where(check.origin) + ": loops = \"" + check.loops + "\" matches none of the " +
             std::to_string(loops.size()) + " paired loops (`dcshost tieback` lists the pairs)";
    }
  }
  return std::string();
}

void LoopChecks::ModeRead(size_t loop, const std::string& mode) { scripts_[loop].mode = mode; }

void LoopChecks::Sample(int64_t step, const LoopSignals& signals) {
  for (size_t i = 0; i < loops_.size(); ++i) {
    LoopTrend& t = trends_[i];
    if (step >= t.first && (step - t.first) % t.every == 0 &&
        t.times.size() <= MaxTrend) {  // within the room Plan made
      t.times.push_back(static_cast<double>(step + 1) * dt_);
      t.pv.push_back(signals.Pv(loops_[i].pv));
      t.target.push_back(signals.Target(loops_[i].controller));
      t.output.push_back(100.0 * signals.Output(loops_[i].controller));
    }
    Script& s = scripts_[i];
    if (step < s.sp0 || step >= s.sp1 || s.stoppedBy != nullptr) {  // within the step: stopped by its direction
      continue;
    }
    const double pv = signals.Pv(loops_[i].pv);
    const double output = 100.0 * signals.Output(loops_[i].controller);
    const double target = signals.Target(loops_[i].controller);
    const double seconds = static_cast<double>(step + 1 - s.sp0) * dt_;
    s.answer.Take(seconds, pv);
    if (seconds <= settings_[i].riseTime || !s.seen) {
      s.pvAtRiseLimit = pv;
    }
    s.outLow = s.seen ? std::min(s.outLow, output) : output;
    s.outHigh = s.seen ? std::max(s.outHigh, output) : output;
    s.pvLow = s.seen ? std::min(s.pvLow, pv) : pv;
    s.pvHigh = s.seen ? std::max(s.pvHigh, pv) : pv;
    s.pvLast = pv;
    s.seen = true;
    const double span = loops_[i].high - loops_[i].low;
    if (s.movedAt < 0.0 && std::fabs(target - s.newSp) > 1e-4 * std::fabs(span)) {
      s.movedAt = seconds;
      s.movedTo = target;
    }
  }
}

namespace {

// Who else writes a controller's target: the PV rows that send to its point.
std::string TargetWriters(const Case& c, size_t controller) {
  const std::string target = TargetPoint(c.controllers[controller]);
  std::string writers;
  for (size_t k = 0; k < c.pv.size(); ++k) {
    const CasePVRow& row = c.pv[k];
    if (PointText(row.node, row.tag, row.field) == target) {
      writers += (writers.empty() ? "" : ", ") + RowLabel("PV", k) + " (" + Where(row.origin) + ")";
    }
  }
  return writers.empty() ? "another writer" : writers;
}

}  // namespace

// Why a setpoint step failed, in an engineer's words; the first cause that
// the samples show, in this order: the target overwritten, the output at a
// limit throughout, the PV still, the PV the wrong way, the output reaching a
// limit with the PV short, too slow, too much overshoot, no settling.
std::string LoopChecks::StepCause(const Case& c, size_t i) const {
  const Script& s = scripts_[i];
  const CheckedLoop& loop = loops_[i];
  const LoopCheckSettings& set = settings_[i];
  const double span = std::fabs(loop.high - loop.low);
  const double step = s.newSp - s.sp;
  const double moved = s.pvLast - s.answer.from;
  if (s.movedAt >= 0.0) {
    return "the target was changed to " + Measured(s.movedTo) + ", " + Measured(s.movedAt) + " s into the check, by " +
           TargetWriters(c, loop.controller);
  }
  if (s.outLow >= 99.5 || s.outHigh <= 0.5) {
    return std::string("the output stayed at ") + (s.outLow >= 99.5 ? "100" : "0") +
           " % throughout, the PV short of the target: suspect the action, the range, the valve or the tuning";
  }
  if (s.pvHigh - s.pvLow < 0.001 * span) {
    return "the PV did not move: a frozen or unconnected transmitter, or a valve that does not move";
  }
  if (moved * step < 0.0 && std::fabs(moved) >= 0.001 * span) {
    return "the PV moved away from the target: the controller's action (A_ACTION) or the plant's is the wrong way";
  }
  const bool atHigh = s.outHigh >= 99.5 && step * (loop.directAction ? -1.0 : 1.0) > 0.0;
  const bool atLow = s.outLow <= 0.5 && step * (loop.directAction ? -1.0 : 1.0) < 0.0;
  if ((atHigh || atLow) && s.answer.riseAt < 0.0) {
    return std::string("the output reached ") + (atHigh ? "100" : "0") +
           " % while the PV stayed short of the target: suspect the range, the valve or the tuning";
  }
  if (s.answer.riseAt < 0.0 || s.answer.riseAt > set.riseTime) {
    return "too slow: the PV got to " + Measured(100.0 * (s.pvAtRiseLimit - s.answer.from) / step) +
           " % of the step by " + Measured(set.riseTime) + " s, its rise limit";
  }
  if (s.answer.OvershootPercent(s.sp) > set.overshoot) {
    return "it overshot its new target beyond the limit: the tuning is too aggressive";
  }
  return "it did not settle within the band: it oscillates, or creeps toward the target";
}

bool LoopChecks::DirectionPassed(size_t i) const {
  const Script& s = scripts_[i];
  const CheckedLoop& loop = loops_[i];
  // Negative feedback: a reverse-acting controller needs a PV that rises with its output.
  const double wanted = (loop.directAction ? -1.0 : 1.0) * (s.du >= 0.0 ? 1.0 : -1.0);
  const bool answered = std::fabs(s.dpv) >= 0.001 * (loop.high - loop.low);
  return s.dirMeasured && answered && s.dpv * wanted > 0.0;
}

bool LoopChecks::StepPassed(size_t i) const {
  const Script& s = scripts_[i];
  const LoopCheckSettings& set = settings_[i];
  const StepResponse& a = s.answer;
  double settling = 0.0;
  const bool settled = a.SettlingTime(static_cast<double>(s.sp1 - s.sp0) * dt_, dt_, settling);
  return a.riseAt >= 0.0 && a.riseAt <= set.riseTime && a.OvershootPercent(s.sp) <= set.overshoot && settled &&
         settling <= set.settlingTime;
}

std::vector<Verdict> LoopChecks::Judge(const Case& c) const {
  std::vector<Verdict> verdicts;
  for (size_t i = 0; i < loops_.size(); ++i) {
    const Script& s = scripts_[i];
    const CheckedLoop& loop = loops_[i];
    const LoopCheckSettings& set = settings_[i];
    const std::string& tag = c.controllers[loop.controller].tag;
    const std::string& pvTag = c.pv[loop.pv].tag;
    const auto add = [&](const char* check, bool passed, const std::string& measured) {
      if (measured.empty()) {
        return;  // not reached: NotReached lists it
      }
      Verdict v;
      v.passed = passed;
      v.description = tag + " " + check;
      v.measured = measured;
      v.waived = set.waived;
      v.loop = tag;
      verdicts.push_back(v);
    };
    // A check after the one that failed was not run: failed, never passed.
    const auto notRun = [&](const char* check, int64_t start) {
      if (start >= 0 && s.stoppedBy != nullptr) {
        add(check, false, std::string("not run: ") + s.stoppedBy + " failed, and the loop was left in MANL");
        return true;
      }
      return false;
    };
    if (s.dir0 >= 0) {
      const double wanted = (loop.directAction ? -1.0 : 1.0) * (s.du >= 0.0 ? 1.0 : -1.0);
      const bool answered = std::fabs(s.dpv) >= 0.001 * (loop.high - loop.low);
      const bool right = DirectionPassed(i);
      const char* action = loop.directAction ? "a direct-acting" : "a reverse-acting";
      add("direction", s.dirMeasured && right,
          !s.dirMeasured
              ? std::string()
              : "output " + Signed(s.du) + " % (from " + Measured(s.u0) + " %) moved " + pvTag + " by " +
                    Signed(s.dpv) + " in " + Measured(set.directionTime) + " s: " +
                    (!answered ? std::string("no answer")
                               : std::string(s.dpv > 0.0 ? "rises" : "falls") + " with the output") +
                    "; " + action + " controller needs it to " + (wanted > 0.0 ? "rise" : "fall") +
                    (right ? std::string()
                     : !answered
                         ? ": the PV did not move (a frozen or unconnected transmitter, or a valve that does not move)"
                         : ": the controller's action (A_ACTION) is the wrong way for its plant"));
    }
    const bool stepNotRun =
        s.stoppedBy != nullptr && std::strcmp(s.stoppedBy, "direction") == 0 && notRun("setpoint step", s.sp0);
    if (s.sp0 >= 0 && !stepNotRun) {
      const StepResponse& a = s.answer;
      const double overshoot = a.OvershootPercent(s.sp);
      double settling = 0.0;
      const bool settled = a.SettlingTime(static_cast<double>(s.sp1 - s.sp0) * dt_, dt_, settling);
      const bool passed = StepPassed(i);
      const std::string cause = passed ? std::string() : StepCause(c, i);
      add("setpoint step", passed,
          s.sp1 > a.samples + s.sp0
              ? std::string()
              : (cause.empty() ? std::string() : cause + "; ") + Measured(s.sp) + " -> " + Measured(s.newSp) +
                    ": rise " + (a.riseAt < 0.0 ? "never" : Measured(a.riseAt) + " s") + " (limit " +
                    Measured(set.riseTime) + "), overshoot " + Measured(overshoot) + " % (limit " +
                    Measured(set.overshoot) + "), settled within " + Measured(set.settleBand) + " % of span " +
                    (settled ? "after " + Measured(settling) + " s" : "never") + " (limit " +
                    Measured(set.settlingTime) + "), error at the end " + Measured(a.EndError()));
    }
    if (!notRun("bad transmitter", s.bad0) && s.bad0 >= 0) {
      const bool held = std::fabs(s.badU1 - s.badU0) <= 0.1;
      add("bad transmitter", s.badMeasured && s.mode == "MANL" && held,
          !s.badMeasured
              ? std::string()
              : pvTag + " failed: " + (s.mode == "MANL" ? "shed to MANL" : "stayed in " + s.mode) + ", output " +
                    (held ? "held at " + Measured(s.badU1) + " %"
                          : "moved from " + Measured(s.badU0) + " to " + Measured(s.badU1) + " %"));
    }
  }
  return verdicts;
}

}  // namespace host
