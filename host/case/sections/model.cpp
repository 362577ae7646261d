// [model]: the process model's type and its parameters, each a number; for
// "blocks", the model file it may name, whose blocks come before the case's
// own; "tieback" takes its type alone (its settings are [tieback] tables, and
// [[block]]s in the case stand beside its generated loops).
// Whether a parameter is known and in range is the model's own concern.
#include <string>

#include "case/sections/sections.h"

namespace host {

bool ReadModel(CaseValues& values, const toml::table& table) {
  ModelSettings& model = values.loaded().model;
  model.origin = values.OriginOf(table);
  if (!values.Text(table, "type", model.type, true, "[model]")) {
    return false;
  }
  if (model.type != "none" && model.type != "tank" && model.type != "blocks" && model.type != "tieback") {
    return values.Fail(*table.get("type"), "unknown model type \"" + model.type + "\" (none, tank, blocks or tieback)");
  }
  if (model.type == "tieback") {
    return values.OnlyKeys(table, {"type"},
                           "[model] of type \"tieback\" (its settings are [tieback] tables; "
                           "blocks of its own, an FMU for one, are [[block]] tables)");
  }
  if (model.type == "blocks") {
    std::string file;
    if (!values.OnlyKeys(table, {"type", "file"}, "[model] of type \"blocks\" (its blocks are [[block]] tables)") ||
        !values.Text(table, "file", file, false, "[model]")) {
      return false;
    }
    model.file = file.empty() ? std::string() : values.Resolve(file);
    return model.file.empty() || ReadModelFile(values, model.file);
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
