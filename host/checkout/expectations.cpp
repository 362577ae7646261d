// Expectations: the window of each, kept as running extremes and the first
// sample outside its band, so that memory does not grow with the run.
#include "checkout/expectations.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_map>

#include "case/glob.h"

namespace host {

std::string Measured(double value) {
  char text[32];
  (void)std::snprintf(text, sizeof text, "%.4g", value);
  return text;
}

namespace {

// A value that came from FIX is a float: a band's limit is compared as the
// float FIX would hold for it, so that 2.1 set through FIX equals 2.1.
double Limit(double limit, bool fromFix) { return fromFix ? static_cast<double>(static_cast<float>(limit)) : limit; }

bool InBand(const CaseExpectation& e, double value, bool fromFix) {
  if (e.hasEquals) {
    return std::fabs(value - Limit(e.equalsValue, fromFix)) <= e.tolerance;
  }
  const double lo = Limit(e.lo, fromFix);
  const double hi = Limit(e.hi, fromFix);
  return !(std::isnan(value) || (!std::isnan(lo) && value < lo) || (!std::isnan(hi) && value > hi));
}

}  // namespace

bool Expectations::Bind(const Case& c, const std::vector<LoopColumns>& loops, const std::vector<std::string>& signals,
                        const std::vector<bool>& fromFix, const FixLibrary& fix, std::string& error) {
  case_ = &c;
  return Expand(c, loops, error) && BindSignals(signals, fromFix, fix, error);
}

bool Expectations::Expand(const Case& c, const std::vector<LoopColumns>& loops, std::string& error) {
  expectations_.clear();
  loopOf_.clear();
  windows_.clear();
  for (const CaseExpectation& e : c.expectations) {
    if (e.loops.empty()) {
      expectations_.push_back(e);
      loopOf_.emplace_back();
      windows_.emplace_back();
      continue;
    }
    const size_t before = expectations_.size();
    for (const LoopColumns& loop : loops) {
      if (!GlobMatch(e.loops, loop.tag)) {
        continue;
      }
      const double span = loop.high - loop.low;
      if (e.kind == CaseExpectation::Kind::Signal && !(span > 0.0)) {
        error = Where(e.origin) + ": " + loop.tag + "'s PV has no span (" + Measured(loop.low) + " to " +
                Measured(loop.high) + "): its signals cannot be judged in percent";
        return false;
      }
      CaseExpectation one = e;
      one.description = loop.tag + " " + e.description;
      one.controller = loop.tag;
      // A signal in percent: the output of its 0-1, the others of the PV's span,
      // from its low end or, for the deviation, from the target.
      const bool output = e.signal == "output";
      Window w;
      w.bound = e.kind == CaseExpectation::Kind::Signal;
      w.column = e.signal == "target" ? loop.target : output ? loop.output : loop.pv;
      w.minus = e.signal == "deviation" ? loop.target : NoColumn;
      w.offset = output ? 0.0 : loop.low;
      w.scale = output ? 100.0 : 100.0 / span;
      expectations_.push_back(one);
      loopOf_.push_back(loop.tag);
      windows_.push_back(w);
    }
    if (expectations_.size() == before) {
      error = Where(e.origin) + ": loops = \"" + e.loops + "\" matches none of the " + std::to_string(loops.size()) +
              " paired loops";
      return false;
    }
  }
  return true;
}

bool Expectations::BindSignals(const std::vector<std::string>& signals, const std::vector<bool>& fromFix,
                               const FixLibrary& fix, std::string& error) {
  std::unordered_map<std::string, size_t> byName;  // the first signal of each name
  for (size_t k = signals.size(); k-- > 0;) {
    byName[signals[k]] = k;
  }
  std::vector<size_t> points;
  for (size_t i = 0; i < expectations_.size(); ++i) {
    const CaseExpectation& e = expectations_[i];
    if (e.kind != CaseExpectation::Kind::Signal || windows_[i].bound) {
      continue;
    }
    const auto column = byName.find(e.signal);
    if (column != byName.end()) {
      windows_[i].bound = true;
      windows_[i].column = column->second;
      windows_[i].fromFix = column->second < fromFix.size() && fromFix[column->second];
      if (e.equalsText) {
        error = Where(e.origin) + ": " + e.signal + " is a number in the trace: expect equals = a number";
        return false;
      }
      continue;
    }
    std::string node, tag, field;
    if (!ParsePointName(e.signal, node, tag, field)) {
      error = Where(e.origin) + ": no signal named '" + e.signal + "' (a trace column, or NODE:TAG.FIELD)";
      return false;
    }
    if (IsTextField(field) != e.equalsText) {
      error = Where(e.origin) + ": " + e.signal +
              (e.equalsText ? " holds a number" : " holds a text: expect equals = \"...\"");
      return false;
    }
    points.push_back(i);
  }
  if (points.empty()) {
    return true;
  }
  group_ = std::make_unique<FixGroup>(fix.api(), static_cast<int32_t>(points.size()));
  for (size_t i : points) {
    std::string node, tag, field;
    ParsePointName(expectations_[i].signal, node, tag, field);
    windows_[i].point = group_->Define(node, tag, field);
    windows_[i].text = IsTextField(field);
    windows_[i].fromFix = true;
    windows_[i].bound = true;
  }
  group_->Resolve();
  for (size_t i : points) {
    const auto code = static_cast<int16_t>(windows_[i].point < 0 ? -1 : group_->PointError(windows_[i].point));
    if (code != 0) {
      error =
          Where(expectations_[i].origin) + ": FIX has no point " + expectations_[i].signal + ": " + fix.ErrorText(code);
      return false;
    }
  }
  return true;
}

void Expectations::Take(const CaseExpectation& e, Window& w, double seconds, double value, const std::string& text) {
  if (w.samples == 0 || value < w.min) {
    w.min = value;
    w.minTime = seconds;
  }
  if (w.samples == 0 || value > w.max) {
    w.max = value;
    w.maxTime = seconds;
  }
  if (w.samples == 0) {
    w.firstTime = seconds;
  }
  w.lastTime = seconds;
  if (e.response) {
    if (w.samples == 0) {  // the step runs from the first value after the event to the target
      w.answer.Start(value, e.target, e.settleBand / 100.0 * std::fabs(e.target - value));
    }
    w.answer.Take(seconds - e.after, value);
  }
  ++w.samples;
  const bool ok = e.equalsText ? text == e.text : InBand(e, value, w.fromFix);
  if (!ok && !w.failed) {
    w.failed = true;
    w.failTime = seconds;
    w.failValue = value;
    w.failText = text;
  }
}

void Expectations::Sample(int64_t step, double seconds, const std::vector<double>& values,
                          const std::vector<bool>& exchanged) {
  if (case_ == nullptr) {
    return;
  }
  if (group_) {
    group_->Read();
  }
  for (size_t i = 0; i < windows_.size(); ++i) {
    const CaseExpectation& e = expectations_[i];
    Window& w = windows_[i];
    if (e.kind != CaseExpectation::Kind::Signal || !w.bound) {
      continue;
    }
    const bool inWindow =
        (e.fromTime ? seconds >= e.after : step >= e.fromStep) && (e.before < 0.0 || seconds < e.before);
    if (!inWindow) {
      continue;
    }
    if (w.point < 0) {
      const bool both = w.minus == NoColumn || exchanged[w.minus];
      if (exchanged[w.column] && both) {
        const double base = w.minus == NoColumn ? w.offset : values[w.minus];
        Take(e, w, seconds, (values[w.column] - base) * w.scale, std::string());
      }
    } else if (w.text) {
      std::string text;
      if (group_->GetText(w.point, text) == 0) {
        Take(e, w, seconds, 0.0, text);
      }
    } else {
      float value = 0.0F;
      if (group_->GetFloat(w.point, value) == 0) {
        Take(e, w, seconds, static_cast<double>(value), std::string());
      }
    }
  }
}

namespace {

// The driver's messages against the keys expected: the same set of keys.
void JudgeMessages(const CaseExpectation& e, const RunOutcome& result, Verdict& v) {
  std::vector<std::string> keys;
  for (const std::string& key : result.messageKeys) {
    if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
      keys.push_back(key);
    }
  }
  std::vector<std::string> wanted = e.messages;
  std::sort(keys.begin(), keys.end());
  std::sort(wanted.begin(), wanted.end());
  v.passed = keys == wanted;
  std::string list;
  for (const std::string& key : keys) {
    list += (list.empty() ? "" : ", ") + key;
  }
  v.measured = std::to_string(result.messageKeys.size()) + " messages" + (list.empty() ? "" : ": " + list);
}

}  // namespace

void Expectations::JudgeSignal(const CaseExpectation& e, const Window& w, Verdict& v) {
  v.windowed = true;
  v.signal = e.signal;
  v.from = e.fromTime ? e.after : w.firstTime;
  v.to = e.before;
  v.lo = e.hasEquals ? e.equalsValue : e.lo;
  v.hi = e.hasEquals ? e.equalsValue : e.hi;
  if (w.samples == 0) {
    v.passed = false;
    v.measured = "no sample in the window (the run ended before it, or the value was never exchanged)";
  } else if (w.failed) {
    v.passed = false;
    v.failTime = w.failTime;
    v.failValue = w.failValue;
    v.measured = "first outside at " + Measured(w.failTime) +
                 " s: " + (e.equalsText ? "\"" + w.failText + "\"" : Measured(w.failValue)) + " (range " +
                 Measured(w.min) + " to " + Measured(w.max) + " from " + Measured(w.firstTime) + " s to " +
                 Measured(w.lastTime) + " s)";
  } else {
    v.passed = true;
    v.measured = e.equalsText ? "\"" + e.text + "\" throughout"
                              : "range " + Measured(w.min) + " (at " + Measured(w.minTime) + " s) to " +
                                    Measured(w.max) + " (at " + Measured(w.maxTime) + " s)";
    v.measured += ", from " + Measured(w.firstTime) + " s to " + Measured(w.lastTime) + " s";
  }
}

void Expectations::JudgeResponse(const CaseExpectation& e, const Window& w, double stepSeconds, Verdict& v) {
  const StepResponse& a = w.answer;
  if (w.samples == 0) {
    v.passed = false;
    v.measured = "no sample after the event (the run ended first, or the value was never exchanged)";
    return;
  }
  const double window = w.lastTime - e.after;
  double settling = 0.0;
  const bool settled = a.SettlingTime(window, stepSeconds, settling);
  const double overshoot = a.OvershootPercent(a.from);
  std::string measured;
  bool passed = true;
  const auto judge = [&](const char* what, double limit, bool ok, const std::string& value) {
    if (!std::isnan(limit)) {
      measured += (measured.empty() ? "" : ", ") + std::string(what) + " " + value + " (limit " + Measured(limit) + ")";
      passed = passed && ok;
    }
  };
  judge("rise", e.riseTime, a.riseAt >= 0.0 && a.riseAt <= e.riseTime,
        a.riseAt < 0.0 ? "never" : Measured(a.riseAt) + " s");
  judge("overshoot", e.overshoot, overshoot <= e.overshoot, Measured(overshoot) + " %");
  judge("settling", e.settlingTime, settled && settling <= e.settlingTime,
        (settled ? Measured(settling) + " s" : std::string("never")) + " within " + Measured(e.settleBand) +
            " % of the step");
  judge("error at the end", e.steadyStateError, a.EndError() <= e.steadyStateError, Measured(a.EndError()));
  v.passed = passed;
  v.measured = "from " + Measured(a.from) + ": " + measured;
}

std::vector<Verdict> Expectations::Judge(const RunOutcome& result) const {
  std::vector<Verdict> verdicts;
  if (case_ == nullptr) {
    return verdicts;
  }
  for (size_t i = 0; i < expectations_.size(); ++i) {
    const CaseExpectation& e = expectations_[i];
    Verdict v;
    v.loop = loopOf_[i];
    v.description = e.description;
    v.waived = e.waived;
    switch (e.kind) {
      case CaseExpectation::Kind::Binds:
        v.passed = result.configured == e.binds;
        v.measured = result.configured ? "the case bound" : "the case did not bind";
        break;
      case CaseExpectation::Kind::Mode: {
        const auto found = result.finalModes.find(e.controller);
        const std::string mode = found == result.finalModes.end() ? "(no mode)" : found->second;
        v.passed = mode == e.text;
        v.measured = e.controller + " ended in " + mode + " (A_AUTO at the end)";
        break;
      }
      case CaseExpectation::Kind::Messages: JudgeMessages(e, result, v); break;
      case CaseExpectation::Kind::Signal:
        e.response ? JudgeResponse(e, windows_[i], case_->stepSeconds, v) : JudgeSignal(e, windows_[i], v);
        v.windowed = v.windowed && e.loops.empty();  // a loop's percent has no signal of its own on the plot
        break;
    }
    verdicts.push_back(v);
  }
  return verdicts;
}

}  // namespace host
