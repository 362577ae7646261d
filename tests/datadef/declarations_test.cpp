// Column declarations at load and their release: every count, name, type,
// key, option list and default value; the message boxes; allocation failures
// at every step; and a release that leaves nothing behind.
#include <gtest/gtest.h>

#include <cstring>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <string>
#include <vector>

#include "datadef/declarations.h"
#include "driver/driver_state.h"
#include "driver/entry_points.h"
#include "exchange/converters.h"
#include "journals.h"
#include "platform/host_services_api.h"
#include "message_boxes.h"

namespace {

using dcs::DefTable;
using testing_support::MessageBoxes;

class DeclarationsTest : public testing_support::StandinTest {
 protected:
  void SetUp() override {
    StandinTest::SetUp();
    testing_support::RecordMessageBoxesOf(nullptr);
    std::memset(&rec, 0, sizeof rec);
  }
  DCSDataDef rec{};
};

TEST_F(DeclarationsTest, LoadDeclaresEveryColumnOnARecordOfZeros) {
  dcs::DriverState.ImportReader[7] = dcs::ImportReaderKind::PlainFloat;
  EXPECT_EQ(DCSLoad(&rec), 0);
  EXPECT_EQ(rec.GenDefCnt, 1);
  EXPECT_EQ(rec.CtrlDefCnt, 3);
  EXPECT_EQ(rec.PVDefCnt, 3);
  EXPECT_EQ(rec.PVImportDefCnt, 3);

  EXPECT_EQ(rec.GenDef[0].Type, 3);
  EXPECT_STREQ(rec.GenDef[0].Name, "Init Cycle");
  EXPECT_STREQ(rec.GenDef[0].ExtraDataKey, ":ExtraData.310");
  ASSERT_NE(rec.GenDef[0].OptionList, nullptr);
  EXPECT_STREQ(rec.GenDef[0].OptionList[0], "Perform");
  EXPECT_STREQ(rec.GenDef[0].OptionList[1], "Skip");
  EXPECT_EQ(rec.GenDef[0].OptionList[2], nullptr);

  const char* const names[] = {"NODE", "TAG", "FIELD"};
  const struct {
    const DCSFieldDef* defs;
    int firstKey;
  } tables[] = {{rec.CtrlDef, 340}, {rec.PVDef, 375}, {rec.PVImportDef, 3075}};
  for (const auto& table : tables) {
    for (int j = 0; j < 3; ++j) {
      const DCSFieldDef& def = table.defs[j];
      EXPECT_EQ(def.Type, 2);
      EXPECT_STREQ(def.Name, names[j]);
      EXPECT_EQ(std::string(def.ExtraDataKey), ":ExtraData." + std::to_string(table.firstKey + j) + ".[]");
      EXPECT_EQ(def.OptionList, nullptr);
      EXPECT_EQ(def.AuxData1, nullptr);
      EXPECT_EQ(def.AuxData2, nullptr);
    }
  }

  EXPECT_EQ(rec.CtrlRowDefault.ModeValue, 1.0);
  EXPECT_EQ(rec.CtrlRowDefault.HostValue, 0.0);
  EXPECT_EQ(rec.CtrlRowDefault.TV1Value, 0.0);
  EXPECT_EQ(rec.CtrlRowDefault.OutputValue, 0.0);
  EXPECT_EQ(rec.CtrlRowDefault.TV1Updated, 0);
  EXPECT_EQ(rec.CtrlRowDefault.OutputUpdated, 0);
  EXPECT_EQ(rec.PVRowDefault.Value, 0.0);
  EXPECT_EQ(rec.PVImportRowDefault.Value, 0.0);
  for (const DCSCell* cells : {rec.CtrlRowDefault.Data, rec.PVRowDefault.Data, rec.PVImportRowDefault.Data}) {
    ASSERT_NE(cells, nullptr);
    for (int j = 0; j < 3; ++j) {
      EXPECT_EQ(cells[j].DblValue, 0.0);
    }
  }
  EXPECT_EQ(rec.GenData, nullptr);
  EXPECT_EQ(dcs::DriverState.ImportReader[7], dcs::ImportReaderKind::None);
  EXPECT_TRUE(MessageBoxes().empty());

  DCSDestroy(&rec);
  EXPECT_EQ(LeakedBlocks(), 0);
}

TEST_F(DeclarationsTest, ReleaseLeavesEveryPointerNullAndKeepsRowCounts) {
  DCSLoad(&rec);
  rec.CtrlRowCnt = 4;
  rec.PVRowCnt = 5;
  rec.PVImportRowCnt = 6;
  rec.CtrlDef[1].AuxData1 = Plinth_new(10);
  rec.PVImportDef[2].AuxData2 = Plinth_new(20);
  // A text in every text cell of every default row: each is freed.
  for (const auto cells : {dcs::CellArray::CtrlDataDefault, dcs::CellArray::PVDataDefault,
                           dcs::CellArray::PVImportDataDefault}) {
    for (int32_t column = 0; column < 3; ++column) {
      ASSERT_EQ(dcs::SetCellText(&rec, cells, column, "default"), 0);
    }
  }
  rec.GenData = static_cast<DCSCell*>(Plinth_new(sizeof(DCSCell)));
  char hostText[] = "host's own";
  rec.GenData[0].StrValue = hostText;  // the driver frees the array only

  EXPECT_EQ(dcs::ReleaseDeclarations(&rec), 0);
  EXPECT_EQ(rec.GenDef, nullptr);
  EXPECT_EQ(rec.CtrlDef, nullptr);
  EXPECT_EQ(rec.PVDef, nullptr);
  EXPECT_EQ(rec.PVImportDef, nullptr);
  EXPECT_EQ(rec.CtrlRowDefault.Data, nullptr);
  EXPECT_EQ(rec.PVRowDefault.Data, nullptr);
  EXPECT_EQ(rec.PVImportRowDefault.Data, nullptr);
  EXPECT_EQ(rec.GenData, nullptr);
  EXPECT_EQ(rec.GenDefCnt + rec.CtrlDefCnt + rec.PVDefCnt + rec.PVImportDefCnt, 0);
  EXPECT_EQ(rec.CtrlRowCnt, 4);
  EXPECT_EQ(rec.PVRowCnt, 5);
  EXPECT_EQ(rec.PVImportRowCnt, 6);
  EXPECT_EQ(LeakedBlocks(), 0);
  EXPECT_EQ(PlinthMisuseCount(), 0U);

  // A second release finds nothing to do.
  const unsigned long frees = PlinthCallCount("free") + PlinthCallCount("delete");
  EXPECT_EQ(dcs::ReleaseDeclarations(&rec), 0);
  EXPECT_EQ(PlinthCallCount("free") + PlinthCallCount("delete"), frees);
}

TEST_F(DeclarationsTest, DestroyFramesTheReleaseWithOneHostText) {
  DCSLoad(&rec);
  const unsigned long texts = PlinthTextConstructions();
  DCSDestroy(&rec);
  EXPECT_EQ(PlinthTextConstructions(), texts + 1);
  EXPECT_EQ(PlinthLiveTexts(), 0);
}

TEST_F(DeclarationsTest, TableLimitsAreCheckedWithTheirMessageBoxes) {
  EXPECT_EQ(dcs::DeclareTable(&rec, DefTable::Ctrl, 21), 0);
  EXPECT_EQ(rec.CtrlDefCnt, 0);
  EXPECT_EQ(rec.CtrlDef, nullptr);
  EXPECT_EQ(dcs::DeclareTable(&rec, DefTable::Gen, -1), 0);
  EXPECT_EQ(dcs::DeclareTable(&rec, DefTable::PV, 26), 0);
  EXPECT_EQ(dcs::DeclareTable(&rec, DefTable::PVImport, 26), 0);
  EXPECT_EQ(MessageBoxes(), (std::vector<std::string>{
                                "KVDCSAPI|0 <= CtrlDefCnt <= MAXCTRLFIELDS",
                                "KVDCSAPI|0 <= GenDefCnt <= MAXGENFIELDS",
                                "KVDCSAPI|0 <= PVDefCnt <= MAXPVFIELDS",
                                "KVDCSAPI|0 <= PVImportDefCnt <= MAXPVIMPORTFIELDS"}));
  for (size_t i = 0; i < User32MessageBoxCount(); ++i) {
    EXPECT_EQ(User32MessageBoxOwnerless(i), 1);
    EXPECT_EQ(User32MessageBoxType(i), 0U);
  }

  EXPECT_EQ(dcs::DeclareTable(&rec, DefTable::Ctrl, 20), 1);
  EXPECT_STREQ(rec.CtrlDef[19].ExtraDataKey, ":ExtraData.359.[]");
  EXPECT_EQ(dcs::DeclareTable(&rec, DefTable::PV, 25), 1);
  EXPECT_STREQ(rec.PVDef[24].ExtraDataKey, ":ExtraData.399.[]");
  EXPECT_EQ(dcs::DeclareTable(&rec, DefTable::PVImport, 25), 1);
  EXPECT_STREQ(rec.PVImportDef[24].ExtraDataKey, ":ExtraData.3099.[]");
  EXPECT_EQ(dcs::DeclareTable(&rec, DefTable::Gen, 20), 1);
  EXPECT_STREQ(rec.GenDef[19].ExtraDataKey, ":ExtraData.329");
  dcs::ReleaseDeclarations(&rec);
  EXPECT_EQ(dcs::DeclareTable(&rec, DefTable::Gen, 0), 1);
  dcs::ReleaseDeclarations(&rec);
  EXPECT_EQ(LeakedBlocks(), 0);
}

TEST_F(DeclarationsTest, GeneralCellsFailWithTheirMessageBox) {
  PlinthFailAllocation(1, 0);
  EXPECT_EQ(dcs::AllocateCells(&rec, dcs::CellArray::GenData, 1), 0);
  EXPECT_EQ(MessageBoxes(), std::vector<std::string>{"KVDCSAPI Error|Memory Allocation Error: GenData"});
}

// The host's heap hands out blocks as they were left: a declared column has
// no name, option list or host block until one is set, and the release frees
// nothing it did not allocate. glibc's perturbation fills fresh blocks with
// garbage where it is available, so that a field left unset shows.
TEST_F(DeclarationsTest, DeclaredColumnsStartWithoutNameOptionsOrBlocks) {
#if defined(__GLIBC__)
  mallopt(M_PERTURB, 0xA5);
#endif
  const int declared = dcs::DeclareTable(&rec, DefTable::Ctrl, 3);
#if defined(__GLIBC__)
  mallopt(M_PERTURB, 0);
#endif
  ASSERT_EQ(declared, 1);
  for (int32_t column = 0; column < 3; ++column) {
    EXPECT_EQ(rec.CtrlDef[column].Name, nullptr);
    EXPECT_EQ(rec.CtrlDef[column].OptionList, nullptr);
    EXPECT_EQ(rec.CtrlDef[column].AuxData1, nullptr);
    EXPECT_EQ(rec.CtrlDef[column].AuxData2, nullptr);
  }
  EXPECT_EQ(dcs::ReleaseDeclarations(&rec), 0);
  EXPECT_EQ(PlinthMisuseCount(), 0U);
  EXPECT_EQ(LeakedBlocks(), 0);
}

// Each declaring step answers 1 when it made its array, 0 when it could not;
// a negative cell count makes an array of no cell.
TEST_F(DeclarationsTest, DeclaringStepsAnswerWhetherTheyMadeTheirArray) {
  EXPECT_EQ(dcs::DeclareTable(&rec, DefTable::PV, 3), 1);
  PlinthFailAllocation(1, 0);
  EXPECT_EQ(dcs::DeclareTable(&rec, DefTable::Ctrl, 3), 0);
  const size_t bytes = PlinthLiveBytes();
  EXPECT_EQ(dcs::AllocateCells(&rec, dcs::CellArray::PVDataDefault, 3), 1);
  EXPECT_EQ(PlinthLiveBytes() - bytes, 3 * sizeof(DCSCell));
  EXPECT_EQ(dcs::AllocateCells(&rec, dcs::CellArray::GenData, -1), 1);
  EXPECT_EQ(PlinthLiveBytes() - bytes, 3 * sizeof(DCSCell));
  Plinth_delete(rec.GenData);
  Plinth_delete(rec.PVRowDefault.Data);
  Plinth_delete(rec.PVDef);
  EXPECT_EQ(LeakedBlocks(), 0);
}

// The message box that a failure of each allocation of DCSLoad shows, in
// DCSLoad's order of allocations (a failed name shows none).
const char* const ExpectedBoxForAllocation[] = {
    "KVDCSAPI|Could not allocate DCSDataDef(Gen)",
    nullptr,  // "Init Cycle"
    "KVDCSAPI|Could not allocate DCSDataDef(Ctrl)",
    nullptr, nullptr, nullptr,
    "KVDCSAPI|Could not allocate DCSDataDef(PV)",
    nullptr, nullptr, nullptr,
    "KVDCSAPI|Could not allocate DCSDataDef(PVImport)",
    nullptr, nullptr, nullptr,
    "KVDCSAPI Error|Memory Allocation Error: CtrlDataDefault",
    "KVDCSAPI Error|Memory Allocation Error: PVDataDefault",
    "KVDCSAPI Error|Memory Allocation Error: PVImportDataDefault",
};
constexpr unsigned long LoadAllocations = sizeof ExpectedBoxForAllocation / sizeof ExpectedBoxForAllocation[0];

// Fails the nth allocation of DCSLoad (and, persistent, every later one), then
// loads and destroys; returns false once DCSLoad makes fewer than n requests.
bool LoadAndDestroyFailing(unsigned long n, bool persistent, DCSDataDef& rec) {
  std::memset(&rec, 0, sizeof rec);
  const unsigned long before = PlinthAllocationCount();
  PlinthFailAllocation(n, persistent ? 1 : 0);
  EXPECT_EQ(DCSLoad(&rec), 0);
  PlinthFailAllocation(0, 0);
  const bool hit = PlinthAllocationCount() - before >= n;
  rec.GenData = static_cast<DCSCell*>(Plinth_new(sizeof(DCSCell)));  // supplied by the host
  DCSDestroy(&rec);
  return hit;
}

TEST_F(DeclarationsTest, EveryTransientAllocationFailureIsShownAndLeavesNothing) {
  unsigned long n = 1;
  for (;; ++n) {
    User32ClearMessageBoxes();
    if (!LoadAndDestroyFailing(n, false, rec)) {
      break;
    }
    SCOPED_TRACE("allocation " + std::to_string(n));
    ASSERT_LE(n, LoadAllocations);
    const char* expected = ExpectedBoxForAllocation[n - 1];
    EXPECT_EQ(MessageBoxes(), expected == nullptr ? std::vector<std::string>{}
                                                  : std::vector<std::string>{expected});
    EXPECT_EQ(LeakedBlocks(), 0);
    EXPECT_EQ(PlinthMisuseCount(), 0U);
  }
  EXPECT_EQ(n, LoadAllocations + 1);
}

TEST_F(DeclarationsTest, EveryPersistentAllocationFailureIsShownAndLeavesNothing) {
  for (unsigned long n = 1;; ++n) {
    User32ClearMessageBoxes();
    if (!LoadAndDestroyFailing(n, true, rec)) {
      break;
    }
    SCOPED_TRACE("allocations from " + std::to_string(n));
    // Every box of the allocations from n on, once each, in order; a table
    // whose array is missing declares no columns, so makes no name requests.
    const std::vector<std::string> boxes = MessageBoxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back(), "KVDCSAPI Error|Memory Allocation Error: PVImportDataDefault");
    EXPECT_EQ(LeakedBlocks(), 0);
    EXPECT_EQ(PlinthMisuseCount(), 0U);
  }
}

TEST_F(DeclarationsTest, AllocationFailureOfEveryTableShowsEveryBox) {
  PlinthFailAllocation(1, 1);
  DCSLoad(&rec);
  PlinthFailAllocation(0, 0);
  EXPECT_EQ(MessageBoxes(), (std::vector<std::string>{
                                "KVDCSAPI|Could not allocate DCSDataDef(Gen)",
                                "KVDCSAPI|Could not allocate DCSDataDef(Ctrl)",
                                "KVDCSAPI|Could not allocate DCSDataDef(PV)",
                                "KVDCSAPI|Could not allocate DCSDataDef(PVImport)",
                                "KVDCSAPI Error|Memory Allocation Error: CtrlDataDefault",
                                "KVDCSAPI Error|Memory Allocation Error: PVDataDefault",
                                "KVDCSAPI Error|Memory Allocation Error: PVImportDataDefault"}));
  // The counts stay stored with their arrays missing; release leaves them alone.
  EXPECT_EQ(rec.CtrlDefCnt, 3);
  EXPECT_EQ(rec.CtrlDef, nullptr);
  DCSDestroy(&rec);
  EXPECT_EQ(rec.CtrlDefCnt, 0);
  EXPECT_EQ(LeakedBlocks(), 0);
}

}  // namespace
