// Point configuration and release. Binding is not built yet: configuration
// reports failure and binds nothing; release has nothing to release.
#include "fix/configuration.h"

namespace dcs {

int32_t ConfigurePoints(DCSDataDef* /*record*/) { return 0; }

void ResetPoints(DCSDataDef* /*record*/) {}

}  // namespace dcs
