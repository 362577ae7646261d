// Point configuration and its release: DCSConfigure binds the three tag tables
// to FIX groups and points, all or nothing; DCSReset deletes the groups of the
// binding in force and marks the released point entries -1.
#pragma once

#include <cstdint>

#include "datadef/record.h"

namespace dcs {

// The body of DCSConfigure: 1 when bound; 0 after reporting and resetting.
int32_t ConfigurePoints(DCSDataDef* record);
// The body of DCSReset.
void ResetPoints(DCSDataDef* record);

// True when every text cell of every row of the table is present and not
// empty. A table without column definitions, or whose NODE, TAG and FIELD
// columns are not text columns, and a row without cells, fail.
bool ValidateCtrlCells(const DCSDataDef* record);
bool ValidatePVCells(const DCSDataDef* record);
bool ValidatePVImportCells(const DCSDataDef* record);

}  // namespace dcs
