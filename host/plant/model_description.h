// What an FMU says of itself in its modelDescription.xml: the FMI version, its
// guid, whether it is for co-simulation and under which model identifier, what
// it can do with its state, and its scalar variables. It reads; it loads nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

enum class FmuType { Real, Integer, Boolean, String, Enumeration };
enum class FmuCausality { Parameter, CalculatedParameter, Input, Output, Local, Independent };

struct FmuVariable {
  std::string name;
  uint32_t valueReference = 0;
  FmuCausality causality = FmuCausality::Local;
  FmuType type = FmuType::Real;
  bool hasStart = false;
  bool constant = false;                // variability "constant": never set
  double start = 0.0;                   // Real, Integer, Boolean (1 or 0) and Enumeration starts
  std::string unit;                     // a Real's unit (its own or its declared type's), or empty
  bool hasMin = false, hasMax = false;  // its range, its own or its declared type's
  double min = 0.0, max = 0.0;
  int line = 0;  // in modelDescription.xml
};

struct ModelDescription {
  std::string fmiVersion, modelName, guid, modelIdentifier;
  bool canGetAndSetState = false, canSerializeState = false, needsExecutionTool = false;
  double defaultStep = 0.0;  // DefaultExperiment's stepSize, or 0 where it gives none
  std::vector<FmuVariable> variables;
  // The variable of that name, or nullptr.
  const FmuVariable* Find(const std::string& name) const;
};

// Reads a modelDescription.xml's text; false with "FILE:LINE: WHAT" (FILE as
// given) when it is not XML, not FMI 2.0, offers no co-simulation, or a
// variable is malformed (no name, no value reference, a name given twice, an
// unknown causality or type).
bool ReadModelDescription(const std::string& text, const std::string& file, ModelDescription& md, std::string& error);

// The words the case and messages use: "input", "Real".
const char* CausalityName(FmuCausality causality);
const char* TypeName(FmuType type);

}  // namespace host
