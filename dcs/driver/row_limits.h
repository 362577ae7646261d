// The row counts the driver walks: a tag table's count from the record,
// bounded to 0 .. the capacity of its point tables, and the report of a count
// above that capacity. No table is ever indexed past its capacity.
#pragma once

#include <cstdint>

#include "datadef/access.h"

namespace dcs {

// True when the record has the table's row array (a null array holds no rows).
bool HasRowArray(const DCSDataDef* record, RowTable table);
// The table's row count, negative counted as 0 and capped at its capacity;
// 0 for a table without its row array, whatever its count says.
int32_t RowsToUse(const DCSDataDef* record, RowTable table);
// Reports the table's limit key, with no argument, when its count is above
// the capacity.
void ReportIfExceeded(const DCSDataDef* record, RowTable table);
// The three bounded counts, reporting each exceeded one (controllers, PV,
// PV import, in this order).
struct RowCounts {
  int32_t ctrl;
  int32_t pv;
  int32_t pvImport;
};
RowCounts TakeRowCounts(const DCSDataDef* record);

// True while a binding is in force: the three groups exist. Configuration
// creates them in order, the PV-import group last, and releases every one it
// made when it fails; a reset releases all three. So between two entry
// points the PV-import group exists exactly when all three do.
bool BindingInForce();

}  // namespace dcs
