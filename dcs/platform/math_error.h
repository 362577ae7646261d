// The math-error hook that the C runtime calls on a math error in a library
// routine; forwards to the host's Kvmatherr with this module's name.
#pragma once

struct _exception;

namespace dcs::platform {

int MathErrorHook(struct _exception* record);

}  // namespace dcs::platform
