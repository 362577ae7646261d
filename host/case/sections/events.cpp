// [[event]]: an operator's change at a step, setting NODE:TAG.FIELD to a value
// or a text as the field holds. It only reads the change; the run makes it
// through FIX at its step.
#include <string>

#include "case/sections/sections.h"

namespace host {

bool ReadEvent(CaseValues& values, const toml::table& table) {
  const Case& loaded = values.loaded();
  CaseEvent event;
  event.origin = values.OriginOf(table);
  int64_t step = 0;
  std::string point;
  if (!values.OnlyKeys(table, {"name", "step", "point", "value", "text"}, "an event") ||
      !values.Text(table, "name", event.name, false, "an event") ||
      !values.WholeNumber(table, "step", step, true, "an event") ||
      !values.Text(table, "point", point, true, "an event")) {
    return false;
  }
  // A case with loop checks runs as long as they need, known once they are
  // planned: its events are bounded then.
  const bool checked = !loaded.loopChecks.empty() || !loaded.alarmChecks.empty() || !loaded.matrix.path.empty();
  if (step < 0 || step > (checked ? MaxSteps : loaded.steps)) {
    return values.Fail(*table.get("step"), "event step " + std::to_string(step) + " lies outside the run of " +
                                               std::to_string(loaded.steps) + " steps");
  }
  event.step = static_cast<int>(step);
  if (!ParsePointName(point, event.node, event.tag, event.field)) {
    return values.Fail(*table.get("point"), "point must read NODE:TAG.FIELD, not \"" + point + "\"");
  }
  const bool hasValue = table.get("value") != nullptr;
  const bool hasText = table.get("text") != nullptr;
  if (hasValue == hasText) {
    return values.FailAt(event.origin.line, "an event sets either a value or a text");
  }
  event.isText = hasText;
  if (!(hasText ? values.Text(table, "text", event.text, true, "an event")
                : values.Number(table, "value", event.value, true, "an event"))) {
    return false;
  }
  if (IsTextField(event.field) != hasText) {
    return values.Fail(*table.get(hasText ? "text" : "value"),
                       PointText(event.node, event.tag, event.field) +
                           (hasText ? " holds a number: give it value = a number, not a text"
                                    : " holds a text: give it text = \"...\", not a number"));
  }
  if (!hasText && !FitsFixFloat(event.value)) {
    return values.Fail(*table.get("value"), BeyondFloat("value", event.value));
  }
  values.loaded().events.push_back(event);
  return true;
}

}  // namespace host
