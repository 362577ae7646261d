// Row counts bounded by the driver's table capacities, and their reports.
#include "driver/row_limits.h"

#include "driver/driver_state.h"
#include "platform/host.h"

namespace dcs {
namespace {

struct RowLimit {
  int32_t capacity;
  const char* key;
};

// In RowTable order.
const RowLimit Limits[] = {
    {MaxCtrlRows, "FIX_CTRL_MAX_EXCEEDED"},
    {MaxPVRows, "FIX_PV_MAX_EXCEEDED"},
    {MaxPVImportRows, "FIX_PVIMPORT_MAX_EXCEEDED"},
};

const RowLimit& LimitOf(RowTable table) { return Limits[static_cast<int>(table)]; }

}  // namespace

bool HasRowArray(const DCSDataDef* record, RowTable table) {
  switch (table) {
    case RowTable::Ctrl: return record->CtrlRows != nullptr;
    case RowTable::PV: return record->PVRows != nullptr;
    case RowTable::PVImport: break;
  }
  return record->PVImportRows != nullptr;
}

int32_t RowsToUse(const DCSDataDef* record, RowTable table) {
  const int32_t count = GetRowCount(record, table);
  const int32_t capacity = LimitOf(table).capacity;
  if (count < 0 || !HasRowArray(record, table)) {
    return 0;
  }
  return count > capacity ? capacity : count;
}

void ReportIfExceeded(const DCSDataDef* record, RowTable table) {
  if (GetRowCount(record, table) > LimitOf(table).capacity) {
    platform::Report(LimitOf(table).key);
  }
}

RowCounts TakeRowCounts(const DCSDataDef* record) {
  ReportIfExceeded(record, RowTable::Ctrl);
  ReportIfExceeded(record, RowTable::PV);
  ReportIfExceeded(record, RowTable::PVImport);
  return RowCounts{RowsToUse(record, RowTable::Ctrl), RowsToUse(record, RowTable::PV),
                   RowsToUse(record, RowTable::PVImport)};
}

bool BindingInForce() { return DriverState.PVImportGroupHandle != 0; }

}  // namespace dcs
