// Point error reporting against the simulated database: text or code key,
// negative codes, the lowest bad row only, a controller row's later points
// left unexamined, inactive rows skipped by the mode check.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "driver/driver_state.h"
#include "fix/point_errors.h"
#include "journals.h"
#include "platform/fix.h"

namespace {

using testing_support::Messages;

class PointErrorsTest : public testing_support::StandinTest {
 protected:
  void SetUp() override {
    StandinTest::SetUp();
    std::memset(&dcs::DriverState, 0, sizeof dcs::DriverState);
  }
  void TearDown() override {
    std::memset(&dcs::DriverState, 0, sizeof dcs::DriverState);
    StandinTest::TearDown();
  }

  // A resolved group with one point per tag "T<i>" on field, rows 0..count-1.
  int32_t Group(int32_t count, const char* field, int32_t* points) {
    const int32_t group = dcs::platform::CreateGroup(count);
    for (int32_t i = 0; i < count; ++i) {
      const std::string tag = "T" + std::to_string(i);
      FixdbSetFloat("N", tag.c_str(), field, 0.0F);
      points[i] = dcs::platform::DefinePoint(group, "N", tag.c_str(), field);
    }
    dcs::platform::ResolveGroup(group);
    dcs::platform::WaitGroup(group);
    return group;
  }

  // Controllers: three points per row on F_CV, F_TV1 and A_AUTO.
  void Controllers(int32_t count) {
    const int32_t group = dcs::platform::CreateGroup(3 * count);
    for (int32_t i = 0; i < count; ++i) {
      const std::string tag = "C" + std::to_string(i);
      FixdbSetFloat("N", tag.c_str(), "F_CV", 0.0F);
      FixdbSetFloat("N", tag.c_str(), "F_TV1", 0.0F);
      FixdbSetText("N", tag.c_str(), "A_AUTO", "AUTO");
      dcs::DriverState.CtrlFieldPoint[i] = dcs::platform::DefinePoint(group, "N", tag.c_str(), "F_CV");
      dcs::DriverState.CtrlTV1Point[i] = dcs::platform::DefinePoint(group, "N", tag.c_str(), "F_TV1");
      dcs::DriverState.CtrlModePoint[i] = dcs::platform::DefinePoint(group, "N", tag.c_str(), "A_AUTO");
    }
    dcs::platform::ResolveGroup(group);
    dcs::platform::WaitGroup(group);
    dcs::DriverState.CtrlGroupHandle = group;
  }
};

TEST_F(PointErrorsTest, GoodTablesAndEmptyCountsReportNothing) {
  dcs::DriverState.PVGroupHandle = Group(4, "F_CV", dcs::DriverState.PVPoint);
  EXPECT_TRUE(dcs::CheckPVPoints(4));
  EXPECT_TRUE(dcs::CheckPVPoints(0));
  EXPECT_TRUE(dcs::CheckPVPoints(-3));
  EXPECT_TRUE(dcs::CheckPVImportPoints(0));
  EXPECT_TRUE(dcs::CheckCtrlPoints(-1));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(PointErrorsTest, KnownCodeIsReportedWithItsTextAndRow) {
  dcs::DriverState.PVImportGroupHandle = Group(3, "F_CV", dcs::DriverState.PVImportPoint);
  FixdbSetFieldError("N", "T1", "F_CV", FixdbTagNotFound);
  FixdbSetFieldError("N", "T2", "F_CV", FixdbTagNotFound);
  EXPECT_FALSE(dcs::CheckPVImportPoints(3));
  EXPECT_EQ(Messages(), std::vector<std::string>{
                            "DCSPVImportVendorMsg(\"Tag not found in the process database\",1)"});
  EXPECT_EQ(PlinthLiveTexts(), 0);
}

TEST_F(PointErrorsTest, CodeWithoutTextIsReportedAsANumberEvenWhenNegative) {
  dcs::DriverState.PVGroupHandle = Group(2, "F_CV", dcs::DriverState.PVPoint);
  FixdbSetFieldError("N", "T0", "F_CV", -42);
  EXPECT_FALSE(dcs::CheckPVPoints(2));
  FixdbSetFieldError("N", "T0", "F_CV", FixdbTagNotFound);
  FixdbInject("FixErrorText", 1, 0, 0);
  EXPECT_FALSE(dcs::CheckPVPoints(2));
  EXPECT_EQ(Messages(), (std::vector<std::string>{"DCSPVVendorCode(-42,0)",
                                                  "DCSPVVendorCode(1102,0)"}));
  // The code reaches FixErrorText sign-extended, with the buffer's length.
  const auto journal = testing_support::FixJournal();
  EXPECT_NE(std::find(journal.begin(), journal.end(), "FixErrorText(-42,256)=0"), journal.end());
}

TEST_F(PointErrorsTest, ControllerRowStopsAtItsFirstBadPoint) {
  Controllers(3);
  FixdbSetFieldError("N", "C1", "F_CV", FixdbFieldNotFound);
  FixdbClearJournal();
  EXPECT_FALSE(dcs::CheckCtrlPoints(3));
  EXPECT_EQ(Messages(), std::vector<std::string>{"DCSCtrlVendorMsg(\"Field not found for this block\",1)"});
  // Row 0's three points, then row 1's field point only.
  std::vector<std::string> asked;
  for (const std::string& line : testing_support::FixJournal()) {
    if (line.rfind("EdaPointError", 0) == 0) {
      asked.push_back(line);
    }
  }
  EXPECT_EQ(asked, (std::vector<std::string>{"EdaPointError(1,1)=0", "EdaPointError(1,2)=0",
                                             "EdaPointError(1,3)=0", "EdaPointError(1,4)=1103"}));
}

TEST_F(PointErrorsTest, ValueCheckLooksAtFieldAndTV1PointsOnly) {
  Controllers(2);
  FixdbSetFieldError("N", "C0", "A_AUTO", FixdbFieldNotFound);
  EXPECT_TRUE(dcs::CheckCtrlValuePoints(2));
  FixdbSetFieldError("N", "C1", "F_TV1", -3);
  FixdbInject("FixErrorText", 1, 0, 0);
  EXPECT_FALSE(dcs::CheckCtrlValuePoints(2));
  EXPECT_EQ(Messages(), std::vector<std::string>{"DCSCtrlVendorCode(-3,1)"});
}

TEST_F(PointErrorsTest, ModeCheckSkipsInactiveRowsWithoutAskingFix) {
  Controllers(3);
  DCSCtrlRow rows[3];
  std::memset(rows, 0, sizeof rows);
  rows[0].Active = 0;
  rows[1].Active = 2;
  rows[2].Active = 1;
  DCSDataDef rec;
  std::memset(&rec, 0, sizeof rec);
  rec.CtrlRowCnt = 3;
  rec.CtrlRows = rows;
  FixdbSetFieldError("N", "C0", "A_AUTO", FixdbFieldNotFound);
  FixdbSetFieldError("N", "C1", "A_AUTO", FixdbFieldNotFound);
  FixdbClearJournal();
  EXPECT_TRUE(dcs::CheckCtrlModePoints(&rec, 3));
  EXPECT_EQ(testing_support::FixJournal(), std::vector<std::string>{"EdaPointError(1,9)=0"});
  rows[0].Active = 1;
  EXPECT_FALSE(dcs::CheckCtrlModePoints(&rec, 3));
  EXPECT_EQ(Messages(), std::vector<std::string>{"DCSCtrlVendorMsg(\"Field not found for this block\",0)"});
}

TEST_F(PointErrorsTest, ChecksNeverWalkPastTheirTables) {
  Controllers(dcs::MaxCtrlRows);
  EXPECT_TRUE(dcs::CheckCtrlPoints(dcs::MaxCtrlRows + 50));
  EXPECT_EQ(FixdbCallCount("EdaPointError"), 3UL * dcs::MaxCtrlRows);
  EXPECT_TRUE(Messages().empty());
}

}  // namespace
