// Alarm checks planned, driven, sampled and judged. A point is sent to its
// home, clear of every limit, and held there for its delay and two steps;
// then ramped at the check's rate to `top` (past its highest high limit by
// the tolerance and what its delay lets the value run on) and back home,
// held, ramped to `bottom` and back, held, and released.
#include "checkout/alarm_checks.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

#include "case/glob.h"

namespace host {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

int64_t Steps(double seconds, double dt) { return static_cast<int64_t>(std::ceil(seconds / dt - 1e-9)); }

bool High(size_t k) { return k < 2; }

}  // namespace

std::vector<size_t> AlarmChecks::Matched(const Case& c) {
  std::vector<size_t> rows;
  std::set<std::string> seen;
  for (size_t r = 0; r < c.pv.size(); ++r) {
    const bool matched = std::any_of(c.alarmChecks.begin(), c.alarmChecks.end(),
                                     [&](const CaseAlarmCheck& a) { return GlobMatch(a.points, c.pv[r].tag); });
    if (matched && seen.insert(c.pv[r].node + ":" + c.pv[r].tag).second) {
      rows.push_back(r);
    }
  }
  return rows;
}

std::string AlarmChecks::Unmatched(const Case& c) {
  for (const CaseAlarmCheck& check : c.alarmChecks) {
    const bool matched =
        std::any_of(c.pv.begin(), c.pv.end(), [&](const CasePVRow& row) { return GlobMatch(check.points, row.tag); });
    if (!matched) {
      return Where(check.origin) + ": points = \"" + check.points + "\" matches none of the " +
             std::to_string(c.pv.size()) + " PV rows";
    }
  }
  return std::string();
}

double AlarmChecks::Limit(size_t i, size_t k) const {
  return std::isnan(settings_[i].stated[k]) ? points_[i].configured[k] : settings_[i].stated[k];
}

size_t AlarmChecks::Count() const {
  size_t n = 0;
  for (size_t i = 0; i < points_.size(); ++i) {
    for (size_t k = 0; k < AlarmLevels.size(); ++k) {
      n += std::isnan(Limit(i, k)) ? 0 : 1;
    }
  }
  return n;
}

void AlarmChecks::Plan(const Case& c, const std::vector<AlarmPoint>& points, double stepSeconds, int64_t from) {
  dt_ = stepSeconds;
  from_ = end_ = from;
  points_.clear();
  settings_.clear();
  scripts_.clear();
  for (const AlarmPoint& point : points) {
    Settings s;
    s.stated.fill(NaN);
    bool matched = false;
    for (const CaseAlarmCheck& a : c.alarmChecks) {
      if (!GlobMatch(a.points, c.pv[point.pv].tag)) {
        continue;
      }
      matched = true;
      s.rate = std::isnan(a.rate) ? s.rate : a.rate;
      s.tolerance = std::isnan(a.tolerance) ? s.tolerance : a.tolerance;
      const std::array<double, 4> stated = {a.hihi, a.hi, a.lo, a.lolo};
      for (size_t k = 0; k < stated.size(); ++k) {
        s.stated[k] = std::isnan(stated[k]) ? s.stated[k] : stated[k];
      }
      s.waived = a.waived.empty() ? s.waived : a.waived;
    }
    const bool limited =
        std::any_of(s.stated.begin(), s.stated.end(), [](double x) { return !std::isnan(x); }) ||
        std::any_of(point.configured.begin(), point.configured.end(), [](double x) { return !std::isnan(x); });
    if (matched && limited) {  // a point without a limit has no alarm to check
      points_.push_back(point);
      settings_.push_back(s);
    }
  }
  for (size_t i = 0; i < points_.size(); ++i) {
    const AlarmPoint& p = points_[i];
    const Settings& s = settings_[i];
    Script script;
    script.rose.fill(NaN);
    script.cleared.fill(NaN);
    script.last.fill(NaN);
    const double span = p.high - p.low;
    const double rate = s.rate / 100.0 * span / 60.0;  // units per second
    const double margin = s.tolerance / 100.0 * span + rate * (p.delay + 2.0 * dt_);
    double highest = -HUGE_VAL, lowestHigh = HUGE_VAL, lowest = HUGE_VAL, highestLow = -HUGE_VAL;
    // Past both the alarm list's limit and FIX's where they differ, so that
    // an alarm acting at either is seen.
    for (size_t k = 0; k < AlarmLevels.size(); ++k) {
      for (const double limit : {Limit(i, k), p.configured[k]}) {
        if (std::isnan(limit)) {
          continue;
        }
        (High(k) ? highest : highestLow) = std::max(High(k) ? highest : highestLow, limit);
        (High(k) ? lowestHigh : lowest) = std::min(High(k) ? lowestHigh : lowest, limit);
      }
    }
    const bool highs = std::isfinite(highest), lows = std::isfinite(lowest);
    script.home = highs && lows ? (highestLow + lowestHigh) / 2.0
                  : highs       ? lowestHigh - p.deadband - margin - 0.05 * span
                                : highestLow + p.deadband + margin + 0.05 * span;
    script.top = highest + margin;
    script.bottom = lowest - margin;
    const double distance = std::max(highs ? script.top - script.home : 0.0, lows ? script.home - script.bottom : 0.0);
    script.ramp = std::max<int64_t>(1, Steps(distance / rate, dt_));
    script.settle = std::max<int64_t>(2, Steps(p.delay, dt_) + 2);
    int64_t at = from + script.settle;
    if (highs) {
      script.up0 = at;
      at += 2 * script.ramp + script.settle;
    }
    if (lows) {
      script.down0 = at;
      at += 2 * script.ramp + script.settle;
    }
    end_ = std::max(end_, at);
    scripts_.push_back(script);
  }
}

double AlarmChecks::Sent(size_t i, int64_t step) const {
  if (step < from_ || step >= end_) {
    return NaN;
  }
  const Script& s = scripts_[i];
  for (const auto& [start, far] : {std::pair<int64_t, double>{s.up0, s.top}, {s.down0, s.bottom}}) {
    const int64_t k = step - start;
    if (start >= 0 && k >= 0 && k < 2 * s.ramp) {
      const double along = static_cast<double>(k <= s.ramp ? k : 2 * s.ramp - k) / static_cast<double>(s.ramp);
      return s.home + (far - s.home) * along;
    }
  }
  return s.home;
}

// A limit's alarm rose at the first step its state reached the limit's
// level, and cleared at the first step after that it fell back below it.
void AlarmChecks::Sample(size_t i, int64_t step, double state) {
  if (step < from_ || step >= end_) {
    return;
  }
  Script& s = scripts_[i];
  s.sampledTo = step;
  const double sent = Sent(i, step);
  for (size_t k = 0; k < AlarmLevels.size(); ++k) {
    const int64_t start = High(k) ? s.up0 : s.down0;
    if (start < 0 || step < start || step >= start + 2 * s.ramp + s.settle) {
      continue;
    }
    const bool beyond = High(k) ? state >= AlarmLevels[k] : state <= AlarmLevels[k];
    if (std::isnan(s.rose[k]) && beyond) {
      s.rose[k] = sent;
    } else if (!std::isnan(s.rose[k]) && std::isnan(s.cleared[k]) && !beyond && !std::isnan(state)) {
      s.cleared[k] = sent;
    }
    s.last[k] = state;
  }
}

bool AlarmChecks::Judged(size_t i, size_t k, std::string& measured) const {
  const AlarmPoint& p = points_[i];
  const Settings& set = settings_[i];
  const Script& s = scripts_[i];
  const double limit = Limit(i, k);
  const double span = p.high - p.low;
  const double rate = set.rate / 100.0 * span / 60.0;
  const double slack = set.tolerance / 100.0 * span + rate * dt_;
  const double sign = High(k) ? 1.0 : -1.0;
  const double rise = limit + sign * rate * p.delay;
  const double clear = limit - sign * p.deadband;
  const std::string name = AlarmLimitNames[k];
  const std::string field = "F_" + name;
  const std::string stated = std::isnan(set.stated[k]) ? std::string() : Measured(set.stated[k]);
  const std::string configured = std::isnan(p.configured[k]) ? std::string() : Measured(p.configured[k]);
  std::string cause;
  if (!p.readable) {
    cause = "FIX holds no alarm state (F_ALMST) for the point: its alarms cannot be read; ";
  } else if (configured.empty()) {
    cause = "the alarm list has " + name + " " + stated + ", and FIX has no " + field + "; ";
  } else if (std::isnan(s.rose[k])) {
    cause = "never alarmed: sent to " + Measured(High(k) ? s.top : s.bottom) + " and FIX's alarm state never reached " +
            name + "; ";
  } else if (std::fabs(s.rose[k] - rise) > slack) {
    cause = "alarmed at " + Measured(s.rose[k]) + " where " + name + " " + Measured(limit) +
            (p.delay > 0.0 ? " after its delay of " + Measured(p.delay) + " s" : std::string()) + " gives " +
            Measured(rise) + " (within " + Measured(slack) + "): " +
            (stated.empty() || stated == configured
                 ? "the limit does not act where FIX states it"
                 : "FIX's " + field + " is " + configured + ", the alarm list's " + stated) +
            "; ";
  } else if (std::isnan(s.cleared[k])) {
    cause = "never cleared: back at " + Measured(s.home) + " and still in " + name + " (deadband " +
            Measured(p.deadband) + "); ";
  } else if (std::fabs(s.cleared[k] - clear) > slack) {
    cause = "cleared at " + Measured(s.cleared[k]) + " where " + name + " less its deadband (" + Measured(p.deadband) +
            ") is " + Measured(clear) + "; ";
  }
  measured = cause + name + " " + Measured(limit) + ": " +
             (std::isnan(s.rose[k]) ? std::string("did not rise") : "rose at " + Measured(s.rose[k])) + " (delay " +
             Measured(p.delay) + " s), " +
             (std::isnan(s.cleared[k]) ? std::string("did not clear") : "cleared at " + Measured(s.cleared[k])) +
             " (deadband " + Measured(p.deadband) + "); FIX's " + field + " " +
             (configured.empty() ? std::string("none") : configured) +
             (stated.empty() ? std::string() : ", the alarm list's " + stated);
  return cause.empty();
}

std::vector<AlarmChecks::Found> AlarmChecks::Table() const {
  std::vector<Found> table;
  for (size_t i = 0; i < points_.size(); ++i) {
    for (size_t k = 0; k < AlarmLevels.size(); ++k) {
      if (!std::isnan(Limit(i, k))) {
        table.push_back(
            Found{i, k, points_[i].configured[k], settings_[i].stated[k], scripts_[i].rose[k], scripts_[i].cleared[k]});
      }
    }
  }
  return table;
}

std::vector<Verdict> AlarmChecks::Judge(const Case& c) const {
  std::vector<Verdict> verdicts;
  for (size_t i = 0; i < points_.size(); ++i) {
    if (scripts_[i].sampledTo < end_ - 1) {
      continue;  // not reached: NotReached lists it
    }
    for (size_t k = 0; k < AlarmLevels.size(); ++k) {
      if (std::isnan(Limit(i, k))) {
        continue;
      }
      Verdict v;
      v.description = c.pv[points_[i].pv].tag + " " + AlarmLimitNames[k] + " alarm";
      v.passed = Judged(i, k, v.measured);
      v.waived = settings_[i].waived;
      verdicts.push_back(v);
    }
  }
  return verdicts;
}

std::vector<Verdict> AlarmChecks::NotReached(const Case& c, const std::string& why) const {
  std::vector<Verdict> missed;
  for (size_t i = 0; i < points_.size(); ++i) {
    for (size_t k = 0; k < AlarmLevels.size() && scripts_[i].sampledTo < end_ - 1; ++k) {
      if (!std::isnan(Limit(i, k))) {
        Verdict v;
        v.description = c.pv[points_[i].pv].tag + " " + AlarmLimitNames[k] + " alarm";
        v.measured = "not reached: " + why;
        missed.push_back(v);
      }
    }
  }
  return missed;
}

}  // namespace host
