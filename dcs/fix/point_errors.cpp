// Point error checks over the driver's point tables. Reports through the
// host's message service only; changes no state.
#include "fix/point_errors.h"

#include "datadef/access.h"
#include "driver/driver_state.h"
#include "platform/fix.h"
#include "platform/host.h"

namespace dcs {

const PointErrorKeys CtrlPointKeys = {"DCSCtrlVendorMsg", "DCSCtrlVendorCode"};
const PointErrorKeys PVPointKeys = {"DCSPVVendorMsg", "DCSPVVendorCode"};
const PointErrorKeys PVImportPointKeys = {"DCSPVImportVendorMsg", "DCSPVImportVendorCode"};

namespace {

// The rows a check may walk: never beyond the table's capacity.
int32_t RowsToCheck(int32_t count, int32_t capacity) { return count < capacity ? count : capacity; }

// Checks the listed point tables of every row below count, row by row.
bool CheckRows(int32_t count, int32_t capacity, int32_t group, const int32_t* const* tables, int tableCount,
               const PointErrorKeys& keys) {
  const int32_t rows = RowsToCheck(count, capacity);
  for (int32_t row = 0; row < rows; ++row) {
    for (int t = 0; t < tableCount; ++t) {
      if (!CheckPointError(group, tables[t], row, keys)) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool CheckPointError(int32_t group, const int32_t* points, int32_t row, const PointErrorKeys& keys) {
  const int16_t code = platform::PointError(group, points[row]);
  if (code == 0) {
    return true;
  }
  char text[platform::ErrorTextLength];
  if (platform::ErrorText(code, text)) {
    platform::ReportPointText(keys.withText, text, row);
  } else {
    platform::Report(keys.withCode, static_cast<int32_t>(code), row);
  }
  return false;
}

bool CheckCtrlPoints(int32_t count) {
  const int32_t* const tables[] = {DriverState.CtrlFieldPoint, DriverState.CtrlTV1Point, DriverState.CtrlModePoint};
  return CheckRows(count, MaxCtrlRows, DriverState.CtrlGroupHandle, tables, 3, CtrlPointKeys);
}

bool CheckCtrlValuePoints(int32_t count) {
  const int32_t* const tables[] = {DriverState.CtrlFieldPoint, DriverState.CtrlTV1Point};
  return CheckRows(count, MaxCtrlRows, DriverState.CtrlGroupHandle, tables, 2, CtrlPointKeys);
}

bool CheckCtrlModePoints(const DCSDataDef* record, int32_t count) {
  const int32_t rows = RowsToCheck(count, MaxCtrlRows);
  for (int32_t row = 0; row < rows; ++row) {
    if (GetActive(record, RowTable::Ctrl, row) != 1) {
      continue;
    }
    if (!CheckPointError(DriverState.CtrlGroupHandle, DriverState.CtrlModePoint, row, CtrlPointKeys)) {
      return false;
    }
  }
  return true;
}

bool CheckPVPoints(int32_t count) {
  const int32_t* const tables[] = {DriverState.PVPoint};
  return CheckRows(count, MaxPVRows, DriverState.PVGroupHandle, tables, 1, PVPointKeys);
}

bool CheckPVImportPoints(int32_t count) {
  const int32_t* const tables[] = {DriverState.PVImportPoint};
  return CheckRows(count, MaxPVImportRows, DriverState.PVImportGroupHandle, tables, 1, PVImportPointKeys);
}

}  // namespace dcs
