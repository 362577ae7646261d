// An FMU block read: its file found beside the file that names it, then each
// input and parameter the case gives matched to a variable of the FMU by name,
// causality and type, with the line it was written on in every message.
#include "plant/fmu_block.h"

#include "case/case_values.h"

namespace host {
namespace {

bool Fail(const CaseBlock& b, const Origin& at, const std::string& what, std::string& error) {
  error = Where(at) + ": block '" + b.name + "' (fmu): " + what;
  return false;
}


// The FMU's variables of a causality, listed for a message: "valve, hold".
std::string Listed(const ModelDescription& md, FmuCausality causality) {
  std::string list;
  for (const FmuVariable& v : md.variables) {
    if (v.causality == causality && v.type != FmuType::String) {
      list += (list.empty() ? "" : ", ") + v.name;
    }
  }
  return list.empty() ? "none" : list;
}

// Each entry of `inputs` or `parameters`: a variable of the FMU of that causality.
bool ReadTable(const CaseBlock& b, const BlockValue& table, FmuCausality wanted, FmuBlock& fmu, std::string& error) {
  const ModelDescription& md = fmu.unit->description();
  const char* key = wanted == FmuCausality::Input ? "inputs" : "parameters";
  if (table.form != BlockValue::Form::Table) {
    return Fail(b, table.origin, std::string("'") + key + "' must be a table by the FMU's variable names, such as " +
                                     key + " = { name = ... }", error);
  }
  for (const auto& [name, value] : table.fields) {
    const FmuVariable* v = md.Find(name);
    if (v == nullptr || v->causality != wanted) {
      const std::string is = v == nullptr ? "the FMU has no variable '" + name + "'"
                                          : "'" + name + "' is the FMU's " + CausalityName(v->causality) + ", not " +
                                                (wanted == FmuCausality::Input ? "an input" : "a parameter");
      return Fail(b, value.origin, is + " (its " + key + ": " + Listed(md, wanted) + ")", error);
    }
    if (v->type == FmuType::String) {
      return Fail(b, value.origin, "'" + name + "' is a String; dcshost gives Real, Integer and Boolean values",
                  error);
    }
    if (wanted == FmuCausality::Input) {
      fmu.inputs.push_back(v);
      fmu.wires.push_back(&value);
    } else if (value.form != BlockValue::Form::Number) {
      return Fail(b, value.origin, "parameter '" + name + "' must be a number", error);
    } else {
      fmu.starts.emplace_back(v, value.number);
    }
  }
  return true;
}

}  // namespace

bool OpenFmuBlock(const CaseBlock& b, std::ostream& log, FmuBlock& fmu, std::string& error) {
  for (const auto& entry : b.keys) {
    if (entry.first != "file" && entry.first != "inputs" && entry.first != "parameters") {
      return Fail(b, entry.second.origin, "unknown key '" + entry.first + "' (it takes name, kind, unit, file, "
                                          "inputs and parameters)", error);
    }
  }
  const auto file = b.keys.find("file");
  if (file == b.keys.end() || file->second.form != BlockValue::Form::Text) {
    return Fail(b, file == b.keys.end() ? b.origin : file->second.origin,
                "needs 'file', the .fmu (or the folder it was unpacked into) in quotes", error);
  }
  fmu.name = b.name;
  fmu.unit = FmuUnit::Open(ResolveBeside(b.origin.file, file->second.text), b.name, log, error);
  if (!fmu.unit) {
    error = Where(file->second.origin) + ": block '" + b.name + "' (fmu): " + error;
    return false;
  }
  for (const char* key : {"inputs", "parameters"}) {
    const auto table = b.keys.find(key);
    const FmuCausality wanted = key[0] == 'i' ? FmuCausality::Input : FmuCausality::Parameter;
    if (table != b.keys.end() && !ReadTable(b, table->second, wanted, fmu, error)) {
      return false;
    }
  }
  for (const FmuVariable& v : fmu.unit->description().variables) {
    if (v.causality == FmuCausality::Output && v.type != FmuType::String) {
      fmu.outputs.push_back(&v);
    }
  }
  if (fmu.outputs.empty()) {
    return Fail(b, b.origin, "the FMU has no output dcshost can read (Real, Integer or Boolean)", error);
  }
  fmu.in.assign(fmu.inputs.size(), 0.0);
  fmu.out.assign(fmu.outputs.size(), 0.0);
  for (size_t k = 0; k < fmu.outputs.size(); ++k) {
    fmu.out[k] = fmu.outputs[k]->hasStart ? fmu.outputs[k]->start : 0.0;
  }
  fmu.unit->Bind(fmu.inputs, fmu.outputs);
  return true;
}

}  // namespace host
