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

}  // namespace
