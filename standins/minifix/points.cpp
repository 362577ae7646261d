// The minimal FIX's compiled-in points and their write rules: a controller's
// mode field takes only its two modes, and a controller in automatic keeps
// its output. Values persist until the process ends.
#include "points.h"

#include <array>
#include <cstring>

#include "minifix.h"

namespace minifix {
namespace {

constexpr const char* Node = "MINI";
constexpr const char* ModeField = "A_AUTO";
constexpr const char* OutputField = "F_CV";
constexpr const char* AutoMode = "AUTO";
constexpr const char* ManualMode = "MANL";

std::array<Field, 9>& Table() {
  static std::array<Field, 9> table = {{
      {Node, "TIC100", "F_CV", 0.0F, {}},
      {Node, "TIC100", "F_TV1", 50.0F, {}},
      {Node, "TIC100", "A_AUTO", 0.0F, ManualMode},
      {Node, "TIC100", "F_AUTO", 0.0F, {}},
      {Node, "TIC100", "A_CASC", 0.0F, "NO"},  // its cascade switch: a slave, whose master this FIX does not say
      {Node, "TT100", "F_CV", 20.0F, {}},
      {Node, "TT100", "F_HI", 80.0F, {}},  // an alarm limit without the alarm's state
      {Node, "FV100", "F_CV", 0.0F, {}},
      {Node, "HS100", "A_ROUT", 0.0F, "NO"},
  }};
  return table;
}

bool Same(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

// The mode field on the same tag, or null when the tag is no controller.
const Field* ModeOf(const Field& field) {
  for (const Field& other : Table()) {
    if (Same(other.tag, field.tag) && Same(other.name, ModeField)) {
      return &other;
    }
  }
  return nullptr;
}

}  // namespace

bool IsTextField(const char* name) { return name[0] == 'A'; }

int16_t FindField(const char* node, const char* tag, const char* name, Field** found) {
  if (!Same(node, Node)) {
    return NodeNotFound;
  }
  bool tagFound = false;
  for (Field& field : Table()) {
    if (Same(field.tag, tag)) {
      tagFound = true;
      if (Same(field.name, name)) {
        *found = &field;
        return 0;
      }
    }
  }
  return tagFound ? FieldNotFound : TagNotFound;
}

int16_t ApplyFloat(Field& field, float value) {
  if (IsTextField(field.name)) {
    return WrongFieldType;
  }
  const Field* mode = ModeOf(field);
  if (Same(field.name, OutputField) && mode != nullptr && mode->text == AutoMode) {
    return OutputProtected;
  }
  field.number = value;
  return 0;
}

int16_t ApplyText(Field& field, const std::string& text) {
  if (!IsTextField(field.name)) {
    return WrongFieldType;
  }
  if (text.size() > MaxTextLength || (Same(field.name, ModeField) && text != AutoMode && text != ManualMode)) {
    return ValueRefused;
  }
  field.text = text;
  return 0;
}

}  // namespace minifix
