/* What the test FMUs share: the instance with its callbacks, the log, and the
 * calls every FMU answers the same way. A test FMU's own file defines its
 * variables and Step; it keeps no state outside its instance. */
#ifndef FMU_COMMON_H
#define FMU_COMMON_H

#include <stdarg.h>
#include <stddef.h>
#include <string.h>

#if defined(_WIN32)
#define FMI2_EXPORT __declspec(dllexport)
#else
#define FMI2_EXPORT __attribute__((visibility("default")))
#endif

typedef void* fmi2Component;
typedef void* fmi2ComponentEnvironment;
typedef void* fmi2FMUstate;
typedef unsigned int fmi2ValueReference;
typedef double fmi2Real;
typedef int fmi2Integer;
typedef int fmi2Boolean;
typedef const char* fmi2String;
typedef char fmi2Byte;
typedef enum { fmi2OK, fmi2Warning, fmi2Discard, fmi2Error, fmi2Fatal, fmi2Pending } fmi2Status;
typedef enum { fmi2ModelExchange, fmi2CoSimulation } fmi2Type;
typedef struct {
  void (*logger)(fmi2ComponentEnvironment, fmi2String, fmi2Status, fmi2String, fmi2String, ...);
  void* (*allocateMemory)(size_t, size_t);
  void (*freeMemory)(void*);
  void (*stepFinished)(fmi2ComponentEnvironment, fmi2Status);
  fmi2ComponentEnvironment componentEnvironment;
} fmi2CallbackFunctions;

/* Up to 16 Reals and 4 Integers (Booleans among them), by value reference. */
typedef struct {
  fmi2CallbackFunctions cb;
  char name[64];
  int debug;
  double time;
  double r[16];
  int i[4];
  int terminated; /* the FMU ended the simulation (fmi2Terminated) */
} Instance;

/* The FMU's own: its guid, its start values, and one step of its model. */
extern const char* const Guid;
void Starts(Instance* m);
void Initialize(Instance* m);  /* after the host set its starts and parameters */
fmi2Status Step(Instance* m, double h);

static inline void Log(Instance* m, fmi2Status status, const char* category, const char* message) {
  m->cb.logger(m->cb.componentEnvironment, m->name, status, category, "%s", message);
}

#endif
