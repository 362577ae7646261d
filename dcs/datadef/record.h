// The DCSDataDef record that the host shares with the driver, byte for byte.
// Byte-packed and little-endian. On the 32-bit targets every offset is the
// host's (146 bytes, checked below); on x86-64 the same fields keep their order
// with 8-byte pointers (190 bytes). Only the access layer touches these fields.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

// One value cell: a text pointer (text column), the 0-based option index
// (choice column) or a double (any other column).
union DCSCell {
  char* StrValue;
  int32_t IntValue;
  double DblValue;
};

// One column definition.
struct DCSFieldDef {
  int32_t Type;
  char* Name;                     // 64-byte buffer from Plinth_malloc, or null
  const char* ExtraDataKey;       // constant data of the driver
  const char* const* OptionList;  // null-terminated list in constant data, or null
  void* AuxData1;                 // host block, freed with Plinth_delete at release
  void* AuxData2;
};

// One controller row.
struct DCSCtrlRow {
  uint8_t HostBytes[4];
  int16_t Active;
  uint8_t HostBytes2[2];
  double ModeValue;
  double HostValue;
  double TV1Value;
  double OutputValue;
  DCSCell* Data;
  uint8_t TV1Updated;
  uint8_t OutputUpdated;
};

// One PV or PV-import row.
struct DCSPVRow {
  uint8_t HostBytes[2];
  int16_t HostWord;
  int16_t Active;
  uint8_t HostBytes2[2];
  double Value;
  DCSCell* Data;
};

struct DCSDataDef {
  int32_t GenDefCnt;
  DCSFieldDef* GenDef;
  int32_t CtrlDefCnt;
  DCSFieldDef* CtrlDef;
  int32_t PVDefCnt;
  DCSFieldDef* PVDef;
  int32_t PVImportDefCnt;
  DCSFieldDef* PVImportDef;
  DCSCell* GenData;
  int32_t CtrlRowCnt;
  DCSCtrlRow* CtrlRows;
  DCSCtrlRow CtrlRowDefault;
  int32_t PVRowCnt;
  DCSPVRow* PVRows;
  DCSPVRow PVRowDefault;
  int32_t PVImportRowCnt;
  DCSPVRow* PVImportRows;
  DCSPVRow PVImportRowDefault;
};

#pragma pack(pop)

// Column type codes.
constexpr int32_t ColumnTypeText = 2;
constexpr int32_t ColumnTypeChoice = 3;

static_assert(sizeof(DCSCell) == 8, "a cell is 8 bytes");

// Offsets: 32-bit (the host's) | x86-64 (this project's).
constexpr size_t TargetOffset(size_t off32, size_t off64) { return sizeof(void*) == 4 ? off32 : off64; }
#define DCS_OFFSET(field, off32, off64) \
  static_assert(offsetof(DCSDataDef, field) == TargetOffset(off32, off64), "DCSDataDef." #field " offset")
DCS_OFFSET(GenDefCnt, 0, 0);
DCS_OFFSET(GenDef, 4, 4);
DCS_OFFSET(CtrlDefCnt, 8, 12);
DCS_OFFSET(CtrlDef, 12, 16);
DCS_OFFSET(PVDefCnt, 16, 24);
DCS_OFFSET(PVDef, 20, 28);
DCS_OFFSET(PVImportDefCnt, 24, 36);
DCS_OFFSET(PVImportDef, 28, 40);
DCS_OFFSET(GenData, 32, 48);
DCS_OFFSET(CtrlRowCnt, 36, 56);
DCS_OFFSET(CtrlRows, 40, 60);
DCS_OFFSET(CtrlRowDefault, 44, 68);
DCS_OFFSET(PVRowCnt, 90, 118);
DCS_OFFSET(PVRows, 94, 122);
DCS_OFFSET(PVRowDefault, 98, 130);
DCS_OFFSET(PVImportRowCnt, 118, 154);
DCS_OFFSET(PVImportRows, 122, 158);
DCS_OFFSET(PVImportRowDefault, 126, 166);
#undef DCS_OFFSET
static_assert(sizeof(DCSDataDef) == (sizeof(void*) == 4 ? 146 : 190), "DCSDataDef size");

// Row and column definition layouts: 32-bit | x86-64.
static_assert(sizeof(DCSFieldDef) == (sizeof(void*) == 4 ? 24 : 44), "DCSFieldDef size");
static_assert(offsetof(DCSFieldDef, OptionList) == (sizeof(void*) == 4 ? 12 : 20), "OptionList");
static_assert(offsetof(DCSFieldDef, AuxData2) == (sizeof(void*) == 4 ? 20 : 36), "AuxData2");
static_assert(sizeof(DCSCtrlRow) == (sizeof(void*) == 4 ? 46 : 50), "DCSCtrlRow size");
static_assert(offsetof(DCSCtrlRow, Active) == 4, "DCSCtrlRow.Active");
static_assert(offsetof(DCSCtrlRow, ModeValue) == 8, "DCSCtrlRow.ModeValue");
static_assert(offsetof(DCSCtrlRow, OutputValue) == 32, "DCSCtrlRow.OutputValue");
static_assert(offsetof(DCSCtrlRow, Data) == 40, "DCSCtrlRow.Data");
static_assert(offsetof(DCSCtrlRow, TV1Updated) == (sizeof(void*) == 4 ? 44 : 48), "TV1Updated");
static_assert(offsetof(DCSCtrlRow, OutputUpdated) == (sizeof(void*) == 4 ? 45 : 49), "OutputUpdated");
static_assert(sizeof(DCSPVRow) == (sizeof(void*) == 4 ? 20 : 24), "DCSPVRow size");
static_assert(offsetof(DCSPVRow, HostWord) == 2, "DCSPVRow.HostWord");
static_assert(offsetof(DCSPVRow, Active) == 4, "DCSPVRow.Active");
static_assert(offsetof(DCSPVRow, Value) == 8, "DCSPVRow.Value");
static_assert(offsetof(DCSPVRow, Data) == 16, "DCSPVRow.Data");
