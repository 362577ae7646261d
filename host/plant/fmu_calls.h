// The FMI 2.0 functions of an FMU's binary that dcshost calls, resolved by
// name once, when the FMU is opened. The state functions are optional (only
// saving and restoring a run's state needs them), and so are the status ones.
#pragma once

#include "plant/fmi2.h"
#include "plant/fmu_unit.h"

namespace host {

struct FmuUnit::Calls {
  fmi2::InstantiateFn instantiate = nullptr;
  fmi2::FreeInstanceFn freeInstance = nullptr;
  fmi2::SetDebugLoggingFn setDebugLogging = nullptr;
  fmi2::SetupExperimentFn setupExperiment = nullptr;
  fmi2::ComponentFn enterInitialization = nullptr, exitInitialization = nullptr, terminate = nullptr;
  fmi2::GetRealFn getReal = nullptr;
  fmi2::GetIntegerFn getInteger = nullptr, getBoolean = nullptr;
  fmi2::SetRealFn setReal = nullptr;
  fmi2::SetIntegerFn setInteger = nullptr, setBoolean = nullptr;
  fmi2::DoStepFn doStep = nullptr;
  fmi2::GetStateFn getState = nullptr;
  fmi2::SetStateFn setState = nullptr;
  fmi2::FreeStateFn freeState = nullptr;
  fmi2::SerializedSizeFn serializedSize = nullptr;
  fmi2::SerializeFn serialize = nullptr;
  fmi2::DeserializeFn deserialize = nullptr;
  fmi2::GetBooleanStatusFn getBooleanStatus = nullptr;  // optional: whether it ended the simulation
  fmi2::GetRealStatusFn getRealStatus = nullptr;
  // Every function found; the name of the first required one that is not, or nullptr.
  const char* Resolve(void* library);
};

}  // namespace host
