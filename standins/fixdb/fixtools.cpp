// The FIXTOOLS stand-in: the running check and the error texts, answered by
// the simulated database behind EDA.
#include "fixdb_control.h"
#include "platform/fix_api.h"

extern "C" {

int32_t FixRunningCheck(void) { return FixdbToolsRunningCheck(); }

int32_t FixErrorText(int32_t code, char* buffer, int32_t length) { return FixdbToolsErrorText(code, buffer, length); }

}  // extern "C"
