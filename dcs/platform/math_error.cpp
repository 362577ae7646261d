// The C runtime's math-error hook: hands the runtime's exception record to the
// host with this module's name, and returns the host's answer. The driver's
// own computations never raise a math error; library math routines may.
#include "platform/math_error.h"

#include "platform/host_services_api.h"

namespace dcs::platform {

int MathErrorHook(struct _exception* record) { return Kvmatherr(GetModuleName(), record); }

}  // namespace dcs::platform

#if defined(_WIN32)
// The runtime calls a registered user hook on math errors. mingw's DLL start-up
// registers none, so the driver registers it among the runtime's own C
// initializers, before any entry point can run.
extern "C" int _matherr(struct _exception* record) {  // NOLINT(bugprone-reserved-identifier)
  return dcs::platform::MathErrorHook(record);
}
extern "C" void __mingw_setusermatherr(int(__cdecl*)(struct _exception*));
namespace {
int RegisterMathErrorHook() {
  __mingw_setusermatherr(_matherr);
  return 0;
}
}  // namespace
extern "C" {
__attribute__((section(".CRT$XIY"), used)) int (*const FixdcsMathErrorInit)() = RegisterMathErrorHook;
}
#endif
