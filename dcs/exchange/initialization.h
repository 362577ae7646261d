// The start of a run: DCSStart's gate on "Init Cycle" and the initialization
// cycle that brings FIX into step with the simulation.
#pragma once

#include <cstdint>

#include "datadef/record.h"

namespace dcs {

// The body of DCSStart; its one-byte result.
uint8_t StartRun(DCSDataDef* record);

}  // namespace dcs
