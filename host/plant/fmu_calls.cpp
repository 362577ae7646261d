// An FMU's life through its FMI 2.0 calls: instantiated with the C allocator
// and a logger that prints through dcshost, started values set, initialised,
// stepped with its inputs and outputs by type, its state saved as bytes. A
// step allocates nothing.
#include "plant/fmu_calls.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "system/shared_library.h"
#include "system/foreign_call.h"

namespace host {
namespace {

const char* const StatusNames[] = {"OK", "warning", "discard", "error", "fatal", "pending"};

// The FMU's logger: the message formatted, then handed to its unit.
extern "C" void FmuLogger(fmi2::Environment environment, fmi2::String instance, fmi2::Status status,
                          fmi2::String category, fmi2::String message, ...) {
  char text[1024];
  va_list args;
  va_start(args, message);
  // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): va_start above
  (void)std::vsnprintf(text, sizeof text, message != nullptr ? message : "", args);
  va_end(args);
  static_cast<FmuUnit*>(environment)->Logged(instance, status, category, text);
}

template <typename Fn>
bool Find(void* library, const char* name, Fn& fn) {
  fn = reinterpret_cast<Fn>(FindSymbol(library, name));
  return fn != nullptr;
}

}  // namespace

const char* FmuUnit::Calls::Resolve(void* library) {
  Find(library, "fmi2GetFMUstate", getState), Find(library, "fmi2SetFMUstate", setState);
  Find(library, "fmi2FreeFMUstate", freeState), Find(library, "fmi2SerializedFMUstateSize", serializedSize);
  Find(library, "fmi2SerializeFMUstate", serialize), Find(library, "fmi2DeSerializeFMUstate", deserialize);
  Find(library, "fmi2GetBooleanStatus", getBooleanStatus), Find(library, "fmi2GetRealStatus", getRealStatus);
  struct Required {
    const char* name;
    bool found;
  };
  const Required required[] = {
      {"fmi2Instantiate", Find(library, "fmi2Instantiate", instantiate)},
      {"fmi2FreeInstance", Find(library, "fmi2FreeInstance", freeInstance)},
      {"fmi2SetDebugLogging", Find(library, "fmi2SetDebugLogging", setDebugLogging)},
      {"fmi2SetupExperiment", Find(library, "fmi2SetupExperiment", setupExperiment)},
      {"fmi2EnterInitializationMode", Find(library, "fmi2EnterInitializationMode", enterInitialization)},
      {"fmi2ExitInitializationMode", Find(library, "fmi2ExitInitializationMode", exitInitialization)},
      {"fmi2Terminate", Find(library, "fmi2Terminate", terminate)},
      {"fmi2GetReal", Find(library, "fmi2GetReal", getReal)},
      {"fmi2GetInteger", Find(library, "fmi2GetInteger", getInteger)},
      {"fmi2GetBoolean", Find(library, "fmi2GetBoolean", getBoolean)},
      {"fmi2SetReal", Find(library, "fmi2SetReal", setReal)},
      {"fmi2SetInteger", Find(library, "fmi2SetInteger", setInteger)},
      {"fmi2SetBoolean", Find(library, "fmi2SetBoolean", setBoolean)},
      {"fmi2DoStep", Find(library, "fmi2DoStep", doStep)},
  };
  for (const Required& r : required) {
    if (!r.found) {
      return r.name;
    }
  }
  return nullptr;
}

void FmuUnit::Logged(const char* instance, int status, const char* category, const char* message) {
  lastLog_ = message;
  if (status == fmi2::OK && !debug_) {
    return;
  }
  const char* word = status >= 0 && status <= fmi2::Pending ? StatusNames[status] : "?";
  *out_ << "FMU " << (instance != nullptr ? instance : instance_.c_str()) << " [" << (category ? category : "") << "] "
        << word << ": " << message << '\n';
}

bool FmuUnit::Failed(const char* call, int status, std::string& error) {
  if (status == fmi2::OK || status == fmi2::Warning) {
    return false;
  }
  erred_ = erred_ || status >= fmi2::Error;
  fatal_ = fatal_ || status == fmi2::Fatal || status > fmi2::Pending;
  const char* word = status >= 0 && status <= fmi2::Pending ? StatusNames[status] : "an unknown status";
  error = Failure(std::string(call) + " returned " + word);
  return true;
}

void FmuUnit::SplitByType(const std::vector<const FmuVariable*>& vars, ByType byType[3]) {
  for (size_t slot = 0; slot < vars.size(); ++slot) {
    const size_t t = vars[slot]->type == FmuType::Real ? 0 : vars[slot]->type == FmuType::Boolean ? 2 : 1;
    byType[t].references.push_back(vars[slot]->valueReference);
    byType[t].slots.push_back(slot);
  }
  for (size_t t = 0; t < 3; ++t) {
    byType[t].reals.assign(byType[t].references.size(), 0.0);
    byType[t].integers.assign(byType[t].references.size(), 0);
  }
}

void FmuUnit::Bind(const std::vector<const FmuVariable*>& inputs, const std::vector<const FmuVariable*>& outputs) {
  SplitByType(inputs, inputs_);
  SplitByType(outputs, outputs_);
}

bool FmuUnit::Start(double startTime, const std::vector<std::pair<const FmuVariable*, double>>& starts,
                    std::string& error) {
  const ForeignCall call(who_);
  callbacks_ = fmi2::CallbackFunctions{FmuLogger, std::calloc, std::free, nullptr, this};
  component_ = calls_->instantiate(instance_.c_str(), fmi2::CoSimulation, md_.guid.c_str(), resources_.c_str(),
                                   &callbacks_, 0, debug_ ? 1 : 0);
  if (component_ == nullptr) {
    error = Failure("fmi2Instantiate failed for guid " + md_.guid);
    return false;
  }
  if (debug_) {
    std::vector<fmi2::String> names;
    for (const std::string& c : categories_) {
      names.push_back(c.c_str());
    }
    if (Failed("fmi2SetDebugLogging", calls_->setDebugLogging(component_, 1, names.size(), names.data()), error)) {
      return false;
    }
  }
  for (const auto& [v, value] : starts) {
    const fmi2::ValueReference r = v->valueReference;
    const int whole = static_cast<int>(value);
    const fmi2::Status s = v->type == FmuType::Real      ? calls_->setReal(component_, &r, 1, &value)
                           : v->type == FmuType::Boolean ? calls_->setBoolean(component_, &r, 1, &whole)
                                                         : calls_->setInteger(component_, &r, 1, &whole);
    if (Failed(("setting " + v->name).c_str(), s, error)) {
      return false;
    }
  }
  if (Failed("fmi2SetupExperiment", calls_->setupExperiment(component_, 0, 0.0, startTime, 0, 0.0), error) ||
      Failed("fmi2EnterInitializationMode", calls_->enterInitialization(component_), error)) {
    return false;
  }
  initialised_ = true;
  return !Failed("fmi2ExitInitializationMode", calls_->exitInitialization(component_), error);
}

bool FmuUnit::SetInputs(const double* inputs) {
  ByType& reals = inputs_[0];
  for (size_t k = 0; k < reals.slots.size(); ++k) {
    reals.reals[k] = inputs[reals.slots[k]];
  }
  for (size_t t = 1; t < 3; ++t) {
    for (size_t k = 0; k < inputs_[t].slots.size(); ++k) {
      const double x = inputs[inputs_[t].slots[k]];
      inputs_[t].integers[k] = t == 2 ? (x != 0.0 ? 1 : 0) : static_cast<int>(x);
    }
  }
  const auto n = [](const ByType& b) { return b.references.size(); };
  return (n(inputs_[0]) == 0 || calls_->setReal(component_, inputs_[0].references.data(), n(inputs_[0]),
                                                inputs_[0].reals.data()) <= fmi2::Warning) &&
         (n(inputs_[1]) == 0 || calls_->setInteger(component_, inputs_[1].references.data(), n(inputs_[1]),
                                                   inputs_[1].integers.data()) <= fmi2::Warning) &&
         (n(inputs_[2]) == 0 || calls_->setBoolean(component_, inputs_[2].references.data(), n(inputs_[2]),
                                                   inputs_[2].integers.data()) <= fmi2::Warning);
}

bool FmuUnit::GetOutputs(double* outputs) {
  const auto n = [](const ByType& b) { return b.references.size(); };
  if ((n(outputs_[0]) != 0 && calls_->getReal(component_, outputs_[0].references.data(), n(outputs_[0]),
                                              outputs_[0].reals.data()) > fmi2::Warning) ||
      (n(outputs_[1]) != 0 && calls_->getInteger(component_, outputs_[1].references.data(), n(outputs_[1]),
                                                 outputs_[1].integers.data()) > fmi2::Warning) ||
      (n(outputs_[2]) != 0 && calls_->getBoolean(component_, outputs_[2].references.data(), n(outputs_[2]),
                                                 outputs_[2].integers.data()) > fmi2::Warning)) {
    return false;
  }
  for (size_t k = 0; k < outputs_[0].slots.size(); ++k) {
    outputs[outputs_[0].slots[k]] = outputs_[0].reals[k];
  }
  for (size_t t = 1; t < 3; ++t) {
    for (size_t k = 0; k < outputs_[t].slots.size(); ++k) {
      outputs[outputs_[t].slots[k]] = static_cast<double>(outputs_[t].integers[k]);
    }
  }
  return true;
}

FmuStep FmuUnit::Step(double now, double h, const double* inputs, double* outputs, std::string& error) {
  const ForeignCall call(who_);
  if (!SetInputs(inputs)) {
    erred_ = true;
    error = Failure("setting its inputs failed");
    return FmuStep::Failed;
  }
  const fmi2::Status status = calls_->doStep(component_, now, h, 1);
  // A discarded step may be the FMU ending the simulation, as FMI 2.0 has it
  // say so: fmi2Terminated, its outputs still readable.
  fmi2::Boolean terminated = 0;
  if (status == fmi2::Discard && calls_->getBooleanStatus != nullptr &&
      calls_->getBooleanStatus(component_, fmi2::Terminated, &terminated) <= fmi2::Warning && terminated != 0) {
    endedAt_ = now + h;
    fmi2::Real last = 0.0;
    if (calls_->getRealStatus != nullptr &&
        calls_->getRealStatus(component_, fmi2::LastSuccessfulTime, &last) <= fmi2::Warning) {
      endedAt_ = last;
    }
    return Outputs(outputs, error) ? FmuStep::Ended : FmuStep::Failed;
  }
  if (Failed("fmi2DoStep", status, error)) {
    return FmuStep::Failed;
  }
  return Outputs(outputs, error) ? FmuStep::Done : FmuStep::Failed;
}

bool FmuUnit::Outputs(double* outputs, std::string& error) {
  const ForeignCall call(who_);
  if (!GetOutputs(outputs)) {
    erred_ = true;
    error = Failure("getting its outputs failed");
    return false;
  }
  return true;
}

bool FmuUnit::CanSaveState(std::string& error) const {
  if (!md_.canGetAndSetState || !md_.canSerializeState) {
    error = Who() +
            " cannot save its state: its model description does not offer canGetAndSetFMUstate and "
            "canSerializeFMUstate, so a run with it cannot be saved";
    return false;
  }
  if (!calls_) {
    return true;  // its code is not loaded: the model description says all there is
  }
  const std::pair<const char*, bool> functions[] = {{"fmi2GetFMUstate", calls_->getState != nullptr},
                                                    {"fmi2SetFMUstate", calls_->setState != nullptr},
                                                    {"fmi2FreeFMUstate", calls_->freeState != nullptr},
                                                    {"fmi2SerializedFMUstateSize", calls_->serializedSize != nullptr},
                                                    {"fmi2SerializeFMUstate", calls_->serialize != nullptr},
                                                    {"fmi2DeSerializeFMUstate", calls_->deserialize != nullptr}};
  for (const auto& [name, found] : functions) {
    if (!found) {
      error = Who() + " cannot save its state: its model description offers it, but its binary has no " + name +
              ", so a run with it cannot be saved";
      return false;
    }
  }
  return true;
}

bool FmuUnit::SaveState(std::vector<unsigned char>& bytes, std::string& error) {
  const ForeignCall call(who_);
  if (!CanSaveState(error)) {
    return false;
  }
  fmi2::State state = nullptr;
  size_t size = 0;
  bool ok = !Failed("fmi2GetFMUstate", calls_->getState(component_, &state), error) &&
            !Failed("fmi2SerializedFMUstateSize", calls_->serializedSize(component_, state, &size), error);
  if (ok) {
    bytes.assign(size, 0);
    ok = !Failed("fmi2SerializeFMUstate",
                 calls_->serialize(component_, state, reinterpret_cast<fmi2::Byte*>(bytes.data()), size), error);
  }
  if (state != nullptr) {
    calls_->freeState(component_, &state);
  }
  return ok;
}

bool FmuUnit::RestoreState(const std::vector<unsigned char>& bytes, std::string& error) {
  const ForeignCall call(who_);
  if (calls_->deserialize == nullptr || calls_->setState == nullptr || calls_->freeState == nullptr) {
    error = Who() + " cannot restore a saved state";
    return false;
  }
  fmi2::State state = nullptr;
  const bool ok =
      !Failed("fmi2DeSerializeFMUstate",
              calls_->deserialize(component_, reinterpret_cast<const fmi2::Byte*>(bytes.data()), bytes.size(), &state),
              error) &&
      !Failed("fmi2SetFMUstate", calls_->setState(component_, state), error);
  if (state != nullptr) {
    calls_->freeState(component_, &state);
  }
  return ok;
}

}  // namespace host
