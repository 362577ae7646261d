// [[loop_check]] and [[alarm_check]]: automatic checks of the loops and the
// alarms a pattern names, their numbers checked where they are written;
// which loops and points a pattern reaches and what the checks do is the
// checkout's concern.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "case/sections/sections.h"

namespace host {

CaseLoopCheck::CaseLoopCheck() {
  const double unset = std::numeric_limits<double>::quiet_NaN();
  start = outputStep = directionTime = setpointStep = riseTime = settlingTime = overshoot = settleBand = unset;
  rangeTolerance = strokeTime = startTime = stopTime = unset;
}

namespace {

const char* const InLoopCheck = "a loop check";

struct Limit {
  const char* key;
  double CaseLoopCheck::*field;
  double low, high;  // open below (the value must lie above low), closed above
  const char* range;
  bool lasting = false;  // a time a check waits or judges within: one step at least, or it would never start
};

}  // namespace

bool ReadLoopCheck(CaseValues& values, const toml::table& t) {
  CaseLoopCheck check;
  check.origin = values.OriginOf(t);
  const std::vector<Limit> limits = {
      {"start", &CaseLoopCheck::start, -1e-300, 1e9, "0 s or more"},
      {"output_step", &CaseLoopCheck::outputStep, 0.0, 50.0, "above 0 and at most 50 %"},
      {"direction_time", &CaseLoopCheck::directionTime, 0.0, 1e9, "above 0 s", true},
      {"setpoint_step", &CaseLoopCheck::setpointStep, 0.0, 50.0, "above 0 and at most 50 % of span"},
      {"rise_time", &CaseLoopCheck::riseTime, 0.0, 1e9, "above 0 s", true},
      {"settling_time", &CaseLoopCheck::settlingTime, 0.0, 1e9, "above 0 s", true},
      {"overshoot", &CaseLoopCheck::overshoot, -1e-300, 1000.0, "0 % or more"},
      {"settle_band", &CaseLoopCheck::settleBand, 0.0, 50.0, "above 0 and at most 50 % of span"},
      {"range_tolerance", &CaseLoopCheck::rangeTolerance, 0.0, 50.0, "above 0 and at most 50 % of span"},
      {"stroke_time", &CaseLoopCheck::strokeTime, 0.0, 1e9, "above 0 s", true},
      {"start_time", &CaseLoopCheck::startTime, 0.0, 1e9, "above 0 s", true},
      {"stop_time", &CaseLoopCheck::stopTime, 0.0, 1e9, "above 0 s", true}};
  std::vector<const char*> keys = {"loops", "checks", "waived", "measures"};
  for (const Limit& l : limits) {
    keys.push_back(l.key);
  }
  if (!values.OnlyKeys(t, keys, InLoopCheck) || !values.Text(t, "loops", check.loops, true, InLoopCheck) ||
      !values.Text(t, "waived", check.waived, false, InLoopCheck) ||
      !values.Text(t, "measures", check.measures, false, InLoopCheck)) {
    return false;
  }
  const bool letters = check.measures.size() <= 2 && std::all_of(check.measures.begin(), check.measures.end(),
                                                                 [](char c) { return c >= 'A' && c <= 'Z'; });
  if (!letters) {
    return values.Fail(*t.get("measures"),
                       "measures names a measured variable by its letters, such as \"T\" or "
                       "\"PD\", not \"" +
                           check.measures + "\"");
  }
  if (const toml::node* checks = t.get("checks")) {
    if (!values.TextList(*checks, check.checks, "checks must be a list, such as [\"direction\", \"setpoint_step\"]",
                         "each check must be a text")) {
      return false;
    }
    const std::vector<std::string> known = {"range", "stroke", "direction",     "setpoint_step", "bad_transmitter",
                                            "start", "stop",   "cascade_break", "ratio",         "split_range"};
    for (const std::string& name : check.checks) {
      if (std::find(known.begin(), known.end(), name) == known.end()) {
        return values.Fail(*checks, "unknown check \"" + name +
                                        "\" (a controller's: range, stroke, direction, setpoint_step, "
                                        "bad_transmitter; a strategy's: cascade_break, ratio, split_range; a "
                                        "discrete command's: start, stop)");
      }
    }
  }
  for (const Limit& l : limits) {
    double x = std::numeric_limits<double>::quiet_NaN();
    if (!values.Number(t, l.key, x, false, InLoopCheck)) {
      return false;
    }
    if (!std::isnan(x) && !(x > l.low && x <= l.high)) {
      return values.Fail(*t.get(l.key), std::string("'") + l.key + "' must be " + l.range + ", not " + Shown(x));
    }
    const double step = values.loaded().stepSeconds;
    if (!std::isnan(x) && l.lasting && x < step) {
      return values.Fail(*t.get(l.key), std::string("'") + l.key + "' must be one step (step_seconds = " + Shown(step) +
                                            " s) or more, not " + Shown(x));
    }
    check.*l.field = x;
  }
  values.loaded().loopChecks.push_back(check);
  return true;
}

CaseAlarmCheck::CaseAlarmCheck() {
  rate = tolerance = hihi = hi = lo = lolo = std::numeric_limits<double>::quiet_NaN();
}

bool ReadAlarmCheck(CaseValues& values, const toml::table& t) {
  const char* const in = "an alarm check";
  CaseAlarmCheck check;
  check.origin = values.OriginOf(t);
  if (!values.OnlyKeys(t, {"points", "rate", "tolerance", "hihi", "hi", "lo", "lolo", "waived"}, in) ||
      !values.Text(t, "points", check.points, true, in) || !values.Text(t, "waived", check.waived, false, in)) {
    return false;
  }
  const std::pair<const char*, double*> numbers[] = {{"rate", &check.rate}, {"tolerance", &check.tolerance},
                                                     {"hihi", &check.hihi}, {"hi", &check.hi},
                                                     {"lo", &check.lo},     {"lolo", &check.lolo}};
  for (const auto& [key, field] : numbers) {
    if (!values.Number(t, key, *field, false, in)) {
      return false;
    }
  }
  if (!std::isnan(check.rate) && !(check.rate > 0.0 && check.rate <= 100.0)) {
    return values.Fail(*t.get("rate"),
                       "'rate' must be above 0 and at most 100 % of span per minute, not " + Shown(check.rate));
  }
  if (!std::isnan(check.tolerance) && !(check.tolerance > 0.0 && check.tolerance <= 50.0)) {
    return values.Fail(*t.get("tolerance"),
                       "'tolerance' must be above 0 and at most 50 % of span, not " + Shown(check.tolerance));
  }
  // The alarm list's limits rise as FIX's must.
  const std::pair<const char*, double> limits[] = {
      {"lolo", check.lolo}, {"lo", check.lo}, {"hi", check.hi}, {"hihi", check.hihi}};
  const std::pair<const char*, double>* below = nullptr;
  for (const auto& limit : limits) {
    if (std::isnan(limit.second)) {
      continue;
    }
    if (below != nullptr && limit.second < below->second) {
      return values.Fail(*t.get(limit.first), std::string("'") + limit.first + "' (" + Shown(limit.second) +
                                                  ") is below '" + below->first + "' (" + Shown(below->second) +
                                                  "): alarm limits rise lolo <= lo <= hi <= hihi");
    }
    below = &limit;
  }
  values.loaded().alarmChecks.push_back(check);
  return true;
}

}  // namespace host
