// The simulation's process model: named inputs (driven by controller outputs)
// and outputs (carried by PV rows), advanced once per step. "tank" is a tank
// whose level a valve on its inflow controls, with a free outflow; "none" has
// no variables.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "case/case.h"

namespace host {

class ProcessModel {
 public:
  // False with a message when a parameter is unknown or out of range.
  bool Configure(const ModelSettings& settings, std::string& error);
  bool HasVariable(const std::string& name) const { return variables_.count(name) != 0; }
  double Get(const std::string& name) const;
  void Set(const std::string& name, double value);
  void Advance(double seconds);
  // The variables in a fixed order, for traces.
  std::vector<std::string> Names() const;
  // A variable's unit ("m", "m3/s", "0-1" for a fraction), empty when unknown.
  std::string Unit(const std::string& name) const;

 private:
  std::string type_ = "none";
  std::map<std::string, double> parameters_;
  std::map<std::string, double> variables_;
};

}  // namespace host
