// The process models: the tank's parameters checked once, its variables kept
// in a plain array in name order.
#include "plant/process_model.h"

#include <algorithm>
#include <cmath>
#include <iterator>

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

// The tank's variables with their units, in name order.
struct Variable {
  const char* name;
  const char* unit;
};
const Variable TankVariables[] = {{"inflow", "m3/s"}, {"level", "m"}, {"outflow", "m3/s"}, {"valve", "0-1"}};

}  // namespace

bool ProcessModel::Configure(const ModelSettings& settings, std::string& error) {
  tank_ = false;
  names_.clear();
  values_.clear();
  if (settings.type == "none") {
    if (!settings.parameters.empty()) {
      error = "model \"none\" takes no parameters, found '" + settings.parameters.begin()->first + "'";
      return false;
    }
    return true;
  }
  return ConfigureTank(settings, error);
}

bool ProcessModel::ConfigureTank(const ModelSettings& settings, std::string& error) {
  for (const auto& given : settings.parameters) {
    const bool known = std::any_of(std::begin(TankParameters), std::end(TankParameters),
                                   [&](const Parameter& p) { return given.first == p.name; });
    if (!known) {
      error = "unknown tank parameter '" + given.first + "' (area, inflow_max, outflow_coefficient, height, level)";
      return false;
    }
  }
  double values[std::size(TankParameters)] = {};
  for (size_t k = 0; k < std::size(TankParameters); ++k) {
    const Parameter& p = TankParameters[k];
    auto found = settings.parameters.find(p.name);
    values[k] = found == settings.parameters.end() ? p.fallback : found->second;
    if (values[k] < p.minimum) {
      error = std::string("tank parameter '") + p.name + "' must be at least " + std::to_string(p.minimum);
      return false;
    }
  }
  for (const Variable& v : TankVariables) {
    names_.emplace_back(v.name);
  }
  values_.assign(names_.size(), 0.0);
  parameters_ = Tank{values[0], values[1], values[2], values[3], 0, 0, 0, 0};
  parameters_.level = static_cast<size_t>(Index("level"));
  parameters_.valve = static_cast<size_t>(Index("valve"));
  parameters_.inflow = static_cast<size_t>(Index("inflow"));
  parameters_.outflow = static_cast<size_t>(Index("outflow"));
  values_[parameters_.level] = values[4];
  tank_ = true;
  return true;
}

int ProcessModel::Index(const std::string& name) const {
  const auto found = std::find(names_.begin(), names_.end(), name);
  return found == names_.end() ? None : static_cast<int>(found - names_.begin());
}

void ProcessModel::Advance(double seconds) {
  if (!tank_) {
    return;
  }
  const Tank& p = parameters_;
  const double valve = std::clamp(values_[p.valve], 0.0, 1.0);
  double level = values_[p.level];
  const double inflow = p.inflowMax * valve;
  const double outflow = p.outflowCoefficient * std::sqrt(std::max(level, 0.0));
  level += (inflow - outflow) * seconds / p.area;
  values_[p.level] = std::clamp(level, 0.0, p.height);
  values_[p.inflow] = inflow;
  values_[p.outflow] = outflow;
}

std::string ProcessModel::Unit(const std::string& name) const {
  if (!tank_) {
    return std::string();
  }
  for (const Variable& v : TankVariables) {
    if (name == v.name) {
      return v.unit;
    }
  }
  return std::string();
}

}  // namespace host
