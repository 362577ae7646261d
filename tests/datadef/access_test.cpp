// The record's layout and access layer: bytes written at literal offsets are
// read back through the access operations, so a wrong offset cannot hide
// behind the shared header.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "datadef/access.h"
#include "journals.h"
#include "platform/host_services_api.h"

namespace {

using dcs::RowTable;

constexpr bool Is32 = sizeof(void*) == 4;
// Offsets of the host's 32-bit layout, and this project's x86-64 ones.
constexpr size_t Off(size_t off32, size_t off64) { return Is32 ? off32 : off64; }

template <typename T>
void Put(unsigned char* base, size_t offset, T value) {
  std::memcpy(base + offset, &value, sizeof value);
}

template <typename T>
T Take(const unsigned char* base, size_t offset) {
  T value;
  std::memcpy(&value, base + offset, sizeof value);
  return value;
}

class LayoutTest : public testing_support::StandinTest {
 protected:
  std::vector<unsigned char> raw = std::vector<unsigned char>(sizeof(DCSDataDef), 0);
  DCSDataDef* record() { return reinterpret_cast<DCSDataDef*>(raw.data()); }
};

TEST_F(LayoutTest, RecordHasTheHostSize) {
  EXPECT_EQ(sizeof(DCSDataDef), Is32 ? 146U : 190U);
  EXPECT_EQ(sizeof(DCSCtrlRow), Is32 ? 46U : 50U);
  EXPECT_EQ(sizeof(DCSPVRow), Is32 ? 20U : 24U);
  EXPECT_EQ(sizeof(DCSFieldDef), Is32 ? 24U : 44U);
}

TEST_F(LayoutTest, CountsAreReadFromTheirOffsets) {
  Put<int32_t>(raw.data(), Off(0, 0), 11);
  Put<int32_t>(raw.data(), Off(8, 12), 12);
  Put<int32_t>(raw.data(), Off(16, 24), 13);
  Put<int32_t>(raw.data(), Off(24, 36), 14);
  Put<int32_t>(raw.data(), Off(36, 56), 21);
  Put<int32_t>(raw.data(), Off(90, 118), 22);
  Put<int32_t>(raw.data(), Off(118, 154), 23);
  EXPECT_EQ(dcs::GetDefCount(record(), dcs::DefTable::Gen), 11);
  EXPECT_EQ(dcs::GetDefCount(record(), dcs::DefTable::Ctrl), 12);
  EXPECT_EQ(dcs::GetDefCount(record(), dcs::DefTable::PV), 13);
  EXPECT_EQ(dcs::GetDefCount(record(), dcs::DefTable::PVImport), 14);
  EXPECT_EQ(dcs::GetRowCount(record(), RowTable::Ctrl), 21);
  EXPECT_EQ(dcs::GetRowCount(record(), RowTable::PV), 22);
  EXPECT_EQ(dcs::GetRowCount(record(), RowTable::PVImport), 23);
}

TEST_F(LayoutTest, DefaultCellArraysLieAtTheirOffsets) {
  DCSCell ctrl[3] = {}, pv[3] = {}, imp[3] = {}, gen[1] = {};
  Put<void*>(raw.data(), Off(32, 48), gen);
  Put<void*>(raw.data(), Off(84, 108), ctrl);
  Put<void*>(raw.data(), Off(114, 146), pv);
  Put<void*>(raw.data(), Off(142, 182), imp);
  EXPECT_EQ(dcs::GetCellArray(record(), dcs::CellArray::GenData), gen);
  EXPECT_EQ(dcs::GetCellArray(record(), dcs::CellArray::CtrlDataDefault), ctrl);
  EXPECT_EQ(dcs::GetCellArray(record(), dcs::CellArray::PVDataDefault), pv);
  EXPECT_EQ(dcs::GetCellArray(record(), dcs::CellArray::PVImportDataDefault), imp);
}

TEST_F(LayoutTest, DefaultRowValuesAreWrittenAtTheirOffsets) {
  DCSCell cells[3] = {};
  Put<void*>(raw.data(), Off(84, 108), cells);
  for (const size_t value : {Off(52, 76), Off(60, 84), Off(68, 92), Off(76, 100)}) {
    Put<double>(raw.data(), value, 9.0);
  }
  Put<uint8_t>(raw.data(), Off(88, 116), 7);
  Put<uint8_t>(raw.data(), Off(89, 117), 7);
  dcs::FillDefaultRow(record(), dcs::CellArray::CtrlDataDefault);
  EXPECT_EQ(Take<double>(raw.data(), Off(52, 76)), 1.0);
  EXPECT_EQ(Take<double>(raw.data(), Off(60, 84)), 0.0);
  EXPECT_EQ(Take<double>(raw.data(), Off(68, 92)), 0.0);
  EXPECT_EQ(Take<double>(raw.data(), Off(76, 100)), 0.0);
  EXPECT_EQ(Take<uint8_t>(raw.data(), Off(88, 116)), 0);
  EXPECT_EQ(Take<uint8_t>(raw.data(), Off(89, 117)), 0);
  Put<double>(raw.data(), Off(106, 138), 5.0);
  Put<double>(raw.data(), Off(134, 174), 6.0);
  dcs::FillDefaultRow(record(), dcs::CellArray::PVDataDefault);
  dcs::FillDefaultRow(record(), dcs::CellArray::PVImportDataDefault);
  EXPECT_EQ(Take<double>(raw.data(), Off(106, 138)), 0.0);
  EXPECT_EQ(Take<double>(raw.data(), Off(134, 174)), 0.0);
  // The host's first eight bytes of each default row are never written.
  EXPECT_EQ(Take<uint64_t>(raw.data(), Off(44, 68)), 0U);
  // GenData completes no default row: filling it writes nothing.
  const std::vector<unsigned char> before = raw;
  dcs::FillDefaultRow(record(), dcs::CellArray::GenData);
  EXPECT_EQ(raw, before);
}

TEST_F(LayoutTest, ColumnDefinitionFieldsLieAtTheirOffsets) {
  std::vector<unsigned char> defs(2 * sizeof(DCSFieldDef), 0);
  unsigned char* def1 = defs.data() + sizeof(DCSFieldDef);
  Put<void*>(raw.data(), Off(12, 16), defs.data());
  char name[] = "TAG";
  const char key[] = ":ExtraData.341.[]";
  const char* const options[] = {"a", nullptr};
  Put<int32_t>(def1, 0, 2);
  Put<const void*>(def1, 4, name);
  Put<const void*>(def1, Off(8, 12), key);
  EXPECT_EQ(dcs::GetColumnType(record(), dcs::DefTable::Ctrl, 1), 2);
  EXPECT_EQ(dcs::GetColumnName(record(), dcs::DefTable::Ctrl, 1), name);
  EXPECT_EQ(dcs::GetColumnKey(record(), dcs::DefTable::Ctrl, 1), key);
  EXPECT_EQ(dcs::SetColumnType(record(), dcs::DefTable::Ctrl, 1, 3), 0);  // a setter answers 0
  EXPECT_EQ(dcs::SetOptionList(record(), dcs::DefTable::Ctrl, 1, options), 0);
  EXPECT_EQ(Take<int32_t>(def1, 0), 3);
  EXPECT_EQ(Take<const void*>(def1, Off(12, 20)), static_cast<const void*>(options));
  // Column 0 is untouched.
  EXPECT_EQ(std::vector<unsigned char>(defs.begin(), defs.begin() + sizeof(DCSFieldDef)),
            std::vector<unsigned char>(sizeof(DCSFieldDef), 0));
}

TEST_F(LayoutTest, ControllerRowFieldsAndUpdateFlags) {
  std::vector<unsigned char> rows(2 * sizeof(DCSCtrlRow), 0);
  unsigned char* row1 = rows.data() + sizeof(DCSCtrlRow);
  Put<void*>(raw.data(), Off(40, 60), rows.data());
  Put<int16_t>(row1, 4, -1);
  Put<double>(row1, 8, 1.0);
  Put<double>(row1, 16, 3.5);
  EXPECT_EQ(dcs::GetActive(record(), RowTable::Ctrl, 1), -1);
  EXPECT_EQ(dcs::GetCtrlModeValue(record(), 1), 1.0);
  EXPECT_EQ(dcs::GetCtrlHostValue(record(), 1), 3.5);
  EXPECT_EQ(dcs::SetCtrlModeValue(record(), 1, 2.0), 0);
  EXPECT_EQ(dcs::SetCtrlHostValue(record(), 1, -4.25), 0);
  EXPECT_EQ(Take<double>(row1, 8), 2.0);
  EXPECT_EQ(Take<double>(row1, 16), -4.25);
  EXPECT_EQ(row1[Off(44, 48)] + row1[Off(45, 49)], 0);  // neither setter touches a flag

  EXPECT_EQ(dcs::SetCtrlTV1Value(record(), 1, 12.25), 0);
  EXPECT_EQ(Take<double>(row1, 24), 12.25);
  EXPECT_EQ(row1[Off(44, 48)], 1);
  EXPECT_EQ(row1[Off(45, 49)], 0);
  EXPECT_EQ(dcs::SetCtrlOutputValue(record(), 1, 0.5), 0);
  EXPECT_EQ(Take<double>(row1, 32), 0.5);
  EXPECT_EQ(row1[Off(45, 49)], 1);
  // Row 0 is untouched.
  EXPECT_EQ(std::vector<unsigned char>(rows.begin(), rows.begin() + sizeof(DCSCtrlRow)),
            std::vector<unsigned char>(sizeof(DCSCtrlRow), 0));
}

TEST_F(LayoutTest, PVRowFieldsAreSignExtendedAndAddressedByRow) {
  std::vector<unsigned char> pv(3 * sizeof(DCSPVRow), 0);
  std::vector<unsigned char> imp(3 * sizeof(DCSPVRow), 0);
  Put<void*>(raw.data(), Off(94, 122), pv.data());
  Put<void*>(raw.data(), Off(122, 158), imp.data());
  unsigned char* pv2 = pv.data() + 2 * sizeof(DCSPVRow);
  Put<int16_t>(pv2, 2, -2);
  Put<int16_t>(pv2, 4, 2);
  Put<double>(pv2, 8, 0.1);
  EXPECT_EQ(dcs::GetPVHostWord(record(), 2), -2);
  EXPECT_EQ(dcs::GetActive(record(), RowTable::PV, 2), 2);
  EXPECT_EQ(dcs::GetPVValue(record(), 2), 0.1);
  EXPECT_EQ(dcs::SetPVImportValue(record(), 2, 7.75), 0);
  EXPECT_EQ(Take<double>(imp.data() + 2 * sizeof(DCSPVRow), 8), 7.75);
  EXPECT_EQ(dcs::GetPVImportValue(record(), 2), 7.75);
}

TEST_F(LayoutTest, RowCellsAreReadInTheirThreeViews) {
  char node[] = "N1";
  DCSCell cells[3] = {};
  cells[0].StrValue = node;
  cells[1].IntValue = -5;
  cells[2].DblValue = 2.5;
  std::vector<unsigned char> rows(sizeof(DCSPVRow), 0);
  Put<void*>(rows.data(), 16, cells);
  Put<void*>(raw.data(), Off(122, 158), rows.data());
  EXPECT_TRUE(dcs::HasRowCells(record(), RowTable::PVImport, 0));
  EXPECT_STREQ(dcs::GetRowCellText(record(), RowTable::PVImport, 0, 0), "N1");
  EXPECT_EQ(dcs::GetRowCellInt(record(), RowTable::PVImport, 0, 1), -5);
  EXPECT_EQ(dcs::GetRowCellDouble(record(), RowTable::PVImport, 0, 2), 2.5);
}

class AccessTest : public testing_support::StandinTest {
 protected:
  DCSDataDef rec{};
  DCSFieldDef defs[2]{};
  DCSCell gen[2]{};
  void SetUp() override {
    StandinTest::SetUp();
    std::memset(&rec, 0, sizeof rec);
    rec.GenDefCnt = 2;
    rec.GenDef = defs;
    rec.GenData = gen;
  }
};

TEST_F(AccessTest, TextSettersCopyAtMost63CharactersAndAlwaysTerminate) {
  const std::string longText(100, 'x');
  const std::string fullText(63, 'y');
  const struct {
    const char* text;
    std::string stored;
  } cases[] = {{longText.c_str(), std::string(63, 'x')}, {fullText.c_str(), fullText},
               {"Perform", "Perform"}, {"", ""}, {nullptr, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    ASSERT_EQ(dcs::SetColumnName(&rec, dcs::DefTable::Gen, 0, c.text), 0);
    EXPECT_EQ(std::string(dcs::GetColumnName(&rec, dcs::DefTable::Gen, 0)), c.stored);
    ASSERT_EQ(dcs::SetCellText(&rec, dcs::CellArray::GenData, 1, c.text), 0);
    EXPECT_EQ(std::string(gen[1].StrValue), c.stored);
    EXPECT_EQ(PlinthLiveBlocksFrom("malloc"), 2U);
    Plinth_free(defs[0].Name);
    Plinth_free(gen[1].StrValue);
  }
}

TEST_F(AccessTest, TextSetterReportsAFailedAllocationWithANullText) {
  PlinthFailAllocation(1, 0);
  EXPECT_EQ(dcs::SetColumnName(&rec, dcs::DefTable::Gen, 0, "NODE"), 1);
  EXPECT_EQ(defs[0].Name, nullptr);
  PlinthFailAllocation(1, 0);
  EXPECT_EQ(dcs::SetCellText(&rec, dcs::CellArray::GenData, 0, "x"), 1);
  EXPECT_EQ(gen[0].StrValue, nullptr);
  EXPECT_EQ(LeakedBlocks(), 0);
}

TEST_F(AccessTest, GeneralTextCheckLooksOnlyAtTextColumns) {
  defs[0].Type = ColumnTypeChoice;
  defs[1].Type = ColumnTypeText;
  char text[] = "x";
  char empty[] = "";
  gen[1].StrValue = text;
  EXPECT_EQ(dcs::CheckGenTexts(&rec), 1);
  gen[1].StrValue = empty;
  EXPECT_EQ(dcs::CheckGenTexts(&rec), 0);
  gen[1].StrValue = nullptr;
  EXPECT_EQ(dcs::CheckGenTexts(&rec), 0);
  defs[1].Type = ColumnTypeChoice;
  EXPECT_EQ(dcs::CheckGenTexts(&rec), 1);
  defs[0].Type = ColumnTypeText;  // the first column counts like any other
  gen[0].StrValue = empty;
  EXPECT_EQ(dcs::CheckGenTexts(&rec), 0);
}

TEST_F(AccessTest, GeneralCellsAreReadAndWrittenInEveryView) {
  EXPECT_EQ(dcs::SetCellInt(&rec, dcs::CellArray::GenData, 0, 1), 0);
  EXPECT_EQ(dcs::GetGenCellInt(&rec, 0), 1);
  EXPECT_EQ(dcs::SetCellDouble(&rec, dcs::CellArray::GenData, 1, -0.25), 0);
  EXPECT_EQ(dcs::GetGenCellDouble(&rec, 1), -0.25);
  EXPECT_EQ(gen[0].IntValue, 1);
  char text[] = "Skip";
  gen[1].StrValue = text;
  EXPECT_EQ(dcs::GetGenCellText(&rec, 1), text);
}

}  // namespace
