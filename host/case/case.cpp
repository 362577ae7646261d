// The small rules of a case that the rest of dcshost shares: what a field
// holds, what FIX can take, and how a point and a place are written. Nothing
// here reads a file.
#include "case/case.h"

#include <cfloat>
#include <cmath>
#include <cstdio>

#include "driver/driver_rules.h"

namespace host {

bool IsTextField(const std::string& field) { return !field.empty() && field[0] == 'A'; }

bool FitsFixFloat(double value) { return std::isfinite(value) && std::fabs(value) <= FLT_MAX; }

std::string PointText(const std::string& node, const std::string& tag, const std::string& field) {
  return node + ":" + tag + "." + field;
}

const char* ModelTypeName(ModelType type) {
  switch (type) {
    case ModelType::Tank: return "tank";
    case ModelType::Blocks: return "blocks";
    case ModelType::Tieback: return "tieback";
    case ModelType::None: break;
  }
  return "none";
}

std::string TargetPoint(const CaseCtrlRow& controller) {
  return PointText(controller.node, controller.tag, dcs::CtrlPointFieldsOf(controller.field.c_str()).tv1);
}

std::string RowLabel(const std::string& table, size_t index) { return table + " row " + std::to_string(index + 1); }

std::string Where(const Origin& origin) { return origin.file + ":" + std::to_string(origin.line); }

std::string Shown(double value) {
  char text[32];
  (void)std::snprintf(text, sizeof text, "%g", value);
  return text;
}

bool HasControlCharacter(const std::string& name) {
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) == 0x7f) {
      return true;
    }
  }
  return false;
}

bool ParsePointName(const std::string& text, std::string& node, std::string& tag, std::string& field) {
  const size_t colon = text.find(':');
  const size_t dot = text.find('.', colon == std::string::npos ? 0 : colon);
  if (colon == std::string::npos || dot == std::string::npos || colon == 0 || dot == colon + 1 ||
      dot + 1 == text.size()) {
    return false;
  }
  node = text.substr(0, colon);
  tag = text.substr(colon + 1, dot - colon - 1);
  field = text.substr(dot + 1);
  return true;
}

}  // namespace host
