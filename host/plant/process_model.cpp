// The process models.
#include "plant/process_model.h"

#include <algorithm>
#include <cmath>

namespace host {
namespace {

struct Parameter {
  const char* name;
  double fallback;
  double minimum;
};

// The tank: area in m2, inflow through a fully open valve in m3/s, outflow
// coefficient in m3/s per square root of a metre, height in m, initial level.
const Parameter TankParameters[] = {
    {"area", 2.0, 1e-6}, {"inflow_max", 0.05, 0.0}, {"outflow_coefficient", 0.025, 0.0},
    {"height", 5.0, 1e-6}, {"level", 1.0, 0.0},
};

}  // namespace

bool ProcessModel::Configure(const ModelSettings& settings, std::string& error) {
  type_ = settings.type;
  if (type_ == "none") {
    if (!settings.parameters.empty()) {
      error = "model \"none\" takes no parameters, found '" + settings.parameters.begin()->first + "'";
      return false;
    }
    return true;
  }
  for (const auto& given : settings.parameters) {
    const bool known = std::any_of(std::begin(TankParameters), std::end(TankParameters),
                                   [&](const Parameter& p) { return given.first == p.name; });
    if (!known) {
      error = "unknown tank parameter '" + given.first + "' (area, inflow_max, outflow_coefficient, height, level)";
      return false;
    }
  }
  for (const Parameter& p : TankParameters) {
    auto found = settings.parameters.find(p.name);
    const double value = found == settings.parameters.end() ? p.fallback : found->second;
    if (value < p.minimum) {
      error = std::string("tank parameter '") + p.name + "' must be at least " + std::to_string(p.minimum);
      return false;
    }
    parameters_[p.name] = value;
  }
  variables_ = {{"level", parameters_["level"]}, {"valve", 0.0}, {"inflow", 0.0}, {"outflow", 0.0}};
  return true;
}

double ProcessModel::Get(const std::string& name) const {
  auto found = variables_.find(name);
  return found == variables_.end() ? 0.0 : found->second;
}

void ProcessModel::Set(const std::string& name, double value) {
  auto found = variables_.find(name);
  if (found != variables_.end()) {
    found->second = value;
  }
}

void ProcessModel::Advance(double seconds) {
  if (type_ != "tank") {
    return;
  }
  const double valve = std::clamp(variables_["valve"], 0.0, 1.0);
  double level = variables_["level"];
  const double inflow = parameters_["inflow_max"] * valve;
  const double outflow = parameters_["outflow_coefficient"] * std::sqrt(std::max(level, 0.0));
  level += (inflow - outflow) * seconds / parameters_["area"];
  variables_["level"] = std::clamp(level, 0.0, parameters_["height"]);
  variables_["inflow"] = inflow;
  variables_["outflow"] = outflow;
}

std::vector<std::string> ProcessModel::Names() const {
  std::vector<std::string> names;
  for (const auto& variable : variables_) {
    names.push_back(variable.first);
  }
  return names;
}

std::string ProcessModel::Unit(const std::string& name) const {
  static const std::map<std::string, std::string> TankUnits = {
      {"level", "m"}, {"valve", "0-1"}, {"inflow", "m3/s"}, {"outflow", "m3/s"}};
  const auto found = TankUnits.find(name);
  return type_ == "tank" && found != TankUnits.end() ? found->second : std::string();
}

}  // namespace host
