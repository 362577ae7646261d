/* The FMI 2.0 co-simulation calls of every test FMU: instantiation through the
 * host's allocator, values got and set by reference, the step handed to the
 * FMU's own Step, and its state kept and serialised as the instance's bytes. */
#include <stdio.h>

#include "fmu_common.h"

FMI2_EXPORT fmi2Component fmi2Instantiate(fmi2String name, fmi2Type type, fmi2String guid, fmi2String resources,
                                          const fmi2CallbackFunctions* cb, fmi2Boolean visible, fmi2Boolean logging) {
  Instance* m;
  (void)resources, (void)visible, (void)logging;
  if (cb == NULL || cb->allocateMemory == NULL || cb->logger == NULL) {
    return NULL;
  }
  if (type != fmi2CoSimulation || guid == NULL || strcmp(guid, Guid) != 0) {
    cb->logger(cb->componentEnvironment, name, fmi2Error, "logStatusError", "%s", "wrong guid or type");
    return NULL;
  }
  m = (Instance*)cb->allocateMemory(1, sizeof(Instance));
  m->cb = *cb;
  strncpy(m->name, name, sizeof m->name - 1);
  Starts(m);
  return m;
}

FMI2_EXPORT void fmi2FreeInstance(fmi2Component c) {
  Instance* m = (Instance*)c;
  if (m != NULL) {
    m->cb.freeMemory(m);
  }
}

FMI2_EXPORT fmi2Status fmi2SetDebugLogging(fmi2Component c, fmi2Boolean on, size_t n, const fmi2String cats[]) {
  (void)n, (void)cats;
  ((Instance*)c)->debug = on;
  return fmi2OK;
}

FMI2_EXPORT fmi2Status fmi2SetupExperiment(fmi2Component c, fmi2Boolean tolDefined, fmi2Real tol, fmi2Real start,
                                           fmi2Boolean stopDefined, fmi2Real stop) {
  Instance* m = (Instance*)c;
  (void)tolDefined, (void)tol, (void)stop;
  m->time = start;
  if (stopDefined) {
    Log(m, fmi2Warning, "logStatusWarning", "a stop time was defined");
  }
  return fmi2OK;
}

FMI2_EXPORT fmi2Status fmi2EnterInitializationMode(fmi2Component c) { (void)c; return fmi2OK; }
FMI2_EXPORT fmi2Status fmi2ExitInitializationMode(fmi2Component c) { Initialize((Instance*)c); return fmi2OK; }
FMI2_EXPORT fmi2Status fmi2Terminate(fmi2Component c) {
  Instance* m = (Instance*)c;
  if (m->debug) {
    Log(m, fmi2OK, "logAll", "terminated"); /* the tests see whether it was called */
  }
  return fmi2OK;
}
FMI2_EXPORT fmi2Status fmi2Reset(fmi2Component c) { Starts((Instance*)c); return fmi2OK; }

FMI2_EXPORT fmi2Status fmi2GetReal(fmi2Component c, const fmi2ValueReference vr[], size_t n, fmi2Real v[]) {
  size_t k;
  for (k = 0; k < n; ++k) {
    if (vr[k] >= 16) return fmi2Error;
    v[k] = ((Instance*)c)->r[vr[k]];
  }
  return fmi2OK;
}

FMI2_EXPORT fmi2Status fmi2SetReal(fmi2Component c, const fmi2ValueReference vr[], size_t n, const fmi2Real v[]) {
  size_t k;
  for (k = 0; k < n; ++k) {
    if (vr[k] >= 16) return fmi2Error;
    ((Instance*)c)->r[vr[k]] = v[k];
  }
  return fmi2OK;
}

FMI2_EXPORT fmi2Status fmi2GetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t n, fmi2Integer v[]) {
  size_t k;
  for (k = 0; k < n; ++k) {
    if (vr[k] >= 4) return fmi2Error;
    v[k] = ((Instance*)c)->i[vr[k]];
  }
  return fmi2OK;
}

FMI2_EXPORT fmi2Status fmi2SetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t n,
                                      const fmi2Integer v[]) {
  size_t k;
  for (k = 0; k < n; ++k) {
    if (vr[k] >= 4) return fmi2Error;
    ((Instance*)c)->i[vr[k]] = v[k];
  }
  return fmi2OK;
}

FMI2_EXPORT fmi2Status fmi2GetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t n, fmi2Boolean v[]) {
  return fmi2GetInteger(c, vr, n, v);
}

FMI2_EXPORT fmi2Status fmi2SetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t n,
                                      const fmi2Boolean v[]) {
  return fmi2SetInteger(c, vr, n, v);
}

#if !defined(FMU_WITHOUT_DOSTEP) /* a broken FMU for the tests leaves it out */
FMI2_EXPORT fmi2Status fmi2DoStep(fmi2Component c, fmi2Real now, fmi2Real h, fmi2Boolean noSetPrior) {
  Instance* m = (Instance*)c;
  fmi2Status status;
  char text[96];
  (void)noSetPrior;
  if (now < m->time - 1e-9 * h || now > m->time + 1e-9 * h) {
    snprintf(text, sizeof text, "asked to step from %g s, but its time is %g s", now, m->time);
    Log(m, fmi2Error, "logStatusError", text);
    return fmi2Error;
  }
  status = Step(m, h);
  if (status <= fmi2Warning) {
    m->time = now + h;
  }
  return status;
}
#endif

/* Whether the FMU ended the simulation, and the time it reached. */
FMI2_EXPORT fmi2Status fmi2GetBooleanStatus(fmi2Component c, int kind, fmi2Boolean* value) {
  if (kind != 3) return fmi2Discard; /* fmi2Terminated */
  *value = ((Instance*)c)->terminated;
  return fmi2OK;
}

FMI2_EXPORT fmi2Status fmi2GetRealStatus(fmi2Component c, int kind, fmi2Real* value) {
  if (kind != 2) return fmi2Discard; /* fmi2LastSuccessfulTime */
  *value = ((Instance*)c)->time;
  return fmi2OK;
}

/* The state: a copy of the instance, which holds everything the model is. */
#if !defined(FMU_WITHOUT_GETSTATE) /* a broken FMU for the tests offers state saving without it */
FMI2_EXPORT fmi2Status fmi2GetFMUstate(fmi2Component c, fmi2FMUstate* s) {
  Instance* m = (Instance*)c;
  if (*s == NULL) {
    *s = m->cb.allocateMemory(1, sizeof(Instance));
  }
  memcpy(*s, m, sizeof(Instance));
  return fmi2OK;
}
#endif

FMI2_EXPORT fmi2Status fmi2SetFMUstate(fmi2Component c, fmi2FMUstate s) {
  Instance* m = (Instance*)c;
  fmi2CallbackFunctions cb = m->cb;
  memcpy(m, s, sizeof(Instance));
  m->cb = cb;
  return fmi2OK;
}

FMI2_EXPORT fmi2Status fmi2FreeFMUstate(fmi2Component c, fmi2FMUstate* s) {
  ((Instance*)c)->cb.freeMemory(*s);
  *s = NULL;
  return fmi2OK;
}

FMI2_EXPORT fmi2Status fmi2SerializedFMUstateSize(fmi2Component c, fmi2FMUstate s, size_t* size) {
  (void)c, (void)s;
  *size = sizeof(Instance);
  return fmi2OK;
}

FMI2_EXPORT fmi2Status fmi2SerializeFMUstate(fmi2Component c, fmi2FMUstate s, fmi2Byte bytes[], size_t size) {
  (void)c;
  if (size != sizeof(Instance)) return fmi2Error;
  memcpy(bytes, s, size);
  return fmi2OK;
}

FMI2_EXPORT fmi2Status fmi2DeSerializeFMUstate(fmi2Component c, const fmi2Byte bytes[], size_t size,
                                               fmi2FMUstate* s) {
  if (size != sizeof(Instance)) return fmi2Error;
  if (*s == NULL) {
    *s = ((Instance*)c)->cb.allocateMemory(1, sizeof(Instance));
  }
  memcpy(*s, bytes, size);
  return fmi2OK;
}
