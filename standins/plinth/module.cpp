// The module name and the math-error hook of the host services library.
// Kvmatherr records every call and answers with a settable result.
#include <cstdio>
#include <string>

#include "plinth_control.h"
#include "platform/host_services_api.h"

namespace {

unsigned long mathErrors = 0;
int mathErrorResult = 0;
char lastMathError[256] = "";

}  // namespace

extern "C" {

const char* GetModuleName(void) { return "fixdcs"; }

int Kvmatherr(const char* module, struct _exception* record) {
  ++mathErrors;
  (void)std::snprintf(lastMathError, sizeof lastMathError, "%s|%s|%d|%g", module != nullptr ? module : "",
                      record != nullptr && record->name != nullptr ? record->name : "",
                      record != nullptr ? record->type : 0, record != nullptr ? record->arg1 : 0.0);
  return mathErrorResult;
}

unsigned long PlinthMathErrorCount(void) { return mathErrors; }
const char* PlinthLastMathError(void) { return lastMathError; }
void PlinthSetMathErrorResult(int result) { mathErrorResult = result; }

}  // extern "C"
