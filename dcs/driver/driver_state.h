// DCSDriverState: the driver's whole memory between two calls. Plain
// zero-initialised static storage, one set per loaded library, never
// allocated or freed and never reset as a whole. Row i of a tag table always
// uses entry i of its tables.
#pragma once

#include <cstdint>

#include "driver/driver_rules.h"

namespace dcs {

// The reader of a PV-import row turns the FIX value of its point (from the
// group's last read) into the simulation's value; its writer turns a
// simulation value into a text or a float to send to FIX. The converter
// tables name them as plain data, so that the step reaches a row's reader by
// one load of its entry and one jump (exchange/converters.h).
enum class ImportReaderKind : uint8_t { None, PlainFloat, ModeFromFloat, ModeFromText, FlagFromText };
enum class ImportWriterKind : uint8_t { None, PlainFloat, ModeToFloat, ModeToText, FlagToText };

struct DCSDriverState {
  int32_t CtrlGroupHandle;  // 0 = no group
  int32_t PVGroupHandle;
  int32_t PVImportGroupHandle;
  int32_t CtrlFieldPoint[MaxCtrlRows];
  int32_t CtrlTV1Point[MaxCtrlRows];
  int32_t CtrlModePoint[MaxCtrlRows];
  int32_t PVPoint[MaxPVRows];
  int32_t PVImportPoint[MaxPVImportRows];
  ImportReaderKind ImportReader[MaxPVImportRows];  // None = no reader
  ImportWriterKind ImportWriter[MaxPVImportRows];  // None = no writer
  int32_t ModeMemory[MaxCtrlRows];                 // 0 = manual, 1 = automatic
};

// The one instance; zero when the library is loaded.
extern DCSDriverState DriverState;

}  // namespace dcs
