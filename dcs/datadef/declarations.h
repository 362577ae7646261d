// The column declarations made at load and their release. DCSLoad declares one
// general and three tag tables with NODE, TAG and FIELD columns and fills the
// default rows; DCSDestroy releases all of it together with GenData and the
// host's AuxData blocks. Failures show message boxes; nothing else reports.
#pragma once

#include <cstdint>

#include "datadef/access.h"

namespace dcs {

constexpr int32_t MAXGENFIELDS = 20;
constexpr int32_t MAXCTRLFIELDS = 20;
constexpr int32_t MAXPVFIELDS = 25;
constexpr int32_t MAXPVIMPORTFIELDS = 25;
// The default rows always get this many cells: NODE, TAG and FIELD.
constexpr int32_t DefaultCellCount = 3;

// The options of the general "Init Cycle" column, null-terminated.
extern const char* const InitCycleOptions[3];

// Declares a definition table with count columns: 1 on success, 0 after a
// message box (count out of range, or the array not allocated).
int DeclareTable(DCSDataDef* record, DefTable table, int32_t count);
// Allocates count zeroed cells and fills the default row (none for GenData):
// 1 on success, 0 after a message box.
int AllocateCells(DCSDataDef* record, CellArray cells, int32_t count);
// The declaring steps of DCSLoad, in their fixed order; failures are shown,
// never returned.
void DeclareColumns(DCSDataDef* record);
// Frees what the declarations allocated, GenData and the AuxData blocks, and
// sets the four definition counts to 0. A second release does nothing. 0.
int ReleaseDeclarations(DCSDataDef* record);

}  // namespace dcs
