// The FMI 2.0 co-simulation calls dcshost makes into an FMU's library, with
// their types, declared here from the standard's C interface so that nothing
// of an FMU's own headers is needed. Calls are plain C, default convention.
#pragma once

#include <cstddef>

namespace host {
namespace fmi2 {

using Component = void*;
using Environment = void*;
using State = void*;
using ValueReference = unsigned int;
using Real = double;
using Integer = int;
using Boolean = int;
using String = const char*;
using Byte = char;

enum Status { OK, Warning, Discard, Error, Fatal, Pending };
enum Type { ModelExchange, CoSimulation };

extern "C" {
using Logger = void (*)(Environment, String instance, Status, String category, String message, ...);
using Allocate = void* (*)(size_t count, size_t size);
using Free = void (*)(void*);
using StepFinished = void (*)(Environment, Status);
}

struct CallbackFunctions {
  Logger logger;
  Allocate allocateMemory;
  Free freeMemory;
  StepFinished stepFinished;
  Environment componentEnvironment;
};

extern "C" {
using InstantiateFn = Component (*)(String instance, Type, String guid, String resources, const CallbackFunctions*,
                                    Boolean visible, Boolean loggingOn);
using FreeInstanceFn = void (*)(Component);
using SetDebugLoggingFn = Status (*)(Component, Boolean loggingOn, size_t count, const String categories[]);
using SetupExperimentFn = Status (*)(Component, Boolean toleranceDefined, Real tolerance, Real start,
                                     Boolean stopDefined, Real stop);
using ComponentFn = Status (*)(Component);  // enter and exit initialisation, terminate
using GetRealFn = Status (*)(Component, const ValueReference[], size_t, Real[]);
using GetIntegerFn = Status (*)(Component, const ValueReference[], size_t, Integer[]);
using SetRealFn = Status (*)(Component, const ValueReference[], size_t, const Real[]);
using SetIntegerFn = Status (*)(Component, const ValueReference[], size_t, const Integer[]);
using DoStepFn = Status (*)(Component, Real current, Real step, Boolean noSetStatePriorToCurrentPoint);
using GetStateFn = Status (*)(Component, State*);
using SetStateFn = Status (*)(Component, State);
using FreeStateFn = Status (*)(Component, State*);
using SerializedSizeFn = Status (*)(Component, State, size_t*);
using SerializeFn = Status (*)(Component, State, Byte[], size_t);
using DeserializeFn = Status (*)(Component, const Byte[], size_t, State*);
// What a master may ask after a step: whether the FMU ended the simulation, and when.
enum StatusKind { DoStepStatus, PendingStatus, LastSuccessfulTime, Terminated };
using GetBooleanStatusFn = Status (*)(Component, StatusKind, Boolean*);
using GetRealStatusFn = Status (*)(Component, StatusKind, Real*);
}

}  // namespace fmi2
}  // namespace host
