// The record's access operations. Reads and writes fields only; allocates
// only the 64-byte text buffers of the name and text setters.
#include "datadef/access.h"

#include "platform/host.h"

namespace dcs {
namespace {

// Each switch over a table names every table; the last one's case leaves the
// switch for the statement after it, so that no path is left that no table
// takes.
DCSFieldDef* DefArray(const DCSDataDef* record, DefTable table) {
  switch (table) {
    case DefTable::Gen: return record->GenDef;
    case DefTable::Ctrl: return record->CtrlDef;
    case DefTable::PV: return record->PVDef;
    case DefTable::PVImport: break;
  }
  return record->PVImportDef;
}

DCSFieldDef& Column(const DCSDataDef* record, DefTable table, int32_t column) {
  return DefArray(record, table)[column];
}

// Copies at most 63 characters into a new 64-byte buffer, always terminated.
char* CopyText(const char* text) {
  auto* buffer = static_cast<char*>(platform::HostMalloc(TextBufferSize));
  if (buffer == nullptr) {
    return nullptr;
  }
  int i = 0;
  for (; text != nullptr && i < TextBufferSize - 1 && text[i] != '\0'; ++i) {
    buffer[i] = text[i];
  }
  buffer[i] = '\0';
  return buffer;
}

}  // namespace

int32_t GetDefCount(const DCSDataDef* record, DefTable table) {
  switch (table) {
    case DefTable::Gen: return record->GenDefCnt;
    case DefTable::Ctrl: return record->CtrlDefCnt;
    case DefTable::PV: return record->PVDefCnt;
    case DefTable::PVImport: break;
  }
  return record->PVImportDefCnt;
}

bool HasColumnDefs(const DCSDataDef* record, DefTable table) { return DefArray(record, table) != nullptr; }

void SetDefCount(DCSDataDef* record, DefTable table, int32_t count) {
  switch (table) {
    case DefTable::Gen: record->GenDefCnt = count; return;
    case DefTable::Ctrl: record->CtrlDefCnt = count; return;
    case DefTable::PV: record->PVDefCnt = count; return;
    case DefTable::PVImport: break;
  }
  record->PVImportDefCnt = count;
}

DCSFieldDef* GetDefArray(const DCSDataDef* record, DefTable table) { return DefArray(record, table); }

void SetDefArray(DCSDataDef* record, DefTable table, DCSFieldDef* defs) {
  switch (table) {
    case DefTable::Gen: record->GenDef = defs; return;
    case DefTable::Ctrl: record->CtrlDef = defs; return;
    case DefTable::PV: record->PVDef = defs; return;
    case DefTable::PVImport: break;
  }
  record->PVImportDef = defs;
}

int32_t GetColumnType(const DCSDataDef* record, DefTable table, int32_t column) {
  return Column(record, table, column).Type;
}

int SetColumnType(DCSDataDef* record, DefTable table, int32_t column, int32_t type) {
  Column(record, table, column).Type = type;
  return 0;
}

const char* GetColumnName(const DCSDataDef* record, DefTable table, int32_t column) {
  return Column(record, table, column).Name;
}

int SetColumnName(DCSDataDef* record, DefTable table, int32_t column, const char* text) {
  char* name = CopyText(text);
  Column(record, table, column).Name = name;
  return name == nullptr ? 1 : 0;
}

const char* GetColumnKey(const DCSDataDef* record, DefTable table, int32_t column) {
  return Column(record, table, column).ExtraDataKey;
}

int SetOptionList(DCSDataDef* record, DefTable table, int32_t column, const char* const* list) {
  Column(record, table, column).OptionList = list;
  return 0;
}

DCSCell* GetCellArray(const DCSDataDef* record, CellArray cells) {
  switch (cells) {
    case CellArray::GenData: return record->GenData;
    case CellArray::CtrlDataDefault: return record->CtrlRowDefault.Data;
    case CellArray::PVDataDefault: return record->PVRowDefault.Data;
    case CellArray::PVImportDataDefault: break;
  }
  return record->PVImportRowDefault.Data;
}

void SetCellArray(DCSDataDef* record, CellArray cells, DCSCell* array) {
  switch (cells) {
    case CellArray::GenData: record->GenData = array; return;
    case CellArray::CtrlDataDefault: record->CtrlRowDefault.Data = array; return;
    case CellArray::PVDataDefault: record->PVRowDefault.Data = array; return;
    case CellArray::PVImportDataDefault: break;
  }
  record->PVImportRowDefault.Data = array;
}

void FillDefaultRow(DCSDataDef* record, CellArray cells) {
  switch (cells) {
    case CellArray::GenData: return;
    case CellArray::CtrlDataDefault:
      record->CtrlRowDefault.ModeValue = 1.0;
      record->CtrlRowDefault.HostValue = 0.0;
      record->CtrlRowDefault.TV1Value = 0.0;
      record->CtrlRowDefault.OutputValue = 0.0;
      record->CtrlRowDefault.TV1Updated = 0;
      record->CtrlRowDefault.OutputUpdated = 0;
      return;
    case CellArray::PVDataDefault: record->PVRowDefault.Value = 0.0; return;
    case CellArray::PVImportDataDefault: break;
  }
  record->PVImportRowDefault.Value = 0.0;
}

int SetCellInt(DCSDataDef* record, CellArray cells, int32_t column, int32_t value) {
  GetCellArray(record, cells)[column].IntValue = value;
  return 0;
}

int SetCellDouble(DCSDataDef* record, CellArray cells, int32_t column, double value) {
  GetCellArray(record, cells)[column].DblValue = value;
  return 0;
}

int SetCellText(DCSDataDef* record, CellArray cells, int32_t column, const char* text) {
  char* copy = CopyText(text);
  GetCellArray(record, cells)[column].StrValue = copy;
  return copy == nullptr ? 1 : 0;
}

const char* GetGenCellText(const DCSDataDef* record, int32_t column) { return record->GenData[column].StrValue; }

double GetGenCellDouble(const DCSDataDef* record, int32_t column) { return record->GenData[column].DblValue; }

int32_t GetGenCellInt(const DCSDataDef* record, int32_t column) { return record->GenData[column].IntValue; }

int CheckGenTexts(const DCSDataDef* record) {
  for (int32_t column = 0; column < record->GenDefCnt; ++column) {
    if (record->GenDef[column].Type != ColumnTypeText) {
      continue;
    }
    const char* text = record->GenData[column].StrValue;
    if (text == nullptr || text[0] == '\0') {
      return 0;
    }
  }
  return 1;
}

int32_t GetRowCount(const DCSDataDef* record, RowTable table) {
  switch (table) {
    case RowTable::Ctrl: return record->CtrlRowCnt;
    case RowTable::PV: return record->PVRowCnt;
    case RowTable::PVImport: break;
  }
  return record->PVImportRowCnt;
}

double GetRowCellDouble(const DCSDataDef* record, RowTable table, int32_t row, int32_t column) {
  return RowCellsOf(record, table, row)[column].DblValue;
}

int32_t GetRowCellInt(const DCSDataDef* record, RowTable table, int32_t row, int32_t column) {
  return RowCellsOf(record, table, row)[column].IntValue;
}

int32_t GetPVHostWord(const DCSDataDef* record, int32_t row) { return record->PVRows[row].HostWord; }
double GetPVImportValue(const DCSDataDef* record, int32_t row) { return record->PVImportRows[row].Value; }

double GetCtrlModeValue(const DCSDataDef* record, int32_t row) { return record->CtrlRows[row].ModeValue; }
int SetCtrlModeValue(DCSDataDef* record, int32_t row, double value) {
  record->CtrlRows[row].ModeValue = value;
  return 0;
}
double GetCtrlHostValue(const DCSDataDef* record, int32_t row) { return record->CtrlRows[row].HostValue; }
int SetCtrlHostValue(DCSDataDef* record, int32_t row, double value) {
  record->CtrlRows[row].HostValue = value;
  return 0;
}
double GetCtrlTV1Value(const DCSDataDef* record, int32_t row) { return record->CtrlRows[row].TV1Value; }
double GetCtrlOutputValue(const DCSDataDef* record, int32_t row) { return record->CtrlRows[row].OutputValue; }

}  // namespace dcs
