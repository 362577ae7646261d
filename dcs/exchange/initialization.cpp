// The initialization cycle. Writes only to FIX, changes nothing in the record;
// every group write is waited for, and only the last mode check decides the
// result. Without a binding in force it makes no FIX call.
#include "exchange/initialization.h"

#include "datadef/access.h"
#include "driver/driver_state.h"
#include "driver/row_limits.h"
#include "exchange/converters.h"
#include "fix/point_errors.h"
#include "platform/fix.h"

namespace dcs {
namespace {

constexpr const char* ModeManual = "MANL";
constexpr const char* ModeAuto = "AUTO";
// FIX holds a controller's output in percent, the simulation a fraction.
constexpr double FractionToPercent = 100.0;

// "Init Cycle": 0 Perform, anything else ends the call. A record without
// general cells reads as Perform.
int32_t InitCycleSetting(const DCSDataDef* record) {
  if (GetDefCount(record, DefTable::Gen) <= 0 || GetCellArray(record, CellArray::GenData) == nullptr) {
    return 0;
  }
  return GetGenCellInt(record, 0);
}

void WriteGroupAndWait(int32_t group, int32_t rows) {
  if (rows < 1) {
    return;
  }
  platform::WriteGroup(group);
  platform::WaitGroup(group);
}

bool IsActive(const DCSDataDef* record, RowTable table, int32_t row) { return GetActive(record, table, row) == 1; }

}  // namespace

void SetControllerModeText(const DCSDataDef* record, const char* text, int32_t row) {
  if (IsActive(record, RowTable::Ctrl, row)) {
    platform::SetAscii(DriverState.CtrlGroupHandle, DriverState.CtrlModePoint[row], text);
  }
}

void TakeSimulationMode(const DCSDataDef* record, int32_t row) {
  if (IsActive(record, RowTable::Ctrl, row)) {
    DriverState.ModeMemory[row] = GetCtrlModeValue(record, row) == 1.0 ? 1 : 0;
  }
}

bool PushSimulationValues(const DCSDataDef* record) {
  const int32_t ctrl = RowsToUse(record, RowTable::Ctrl);
  const int32_t pv = RowsToUse(record, RowTable::PV);
  const int32_t ctrlGroup = DriverState.CtrlGroupHandle;

  for (int32_t row = 0; row < pv; ++row) {
    if (IsActive(record, RowTable::PV, row)) {
      platform::SetFloat(DriverState.PVGroupHandle, DriverState.PVPoint[row],
                         static_cast<float>(GetPVValue(record, row)));
    }
  }
  WriteGroupAndWait(DriverState.PVGroupHandle, pv);
  (void)CheckPVPoints(pv);

  ReportIfExceeded(record, RowTable::PVImport);
  const int32_t pvImport = RowsToUse(record, RowTable::PVImport);
  for (int32_t row = 0; row < pvImport; ++row) {
    WriteImportRow(row, static_cast<float>(GetPVImportValue(record, row)));
  }
  WriteGroupAndWait(DriverState.PVImportGroupHandle, pvImport);

  for (int32_t row = 0; row < ctrl; ++row) {
    TakeSimulationMode(record, row);
    SetControllerModeText(record, ModeManual, row);
  }
  WriteGroupAndWait(ctrlGroup, ctrl);
  (void)CheckCtrlModePoints(record, ctrl);

  for (int32_t row = 0; row < ctrl; ++row) {
    if (IsActive(record, RowTable::Ctrl, row)) {
      platform::SetFloat(ctrlGroup, DriverState.CtrlFieldPoint[row],
                         static_cast<float>(GetCtrlOutputValue(record, row) * FractionToPercent));
    }
    platform::SetFloat(ctrlGroup, DriverState.CtrlTV1Point[row], static_cast<float>(GetCtrlTV1Value(record, row)));
  }
  WriteGroupAndWait(ctrlGroup, ctrl);
  return CheckCtrlValuePoints(ctrl);
}

uint8_t InitializationCycle(DCSDataDef* record) {
  ReportIfExceeded(record, RowTable::Ctrl);
  ReportIfExceeded(record, RowTable::PV);
  const int32_t ctrl = RowsToUse(record, RowTable::Ctrl);
  const int32_t ctrlGroup = DriverState.CtrlGroupHandle;

  if (ctrl >= 1) {
    platform::ReadGroup(ctrlGroup);
    platform::WaitGroup(ctrlGroup);
  }
  for (int32_t row = 0; row < ctrl; ++row) {
    SetControllerModeText(record, ModeManual, row);
  }
  WriteGroupAndWait(ctrlGroup, ctrl);
  (void)CheckCtrlModePoints(record, ctrl);

  (void)PushSimulationValues(record);

  // ModeMemory holds 0 or 1 only: zero at load, then set by TakeSimulationMode.
  for (int32_t row = 0; row < ctrl; ++row) {
    SetControllerModeText(record, DriverState.ModeMemory[row] == 1 ? ModeAuto : ModeManual, row);
  }
  WriteGroupAndWait(ctrlGroup, ctrl);
  return CheckCtrlModePoints(record, ctrl) ? 1 : 0;
}

uint8_t StartRun(DCSDataDef* record) {
  const int32_t setting = InitCycleSetting(record);
  if (setting != 0) {
    return static_cast<uint8_t>(setting & 0xFF);
  }
  if (!BindingInForce()) {
    return 0;
  }
  return InitializationCycle(record);
}

}  // namespace dcs
