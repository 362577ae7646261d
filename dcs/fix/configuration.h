// Point configuration and its release: DCSConfigure binds the three tag tables
// to FIX groups and points; DCSReset deletes the groups of the binding in
// force and marks the released point entries -1.
#pragma once

#include <cstdint>

#include "datadef/record.h"

namespace dcs {

// The body of DCSConfigure: 1 when bound; 0 after reporting and resetting.
int32_t ConfigurePoints(DCSDataDef* record);
// The body of DCSReset.
void ResetPoints(DCSDataDef* record);

}  // namespace dcs
