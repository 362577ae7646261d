// Loop checks planned: each loop's settings from its letter's defaults and
// the [[loop_check]] tables that match it, in order, and its script laid out
// in steps, the loops of a group at once and the groups one after another.
#include <algorithm>
#include <cmath>

#include "case/glob.h"
#include "checkout/loop_check_script.h"
#include "checkout/loop_checks.h"

namespace host {
namespace {

// Defaults by the measured variable's first letter: how long the output is
// held moved, and the limits of the answer to a setpoint step.
struct LetterLimits {
  char letter;
  double directionTime, riseTime, settlingTime, overshoot;
};
const LetterLimits Limits[] = {
    {'F', 10.0, 30.0, 60.0, 20.0},   {'P', 40.0, 60.0, 120.0, 20.0},    {'T', 200.0, 300.0, 600.0, 20.0},
    {'L', 60.0, 600.0, 900.0, 30.0}, {'A', 400.0, 900.0, 1200.0, 20.0},
};

int64_t Steps(double seconds, double dt) { return static_cast<int64_t>(std::ceil(seconds / dt - 1e-9)); }

}  // namespace

const std::string& CheckedTag(const Case& c, const CheckedLoop& loop) {
  return loop.discrete ? c.pvImport[loop.controller].tag : c.controllers[loop.controller].tag;
}

bool SettingsFor(CheckedLoop& loop, const std::string& tag, const std::vector<CaseLoopCheck>& checks, double dt,
                 LoopCheckSettings& s) {
  s = LoopCheckSettings();
  for (const CaseLoopCheck& c : checks) {  // a stated measured variable, the last that matches
    if (!loop.discrete && !c.measures.empty() && GlobMatch(c.loops, tag)) {
      loop.variable = c.measures;
    }
  }
  for (const LetterLimits& l : Limits) {
    if (!loop.variable.empty() && loop.variable[0] == l.letter) {
      s.directionTime = l.directionTime;
      s.riseTime = l.riseTime;
      s.settlingTime = l.settlingTime;
      s.overshoot = l.overshoot;
    }
  }
  s.startTime = loop.startDelay + 2.0 * dt;
  s.stopTime = loop.stopDelay + 2.0 * dt;
  bool matched = false;
  for (const CaseLoopCheck& c : checks) {
    if (!GlobMatch(c.loops, tag)) {
      continue;
    }
    matched = true;
    const auto has = [&c](const char* name) {
      return std::find(c.checks.begin(), c.checks.end(), name) != c.checks.end();
    };
    if (has("range") || has("stroke") || has("direction") || has("setpoint_step") || has("bad_transmitter")) {
      s.checkRange = has("range");
      s.checkStroke = has("stroke");
      s.checkDirection = has("direction");
      s.checkSetpoint = has("setpoint_step");
      s.checkBadTransmitter = has("bad_transmitter");
    }
    if (has("cascade_break") || has("ratio") || has("split_range")) {
      s.checkCascadeBreak = has("cascade_break");
      s.checkRatio = has("ratio");
      s.checkSplitRange = has("split_range");
    }
    if (has("start") || has("stop")) {
      s.checkStart = has("start");
      s.checkStop = has("stop");
    }
    const std::pair<double, double*> numbers[] = {
        {c.start, &s.start},
        {c.outputStep, &s.outputStep},
        {c.directionTime, &s.directionTime},
        {c.setpointStep, &s.setpointStep},
        {c.riseTime, &s.riseTime},
        {c.settlingTime, &s.settlingTime},
        {c.overshoot, &s.overshoot},
        {c.settleBand, &s.settleBand},
        {c.rangeTolerance, &s.rangeTolerance},
        {c.strokeTime, &s.strokeTime},
        {c.startTime, &s.startTime},
        {c.stopTime, &s.stopTime},
    };
    for (const auto& n : numbers) {
      if (!std::isnan(n.first)) {
        *n.second = n.first;
      }
    }
    if (!c.waived.empty()) {
      s.waived = c.waived;
    }
  }
  if (s.strokeTime <= 0.0) {  // each point held until a self-regulating PV settles, or long enough to read a rate
    s.strokeTime = loop.integrating ? s.directionTime : s.settlingTime;
  }
  return matched;
}

LoopChecks::LoopChecks() = default;
LoopChecks::~LoopChecks() = default;

size_t LoopChecks::Count() const {
  size_t n = 0;
  for (size_t i = 0; i < settings_.size(); ++i) {
    const LoopCheckSettings& s = settings_[i];
    const CheckedLoop& loop = loops_[i];
    const bool pid = !loop.discrete;
    for (const bool made :
         {pid && s.checkRange, pid && s.checkStroke, pid && s.checkDirection, pid && s.checkSetpoint,
          pid && s.checkBadTransmitter, !pid && s.checkStart, !pid && s.checkStop,
          pid && s.checkSplitRange && !loop.splitRows.empty(), pid && s.checkCascadeBreak && loop.masterRow >= 0,
          pid && s.checkRatio && loop.wildPv >= 0}) {
      n += made ? 1 : 0;
    }
  }
  return n;
}

void LoopChecks::Plan(const Case& c, const std::vector<CheckedLoop>& loops, double stepSeconds) {
  dt_ = stepSeconds;
  case_ = &c;
  loops_.clear();
  settings_.clear();
  scripts_.clear();
  end_ = 0;
  for (CheckedLoop loop : loops) {
    LoopCheckSettings s;
    if (SettingsFor(loop, CheckedTag(c, loop), c.loopChecks, dt_, s)) {
      loops_.push_back(loop);
      settings_.push_back(s);
    }
  }
  scripts_.resize(loops_.size());
  // Groups in the order of their first loop; each starts when the one before has ended.
  std::vector<int> groups;
  for (const CheckedLoop& loop : loops_) {
    if (std::find(groups.begin(), groups.end(), loop.group) == groups.end()) {
      groups.push_back(loop.group);
    }
  }
  int64_t from = 0;
  for (const int group : groups) {
    int64_t groupEnd = from;
    for (size_t i = 0; i < loops_.size(); ++i) {
      if (loops_[i].group == group) {
        Schedule(i, from);
        groupEnd = std::max(groupEnd, scripts_[i].end);
      }
    }
    from = groupEnd;
  }
  end_ = from;
  // The trends' room, made once: sampling a step allocates nothing.
  trends_.assign(loops_.size(), LoopTrend());
  for (size_t i = 0; i < loops_.size(); ++i) {
    LoopTrend& t = trends_[i];
    t.first = static_cast<int64_t>(CheckWindow(i).first / dt_);
    const int64_t span = scripts_[i].end - t.first;
    t.every = std::max<int64_t>(1, (span + static_cast<int64_t>(MaxTrend) - 1) / static_cast<int64_t>(MaxTrend));
    for (std::vector<double>* v : {&t.times, &t.pv, &t.target, &t.output}) {
      v->reserve(MaxTrend + 1);
    }
  }
}

// In this order, each after the one before: range (five points held two
// steps or 2 s each, the plant untouched) then a rest of two steps; stroke
// (five points held strokeTime each) then rest W; split range likewise;
// direction: [.., +D] then rest W; setpoint step: [.., +W] then its step back
// and rest W; bad transmitter: [.., +J] then rest W; cascade break: J in
// cascade, J failed, one step recovered, two back in cascade, rest W; ratio:
// W in cascade, W after the wild flow's step, W after the ratio's change,
// rest W. W is one and a half times the longer limit. A discrete loop's two
// switches: each [.., +2L] then rest L, L its limit.
void LoopChecks::Schedule(size_t i, int64_t from) {
  const LoopCheckSettings& s = settings_[i];
  Script& script = scripts_[i];
  const int64_t window = std::max<int64_t>(1, Steps(1.5 * std::max(s.settlingTime, s.riseTime), dt_));
  int64_t at = from + Steps(s.start, dt_);
  if (loops_[i].discrete) {
    for (size_t k = 0; k < 2; ++k) {
      // The first switch is whichever the command's state asks for, so both
      // are made even where one is checked: the other is left unjudged.
      const int64_t limit = std::max<int64_t>(1, Steps(std::max(s.startTime, s.stopTime), dt_));
      script.switches[k].at0 = at;
      script.switches[k].at1 = at + 2 * limit;
      at = script.switches[k].at1 + limit;
    }
    script.end = at;
    return;
  }
  if (s.checkRange) {  // its verdict is settled the step after its last reading, before the next check
    script.range0 = at;
    script.rangeHold = std::max<int64_t>(2, Steps(2.0, dt_));
    at += Points * script.rangeHold + 2;
  }
  if (s.checkStroke) {
    script.stroke0 = at;
    script.strokeHold = std::max<int64_t>(2, Steps(s.strokeTime, dt_));
    at += Points * script.strokeHold + window;
  }
  if (s.checkSplitRange && !loops_[i].splitRows.empty()) {
    script.split0 = at;
    script.splitHold = std::max<int64_t>(2, Steps(s.strokeTime, dt_));
    script.splitShare.assign(loops_[i].splitRows.size(), std::array<double, Points>{});
    at += Points * script.splitHold + window;
  }
  if (s.checkDirection) {
    script.dir0 = at;
    script.dir1 = at + std::max<int64_t>(1, Steps(s.directionTime, dt_));
    at = script.dir1 + window;
  }
  if (s.checkSetpoint) {
    script.sp0 = at;
    script.sp1 = at + window;
    at = script.sp1 + window;
  }
  if (s.checkBadTransmitter) {
    script.bad0 = at;
    script.bad1 = at + std::max<int64_t>(2, Steps(10.0, dt_));
    at = script.bad1 + window;
  }
  const int64_t hold = std::max<int64_t>(2, Steps(10.0, dt_));
  if (s.checkCascadeBreak && loops_[i].masterRow >= 0) {
    script.cas0 = at;
    script.casFail = at + hold;
    script.cas1 = script.casFail + hold;
    script.casBack = script.cas1 + 1;
    at = script.casBack + 2 + window;
  }
  if (s.checkRatio && loops_[i].wildPv >= 0) {
    script.rat0 = at;
    script.ratStep = at + window;
    script.ratChange = script.ratStep + window;
    script.ratEnd = script.ratChange + window;
    at = script.ratEnd + window;
  }
  script.end = at;
  script.first = from + Steps(s.start, dt_);
}

}  // namespace host
