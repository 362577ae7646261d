// Loop checks at run time: the actions due at a step boundary with their
// values from the record as it is, the setpoint step's answer measured as it
// goes (rise, overshoot, settling, the error at the end), and the verdicts.
#include "checkout/loop_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "case/glob.h"
#include "checkout/loop_check_script.h"

namespace host {
namespace {

std::string Signed(double x) { return (x >= 0.0 ? "+" : "") + Measured(x); }

}  // namespace

void LoopChecks::At(int64_t step, const LoopSignals& signals, std::vector<LoopAction>& due) {
  due.clear();
  for (size_t i = 0; i < loops_.size(); ++i) {
    if (loops_[i].discrete) {
      SwitchAt(i, step, signals, due);
      continue;
    }
    const Script& s = scripts_[i];
    if (loops_[i].remoteTarget && step == s.first) {  // checked in local automatic, then back as it was
      due.push_back(LoopAction{LoopAction::Kind::LocalTarget, i, 0.0, ""});
    } else if (loops_[i].remoteTarget && step == s.end) {
      due.push_back(LoopAction{LoopAction::Kind::RestoreCascade, i, 0.0, ""});
    }
    RangeAt(i, step, signals, due);
    StrokeAt(i, step, signals, due);
    SplitAt(i, step, signals, due);
    DirectionAt(i, step, signals, due);
    SetpointAt(i, step, signals, due);
    BadPvAt(i, step, signals, due);
    CascadeBreakAt(i, step, signals, due);
    RatioAt(i, step, signals, due);
  }
}

// A failed check leaves its loop as it was before that check and stops the
// checks after it: they are "not run".
void LoopChecks::Stop(size_t i, const char* check, int64_t at) {
  scripts_[i].stoppedBy = check;
  scripts_[i].stoppedAt = at;
}

// MANL, then the PV row driven to 0, 25, 50, 75 and 100 % of the span the
// transmitter sends over, FIX read at the end of each point's hold; then the
// PV released and, a step later when the last reading is in, AUTO unless
// FIX's readings failed the check.
void LoopChecks::RangeAt(size_t i, int64_t step, const LoopSignals&, std::vector<LoopAction>& due) {
  Script& s = scripts_[i];
  const CheckedLoop& loop = loops_[i];
  if (s.range0 < 0 || s.stoppedBy != nullptr || step < s.range0) {
    return;
  }
  if (step == s.range0 + Points * s.rangeHold + 1) {
    std::string ignored;
    if (RangePassed(i, ignored)) {
      due.push_back(LoopAction{LoopAction::Kind::SetMode, i, 0.0, "AUTO"});
    } else {
      Stop(i, "range", s.range0);
    }
    return;
  }
  if ((step - s.range0) % s.rangeHold != 0) {
    return;
  }
  const auto point = static_cast<int>((step - s.range0) / s.rangeHold);
  if (point > Points) {
    return;
  }
  if (point == 0) {
    due.push_back(LoopAction{LoopAction::Kind::SetMode, i, 0.0, "MANL", "range"});
  } else {
    due.push_back(LoopAction{LoopAction::Kind::ReadPv, i, 0.0, ""});
  }
  if (point < Points) {
    s.rangeSent[point] = loop.sentLow + 0.25 * point * (loop.sentHigh - loop.sentLow);
    due.push_back(LoopAction{LoopAction::Kind::DrivePv, i, s.rangeSent[point], ""});
    return;
  }
  due.push_back(LoopAction{LoopAction::Kind::ReleasePv, i, 0.0, ""});
}

void LoopChecks::CascadeRead(size_t i, const std::string& text) { scripts_[i].cascade = text; }

const std::string& LoopChecks::CascadeBefore(size_t i) const { return scripts_[i].cascade; }

void LoopChecks::PvRead(size_t i, double value) {
  Script& s = scripts_[i];
  if (s.rangeReads < Points) {
    s.rangeRead[s.rangeReads++] = value;
  }
}

// MANL, then the output set to 0, 25, 50, 75 and 100 %, the PV read halfway
// through each hold and at its end; then the output as it was and AUTO.
void LoopChecks::StrokeAt(size_t i, int64_t step, const LoopSignals& signals, std::vector<LoopAction>& due) {
  Script& s = scripts_[i];
  const CheckedLoop& loop = loops_[i];
  if (s.stroke0 < 0 || s.stoppedBy != nullptr || step < s.stroke0) {
    return;
  }
  const int64_t into = step - s.stroke0;
  const auto point = static_cast<int>(into / s.strokeHold);
  if (point < Points && into % s.strokeHold == s.strokeHold / 2) {
    s.strokeMid[point] = signals.Pv(loop.pv);
  }
  if (into % s.strokeHold != 0 || point > Points) {
    return;
  }
  if (point == 0) {
    s.strokeU0 = 100.0 * signals.Output(loop.controller);
    due.push_back(LoopAction{LoopAction::Kind::SetMode, i, 0.0, "MANL", "stroke"});
  } else {
    s.strokeEnd[point - 1] = signals.Pv(loop.pv);
    s.strokeEnds = point;
  }
  if (point < Points) {
    due.push_back(LoopAction{LoopAction::Kind::SetOutput, i, 25.0 * point, ""});
    return;
  }
  std::string ignored;
  due.push_back(LoopAction{LoopAction::Kind::SetOutput, i, s.strokeU0, ""});
  if (StrokePassed(i, std::string(), ignored)) {
    due.push_back(LoopAction{LoopAction::Kind::SetMode, i, 0.0, "AUTO"});
  } else {
    Stop(i, "stroke", s.stroke0);
  }
}

// MANL, then the output moved by a few percent, down where up would pass 100 %;
// measured, then the output restored, and AUTO unless it failed.
void LoopChecks::DirectionAt(size_t i, int64_t step, const LoopSignals& signals, std::vector<LoopAction>& due) {
  Script& s = scripts_[i];
  const CheckedLoop& loop = loops_[i];
  if (s.stoppedBy != nullptr) {
    return;
  }
  if (step == s.dir0) {
    s.u0 = 100.0 * signals.Output(loop.controller);
    s.du = s.u0 + settings_[i].outputStep <= 100.0 ? settings_[i].outputStep : -settings_[i].outputStep;
    s.pv0 = signals.Pv(loop.pv);
    due.push_back(LoopAction{LoopAction::Kind::SetMode, i, 0.0, "MANL", "direction"});
    due.push_back(LoopAction{LoopAction::Kind::SetOutput, i, s.u0 + s.du, ""});
  } else if (step == s.dir1) {
    s.dpv = signals.Pv(loop.pv) - s.pv0;
    s.dirMeasured = true;
    due.push_back(LoopAction{LoopAction::Kind::SetOutput, i, s.u0, ""});
    if (DirectionPassed(i)) {
      due.push_back(LoopAction{LoopAction::Kind::SetMode, i, 0.0, "AUTO"});
    } else {
      Stop(i, "direction", s.dir0);  // left in MANL: a loop that acts the wrong way would run away
    }
  }
}

// The target stepped, down where up would leave the span; then back, and a
// loop that failed the step left in MANL at the output it had before it.
void LoopChecks::SetpointAt(size_t i, int64_t step, const LoopSignals& signals, std::vector<LoopAction>& due) {
  Script& s = scripts_[i];
  const CheckedLoop& loop = loops_[i];
  if (s.stoppedBy != nullptr) {
    return;
  }
  if (step == s.sp0) {
    s.uBeforeStep = 100.0 * signals.Output(loop.controller);
    s.sp = signals.Target(loop.controller);
    const double step10 = settings_[i].setpointStep / 100.0 * (loop.high - loop.low);
    s.newSp = s.sp + step10 <= loop.high ? s.sp + step10 : s.sp - step10;
    s.answer.Start(signals.Pv(loop.pv), s.newSp, settings_[i].settleBand / 100.0 * (loop.high - loop.low));
    due.push_back(LoopAction{LoopAction::Kind::SetTarget, i, s.newSp, "", "setpoint step"});
  } else if (step == s.sp1) {
    due.push_back(LoopAction{LoopAction::Kind::SetTarget, i, s.sp, ""});
    if (!StepPassed(i)) {
      Stop(i, "setpoint step", s.sp0);
      due.push_back(LoopAction{LoopAction::Kind::SetMode, i, 0.0, "MANL"});
      due.push_back(LoopAction{LoopAction::Kind::SetOutput, i, s.uBeforeStep, ""});
    }
  }
}

void LoopChecks::BadPvAt(size_t i, int64_t step, const LoopSignals& signals, std::vector<LoopAction>& due) {
  Script& s = scripts_[i];
  const CheckedLoop& loop = loops_[i];
  if (s.stoppedBy != nullptr || s.bad0 < 0) {
    return;
  }
  if (step == s.bad0) {
    s.badU0 = 100.0 * signals.Output(loop.controller);
    due.push_back(LoopAction{LoopAction::Kind::FailPv, i, 0.0, "", "bad transmitter"});
  } else if (step == s.bad0 + 1) {
    // The output the controller holds once it has met the failed PV: the scan of the
    // step the transmitter failed in is the one that sheds, and the reference is after it.
    s.badU0 = 100.0 * signals.Output(loop.controller);
  } else if (step == s.bad1) {  // the mode read back, then the transmitter recovered and AUTO restored
    s.badU1 = 100.0 * signals.Output(loop.controller);
    s.badMeasured = true;
    due.push_back(LoopAction{LoopAction::Kind::ReadMode, i, 0.0, ""});
    if (loop.slaveRow >= 0) {
      due.push_back(LoopAction{LoopAction::Kind::ReadSlave, i, 0.0, ""});
    }
    due.push_back(LoopAction{LoopAction::Kind::RecoverPv, i, 0.0, ""});
    due.push_back(LoopAction{LoopAction::Kind::SetMode, i, 0.0, "AUTO"});
    if (loop.slaveRow >= 0) {  // a failed master broke its cascade; its slave goes back, without a bump
      due.push_back(LoopAction{LoopAction::Kind::SlaveCascade, i, 0.0, "YES"});
    }
  }
}

bool LoopChecks::Running(size_t i, const LoopSignals& signals) const {
  const double v = signals.Pv(loops_[i].pv);
  return loops_[i].flagFeedback ? v < 0.5 : v >= 0.5;
}

// A discrete loop: the command switched (started where it was stopped,
// stopped where it ran), the feedback watched, then switched back. A switch
// that fails puts the command back as it was and stops the other.
void LoopChecks::SwitchAt(size_t i, int64_t step, const LoopSignals& signals, std::vector<LoopAction>& due) {
  Script& s = scripts_[i];
  for (size_t k = 0; k < s.switches.size(); ++k) {
    Script::Switch& w = s.switches[k];
    if (s.stoppedBy != nullptr) {
      return;
    }
    if (step == w.at0) {
      const bool commanded = signals.Command(loops_[i].controller) < 0.5;  // 0.0 is "YES"
      w.starting = !commanded;
      w.already = Running(i, signals) == w.starting;
      s.switches[1].starting = k == 0 ? !w.starting : s.switches[1].starting;  // named, even if never made
      due.push_back(
          LoopAction{LoopAction::Kind::SetCommand, i, 0.0, w.starting ? "YES" : "NO", w.starting ? "start" : "stop"});
    } else if (step == w.at1) {
      w.measured = true;
      const double limit = w.starting ? settings_[i].startTime : settings_[i].stopTime;
      if (w.already || w.reachedAt < 0.0 || w.reachedAt > limit) {
        due.push_back(LoopAction{LoopAction::Kind::SetCommand, i, 0.0, w.starting ? "NO" : "YES"});
        Stop(i, w.starting ? "start" : "stop", w.at0);
      }
    }
  }
}

std::vector<std::pair<int64_t, const char*>> LoopChecks::Script::Starts() const {
  std::vector<std::pair<int64_t, const char*>> starts = {
      {range0, "range"},      {stroke0, "stroke"},       {split0, "split range"}, {dir0, "direction"},
      {sp0, "setpoint step"}, {bad0, "bad transmitter"}, {cas0, "cascade break"}, {rat0, "ratio"}};
  for (const Switch& w : switches) {
    starts.emplace_back(w.at0, w.starting ? "start" : "stop");
  }
  return starts;
}

std::pair<double, double> LoopChecks::CheckWindow(size_t loop) const {
  const Script& s = scripts_[loop];
  int64_t first = s.end;
  for (const auto& start : s.Starts()) {
    first = start.first >= 0 && start.first < first ? start.first : first;
  }
  const double margin = 0.05 * static_cast<double>(s.end - first);
  return {std::fmax(0.0, (static_cast<double>(first) - margin) * dt_), static_cast<double>(s.end) * dt_};
}

std::vector<std::pair<double, std::string>> LoopChecks::CheckStarts(size_t loop) const {
  std::vector<std::pair<double, std::string>> starts;
  for (const auto& check : scripts_[loop].Starts()) {
    if (check.first >= 0) {
      starts.emplace_back(static_cast<double>(check.first) * dt_, check.second);
    }
  }
  return starts;
}

std::vector<Verdict> LoopChecks::NotReached(const Case& c, const std::string& why) const {
  std::vector<Verdict> missed;
  for (size_t i = 0; i < loops_.size(); ++i) {
    const Script& s = scripts_[i];
    const LoopCheckSettings& set = settings_[i];
    const std::string& tag = CheckedTag(c, loops_[i]);
    // What a failed check stopped is "not run", judged with the rest.
    const auto add = [&](int64_t start, bool made, bool measured, const char* check) {
      const bool stopped = s.stoppedBy != nullptr && start > s.stoppedAt;
      if (start >= 0 && made && !measured && !stopped) {
        Verdict v;
        v.description = tag + " " + check;
        v.measured = "not reached: " + why;
        v.loop = tag;
        missed.push_back(v);
      }
    };
    add(s.range0, true, s.rangeReads == Points, "range");
    add(s.stroke0, true, s.strokeEnds == Points, "stroke");
    add(s.dir0, true, s.dirMeasured, "direction");
    add(s.sp0, true, s.answer.samples >= s.sp1 - s.sp0, "setpoint step");
    add(s.bad0, true, s.badMeasured, "bad transmitter");
    add(s.split0, true, s.splitEnds == Points, "split range");
    add(s.cas0, true, s.casMeasured, "cascade break");
    add(s.rat0, true, s.ratMeasured, "ratio");
    bool startMeasured = false, stopMeasured = false;  // a discrete loop's switches
    for (const Script::Switch& w : s.switches) {
      (w.starting ? startMeasured : stopMeasured) |= w.measured;
    }
    const int64_t unmade = s.switches[0].at0 >= 0 && s.stoppedBy == nullptr ? s.switches[0].at0 : -1;
    add(unmade, set.checkStart, startMeasured, "start");
    add(unmade, set.checkStop, stopMeasured, "stop");
  }
  return missed;
}

std::string LoopChecks::Unmatched(const Case& c, const std::vector<CheckedLoop>& loops) {
  for (const CaseLoopCheck& check : c.loopChecks) {
    const bool matched = std::any_of(loops.begin(), loops.end(), [&](const CheckedLoop& loop) {
      return GlobMatch(check.loops, CheckedTag(c, loop));
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
    const CheckedLoop& loop = loops_[i];
    LoopTrend& t = trends_[i];
    if (step >= t.first && (step - t.first) % t.every == 0 &&
        t.times.size() <= MaxTrend) {  // within the room Plan made
      t.times.push_back(static_cast<double>(step + 1) * dt_);
      // A discrete loop's trend: its feedback running (1) or not, its command (100 % "YES").
      t.pv.push_back(loop.discrete ? (Running(i, signals) ? 1.0 : 0.0) : signals.Pv(loop.pv));
      t.target.push_back(loop.discrete ? std::nan("") : signals.Target(loop.controller));
      t.output.push_back(loop.discrete ? (signals.Command(loop.controller) < 0.5 ? 100.0 : 0.0)
                                       : 100.0 * signals.Output(loop.controller));
    }
    if (loop.discrete) {
      for (Script::Switch& w : scripts_[i].switches) {
        if (step >= w.at0 && step < w.at1 && w.reachedAt < 0.0 && !w.already && Running(i, signals) == w.starting) {
          w.reachedAt = static_cast<double>(step + 1 - w.at0) * dt_;
        }
      }
      continue;
    }
    SampleRatio(i, step, signals);
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

// Why a PV does not answer its controller: a cascade's master moves its
// slave's target, which only a slave in AUTO and in cascade takes.
std::string Still(const Case& c, const CheckedLoop& loop) {
  if (loop.slaveRow >= 0) {
    return "its slave " + c.controllers[static_cast<size_t>(loop.slaveRow)].tag +
           " does not take its output, being out of AUTO or of cascade, or does not move the plant";
  }
  return "a frozen or unconnected transmitter, or a valve that does not move";
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
    return "the PV did not move: " + Still(c, loop);
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

namespace {

// Five readings as a list: "0, 25, 50, 75, 100"; a reading within a
// millionth of the span of zero is 0, not a float's residue (1.2e-11).
std::string Listed(const std::array<double, LoopChecks::Points>& values, double span, double scale = 1.0,
                   double from = 0.0) {
  std::string text;
  for (const double v : values) {
    const double x = scale * (v - from);
    text += (text.empty() ? "" : ", ") + Measured(std::fabs(v - from) < 1e-6 * std::fabs(span) ? 0.0 : x);
  }
  return text;
}

}  // namespace

bool LoopChecks::RangePassed(size_t i, std::string& measured) const {
  const Script& s = scripts_[i];
  const CheckedLoop& loop = loops_[i];
  const LoopCheckSettings& set = settings_[i];
  const double span = loop.high - loop.low;
  std::array<double, Points> percent{};
  double worst = 0.0;
  int at = 0;
  for (int k = 0; k < Points; ++k) {
    percent[k] = 100.0 * (s.rangeRead[k] - loop.low) / span;
    if (std::fabs(percent[k] - 25.0 * k) > std::fabs(worst)) {
      worst = percent[k] - 25.0 * k;
      at = k;
    }
  }
  const bool passed = s.rangeReads == Points && std::fabs(worst) <= set.rangeTolerance;
  std::string cause;
  if (!passed && s.rangeRead[0] == s.rangeRead[Points - 1]) {
    cause = "FIX read the same value at every point: the PV row does not reach its point; ";
  } else if (!passed && (loop.sentLow != loop.low || loop.sentHigh != loop.high)) {
    cause = "FIX's range (" + Measured(loop.low) + " to " + Measured(loop.high) + ") is not the transmitter's (" +
            Measured(loop.sentLow) + " to " + Measured(loop.sentHigh) + "): FIX reads the transmitter's 100 % as " +
            Measured(percent[Points - 1]) + " %; ";
  } else if (!passed) {
    cause = "FIX read " + Measured(percent[at]) + " % where the transmitter sent " + Measured(25.0 * at) +
            " %: suspect the transmitter's calibration, the point's range or the value's conversion; ";
  }
  measured = cause + "sent 0/25/50/75/100 % of " + Measured(loop.sentLow) + " to " + Measured(loop.sentHigh) + " (" +
             Listed(s.rangeSent, span) + "), FIX read " + Listed(s.rangeRead, span) + " (" +
             Listed(s.rangeRead, span, 100.0 / span, loop.low) + " % of its range " + Measured(loop.low) + " to " +
             Measured(loop.high) + "), within " + Measured(set.rangeTolerance) + " % of span";
  return passed;
}

// Each point's answer: the PV at the end of its hold, or for a plant that
// integrates the output its change over the second half of the hold (a rate).
// Each step up of the output must move the answer the way the controller's
// action needs, by 0.1 % of span at least.
bool LoopChecks::StrokePassed(size_t i, const std::string& pvTag, std::string& measured) const {
  const Script& s = scripts_[i];
  const CheckedLoop& loop = loops_[i];
  const double span = loop.high - loop.low;
  std::array<double, Points> answer{};
  for (int k = 0; k < Points; ++k) {
    answer[k] = loop.integrating ? s.strokeEnd[k] - s.strokeMid[k] : s.strokeEnd[k];
  }
  const double wanted = loop.directAction ? -1.0 : 1.0;
  std::string cause;
  for (int k = 1; k < Points && cause.empty() && s.strokeEnds == Points; ++k) {
    const double d = answer[k] - answer[k - 1];
    const std::string between = Measured(25.0 * (k - 1)) + " and " + Measured(25.0 * k) + " %";
    if (std::fabs(d) < 0.001 * std::fabs(span)) {
      cause = "no answer between " + between +
              ": the valve does not move over that part of its stroke, or the PV is at a limit; ";
    } else if (d * wanted < 0.0) {
      cause = std::string("the PV ") + (d < 0.0 ? "fell" : "rose") + " as the output rose between " + between +
              ": the plant answers the wrong way for " + (loop.directAction ? "a direct" : "a reverse") +
              "-acting controller (A_ACTION); ";
    }
  }
  const double hold = static_cast<double>(s.strokeHold) * dt_;
  measured = cause + "output 0/25/50/75/100 %: " + pvTag +
             (loop.integrating ? " moved " + Listed(answer, span) + " over the last " + Measured(hold / 2.0) +
                                     " s of each " + Measured(hold) + " s"
                               : " at " + Listed(answer, span) + " after " + Measured(hold) + " s each");
  return s.strokeEnds == Points && cause.empty();
}

std::vector<Verdict> LoopChecks::Judge(const Case& c) const {
  std::vector<Verdict> verdicts;
  for (size_t i = 0; i < loops_.size(); ++i) {
    const Script& s = scripts_[i];
    const CheckedLoop& loop = loops_[i];
    const LoopCheckSettings& set = settings_[i];
    const std::string& tag = CheckedTag(c, loop);
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
      if (start >= 0 && s.stoppedBy != nullptr && start > s.stoppedAt) {
        add(check, false,
            std::string("not run: ") + s.stoppedBy + " failed, and the " +
                (loop.discrete ? "command was put back as it was" : "loop was left in MANL"));
        return true;
      }
      return false;
    };
    if (loop.discrete) {
      for (const Script::Switch& w : s.switches) {
        const char* check = w.starting ? "start" : "stop";
        if (!(w.starting ? set.checkStart : set.checkStop) || w.at0 < 0 || notRun(check, w.at0) || !w.measured) {
          continue;
        }
        const double limit = w.starting ? set.startTime : set.stopTime;
        const char* state = w.starting ? "running" : "stopped";
        const std::string command = c.pvImport[loop.controller].tag + " " + (w.starting ? "YES" : "NO");
        const bool passed = !w.already && w.reachedAt >= 0.0 && w.reachedAt <= limit;
        add(check, passed,
            w.already ? pvTag + " already said " + state + " before " + command +
                            ": the feedback does not follow the drive (forced, or wired to another)"
            : w.reachedAt < 0.0
                ? "no feedback: " + pvTag + " not " + state + " " + Measured(static_cast<double>(w.at1 - w.at0) * dt_) +
                      " s after " + command + " (limit " + Measured(limit) +
                      " s): the command does not reach the drive, or its feedback is not wired"
                : (passed ? std::string() : "too slow: ") + pvTag + " " + state + " " + Measured(w.reachedAt) +
                      " s after " + command + " (limit " + Measured(limit) + " s)");
      }
      continue;
    }
    if (s.range0 >= 0 && !notRun("range", s.range0) && s.rangeReads == Points) {
      std::string measured;
      const bool passed = RangePassed(i, measured);
      add("range", passed, measured);
    }
    if (s.stroke0 >= 0 && !notRun("stroke", s.stroke0) && s.strokeEnds == Points) {
      std::string measured;
      const bool passed = StrokePassed(i, pvTag, measured);
      add("stroke", passed, measured);
    }
    if (s.split0 >= 0 && !notRun("split range", s.split0) && s.splitEnds == Points) {
      std::string measured;
      const bool passed = SplitPassed(i, measured);
      add("split range", passed, measured);
    }
    if (s.dir0 >= 0 && !notRun("direction", s.dir0)) {
      const double wanted = (loop.directAction ? -1.0 : 1.0) * (s.du >= 0.0 ? 1.0 : -1.0);
      const bool answered = std::fabs(s.dpv) >= 0.001 * (loop.high - loop.low);
      const bool right = DirectionPassed(i);
      const char* action = loop.directAction ? "a direct-acting" : "a reverse-acting";
      add("direction", s.dirMeasured && right,
          !s.dirMeasured ? std::string()
                         : "output " + Signed(s.du) + " % (from " + Measured(s.u0) + " %) moved " + pvTag + " by " +
                               Signed(s.dpv) + " in " + Measured(set.directionTime) + " s: " +
                               (!answered ? std::string("no answer")
                                          : std::string(s.dpv > 0.0 ? "rises" : "falls") + " with the output") +
                               "; " + action + " controller needs it to " + (wanted > 0.0 ? "rise" : "fall") +
                               (right       ? std::string()
                                : !answered ? ": the PV did not move (" + Still(c, loop) + ")"
                                            : ": the controller's action (A_ACTION) is the wrong way for its plant"));
    }
    if (s.sp0 >= 0 && !notRun("setpoint step", s.sp0)) {
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
    if (s.bad0 >= 0 && !notRun("bad transmitter", s.bad0)) {
      const bool held = std::fabs(s.badU1 - s.badU0) <= 0.1;
      // A master's slave must break as its A_CASCBRK says: to MANL, or to its local target in AUTO.
      std::string slave;
      bool broke = true;
      if (loop.slaveRow >= 0) {
        const std::string wanted = s.slaveBreak == "MANL" ? "MANL" : "AUTO";
        broke = s.slaveCascade == "NO" && s.slaveMode == wanted;
        slave = std::string(broke ? "; its slave " : "; the cascade did not break as configured: its slave ") +
                c.controllers[static_cast<size_t>(loop.slaveRow)].tag + " " +
                (s.slaveCascade == "NO" ? "left cascade" : "stayed in cascade") + " in " + s.slaveMode +
                " (A_CASCBRK " + s.slaveBreak + ")";
      }
      add("bad transmitter", s.badMeasured && s.mode == "MANL" && held && broke,
          !s.badMeasured
              ? std::string()
              : pvTag + " failed: " + (s.mode == "MANL" ? "shed to MANL" : "stayed in " + s.mode) + ", output " +
                    (held ? "held at " + Measured(s.badU1) + " %"
                          : "moved from " + Measured(s.badU0) + " to " + Measured(s.badU1) + " %") +
                    slave);
    }
    if (s.cas0 >= 0 && !notRun("cascade break", s.cas0) && s.casMeasured) {
      std::string measured;
      const bool passed = CascadeBreakPassed(i, measured);
      add("cascade break", passed, measured);
    }
    if (s.rat0 >= 0 && !notRun("ratio", s.rat0) && s.ratMeasured) {
      std::string measured;
      const bool passed = RatioPassed(i, measured);
      add("ratio", passed, measured);
    }
  }
  return verdicts;
}

}  // namespace host
