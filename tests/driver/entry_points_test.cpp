// The entry points' frame: the empty ones change nothing and call nothing,
// the state is zero at load, and the results are those the host expects.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "driver/driver_state.h"
#include "driver/entry_points.h"
#include "exchange/converters.h"
#include "journals.h"

namespace {

std::vector<unsigned char> StateBytes() {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&dcs::DriverState);
  return std::vector<unsigned char>(bytes, bytes + sizeof dcs::DriverState);
}

class EntryPointsTest : public testing_support::StandinTest {};

TEST_F(EntryPointsTest, StateIsZeroWhenTheLibraryIsLoaded) {
  // This test runs first in its program: nothing has touched the state yet.
  EXPECT_EQ(StateBytes(), std::vector<unsigned char>(sizeof dcs::DriverState, 0));
}

TEST_F(EntryPointsTest, EmptyEntryPointsChangeNothingAndCallNothing) {
  dcs::DriverState.ModeMemory[3] = 1;
  const std::vector<unsigned char> before = StateBytes();
  const unsigned long allocations = PlinthAllocationCount();
  DCSInitialize();
  DCSStop();
  DCSTimeZero();
  EXPECT_EQ(StateBytes(), before);
  EXPECT_EQ(PlinthAllocationCount(), allocations);
  EXPECT_EQ(FixdbJournalSize(), 0U);
  EXPECT_EQ(PlinthMessageCount(), 0U);
  dcs::DriverState.ModeMemory[3] = 0;
}

TEST_F(EntryPointsTest, LoadReturnsZeroAndEmptiesOnlyTheReaderTable) {
  dcs::DriverState.ImportReader[0] = dcs::ImportReaderKind::PlainFloat;
  dcs::DriverState.ImportReader[2499] = dcs::ImportReaderKind::ModeFromText;
  dcs::DriverState.ImportWriter[5] = dcs::ImportWriterKind::PlainFloat;
  DCSDataDef rec;
  std::memset(&rec, 0, sizeof rec);
  EXPECT_EQ(DCSLoad(&rec), 0);
  for (auto reader : dcs::DriverState.ImportReader) {
    EXPECT_EQ(reader, dcs::ImportReaderKind::None);
  }
  EXPECT_EQ(dcs::DriverState.ImportWriter[5], dcs::ImportWriterKind::PlainFloat);
  dcs::DriverState.ImportWriter[5] = dcs::ImportWriterKind::None;
  DCSDestroy(&rec);
  EXPECT_EQ(LeakedBlocks(), 0);
}

TEST_F(EntryPointsTest, DestroyLeavesTheDriverStateAlone) {
  DCSDataDef rec;
  std::memset(&rec, 0, sizeof rec);
  DCSLoad(&rec);
  dcs::DriverState.CtrlGroupHandle = 9;
  const std::vector<unsigned char> before = StateBytes();
  DCSDestroy(&rec);
  EXPECT_EQ(StateBytes(), before);
  EXPECT_EQ(FixdbJournalSize(), 0U);
  dcs::DriverState.CtrlGroupHandle = 0;
}

// A reset marks every point entry of the rows it released -1 and leaves the
// entries beyond the counts alone.
TEST_F(EntryPointsTest, ResetMarksEveryReleasedPointEntry) {
  DCSDataDef rec;
  std::memset(&rec, 0, sizeof rec);
  ASSERT_EQ(DCSLoad(&rec), 0);
  DCSCell cells[3] = {};
  char node[] = "N", tag[] = "T", field[] = "F_CV";
  cells[0].StrValue = node;
  cells[1].StrValue = tag;
  cells[2].StrValue = field;
  FixdbSetFloat("N", "T", "F_CV", 0.0F);
  FixdbSetFloat("N", "T", "F_TV1", 0.0F);
  FixdbSetText("N", "T", "A_AUTO", "AUTO");
  DCSCtrlRow ctrl[2] = {};
  DCSPVRow pv[2] = {};
  DCSPVRow pvImport[2] = {};
  for (int row = 0; row < 2; ++row) {
    ctrl[row].Data = cells;
    pv[row].Data = cells;
    pvImport[row].Data = cells;
  }
  rec.CtrlRowCnt = rec.PVRowCnt = rec.PVImportRowCnt = 2;
  rec.CtrlRows = ctrl;
  rec.PVRows = pv;
  rec.PVImportRows = pvImport;
  ASSERT_EQ(DCSConfigure(&rec), 1);
  const int32_t beyond = 1234;
  for (int32_t* table : {dcs::DriverState.CtrlFieldPoint, dcs::DriverState.CtrlTV1Point,
                         dcs::DriverState.CtrlModePoint, dcs::DriverState.PVPoint, dcs::DriverState.PVImportPoint}) {
    table[2] = beyond;
  }
  DCSReset(&rec);
  for (const int32_t* table : {dcs::DriverState.CtrlFieldPoint, dcs::DriverState.CtrlTV1Point,
                               dcs::DriverState.CtrlModePoint, dcs::DriverState.PVPoint,
                               dcs::DriverState.PVImportPoint}) {
    EXPECT_EQ(table[0], -1);
    EXPECT_EQ(table[1], -1);
    EXPECT_EQ(table[2], beyond);
  }
  for (int32_t* table : {dcs::DriverState.CtrlFieldPoint, dcs::DriverState.CtrlTV1Point,
                         dcs::DriverState.CtrlModePoint, dcs::DriverState.PVPoint, dcs::DriverState.PVImportPoint}) {
    table[0] = table[1] = table[2] = 0;
  }
  std::memset(dcs::DriverState.ImportReader, 0, sizeof dcs::DriverState.ImportReader);
  std::memset(dcs::DriverState.ImportWriter, 0, sizeof dcs::DriverState.ImportWriter);
  DCSDestroy(&rec);
  EXPECT_EQ(LeakedBlocks(), 0);
  EXPECT_EQ(FixdbLiveGroups(), 0U);
}

}  // namespace
