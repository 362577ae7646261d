// [model]: the process model's type and its parameters, every other key of
// the table a number. Whether a parameter is known and in range is the
// model's own concern; this reader only takes the numbers as written.
#include <string>

#include "case/sections/sections.h"

namespace host {

bool ReadModel(CaseValues& values, const toml::table& table) {
  ModelSettings& model = values.loaded().model;
  model.origin = values.OriginOf(table);
  if (!values.Text(table, "type", model.type, true, "[model]")) {
    return false;
  }
  if (model.type != "none" && model.type != "tank") {
    return values.Fail(*table.get("type"), "unknown model type \"" + model.type + "\" (none or tank)");
  }
  for (const auto& entry : table) {
    const std::string key(entry.first.str());
    if (key == "type") {
      continue;
    }
    double value = 0.0;
    if (!values.Number(table, key.c_str(), value, true, "[model]")) {
      return false;
    }
    model.parameters[key] = value;
    model.origins[key] = Origin{values.path(), static_cast<int>(entry.second.source().begin.line)};
  }
  return true;
}

}  // namespace host
