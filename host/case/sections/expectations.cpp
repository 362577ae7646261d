// [[expect]]: the judgements of a run, each one of a signal's band within a
// window, a controller's final mode, the driver's messages, or whether the
// case binds. Each is read with the description the report prints; it is
// judged by the checkout after the run, never here. Any of them may be waived
// (a known deficiency, with its punch-list reference).
#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "case/sections/sections.h"

namespace host {
namespace {

const char* const InExpectation = "an expectation";

bool ReadBinds(CaseValues& values, const toml::node& binds, CaseExpectation& e) {
  if (!binds.is_boolean()) {
    return values.Fail(binds, "binds must be true or false");
  }
  e.kind = CaseExpectation::Kind::Binds;
  e.binds = *binds.value<bool>();
  e.description = e.binds ? "the case binds" : "the case does not bind";
  return true;
}

bool ReadMessages(CaseValues& values, const toml::node& messages, CaseExpectation& e) {
  if (!values.TextList(messages, e.messages, "messages must be a list of message keys, [] for none",
                       "each message key must be a text")) {
    return false;
  }
  e.kind = CaseExpectation::Kind::Messages;
  std::string list;
  for (const std::string& key : e.messages) {
    list += (list.empty() ? "" : ", ") + key;
  }
  e.description = e.messages.empty() ? "no driver messages" : "driver messages exactly " + list;
  return true;
}

// A controller's final mode; the controller is one of the case's rows.
bool ReadMode(CaseValues& values, const toml::table& t, CaseExpectation& e) {
  e.kind = CaseExpectation::Kind::Mode;
  if (!values.Text(t, "controller", e.controller, e.loops.empty(), InExpectation) ||
      !values.Text(t, "mode", e.text, true, InExpectation)) {
    return false;
  }
  if (e.text != "AUTO" && e.text != "MANL") {
    return values.Fail(*t.get("mode"), "mode must be \"AUTO\" or \"MANL\", not \"" + e.text + "\"");
  }
  if (!e.loops.empty()) {
    e.description = "ends in " + e.text;
    return true;
  }
  const std::vector<CaseCtrlRow>& controllers = values.loaded().controllers;
  const bool known = std::any_of(controllers.begin(), controllers.end(),
                                 [&e](const CaseCtrlRow& row) { return row.tag == e.controller; });
  if (!known) {
    return values.Fail(*t.get("controller"), "no controller row has the tag '" + e.controller + "'");
  }
  e.description = e.controller + " ends in " + e.text;
  return true;
}

// A signal's window: from `after` seconds or from a step, to `before` seconds
// or to the end of the run.
bool ReadWindow(CaseValues& values, const toml::table& t, CaseExpectation& e) {
  int64_t step = 0;
  if (!values.Text(t, "signal", e.signal, true, InExpectation) ||
      !values.Number(t, "after", e.after, false, InExpectation) ||
      !values.WholeNumber(t, "step", step, false, InExpectation)) {
    return false;
  }
  if (t.get("after") != nullptr && t.get("step") != nullptr) {
    return values.FailAt(e.origin.line, "an expectation's window starts either after seconds or at a step");
  }
  e.fromTime = t.get("after") != nullptr;
  e.fromStep = step;
  if (step < 0 || e.after < 0.0) {
    return values.Fail(*t.get(step < 0 ? "step" : "after"),
                       "an expectation's window starts at the run's start "
                       "or later: step and after are 0 or more");
  }
  if (!values.Number(t, "before", e.before, false, InExpectation)) {
    return false;
  }
  if (t.get("before") != nullptr && (e.before <= 0.0 || (e.fromTime && e.before <= e.after))) {
    return values.Fail(*t.get("before"), "before must come after the window's start");
  }
  return true;
}

// A signal's band, with its words for the description in band: within
// [lo, hi], at least or at most a number, or equal to a number or a text.
bool ReadBand(CaseValues& values, const toml::table& t, CaseExpectation& e, std::string& band) {
  const int bands = (t.get("within") != nullptr) + (t.get("min") != nullptr || t.get("max") != nullptr) +
                    (t.get("equals") != nullptr);
  if (bands != 1) {
    return values.FailAt(e.origin.line,
                         "an expectation on a signal gives within = [lo, hi], min and/or max, or equals");
  }
  if (t.get("tolerance") != nullptr && t.get("equals") == nullptr) {
    return values.Fail(*t.get("tolerance"), "tolerance goes with equals = a number, and is 0 or more");
  }
  if (const toml::node* within = t.get("within")) {
    const toml::array* pair = within->as_array();
    if (pair == nullptr || pair->size() != 2 || !(*pair)[0].is_number() || !(*pair)[1].is_number()) {
      return values.Fail(*within, "within must be [low, high], two numbers");
    }
    e.lo = *(*pair)[0].value<double>();
    e.hi = *(*pair)[1].value<double>();
    if (!(e.lo <= e.hi)) {
      return values.Fail(*within, "within must be [low, high] with low at most high");
    }
    band = "within [" + Shown(e.lo) + ", " + Shown(e.hi) + "]";
  } else if (const toml::node* equals = t.get("equals")) {
    e.hasEquals = true;
    e.equalsText = equals->is_string();
    if (e.equalsText) {
      e.text = *equals->value<std::string>();
      band = "equals \"" + e.text + "\"";
    } else if (!values.Number(t, "equals", e.equalsValue, true, InExpectation)) {
      return false;
    } else {
      band = "equals " + Shown(e.equalsValue);
    }
    if (!values.Number(t, "tolerance", e.tolerance, false, InExpectation)) {
      return false;
    }
    if (const toml::node* tolerance = t.get("tolerance")) {
      if (e.equalsText || e.tolerance < 0.0) {
        return values.Fail(*tolerance, "tolerance goes with equals = a number, and is 0 or more");
      }
      band += " +/- " + Shown(e.tolerance);
    }
  } else {
    if (!values.Number(t, "min", e.lo, false, InExpectation) || !values.Number(t, "max", e.hi, false, InExpectation)) {
      return false;
    }
    band = t.get("min") != nullptr && t.get("max") != nullptr ? "within [" + Shown(e.lo) + ", " + Shown(e.hi) + "]"
           : t.get("min") != nullptr                          ? "at least " + Shown(e.lo)
                                                              : "at most " + Shown(e.hi);
  }
  return true;
}

// The event an after_event names: by its name, or by its number (1 the first).
const CaseEvent* EventNamed(CaseValues& values, const toml::node& node) {
  const std::vector<CaseEvent>& events = values.loaded().events;
  if (const auto number = node.value<int64_t>(); number && node.is_integer()) {
    return *number >= 1 && static_cast<size_t>(*number) <= events.size() ? &events[static_cast<size_t>(*number - 1)]
                                                                         : nullptr;
  }
  const auto name = node.value<std::string>();
  for (const CaseEvent& event : events) {
    if (name && !name->empty() && event.name == *name) {
      return &event;
    }
  }
  return nullptr;
}

// The answer to an event's step: rise, overshoot, settling and the error at
// the end, each judged where a limit is given.
bool ReadResponse(CaseValues& values, const toml::table& t, CaseExpectation& e) {
  e.kind = CaseExpectation::Kind::Signal;
  e.response = true;
  for (const char* band : {"within", "min", "max", "equals", "tolerance", "after", "step"}) {
    if (t.get(band) != nullptr) {
      return values.Fail(*t.get(band), std::string("an expectation after_event judges the answer to its step "
                                                   "(rise_time, overshoot, settling_time, steady_state_error), not '") +
                                           band + "'");
    }
  }
  const toml::node& named = *t.get("after_event");
  const CaseEvent* event = EventNamed(values, named);
  if (event == nullptr || event->isText) {
    return values.Fail(named, event == nullptr ? "after_event names no event (its name, or its number from 1)"
                                               : "after_event names an event that sets a text: no step to answer");
  }
  const double nan = std::nan("");
  e.riseTime = e.overshoot = e.settlingTime = e.steadyStateError = nan;
  e.target = event->value;
  if (!values.Text(t, "signal", e.signal, true, InExpectation) ||
      !values.Number(t, "target", e.target, false, InExpectation) ||
      !values.Number(t, "before", e.before, false, InExpectation)) {
    return false;
  }
  std::string limits;
  const std::pair<const char*, double*> numbers[] = {{"rise_time", &e.riseTime},
                                                     {"overshoot", &e.overshoot},
                                                     {"settling_time", &e.settlingTime},
                                                     {"steady_state_error", &e.steadyStateError},
                                                     {"settle_band", &e.settleBand}};
  for (const auto& n : numbers) {
    if (!values.Number(t, n.first, *n.second, false, InExpectation)) {
      return false;
    }
    if (t.get(n.first) != nullptr && !(*n.second >= 0.0)) {
      return values.Fail(*t.get(n.first), std::string("'") + n.first + "' must be 0 or more");
    }
  }
  if (std::isnan(e.riseTime) && std::isnan(e.overshoot) && std::isnan(e.settlingTime) &&
      std::isnan(e.steadyStateError)) {
    return values.FailAt(e.origin.line,
                         "an expectation after_event gives rise_time, overshoot, settling_time "
                         "and/or steady_state_error");
  }
  e.fromTime = true;
  e.after = static_cast<double>(event->step) * values.loaded().stepSeconds;
  if (t.get("before") != nullptr && e.before <= e.after) {
    return values.Fail(*t.get("before"), "before must come after the event");
  }
  const std::string which =
      event->name.empty() ? "the event at step " + std::to_string(event->step) : "event '" + event->name + "'";
  e.description = e.signal + " answers " + which + " (to " + Shown(e.target) + ")";
  return true;
}

bool ReadSignal(CaseValues& values, const toml::table& t, CaseExpectation& e) {
  for (const char* limit : {"target", "rise_time", "overshoot", "settling_time", "steady_state_error", "settle_band"}) {
    if (t.get(limit) != nullptr) {
      return values.Fail(*t.get(limit), std::string("'") + limit +
                                            "' judges the answer to a step: it goes with "
                                            "after_event = the event's name or number");
    }
  }
  e.kind = CaseExpectation::Kind::Signal;
  e.lo = std::nan("");
  e.hi = std::nan("");
  std::string band;
  if (!ReadWindow(values, t, e) || !ReadBand(values, t, e, band)) {
    return false;
  }
  const std::string from = e.fromTime       ? " after " + Shown(e.after) + " s"
                           : e.fromStep > 0 ? " from step " + std::to_string(e.fromStep)
                                            : "";
  const std::string percent = e.loops.empty() ? "" : e.signal == "output" ? " %" : " % of span";
  e.description = e.signal + " " + band + percent + from + (e.before > 0.0 ? " before " + Shown(e.before) + " s" : "");
  return true;
}

// An expectation over loops: a glob over the paired loops' controller tags,
// with a mode, or one of each loop's signals in percent.
bool ReadLoops(CaseValues& values, const toml::table& t, CaseExpectation& e) {
  if (!values.Text(t, "loops", e.loops, true, InExpectation)) {
    return false;
  }
  if (e.loops.empty()) {
    return values.Fail(*t.get("loops"), "loops is a pattern over controller tags, such as \"*\" or \"FIC*\"");
  }
  for (const char* other : {"controller", "messages", "binds", "after_event"}) {
    if (t.get(other) != nullptr) {
      return values.Fail(*t.get(other), std::string("an expectation over loops judges each loop's mode or one of its "
                                                    "signals; it takes no '") +
                                            other + "'");
    }
  }
  if (t.get("signal") == nullptr) {
    if (t.get("mode") == nullptr) {
      return values.FailAt(e.origin.line,
                           "an expectation over loops gives mode = \"AUTO\" or \"MANL\", or signal "
                           "= \"pv\", \"target\", \"output\" or \"deviation\"");
    }
    return ReadMode(values, t, e);
  }
  if (t.get("mode") != nullptr) {
    return values.Fail(*t.get("mode"), "an expectation over loops gives either mode or signal, not both");
  }
  if (!ReadSignal(values, t, e)) {
    return false;
  }
  const char* const loopSignals[] = {"pv", "target", "output", "deviation"};
  if (std::find(std::begin(loopSignals), std::end(loopSignals), e.signal) == std::end(loopSignals) || e.equalsText) {
    return values.Fail(*t.get(e.equalsText ? "equals" : "signal"),
                       "a loop's signal is \"pv\", \"target\" (% of span), \"output\" (%) or \"deviation\" "
                       "(pv - target, % of span), each a number");
  }
  return true;
}

}  // namespace

bool ReadExpectation(CaseValues& values, const toml::table& t) {
  CaseExpectation e;
  e.origin = values.OriginOf(t);
  if (!values.OnlyKeys(
          t, {"signal",      "after",     "step",       "before",    "within",    "min",           "max",
              "equals",      "tolerance", "controller", "mode",      "messages",  "binds",         "waived",
              "after_event", "loops",     "target",     "rise_time", "overshoot", "settling_time", "steady_state_error",
              "settle_band"},
          InExpectation) ||
      !values.Text(t, "waived", e.waived, false, InExpectation)) {
    return false;
  }
  if (t.get("waived") != nullptr && e.waived.find_first_not_of(' ') == std::string::npos) {
    return values.Fail(*t.get("waived"),
                       "waived names the punch-list entry that accepts the failure, such as "
                       "\"PL-0042: reason\"");
  }
  const int kinds = (t.get("signal") != nullptr) + (t.get("controller") != nullptr) + (t.get("messages") != nullptr) +
                    (t.get("binds") != nullptr);
  if (kinds != 1 && t.get("loops") == nullptr) {
    return values.FailAt(e.origin.line, "an expectation names one of signal, controller, messages, binds or loops");
  }
  bool read = false;
  if (t.get("loops") != nullptr) {
    read = ReadLoops(values, t, e);
  } else if (const toml::node* binds = t.get("binds")) {
    read = ReadBinds(values, *binds, e);
  } else if (const toml::node* messages = t.get("messages")) {
    read = ReadMessages(values, *messages, e);
  } else if (t.get("controller") != nullptr) {
    read = ReadMode(values, t, e);
  } else if (t.get("after_event") != nullptr) {
    read = ReadResponse(values, t, e);
  } else {
    read = ReadSignal(values, t, e);
  }
  if (!read) {
    return false;
  }
  values.loaded().expectations.push_back(e);
  return true;
}

}  // namespace host
