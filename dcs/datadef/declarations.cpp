// Column declarations and their release. Allocates only at load, through the
// host's allocator, and shows a message box for every failure; a table whose
// declaration failed is left alone by every later step and by the release.
#include "datadef/declarations.h"

#include "platform/host.h"

namespace dcs {

const char* const InitCycleOptions[3] = {"Perform", "Skip", nullptr};

namespace {

constexpr const char* TitleInfo = "KVDCSAPI";
constexpr const char* TitleError = "KVDCSAPI Error";

#define GEN_KEY(n) ":ExtraData." #n
#define ROW_KEY(n) ":ExtraData." #n ".[]"

const char* const GenKeys[MAXGENFIELDS] = {GEN_KEY(310), GEN_KEY(311), GEN_KEY(312), GEN_KEY(313), GEN_KEY(314),
                                           GEN_KEY(315), GEN_KEY(316), GEN_KEY(317), GEN_KEY(318), GEN_KEY(319),
                                           GEN_KEY(320), GEN_KEY(321), GEN_KEY(322), GEN_KEY(323), GEN_KEY(324),
                                           GEN_KEY(325), GEN_KEY(326), GEN_KEY(327), GEN_KEY(328), GEN_KEY(329)};

const char* const CtrlKeys[MAXCTRLFIELDS] = {ROW_KEY(340), ROW_KEY(341), ROW_KEY(342), ROW_KEY(343), ROW_KEY(344),
                                             ROW_KEY(345), ROW_KEY(346), ROW_KEY(347), ROW_KEY(348), ROW_KEY(349),
                                             ROW_KEY(350), ROW_KEY(351), ROW_KEY(352), ROW_KEY(353), ROW_KEY(354),
                                             ROW_KEY(355), ROW_KEY(356), ROW_KEY(357), ROW_KEY(358), ROW_KEY(359)};

const char* const PVKeys[MAXPVFIELDS] = {ROW_KEY(375), ROW_KEY(376), ROW_KEY(377), ROW_KEY(378), ROW_KEY(379),
                                         ROW_KEY(380), ROW_KEY(381), ROW_KEY(382), ROW_KEY(383), ROW_KEY(384),
                                         ROW_KEY(385), ROW_KEY(386), ROW_KEY(387), ROW_KEY(388), ROW_KEY(389),
                                         ROW_KEY(390), ROW_KEY(391), ROW_KEY(392), ROW_KEY(393), ROW_KEY(394),
                                         ROW_KEY(395), ROW_KEY(396), ROW_KEY(397), ROW_KEY(398), ROW_KEY(399)};

const char* const PVImportKeys[MAXPVIMPORTFIELDS] = {
    ROW_KEY(3075), ROW_KEY(3076), ROW_KEY(3077), ROW_KEY(3078), ROW_KEY(3079), ROW_KEY(3080), ROW_KEY(3081),
    ROW_KEY(3082), ROW_KEY(3083), ROW_KEY(3084), ROW_KEY(3085), ROW_KEY(3086), ROW_KEY(3087), ROW_KEY(3088),
    ROW_KEY(3089), ROW_KEY(3090), ROW_KEY(3091), ROW_KEY(3092), ROW_KEY(3093), ROW_KEY(3094), ROW_KEY(3095),
    ROW_KEY(3096), ROW_KEY(3097), ROW_KEY(3098), ROW_KEY(3099)};

#undef GEN_KEY
#undef ROW_KEY

// What distinguishes the four declare-table operations, in DefTable order.
struct TableDeclaration {
  int32_t limit;
  const char* const* keys;
  const char* limitText;
  const char* allocText;
};

const TableDeclaration Declarations[] = {
    {MAXGENFIELDS, GenKeys, "0 <= GenDefCnt <= MAXGENFIELDS", "Could not allocate DCSDataDef(Gen)"},
    {MAXCTRLFIELDS, CtrlKeys, "0 <= CtrlDefCnt <= MAXCTRLFIELDS", "Could not allocate DCSDataDef(Ctrl)"},
    {MAXPVFIELDS, PVKeys, "0 <= PVDefCnt <= MAXPVFIELDS", "Could not allocate DCSDataDef(PV)"},
    {MAXPVIMPORTFIELDS, PVImportKeys, "0 <= PVImportDefCnt <= MAXPVIMPORTFIELDS",
     "Could not allocate DCSDataDef(PVImport)"},
};

const TableDeclaration& DeclarationOf(DefTable table) { return Declarations[static_cast<int>(table)]; }

// The columns DCSLoad declares, in declaring order.
struct ColumnDeclaration {
  DefTable table;
  int32_t column;
  int32_t type;
  const char* name;
  const char* const* options;
};

const ColumnDeclaration LoadColumns[] = {
    {DefTable::Gen, 0, ColumnTypeChoice, "Init Cycle", InitCycleOptions},
    {DefTable::Ctrl, 0, ColumnTypeText, "NODE", nullptr},
    {DefTable::Ctrl, 1, ColumnTypeText, "TAG", nullptr},
    {DefTable::Ctrl, 2, ColumnTypeText, "FIELD", nullptr},
    {DefTable::PV, 0, ColumnTypeText, "NODE", nullptr},
    {DefTable::PV, 1, ColumnTypeText, "TAG", nullptr},
    {DefTable::PV, 2, ColumnTypeText, "FIELD", nullptr},
    {DefTable::PVImport, 0, ColumnTypeText, "NODE", nullptr},
    {DefTable::PVImport, 1, ColumnTypeText, "TAG", nullptr},
    {DefTable::PVImport, 2, ColumnTypeText, "FIELD", nullptr},
};

struct TableLoad {
  DefTable table;
  int32_t count;
};
const TableLoad LoadTables[] = {{DefTable::Gen, 1}, {DefTable::Ctrl, 3}, {DefTable::PV, 3}, {DefTable::PVImport, 3}};

// The cell arrays, their message texts, and the definition table whose
// column types say which of their cells hold texts.
struct CellDeclaration {
  const char* allocText;
  DefTable columns;
};

const CellDeclaration Cells[] = {
    {"Memory Allocation Error: GenData", DefTable::Gen},
    {"Memory Allocation Error: CtrlDataDefault", DefTable::Ctrl},
    {"Memory Allocation Error: PVDataDefault", DefTable::PV},
    {"Memory Allocation Error: PVImportDataDefault", DefTable::PVImport},
};

const CellDeclaration& CellDeclarationOf(CellArray cells) { return Cells[static_cast<int>(cells)]; }

// Frees the texts of a default cell array's text columns, then the array.
// Only the cells the driver allocated are looked at; without column
// definitions no cell's type is known and only the array is freed.
void ReleaseCells(DCSDataDef* record, CellArray cells) {
  DCSCell* array = GetCellArray(record, cells);
  if (array == nullptr) {
    return;
  }
  const DefTable table = CellDeclarationOf(cells).columns;
  if (HasColumnDefs(record, table)) {
    const int32_t count = GetDefCount(record, table);
    const int32_t limit = count < DefaultCellCount ? count : DefaultCellCount;
    for (int32_t column = 0; column < limit; ++column) {
      if (GetColumnType(record, table, column) == ColumnTypeText) {
        platform::HostFree(array[column].StrValue);
      }
    }
  }
  platform::HostDelete(array);
  SetCellArray(record, cells, nullptr);
}

// Frees the names and host blocks of a table's columns, then the array.
void ReleaseDefs(DCSDataDef* record, DefTable table) {
  DCSFieldDef* defs = GetDefArray(record, table);
  if (defs != nullptr) {
    for (int32_t column = 0; column < GetDefCount(record, table); ++column) {
      // The array goes right after: its entries need no clearing.
      const DCSFieldDef& def = defs[column];
      if (def.Name != nullptr) {
        platform::HostFree(def.Name);
      }
      if (def.AuxData1 != nullptr) {
        platform::HostDelete(def.AuxData1);
      }
      if (def.AuxData2 != nullptr) {
        platform::HostDelete(def.AuxData2);
      }
    }
    platform::HostDelete(defs);
    SetDefArray(record, table, nullptr);
  }
  SetDefCount(record, table, 0);
}

}  // namespace

int DeclareTable(DCSDataDef* record, DefTable table, int32_t count) {
  const TableDeclaration& declaration = DeclarationOf(table);
  if (count < 0 || count > declaration.limit) {
    platform::ShowMessageBox(TitleInfo, declaration.limitText);
    return 0;
  }
  SetDefCount(record, table, count);
  auto* defs = static_cast<DCSFieldDef*>(platform::HostNew(static_cast<size_t>(count) * sizeof(DCSFieldDef)));
  SetDefArray(record, table, defs);
  if (defs == nullptr) {
    platform::ShowMessageBox(TitleInfo, declaration.allocText);
    return 0;
  }
  for (int32_t column = 0; column < count; ++column) {
    defs[column].Name = nullptr;
    defs[column].ExtraDataKey = declaration.keys[column];
    defs[column].OptionList = nullptr;
    defs[column].AuxData1 = nullptr;
    defs[column].AuxData2 = nullptr;
  }
  return 1;
}

int AllocateCells(DCSDataDef* record, CellArray cells, int32_t count) {
  const size_t bytes = static_cast<size_t>(count < 0 ? 0 : count) * sizeof(DCSCell);
  auto* array = static_cast<DCSCell*>(platform::HostNew(bytes));
  if (array != nullptr) {
    auto* bytesOut = reinterpret_cast<unsigned char*>(array);
    for (size_t i = 0; i < bytes; ++i) {
      bytesOut[i] = 0;
    }
  }
  SetCellArray(record, cells, array);
  if (array == nullptr) {
    platform::ShowMessageBox(TitleError, CellDeclarationOf(cells).allocText);
    return 0;
  }
  FillDefaultRow(record, cells);
  return 1;
}

void DeclareColumns(DCSDataDef* record) {
  // Declaring a table is followed by its columns; a table whose array is
  // missing after its declaration keeps no columns.
  for (const TableLoad& load : LoadTables) {
    (void)DeclareTable(record, load.table, load.count);
    if (!HasColumnDefs(record, load.table)) {
      continue;
    }
    for (const ColumnDeclaration& column : LoadColumns) {
      if (column.table != load.table) {
        continue;
      }
      (void)SetColumnType(record, column.table, column.column, column.type);
      (void)SetColumnName(record, column.table, column.column, column.name);
      if (column.options != nullptr) {
        (void)SetOptionList(record, column.table, column.column, column.options);
      }
    }
  }
  (void)AllocateCells(record, CellArray::CtrlDataDefault, DefaultCellCount);
  (void)AllocateCells(record, CellArray::PVDataDefault, DefaultCellCount);
  (void)AllocateCells(record, CellArray::PVImportDataDefault, DefaultCellCount);
}

int ReleaseDeclarations(DCSDataDef* record) {
  ReleaseCells(record, CellArray::CtrlDataDefault);
  ReleaseDefs(record, DefTable::Ctrl);
  ReleaseCells(record, CellArray::PVDataDefault);
  ReleaseDefs(record, DefTable::PV);
  ReleaseCells(record, CellArray::PVImportDataDefault);
  ReleaseDefs(record, DefTable::PVImport);
  DCSCell* genData = GetCellArray(record, CellArray::GenData);
  if (genData != nullptr) {
    platform::HostDelete(genData);
    SetCellArray(record, CellArray::GenData, nullptr);
  }
  ReleaseDefs(record, DefTable::Gen);
  return 0;
}

}  // namespace dcs
