// The simulation's process model: named inputs (driven by controller outputs)
// and outputs (carried by PV rows), advanced once per step. "tank" is a tank
// whose level a valve on its inflow controls, with a free outflow; "none" has
// no variables. Names are resolved to indices once, when a case is bound; a
// step reads and writes the variables by index and never looks up a name.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "case/case.h"

namespace host {

class ProcessModel {
 public:
  // No variable of that name, from Index.
  static constexpr int None = -1;

  // False with a message when a parameter is unknown or out of range.
  bool Configure(const ModelSettings& settings, std::string& error);
  // The variables in a fixed order (by name), for traces, states and indices.
  const std::vector<std::string>& Names() const { return names_; }
  // A variable's index in Names(), or None.
  int Index(const std::string& name) const;
  bool HasVariable(const std::string& name) const { return Index(name) != None; }
  double Value(size_t index) const { return values_[index]; }
  void SetValue(size_t index, double value) { values_[index] = value; }
  void Advance(double seconds);
  // A variable's unit ("m", "m3/s", "0-1" for a fraction), empty when unknown.
  std::string Unit(const std::string& name) const;

 private:
  // The tank's parameters and the indices of its variables.
  struct Tank {
    double area = 0.0, inflowMax = 0.0, outflowCoefficient = 0.0, height = 0.0;
    size_t level = 0, valve = 0, inflow = 0, outflow = 0;
  };
  bool ConfigureTank(const ModelSettings& settings, std::string& error);

  bool tank_ = false;
  Tank parameters_;
  std::vector<std::string> names_;
  std::vector<double> values_;
};

}  // namespace host
