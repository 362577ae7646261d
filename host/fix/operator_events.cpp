// Operator events through EDA.
#include "fix/operator_events.h"

#include <sstream>

#include "fix/fix_group.h"

namespace host {

EventOutcome ApplyEvent(const FixLibrary& fix, const CaseEvent& event) {
  const std::string point = PointText(event.node, event.tag, event.field);
  std::ostringstream value;
  if (event.isText) {
    value << event.text;
  } else {
    value << event.value;
  }
  EventOutcome outcome;
  FixGroup group(fix.api(), 1);
  if (!group.created()) {
    outcome.text = "FIX gave no group for the operator's change of " + point;
    return outcome;
  }
  const int32_t handle = group.Define(event.node, event.tag, event.field);
  group.Resolve();
  if (const int16_t code = group.PointError(handle); code != 0) {
    outcome.text = "FIX cannot reach " + point + ": " + fix.ErrorText(code);
    return outcome;
  }
  const int16_t set =
      event.isText ? group.SetText(handle, event.text) : group.SetFloat(handle, static_cast<float>(event.value));
  const int16_t written = set == 0 ? group.Write() : set;
  const int16_t code = written != 0 ? written : group.PointError(handle);
  if (code != 0) {
    outcome.text = "FIX refuses the operator's " + point + " = " + value.str() + ": " + fix.ErrorText(code);
    return outcome;
  }
  outcome.applied = true;
  outcome.text = "operator sets " + point + " to " + value.str();
  return outcome;
}

}  // namespace host
