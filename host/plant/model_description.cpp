// An FMU's modelDescription.xml read through the XML reader: the root's
// attributes, the CoSimulation element and each ScalarVariable with its one
// type element. Every problem names the file and the line it is on.
#include "plant/model_description.h"

#include <cerrno>
#include <cstdlib>
#include <algorithm>
#include <map>
#include <set>

#include "system/xml_reader.h"

namespace host {
namespace {

const char* const Causalities[] = {"parameter", "calculatedParameter", "input", "output", "local", "independent"};
const char* const Types[] = {"Real", "Integer", "Boolean", "String", "Enumeration"};

bool Flag(const XmlElement& e, const char* attribute) {
  const std::string* value = e.Attribute(attribute);
  return value != nullptr && *value == "true";
}

// A number written in an attribute, all of it.
bool NumberOf(const std::string& text, double& value) {
  if (text.empty()) {
    return false;
  }
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && errno == 0;
}

// The unit and range a type element gives, where it gives them; false for a
// bound that is not a number.
bool ReadRange(const XmlElement& e, FmuVariable& v) {
  if (const std::string* unit = e.Attribute("unit")) {
    v.unit = *unit;
  }
  const std::string* min = e.Attribute("min");
  const std::string* max = e.Attribute("max");
  if ((min != nullptr && !NumberOf(*min, v.min)) || (max != nullptr && !NumberOf(*max, v.max))) {
    return false;
  }
  v.hasMin = v.hasMin || min != nullptr;
  v.hasMax = v.hasMax || max != nullptr;
  return true;
}

// The SimpleTypes of TypeDefinitions by name: each one's unit and range.
using DeclaredTypes = std::map<std::string, FmuVariable>;

// One ScalarVariable: its name, value reference, causality and type element,
// with what its declared type gives and it does not.
bool ReadVariable(const XmlElement& sv, const std::string& where, const DeclaredTypes& types, FmuVariable& v,
                  std::string& error) {
  v.line = sv.line;
  const std::string at = where + ":" + std::to_string(sv.line) + ": ";
  const std::string* name = sv.Attribute("name");
  const std::string* reference = sv.Attribute("valueReference");
  double number = 0.0;
  if (name == nullptr || name->empty()) {
    error = at + "a ScalarVariable without a name";
    return false;
  }
  v.name = *name;
  if (reference == nullptr || !NumberOf(*reference, number) || number < 0 || number > 4294967295.0 ||
      number != static_cast<double>(static_cast<uint32_t>(number))) {
    error = at + "variable '" + v.name + "' has no valueReference that is a whole number from 0";
    return false;
  }
  v.valueReference = static_cast<uint32_t>(number);
  const std::string causality = sv.Attribute("causality") != nullptr ? *sv.Attribute("causality") : "local";
  size_t c = 0;
  while (c < 6 && causality != Causalities[c]) {
    ++c;
  }
  if (c == 6) {
    error = at + "variable '" + v.name + "' has an unknown causality '" + causality + "'";
    return false;
  }
  v.causality = static_cast<FmuCausality>(c);
  v.constant = sv.Attribute("variability") != nullptr && *sv.Attribute("variability") == "constant";
  for (const XmlElement& child : sv.children) {
    for (size_t t = 0; t < 5; ++t) {
      if (child.name != Types[t]) {
        continue;
      }
      v.type = static_cast<FmuType>(t);
      if (const std::string* declared = child.Attribute("declaredType")) {
        const auto type = types.find(*declared);
        if (type == types.end()) {
          error =
              at + "variable '" + v.name + "' has the declaredType '" + *declared + "', which no SimpleType defines";
          return false;
        }
        v.unit = type->second.unit;
        v.hasMin = type->second.hasMin, v.min = type->second.min;
        v.hasMax = type->second.hasMax, v.max = type->second.max;
      }
      if (!ReadRange(child, v)) {
        error = at + "variable '" + v.name + "' has a min or max that is not a number";
        return false;
      }
      if (const std::string* start = child.Attribute("start")) {
        v.hasStart = v.type == FmuType::String || NumberOf(*start, v.start) || *start == "true" || *start == "false";
        v.start = *start == "true" ? 1.0 : *start == "false" ? 0.0 : v.start;
        if (!v.hasStart) {
          error = at + "variable '" + v.name + "' has a start that is not a " + Types[t] + ": '" + *start + "'";
          return false;
        }
      }
      return true;
    }
  }
  error = at + "variable '" + v.name + "' has no type (Real, Integer, Boolean, String or Enumeration)";
  return false;
}

}  // namespace

const FmuVariable* ModelDescription::Find(const std::string& name) const {
  for (const FmuVariable& v : variables) {
    if (v.name == name) {
      return &v;
    }
  }
  return nullptr;
}

const char* CausalityName(FmuCausality causality) { return Causalities[static_cast<size_t>(causality)]; }
const char* TypeName(FmuType type) { return Types[static_cast<size_t>(type)]; }

bool ReadModelDescription(const std::string& text, const std::string& file, ModelDescription& md, std::string& error) {
  md = ModelDescription();
  XmlElement root;
  if (!ParseXml(text, root, error)) {
    error = file + ": not XML: " + error;
    return false;
  }
  const std::string at = file + ":" + std::to_string(root.line) + ": ";
  const auto rootAttribute = [&root](const char* attribute) {
    const std::string* value = root.Attribute(attribute);
    return value != nullptr ? *value : std::string();
  };
  md.fmiVersion = rootAttribute("fmiVersion");
  md.modelName = rootAttribute("modelName");
  md.guid = rootAttribute("guid");
  if (root.name != "fmiModelDescription" || md.fmiVersion.rfind("2.", 0) != 0) {
    error = at + "not an FMI 2.0 model description (root <" + root.name + ">, fmiVersion '" + md.fmiVersion +
            "'): dcshost runs FMI 2.0 co-simulation FMUs";
    return false;
  }
  std::set<std::string> names;
  bool coSimulation = false;
  DeclaredTypes types;
  for (const XmlElement& child : root.children) {
    for (size_t k = 0; child.name == "TypeDefinitions" && k < child.children.size(); ++k) {
      const XmlElement& type = child.children[k];
      const std::string* name = type.Attribute("name");
      FmuVariable range;
      if (type.name == "SimpleType" && name != nullptr && !type.children.empty() &&
          !ReadRange(type.children.front(), range)) {
        error = file + ":" + std::to_string(type.line) + ": type '" + *name + "' has a min or max that is not a number";
        return false;
      }
      if (name != nullptr) {
        types[*name] = range;
      }
    }
    if (child.name == "DefaultExperiment" && child.Attribute("stepSize") != nullptr &&
        !NumberOf(*child.Attribute("stepSize"), md.defaultStep)) {
      md.defaultStep = 0.0;
    }
  }
  for (const XmlElement& child : root.children) {
    if (child.name == "CoSimulation") {
      coSimulation = true;
      md.modelIdentifier = child.Attribute("modelIdentifier") != nullptr ? *child.Attribute("modelIdentifier") : "";
      md.canGetAndSetState = Flag(child, "canGetAndSetFMUstate");
      md.canSerializeState = Flag(child, "canSerializeFMUstate");
      md.needsExecutionTool = Flag(child, "needsExecutionTool");
    } else if (child.name == "ModelVariables") {
      for (const XmlElement& sv : child.children) {
        if (sv.name != "ScalarVariable") {
          continue;
        }
        FmuVariable v;
        if (!ReadVariable(sv, file, types, v, error)) {
          return false;
        }
        if (!names.insert(v.name).second) {
          error = file + ":" + std::to_string(sv.line) + ": variable '" + v.name + "' is named twice";
          return false;
        }
        md.variables.push_back(v);
      }
    }
  }
  if (!coSimulation || md.modelIdentifier.empty()) {
    error = at +
            "offers no co-simulation (no <CoSimulation modelIdentifier=...>): dcshost steps an FMU itself "
            "and needs one for co-simulation, not model exchange";
    return false;
  }
  // The binary's name within binaries/PLATFORM/: a bare file name, so that the
  // code loaded is the archive's own and no library outside it.
  const std::string& id = md.modelIdentifier;
  if (id == "." || id == ".." || id.find_first_of("/\\:") != std::string::npos ||
      std::any_of(id.begin(), id.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
    error = at + "modelIdentifier '" + id +
            "' is not a bare file name (no folder, drive or \"..\"): it names the "
            "binary inside the FMU's own binaries folder";
    return false;
  }
  if (md.guid.empty()) {
    error = at + "has no guid";
    return false;
  }
  return true;
}

}  // namespace host
