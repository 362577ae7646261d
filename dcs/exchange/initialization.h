// The start of a run: DCSStart's gate on "Init Cycle" and the initialization
// cycle that brings FIX into step with the simulation: controllers held in
// manual, values written, then each switched to the simulation's mode.
#pragma once

#include <cstdint>

#include "datadef/record.h"

namespace dcs {

// The body of DCSStart: the low byte of a non-zero "Init Cycle" setting at
// once; otherwise the cycle's result (0 without a binding in force).
uint8_t StartRun(DCSDataDef* record);
// Runs the cycle; 1 when the last check of the active controllers' mode points
// found them good, 0 after reporting one.
uint8_t InitializationCycle(DCSDataDef* record);

// Sets an active controller's mode point to the text; leaves others alone.
void SetControllerModeText(const DCSDataDef* record, const char* text, int32_t row);
// Remembers an active controller's simulation mode (1 automatic, 0 manual).
void TakeSimulationMode(const DCSDataDef* record, int32_t row);
// Writes the PV, PV-import and controller values, the controllers held in
// manual; the result of the last check of the controllers' value points.
bool PushSimulationValues(const DCSDataDef* record);

}  // namespace dcs
