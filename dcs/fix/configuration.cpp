// Point configuration and release. Binding is all or nothing: the first
// failure is reported and undone through the reset, so a failed
// configuration leaves no FIX group behind. Allocates nothing itself.
#include "fix/configuration.h"

#include <cstring>

#include "datadef/access.h"
#include "driver/driver_state.h"
#include "driver/row_limits.h"
#include "exchange/converters.h"
#include "fix/point_errors.h"
#include "platform/fix.h"
#include "platform/host.h"

namespace dcs {
namespace {

constexpr int32_t NodeColumn = 0;
constexpr int32_t TagColumn = 1;
constexpr int32_t FieldColumn = 2;

bool ValidateCells(const DCSDataDef* record, RowTable rows, DefTable columns) {
  const int32_t columnCount = GetDefCount(record, columns);
  if (!HasColumnDefs(record, columns) || columnCount <= FieldColumn) {
    return false;
  }
  // Every row has the table's columns: their types are read from the
  // definitions directly, and each row's cells are taken once.
  const DCSFieldDef* const defs = GetDefArray(record, columns);
  for (int32_t column = NodeColumn; column <= FieldColumn; ++column) {
    if (GetColumnType(defs, column) != ColumnTypeText) {
      return false;
    }
  }
  const int32_t rowCount = GetRowCount(record, rows);
  if (rowCount > 0 && !HasRowArray(record, rows)) {
    return false;  // rows counted but missing: their cells are missing too
  }
  for (int32_t row = 0; row < rowCount; ++row) {
    const DCSCell* const cells = RowCellsOf(record, rows, row);
    if (cells == nullptr) {
      return false;
    }
    for (int32_t column = 0; column < columnCount; ++column) {
      if (GetColumnType(defs, column) != ColumnTypeText) {
        continue;
      }
      const char* text = GetCellText(cells, column);
      if (text == nullptr || text[0] == '\0') {
        return false;
      }
    }
  }
  return true;
}

struct PointName {
  const char* node;
  const char* tag;
  const char* field;
};

PointName NameOf(const DCSDataDef* record, RowTable table, int32_t row) {
  const DCSCell* const cells = RowCellsOf(record, table, row);
  return PointName{GetCellText(cells, NodeColumn), GetCellText(cells, TagColumn), GetCellText(cells, FieldColumn)};
}

void DefineCtrlPoints(const DCSDataDef* record, int32_t rows) {
  const int32_t group = DriverState.CtrlGroupHandle;
  for (int32_t row = 0; row < rows; ++row) {
    const PointName name = NameOf(record, RowTable::Ctrl, row);
    const CtrlPointFields fields = CtrlPointFieldsOf(name.field);
    DriverState.CtrlFieldPoint[row] = platform::DefinePoint(group, name.node, name.tag, fields.output);
    DriverState.CtrlTV1Point[row] = platform::DefinePoint(group, name.node, name.tag, fields.tv1);
    DriverState.CtrlModePoint[row] = platform::DefinePoint(group, name.node, name.tag, fields.mode);
  }
}

void DefinePVPoints(const DCSDataDef* record, int32_t rows) {
  for (int32_t row = 0; row < rows; ++row) {
    const PointName name = NameOf(record, RowTable::PV, row);
    DriverState.PVPoint[row] = platform::DefinePoint(DriverState.PVGroupHandle, name.node, name.tag, name.field);
  }
}

void DefinePVImportPoints(const DCSDataDef* record, int32_t rows) {
  for (int32_t row = 0; row < rows; ++row) {
    const PointName name = NameOf(record, RowTable::PVImport, row);
    DriverState.PVImportPoint[row] =
        platform::DefinePoint(DriverState.PVImportGroupHandle, name.node, name.tag, name.field);
    // A row whose FIELD selects nothing keeps no converter of an earlier binding.
    DriverState.ImportReader[row] = ImportReaderKind::None;
    DriverState.ImportWriter[row] = ImportWriterKind::None;
    SelectImportConverters(row, name.field);
  }
}

void Resolve(int32_t group) {
  platform::ResolveGroup(group);
  platform::WaitGroup(group);
}

// Creates a group; reports the label and answers false when FIX cannot.
bool CreateGroup(int32_t& handle, int32_t points, const char* label) {
  handle = platform::CreateGroup(points);
  if (handle == 0) {
    platform::ReportLabel("DCSMemAllocError", label);
    return false;
  }
  return true;
}

// Marks the first rows of each point table -1 and deletes the group.
void ReleaseGroup(int32_t& handle, int32_t rows, int32_t* const* tables, int tableCount) {
  if (handle == 0) {
    return;
  }
  for (int t = 0; t < tableCount; ++t) {
    for (int32_t row = 0; row < rows; ++row) {
      tables[t][row] = -1;
    }
  }
  platform::DeleteGroup(handle);
  handle = 0;
}

void ReleaseBinding(const RowCounts& counts) {
  int32_t* const ctrlTables[] = {DriverState.CtrlModePoint, DriverState.CtrlFieldPoint, DriverState.CtrlTV1Point};
  int32_t* const pvTables[] = {DriverState.PVPoint};
  int32_t* const pvImportTables[] = {DriverState.PVImportPoint};
  ReleaseGroup(DriverState.CtrlGroupHandle, counts.ctrl, ctrlTables, 3);
  ReleaseGroup(DriverState.PVGroupHandle, counts.pv, pvTables, 1);
  ReleaseGroup(DriverState.PVImportGroupHandle, counts.pvImport, pvImportTables, 1);
}

// The steps after the running check; false after a report.
bool Bind(DCSDataDef* record, const RowCounts& counts) {
  if (!CreateGroup(DriverState.CtrlGroupHandle, 3 * counts.ctrl, "FIX CtrlGroupHandle") ||
      !CreateGroup(DriverState.PVGroupHandle, counts.pv, "FIX PVGroupHandle") ||
      !CreateGroup(DriverState.PVImportGroupHandle, counts.pvImport, "FIX PVImportGroupHandle")) {
    return false;
  }
  if (!ValidateCtrlCells(record)) {
    platform::Report("DCSCtrlTagFieldError");
    return false;
  }
  DefineCtrlPoints(record, counts.ctrl);
  Resolve(DriverState.CtrlGroupHandle);
  if (!CheckCtrlPoints(counts.ctrl)) {
    platform::Report("DCSCtrlTagFieldError");
    return false;
  }
  if (!ValidatePVCells(record)) {
    platform::Report("DCSPVTagFieldError");
    platform::Report("DCSPVTagFieldError");
    return false;
  }
  DefinePVPoints(record, counts.pv);
  Resolve(DriverState.PVGroupHandle);
  if (!CheckPVPoints(counts.pv)) {
    platform::Report("DCSPVTagFieldError");
    platform::Report("DCSPVTagFieldError");
    return false;
  }
  if (!ValidatePVImportCells(record)) {
    platform::Report("DCSPVImportTagFieldError");
    return false;
  }
  DefinePVImportPoints(record, counts.pvImport);
  Resolve(DriverState.PVImportGroupHandle);
  if (!CheckPVImportPoints(counts.pvImport)) {
    platform::Report("DCSPVImportTagFieldError");
    return false;
  }
  return true;
}

}  // namespace

bool ValidateCtrlCells(const DCSDataDef* record) { return ValidateCells(record, RowTable::Ctrl, DefTable::Ctrl); }
bool ValidatePVCells(const DCSDataDef* record) { return ValidateCells(record, RowTable::PV, DefTable::PV); }
bool ValidatePVImportCells(const DCSDataDef* record) {
  return ValidateCells(record, RowTable::PVImport, DefTable::PVImport);
}

int32_t ConfigurePoints(DCSDataDef* record) {
  // A binding still in force is released first, silently, so that no group
  // is left allocated in FIX and unreachable.
  ReleaseBinding(RowCounts{RowsToUse(record, RowTable::Ctrl), RowsToUse(record, RowTable::PV),
                           RowsToUse(record, RowTable::PVImport)});
  const RowCounts counts = TakeRowCounts(record);
  if (!platform::FixRunning()) {
    platform::Report("DCSAppNotRunning");
    ResetPoints(record);
    return 0;
  }
  if (!Bind(record, counts)) {
    ResetPoints(record);
    return 0;
  }
  return 1;
}

void ResetPoints(DCSDataDef* record) { ReleaseBinding(TakeRowCounts(record)); }

}  // namespace dcs
