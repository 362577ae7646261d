// The access layer of the DCSDataDef record: small get and set operations that
// take the record first, then a row index, then a column index. All other code
// reaches the record only through these. No operation checks an index against
// a count; callers keep indices in range.
#pragma once

#include <cstdint>

#include "datadef/record.h"

namespace dcs {

// The four tables of column definitions.
enum class DefTable { Gen, Ctrl, PV, PVImport };
// The cell arrays that the driver allocates and sets: GenData and the three
// default rows' Data arrays.
enum class CellArray { GenData, CtrlDataDefault, PVDataDefault, PVImportDataDefault };
// The three tag tables.
enum class RowTable { Ctrl, PV, PVImport };

// Text buffers that the driver allocates hold 63 characters and a NUL.
constexpr int TextBufferSize = 64;

// Column definitions.
int32_t GetDefCount(const DCSDataDef* record, DefTable table);
int32_t GetColumnType(const DCSDataDef* record, DefTable table, int32_t column);
int SetColumnType(DCSDataDef* record, DefTable table, int32_t column, int32_t type);
const char* GetColumnName(const DCSDataDef* record, DefTable table, int32_t column);
// Allocates a 64-byte name buffer; 1 (and a null Name) when that fails.
int SetColumnName(DCSDataDef* record, DefTable table, int32_t column, const char* text);
const char* GetColumnKey(const DCSDataDef* record, DefTable table, int32_t column);
int SetOptionList(DCSDataDef* record, DefTable table, int32_t column, const char* const* list);
// True when the table's column definitions exist (the array is not null).
bool HasColumnDefs(const DCSDataDef* record, DefTable table);
// The count and array fields themselves, for the declarations and their release.
void SetDefCount(DCSDataDef* record, DefTable table, int32_t count);
DCSFieldDef* GetDefArray(const DCSDataDef* record, DefTable table);
void SetDefArray(DCSDataDef* record, DefTable table, DCSFieldDef* defs);

// Cells of GenData and of the default rows.
DCSCell* GetCellArray(const DCSDataDef* record, CellArray cells);
void SetCellArray(DCSDataDef* record, CellArray cells, DCSCell* array);
// Sets the default row that a default cell array completes to its load-time
// values (ModeValue 1.0, every other value and flag 0); nothing for GenData.
void FillDefaultRow(DCSDataDef* record, CellArray cells);
int SetCellInt(DCSDataDef* record, CellArray cells, int32_t column, int32_t value);
int SetCellDouble(DCSDataDef* record, CellArray cells, int32_t column, double value);
// Allocates a 64-byte buffer for the text; 1 (and a null text) when that fails.
int SetCellText(DCSDataDef* record, CellArray cells, int32_t column, const char* text);
const char* GetGenCellText(const DCSDataDef* record, int32_t column);
double GetGenCellDouble(const DCSDataDef* record, int32_t column);
int32_t GetGenCellInt(const DCSDataDef* record, int32_t column);
// 1 when every general text column holds a non-null, non-empty text.
int CheckGenTexts(const DCSDataDef* record);

// Rows of the tag tables.
int32_t GetRowCount(const DCSDataDef* record, RowTable table);
// The operations that the simulation step calls for every row are defined
// inline at the end of this header, so that a step pays no call for them.
inline int32_t GetActive(const DCSDataDef* record, RowTable table, int32_t row);
// The row's cells; null when it has none.
inline DCSCell* RowCellsOf(const DCSDataDef* record, RowTable table, int32_t row);
inline bool HasRowCells(const DCSDataDef* record, RowTable table, int32_t row);
inline const char* GetRowCellText(const DCSDataDef* record, RowTable table, int32_t row, int32_t column);
double GetRowCellDouble(const DCSDataDef* record, RowTable table, int32_t row, int32_t column);
int32_t GetRowCellInt(const DCSDataDef* record, RowTable table, int32_t row, int32_t column);

int32_t GetPVHostWord(const DCSDataDef* record, int32_t row);
inline double GetPVValue(const DCSDataDef* record, int32_t row);
double GetPVImportValue(const DCSDataDef* record, int32_t row);
inline int SetPVImportValue(DCSDataDef* record, int32_t row, double value);

double GetCtrlModeValue(const DCSDataDef* record, int32_t row);
int SetCtrlModeValue(DCSDataDef* record, int32_t row, double value);
double GetCtrlHostValue(const DCSDataDef* record, int32_t row);
int SetCtrlHostValue(DCSDataDef* record, int32_t row, double value);
double GetCtrlTV1Value(const DCSDataDef* record, int32_t row);
// Also sets TV1Updated to 1.
inline int SetCtrlTV1Value(DCSDataDef* record, int32_t row, double value);
double GetCtrlOutputValue(const DCSDataDef* record, int32_t row);
// Also sets OutputUpdated to 1.
inline int SetCtrlOutputValue(DCSDataDef* record, int32_t row, double value);

// Row-level forms of the operations the step makes on every row. A walk
// takes its table's row array once and reaches each row through it: the host
// never moves its rows while an entry point runs, but across each FIX call
// the compiler could not know that and would load the array again per row.
inline DCSCtrlRow* GetCtrlRows(DCSDataDef* record) { return record->CtrlRows; }
inline const DCSPVRow* GetPVRows(const DCSDataDef* record) { return record->PVRows; }
inline DCSPVRow* GetPVImportRows(DCSDataDef* record) { return record->PVImportRows; }
inline int32_t GetActive(const DCSCtrlRow& row) { return row.Active; }
inline int32_t GetActive(const DCSPVRow& row) { return row.Active; }
// Cell- and column-level forms for the walks of configuration, which take a
// table's definitions once and each row's cells once.
inline int32_t GetColumnType(const DCSFieldDef* defs, int32_t column) { return defs[column].Type; }
inline const char* GetCellText(const DCSCell* cells, int32_t column) { return cells[column].StrValue; }
// The text of a controller row's cell; null when the row has no cells or the
// cell no text.
inline const char* GetCellText(const DCSCtrlRow& row, int32_t column) {
  return row.Data == nullptr ? nullptr : row.Data[column].StrValue;
}
inline double GetPVValue(const DCSPVRow& row) { return row.Value; }
inline void SetPVImportValue(DCSPVRow& row, double value) { row.Value = value; }
// Each also sets its update flag to 1.
inline void SetCtrlTV1Value(DCSCtrlRow& row, double value) {
  row.TV1Value = value;
  row.TV1Updated = 1;
}
inline void SetCtrlOutputValue(DCSCtrlRow& row, double value) {
  row.OutputValue = value;
  row.OutputUpdated = 1;
}

// Inline row operations (declared above).

inline DCSCell* RowCellsOf(const DCSDataDef* record, RowTable table, int32_t row) {
  if (table == RowTable::Ctrl) {
    return record->CtrlRows[row].Data;
  }
  return table == RowTable::PV ? record->PVRows[row].Data : record->PVImportRows[row].Data;
}

inline int32_t GetActive(const DCSDataDef* record, RowTable table, int32_t row) {
  if (table == RowTable::Ctrl) {
    return record->CtrlRows[row].Active;
  }
  return table == RowTable::PV ? record->PVRows[row].Active : record->PVImportRows[row].Active;
}

inline bool HasRowCells(const DCSDataDef* record, RowTable table, int32_t row) {
  return RowCellsOf(record, table, row) != nullptr;
}

inline const char* GetRowCellText(const DCSDataDef* record, RowTable table, int32_t row, int32_t column) {
  return RowCellsOf(record, table, row)[column].StrValue;
}

inline double GetPVValue(const DCSDataDef* record, int32_t row) { return record->PVRows[row].Value; }

inline int SetPVImportValue(DCSDataDef* record, int32_t row, double value) {
  SetPVImportValue(record->PVImportRows[row], value);
  return 0;
}

inline int SetCtrlTV1Value(DCSDataDef* record, int32_t row, double value) {
  SetCtrlTV1Value(record->CtrlRows[row], value);
  return 0;
}

inline int SetCtrlOutputValue(DCSDataDef* record, int32_t row, double value) {
  SetCtrlOutputValue(record->CtrlRows[row], value);
  return 0;
}

}  // namespace dcs
