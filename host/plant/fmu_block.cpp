// An FMU block read: its file found beside the file that names it, then each
// input, parameter and start value the case gives matched to a variable of the
// FMU by name, causality and type, with the line it was written on in every message.
#include "plant/fmu_block.h"

#include <cmath>

#include "case/case_values.h"

namespace host {
namespace {

bool Fail(const CaseBlock& b, const Origin& at, const std::string& what, std::string& error) {
  error = Where(at) + ": block '" + b.name + "' (fmu): " + what;
  return false;
}

// What a table of the block gives: inputs wired every step, parameters, and
// the start values of other variables that have one.
enum class Given { Inputs, Parameters, Starts };
const char* const GivenKeys[] = {"inputs", "parameters", "starts"};

// Why the variable cannot be given in that table, or empty when it can.
std::string Refusal(const FmuVariable* v, const std::string& name, Given given) {
  if (v == nullptr) {
    return "the FMU has no variable '" + name + "'";
  }
  const std::string is = "'" + name + "' is the FMU's " + CausalityName(v->causality);
  if (given == Given::Inputs && v->causality != FmuCausality::Input) {
    return is + ", not an input";
  }
  if (given == Given::Parameters && v->causality != FmuCausality::Parameter) {
    return is + ", not a parameter";
  }
  const bool other = v->causality == FmuCausality::Output || v->causality == FmuCausality::Local;
  if (given == Given::Starts && (!other || !v->hasStart || v->constant)) {
    return other ? "'" + name + "' has no start value the FMU lets a tool set (it is " +
                       (v->constant ? "a constant" : "calculated by the FMU") + ")"
                 : is + ": give it in " + (v->causality == FmuCausality::Input ? "inputs" : "parameters") +
                       ", not starts";
  }
  return std::string();
}

// The FMU's variables a table may name, listed for a message: "valve, hold".
std::string Offered(const ModelDescription& md, Given given) {
  std::string list;
  for (const FmuVariable& v : md.variables) {
    if (v.type != FmuType::String && Refusal(&v, v.name, given).empty()) {
      list += (list.empty() ? "" : ", ") + v.name;
    }
  }
  return list.empty() ? "none" : list;
}

// Why a number cannot be the variable's value, or empty: outside its min and
// max, or for an Integer not a whole number of 32 bits, for a Boolean not 0 or 1.
std::string BadValue(const FmuVariable& v, double x) {
  const std::string as = "'" + v.name + "' is given " + Shown(x);
  if (v.type == FmuType::Integer && !(x == std::floor(x) && x >= -2147483648.0 && x <= 2147483647.0)) {
    return as + ", but it is an Integer: a whole number from -2147483648 to 2147483647";
  }
  if (v.type == FmuType::Boolean && x != 0.0 && x != 1.0) {
    return as + ", but it is a Boolean: 0 or 1";
  }
  if ((v.hasMin && x < v.min) || (v.hasMax && x > v.max)) {
    return as + ", outside its range in the FMU (" + (v.hasMin ? "min " + Shown(v.min) : std::string()) +
           (v.hasMin && v.hasMax ? ", " : "") + (v.hasMax ? "max " + Shown(v.max) : std::string()) + ")";
  }
  return std::string();
}

// Each entry of `inputs`, `parameters` or `starts`: a variable of the FMU that table may give.
bool ReadTable(const CaseBlock& b, const BlockValue& table, Given given, FmuBlock& fmu, std::string& error) {
  const ModelDescription& md = fmu.unit->description();
  const std::string key = GivenKeys[static_cast<int>(given)];
  if (table.form != BlockValue::Form::Table) {
    return Fail(b, table.origin,
                "'" + key + "' must be a table by the FMU's variable names, such as " + key + " = { name = ... }",
                error);
  }
  for (const auto& [name, value] : table.fields) {
    const FmuVariable* v = md.Find(name);
    if (std::string refused = Refusal(v, name, given); !refused.empty()) {
      refused += " (its " + key + ": " + Offered(md, given) + ")";
      return Fail(b, value.origin, refused, error);
    }
    if (v->type == FmuType::String) {
      return Fail(b, value.origin,
                  "'" + name + "' is a String; dcshost gives Real, Integer and Boolean values (its " + key + ": " +
                      Offered(md, given) + ")",
                  error);
    }
    if (value.form == BlockValue::Form::Number) {
      if (const std::string bad = BadValue(*v, value.number); !bad.empty()) {
        return Fail(b, value.origin, bad, error);
      }
    }
    if (given == Given::Inputs) {
      fmu.inputs.push_back(v);
      fmu.wires.push_back(&value);
    } else if (value.form != BlockValue::Form::Number) {
      return Fail(b, value.origin,
                  std::string(given == Given::Starts ? "start" : "parameter") + " '" + name + "' must be a number",
                  error);
    } else {
      fmu.starts.emplace_back(v, value.number);
    }
  }
  return true;
}

}  // namespace

bool OpenFmuBlock(const CaseBlock& b, std::ostream& log, bool loadCode, FmuBlock& fmu, std::string& error) {
  for (const auto& entry : b.keys) {
    if (entry.first != "file" && entry.first != "inputs" && entry.first != "parameters" && entry.first != "starts" &&
        entry.first != "process" && entry.first != "timeout") {
      return Fail(b, entry.second.origin,
                  "unknown key '" + entry.first +
                      "' (it takes name, kind, unit, file, "
                      "inputs, parameters, starts, process and timeout)",
                  error);
    }
  }
  if (const auto process = b.keys.find("process"); process != b.keys.end()) {
    if (process->second.form != BlockValue::Form::Text ||
        (process->second.text != "same" && process->second.text != "worker")) {
      return Fail(b, process->second.origin,
                  "'process' is \"worker\" (its code runs in a process of its own, the default) or \"same\" (in "
                  "dcshost's, where a crash or hang in the FMU ends the run)",
                  error);
    }
    fmu.code = process->second.text == "same" ? FmuCode::Here : FmuCode::Worker;
  }
  if (const auto timeout = b.keys.find("timeout"); timeout != b.keys.end()) {
    if (timeout->second.form != BlockValue::Form::Number || !(timeout->second.number > 0.0) ||
        timeout->second.number > 86400.0) {
      return Fail(b, timeout->second.origin,
                  "'timeout' is the seconds its worker has to answer each call, more than 0 and at most 86400", error);
    }
    fmu.timeout = timeout->second.number;
  }
  if (!loadCode) {
    fmu.code = FmuCode::Read;
  }
  fmu.log = &log;
  const auto file = b.keys.find("file");
  if (file == b.keys.end() || file->second.form != BlockValue::Form::Text) {
    return Fail(b, file == b.keys.end() ? b.origin : file->second.origin,
                "needs 'file', the .fmu (or the folder it was unpacked into) in quotes", error);
  }
  fmu.name = b.name;
  fmu.unit = FmuUnit::Open(ResolveBeside(b.origin.file, file->second.text), b.name, log, error, fmu.code);
  if (!fmu.unit) {
    error = Where(file->second.origin) + ": block '" + b.name + "' (fmu): " + error;
    return false;
  }
  for (const Given given : {Given::Inputs, Given::Parameters, Given::Starts}) {
    const auto table = b.keys.find(GivenKeys[static_cast<int>(given)]);
    if (table != b.keys.end() && !ReadTable(b, table->second, given, fmu, error)) {
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

bool FmuBlock::OpenWorker(std::string& error) {
  if (worker) {
    return true;
  }
  worker = FmuWorker::Open(*unit, name, timeout, unit->debugCategories(), inputs, outputs, *log, error);
  return worker != nullptr;
}

bool FmuBlock::Start(double startTime, const std::vector<std::pair<const FmuVariable*, double>>& given,
                     std::string& error) {
  if (code != FmuCode::Worker) {
    return unit->Start(startTime, given, error);
  }
  return OpenWorker(error) && worker->Start(startTime, given, error);
}

FmuStep FmuBlock::Step(double now, double h, const double* stepIn, double* stepOut, std::string& error) {
  return worker ? worker->Step(now, h, stepIn, stepOut, error) : unit->Step(now, h, stepIn, stepOut, error);
}

bool FmuBlock::Outputs(double* values, std::string& error) {
  return worker ? worker->Outputs(values, error) : unit->Outputs(values, error);
}

bool FmuBlock::SaveState(std::vector<unsigned char>& bytes, std::string& error) {
  return worker ? worker->SaveState(bytes, error) : unit->SaveState(bytes, error);
}

bool FmuBlock::RestoreState(const std::vector<unsigned char>& bytes, std::string& error) {
  return worker ? worker->RestoreState(bytes, error) : unit->RestoreState(bytes, error);
}

bool FmuBlock::CanSaveState(std::string& error) const {
  // Its model description first; where a worker runs it, its binary as well.
  return unit->CanSaveState(error) && (!worker || worker->CanSaveState(error));
}

}  // namespace host
