// The per-step exchange with FIX: imported and controller values into the
// rows, PV values out to FIX. Runs once per host step.
#pragma once

#include "datadef/record.h"

namespace dcs {

void SimulationStep(DCSDataDef* record);

}  // namespace dcs
