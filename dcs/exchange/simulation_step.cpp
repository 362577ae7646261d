// The per-step exchange. Not built yet: a step exchanges nothing.
#include "exchange/simulation_step.h"

namespace dcs {

void SimulationStep(DCSDataDef* /*record*/) {}

}  // namespace dcs
