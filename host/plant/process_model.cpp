// The process models: the tank's parameters checked once, its variables kept
// in a plain array in name order; a plant of blocks handed to BlockPlant.
#include "plant/process_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

namespace host {
namespace {

struct Parameter {
  const char* name;
  double fallback;
  double minimum;
  const char* unit;
};

// The tank: area in m2, inflow through a fully open valve in m3/s, outflow
// coefficient in m3/s per square root of a metre, height in m, initial level
// in m (at most the height, checked apart).
const Parameter TankParameters[] = {
    {"area", 2.0, 1e-6, "m2"},
    {"inflow_max", 0.05, 0.0, "m3/s"},
    {"outflow_coefficient", 0.025, 0.0, "m3/s per m^0.5"},
    {"height", 5.0, 1e-6, "m"},
    {"level", 1.0, 0.0, "m"},
};

// "file:line: " of a parameter given in the case, or of [model] for one left out.
std::string At(const ModelSettings& settings, const std::string& name) {
  const auto found = settings.origins.find(name);
  const Origin& origin = found != settings.origins.end() ? found->second : settings.origin;
  return origin.file.empty() ? std::string() : Where(origin) + ": ";
}

// The tank's variables with their units, in name order.
struct Variable {
  const char* name;
  const char* unit;
};
const Variable TankVariables[] = {{"inflow", "m3/s"}, {"level", "m"}, {"outflow", "m3/s"}, {"valve", "0-1"}};

}  // namespace

bool ProcessModel::Configure(const ModelSettings& settings, double stepSeconds, std::ostream& log, std::string& error) {
  tank_ = false;
  blocks_ = false;
  plant_ = BlockPlant();
  if (!loadCode_) {
    plant_.LoadNoCode();
  }
  names_.clear();
  indexOf_.clear();
  values_.clear();
  if (settings.type == ModelType::Tieback) {
    error = At(settings, "type") + "a tieback model is generated from the tag tables when the case is bound";
    return false;
  }
  if (settings.type == ModelType::Blocks) {
    if (settings.blocks.empty()) {
      error = At(settings, "type") + "model \"blocks\" declares no [[block]]";
      return false;
    }
    if (!plant_.Configure(settings.blocks, stepSeconds, values_, log, error)) {
      return false;
    }
    names_ = plant_.Names();
    for (size_t i = 0; i < names_.size(); ++i) {
      indexOf_.emplace(names_[i], static_cast<int>(i));
    }
    blocks_ = true;
    return true;
  }
  if (settings.type == ModelType::None) {
    if (!settings.parameters.empty()) {
      error = At(settings, settings.parameters.begin()->first) + "model \"none\" takes no parameters, found '" +
              settings.parameters.begin()->first + "'";
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
      error = At(settings, given.first) + "unknown tank parameter '" + given.first +
              "' (area, inflow_max, outflow_coefficient, height, level)";
      return false;
    }
  }
  double values[std::size(TankParameters)] = {};
  for (size_t k = 0; k < std::size(TankParameters); ++k) {
    const Parameter& p = TankParameters[k];
    auto found = settings.parameters.find(p.name);
    values[k] = found == settings.parameters.end() ? p.fallback : found->second;
    if (values[k] < p.minimum) {
      error = At(settings, p.name) + "tank parameter '" + p.name + "' must be at least " + Shown(p.minimum) + " " +
              p.unit + ", not " + Shown(values[k]);
      return false;
    }
  }
  if (values[4] > values[3]) {
    error = At(settings, "level") + "tank parameter 'level' (" + Shown(values[4]) +
            " m) must lie within the tank: "
            "at most its height, " +
            Shown(values[3]) + " m";
    return false;
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
  if (blocks_) {  // a plant of blocks may be large: its names are hashed
    const auto found = indexOf_.find(name);
    return found == indexOf_.end() ? None : found->second;
  }
  const auto found = std::find(names_.begin(), names_.end(), name);
  return found == names_.end() ? None : static_cast<int>(found - names_.begin());
}

void ProcessModel::Advance(double seconds) {
  if (blocks_) {
    plant_.Advance(seconds, values_);
    return;
  }
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
  if (blocks_) {
    const int index = Index(name);
    return index == None ? std::string() : plant_.Units()[static_cast<size_t>(index)];
  }
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

void ProcessModel::Settle() {
  if (blocks_) {
    plant_.Settle(values_);
  }
}

bool ProcessModel::SavedState(std::vector<std::pair<std::string, std::vector<double>>>& saved, std::string& error) {
  saved.clear();
  return !blocks_ || plant_.SavedState(saved, error);
}

bool ProcessModel::RestoreState(const std::string& name, const std::vector<double>& values, std::string& error) {
  if (!blocks_) {
    error = "the model keeps no state beyond its variables, yet the state holds one for '" + name + "'";
    return false;
  }
  if (plant_.HasFmu(name)) {
    return plant_.RestoreFmu(name, values, error);
  }
  const int index = Index(name);
  if (index == None) {
    error = "the model has no block '" + name + "'";
    return false;
  }
  return plant_.RestoreState(static_cast<size_t>(index), values, error);
}

}  // namespace host
