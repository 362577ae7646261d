// [model]: the process model's type and its parameters, each a number; for
// "blocks", the model file it may name, whose blocks come before the case's
// own; "tieback" takes its type alone (its settings are [tieback] tables, and
// [[block]]s in the case stand beside its generated loops).
// Whether a parameter is known and in range is the model's own concern.
#include <algorithm>
#include <iterator>
#include <string>

#include "case/sections/sections.h"

namespace host {

bool ReadModel(CaseValues& values, const toml::table& table) {
  ModelSettings& model = values.loaded().model;
  model.origin = values.OriginOf(table);
  std::string type;
  if (!values.Text(table, "type", type, true, "[model]")) {
    return false;
  }
  constexpr ModelType types[] = {ModelType::None, ModelType::Tank, ModelType::Blocks, ModelType::Tieback};
  const ModelType* named =
      std::find_if(std::begin(types), std::end(types), [&](ModelType t) { return type == ModelTypeName(t); });
  if (named == std::end(types)) {
    return values.Fail(*table.get("type"), "unknown model type \"" + type + "\" (none, tank, blocks or tieback)");
  }
  model.type = *named;
  if (model.type == ModelType::Tieback) {
    return values.OnlyKeys(table, {"type"},
                           "[model] of type \"tieback\" (its settings are [tieback] tables; "
                           "blocks of its own, an FMU for one, are [[block]] tables)");
  }
  if (model.type == ModelType::Blocks) {
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
