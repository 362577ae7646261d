// DCSDriverState: the driver's whole memory between two calls. Plain
// zero-initialised static storage, one set per loaded library, never
// allocated or freed and never reset as a whole. Row i of a tag table always
// uses entry i of its tables.
#pragma once

#include <cstdint>

#include "driver/driver_rules.h"

namespace dcs {

// A reader turns the FIX value of a PV-import row's point (from the group's
// last read) into the simulation's value, storing the fetch status.
using ImportReaderFn = float (*)(int32_t row, int16_t& status);
// A writer turns a simulation value into a text (buffer non-empty) or a float
// (buffer left empty, float output set) to send to FIX.
using ImportWriterFn = void (*)(float value, char* text, float& output);

struct DCSDriverState {
  int32_t CtrlGroupHandle;      // 0 = no group
  int32_t PVGroupHandle;
  int32_t PVImportGroupHandle;
  int32_t CtrlFieldPoint[MaxCtrlRows];
  int32_t CtrlTV1Point[MaxCtrlRows];
  int32_t CtrlModePoint[MaxCtrlRows];
  int32_t PVPoint[MaxPVRows];
  int32_t PVImportPoint[MaxPVImportRows];
  ImportReaderFn ImportReader[MaxPVImportRows];  // null = no reader
  ImportWriterFn ImportWriter[MaxPVImportRows];  // null = no writer
  int32_t ModeMemory[MaxCtrlRows];               // 0 = manual, 1 = automatic
};

// The one instance; zero when the library is loaded.
extern DCSDriverState DriverState;

}  // namespace dcs
