// The driver end to end through its nine exports, loaded as the host loads it,
// against the simulated database: binding and its failures, the simulation
// step, the initialization cycle, row counts beyond capacity, and runs without
// a binding; asserting the exact FIX traffic and messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "run/driver_library.h"
#include "journals.h"
#include "message_boxes.h"
#include "run/record_builder.h"

namespace {

using testing_support::FixJournal;
using testing_support::Messages;
using Lines = std::vector<std::string>;

// The journal lines of one kind of call only.
Lines Calls(const std::string& function) {
  Lines lines;
  for (const std::string& line : FixJournal()) {
    if (line.rfind(function + "(", 0) == 0) {
      lines.push_back(line);
    }
  }
  return lines;
}

// Group operations and waits, in order.
Lines GroupTraffic() {
  Lines lines;
  for (const std::string& line : FixJournal()) {
    for (const char* op : {"EdaReadGroup(", "EdaWriteGroup(", "EdaWaitGroup(", "EdaResolveGroup("}) {
      if (line.rfind(op, 0) == 0) {
        lines.push_back(line);
      }
    }
  }
  return lines;
}

// The initialization cycle's group operations, each waited for: the
// controller group read and written, the PV and PV-import groups written,
// then the controller group written three more times.
Lines CycleTraffic() {
  return Lines{"EdaReadGroup(1)=0",  "EdaWaitGroup(1)=0", "EdaWriteGroup(1)=0", "EdaWaitGroup(1)=0",
               "EdaWriteGroup(2)=0", "EdaWaitGroup(2)=0", "EdaWriteGroup(3)=0", "EdaWaitGroup(3)=0",
               "EdaWriteGroup(1)=0", "EdaWaitGroup(1)=0", "EdaWriteGroup(1)=0", "EdaWaitGroup(1)=0",
               "EdaWriteGroup(1)=0", "EdaWaitGroup(1)=0"};
}

class BindingTest : public testing_support::StandinTest {
 protected:
  void SetUp() override {
    StandinTest::SetUp();
    std::string error;
    driver = host::DriverLibrary::Load(host::DefaultDriverPath(), error);
    ASSERT_TRUE(driver) << error;
    CountLeaksFromHere();
    testing_support::RecordMessageBoxesOf(driver->handle());
    builder = std::make_unique<host::RecordBuilder>();
    dcs().DCSLoad(record());
  }
  void TearDown() override {
    dcs().DCSReset(record());
    dcs().DCSDestroy(record());
    builder.reset();
    EXPECT_EQ(LeakedBlocks(), 0);
    EXPECT_EQ(FixdbLiveGroups(), 0U);
    EXPECT_EQ(PlinthMisuseCount(), 0U);
    StandinTest::TearDown();
  }
  const host::DriverEntryPoints& dcs() const { return driver->entry(); }
  DCSDataDef* record() { return builder->record(); }

  // A controller on node N, tag C<i>, with its three fields in the database.
  int32_t Controller(const std::string& field, int16_t active = 1, double mode = 1.0, double output = 0.0,
                     double tv1 = 0.0) {
    const std::string tag = "C" + std::to_string(builder->record()->CtrlRowCnt);
    FixdbSetFloat("N", tag.c_str(), "F_CV", 0.0F);
    FixdbSetFloat("N", tag.c_str(), "F_TV1", 0.0F);
    FixdbSetText("N", tag.c_str(), "A_AUTO", "AUTO");
    if (field[0] == 'F' && field != "F_CV" && field != "F_TV1") {
      FixdbSetFloat("N", tag.c_str(), field.c_str(), 0.0F);
    }
    return builder->AddCtrl({"N", tag, field, active, mode, output, tv1});
  }
  int32_t PV(double value = 0.0, int16_t active = 1) {
    const std::string tag = "P" + std::to_string(builder->record()->PVRowCnt);
    FixdbSetFloat("N", tag.c_str(), "F_CV", 0.0F);
    return builder->AddPV({"N", tag, "F_CV", active, value});
  }
  int32_t Import(const std::string& field, double value = 0.0, int16_t active = 1) {
    const std::string tag = "I" + std::to_string(builder->record()->PVImportRowCnt);
    if (field[0] == 'A') {
      FixdbSetText("N", tag.c_str(), field.c_str(), "");
    } else {
      FixdbSetFloat("N", tag.c_str(), field.c_str(), 0.0F);
    }
    return builder->AddPVImport({"N", tag, field, active, value});
  }
  int32_t Configure() {
    const int32_t result = dcs().DCSConfigure(record());
    return result;
  }
  void Restart() {
    FixdbClearJournal();
    PlinthClearMessages();
  }

  std::unique_ptr<host::DriverLibrary> driver;
  std::unique_ptr<host::RecordBuilder> builder;
};

TEST_F(BindingTest, ConfigurationBindsEveryTableInOrder) {
  Controller("F_CV");
  Controller("H_DV");
  PV();
  Import("F_AUTO");
  EXPECT_EQ(Configure(), 1);
  EXPECT_EQ(FixJournal(),
            (Lines{"FixRunningCheck()=1", "EdaCreateGroup(6,0)=1", "EdaCreateGroup(1,0)=2",
                   "EdaCreateGroup(1,0)=3",
                   "EdaDefinePoint(1,\"N\",\"C0\",\"F_CV\",0)=1", "EdaDefinePoint(1,\"N\",\"C0\",\"F_TV1\",0)=2",
                   "EdaDefinePoint(1,\"N\",\"C0\",\"A_AUTO\",0)=3", "EdaDefinePoint(1,\"N\",\"C1\",\"F_CV\",0)=4",
                   "EdaDefinePoint(1,\"N\",\"C1\",\"F_CV\",0)=5", "EdaDefinePoint(1,\"N\",\"C1\",\"A_AUTO\",0)=6",
                   "EdaResolveGroup(1)=0", "EdaWaitGroup(1)=0",
                   "EdaPointError(1,1)=0", "EdaPointError(1,2)=0", "EdaPointError(1,3)=0",
                   "EdaPointError(1,4)=0", "EdaPointError(1,5)=0", "EdaPointError(1,6)=0",
                   "EdaDefinePoint(2,\"N\",\"P0\",\"F_CV\",0)=1", "EdaResolveGroup(2)=0", "EdaWaitGroup(2)=0",
                   "EdaPointError(2,1)=0",
                   "EdaDefinePoint(3,\"N\",\"I0\",\"F_AUTO\",0)=1", "EdaResolveGroup(3)=0", "EdaWaitGroup(3)=0",
                   "EdaPointError(3,1)=0"}));
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(FixdbLiveGroups(), 3U);
  Restart();
  dcs().DCSReset(record());
  EXPECT_EQ(FixJournal(), (Lines{"EdaDeleteGroup(1)=0", "EdaDeleteGroup(2)=0", "EdaDeleteGroup(3)=0"}));
  dcs().DCSReset(record());
  EXPECT_EQ(FixJournal().size(), 3U);  // a second reset makes no call
}

TEST_F(BindingTest, HdvRuleIsExactAndCaseSensitive) {
  Controller("h_dv");
  Controller("H_DV ");
  FixdbSetFloat("N", "C0", "h_dv", 0.0F);
  FixdbSetFloat("N", "C1", "H_DV ", 0.0F);
  EXPECT_EQ(Configure(), 1);
  EXPECT_EQ(Calls("EdaDefinePoint"),
            (Lines{"EdaDefinePoint(1,\"N\",\"C0\",\"h_dv\",0)=1", "EdaDefinePoint(1,\"N\",\"C0\",\"F_TV1\",0)=2",
                   "EdaDefinePoint(1,\"N\",\"C0\",\"A_AUTO\",0)=3", "EdaDefinePoint(1,\"N\",\"C1\",\"H_DV \",0)=4",
                   "EdaDefinePoint(1,\"N\",\"C1\",\"F_TV1\",0)=5", "EdaDefinePoint(1,\"N\",\"C1\",\"A_AUTO\",0)=6"}));
}

struct ConfigureFailure {
  const char* name;
  void (*arrange)(host::RecordBuilder&);
  Lines messages;
};

void BlankNode(DCSPVRow& row) { row.Data[0].StrValue[0] = '\0'; }

TEST_F(BindingTest, EveryConfigurationFailureIsReportedAndLeavesNoGroup) {
  const ConfigureFailure failures[] = {
      {"FIX not running", [](host::RecordBuilder&) { FixdbSetRunning(0); }, {"DCSAppNotRunning"}},
      {"controller group", [](host::RecordBuilder&) { FixdbInject("EdaCreateGroup", 1, 0, 0); },
       {"DCSMemAllocError(\"FIX CtrlGroupHandle\")"}},
      {"PV group", [](host::RecordBuilder&) { FixdbInject("EdaCreateGroup", 2, 0, 0); },
       {"DCSMemAllocError(\"FIX PVGroupHandle\")"}},
      {"PV-import group", [](host::RecordBuilder&) { FixdbInject("EdaCreateGroup", 3, 0, 0); },
       {"DCSMemAllocError(\"FIX PVImportGroupHandle\")"}},
      {"blank controller cell", [](host::RecordBuilder& b) { b.ctrl(0).Data[1].StrValue[0] = '\0'; },
       {"DCSCtrlTagFieldError"}},
      {"blank PV cell", [](host::RecordBuilder& b) { BlankNode(b.pv(0)); },
       {"DCSPVTagFieldError", "DCSPVTagFieldError"}},
      {"blank PV-import cell", [](host::RecordBuilder& b) { b.pvImport(0).Data[2].StrValue = nullptr; },
       {"DCSPVImportTagFieldError"}},
      {"bad controller point", [](host::RecordBuilder&) { FixdbSetFieldError("N", "C0", "A_AUTO", -9); },
       {"DCSCtrlVendorCode(-9,0)", "DCSCtrlTagFieldError"}},
      {"bad PV point", [](host::RecordBuilder&) { FixdbSetFieldError("N", "P0", "F_CV", FixdbTagNotFound); },
       {"DCSPVVendorMsg(\"Tag not found in the process database\",0)", "DCSPVTagFieldError",
        "DCSPVTagFieldError"}},
      {"bad PV-import point", [](host::RecordBuilder& b) { b.pvImport(0).Data[1].StrValue[0] = 'X'; },
       {"DCSPVImportVendorMsg(\"Tag not found in the process database\",0)", "DCSPVImportTagFieldError"}},
  };
  for (const ConfigureFailure& failure : failures) {
    SCOPED_TRACE(failure.name);
    dcs().DCSDestroy(record());
    FixdbReset();
    builder = std::make_unique<host::RecordBuilder>();
    dcs().DCSLoad(record());
    Controller("F_CV");
    PV();
    Import("F_CV");
    failure.arrange(*builder);
    PlinthClearMessages();
    EXPECT_EQ(Configure(), 0);
    EXPECT_EQ(Messages(), failure.messages);
    EXPECT_EQ(FixdbLiveGroups(), 0U);
    // Nothing bound: a step makes no FIX call.
    FixdbClearJournal();
    EXPECT_EQ(dcs().DCSSimulate(record()), 1);
    EXPECT_TRUE(FixJournal().empty());
  }
}

// Cell validation looks at the text columns the host's definitions declare:
// NODE, TAG and FIELD must be text columns, and every text cell must hold a
// text, whatever other columns the host added.
TEST_F(BindingTest, CellValidationFollowsTheDeclaredColumns) {
  struct ColumnCase {
    const char* name;
    int32_t columns;        // controller columns the host declares
    int32_t choiceColumn;   // one of the first three the host made a choice column, or -1
    int32_t extraType;      // type of a fourth column
    const char* extraText;  // its cell in row 0
    int32_t configured;
  };
  const ColumnCase cases[] = {
      {"three text columns", 3, -1, 0, nullptr, 1},
      {"NODE a choice column", 3, 0, 0, nullptr, 0},
      {"FIELD a choice column", 3, 2, 0, nullptr, 0},
      {"two columns only", 2, -1, 0, nullptr, 0},
      {"a fourth choice column", 4, -1, ColumnTypeChoice, nullptr, 1},
      {"a fourth text column with a text", 4, -1, ColumnTypeText, "x", 1},
      {"a fourth text column left empty", 4, -1, ColumnTypeText, "", 0},
      {"a fourth text column without a text", 4, -1, ColumnTypeText, nullptr, 0},
  };
  for (const ColumnCase& c : cases) {
    SCOPED_TRACE(c.name);
    dcs().DCSDestroy(record());
    FixdbReset();
    builder = std::make_unique<host::RecordBuilder>();
    dcs().DCSLoad(record());
    Controller("F_CV");
    DCSDataDef* r = record();
    DCSFieldDef* declared = r->CtrlDef;
    std::vector<DCSFieldDef> defs(declared, declared + 3);
    defs.resize(4, DCSFieldDef{c.extraType, nullptr, nullptr, nullptr, nullptr, nullptr});
    std::vector<DCSCell> cells(builder->ctrl(0).Data, builder->ctrl(0).Data + 3);
    std::string extra = c.extraText != nullptr ? c.extraText : "";
    cells.push_back(DCSCell{c.extraText != nullptr ? &extra[0] : nullptr});
    if (c.choiceColumn >= 0) {
      defs[static_cast<size_t>(c.choiceColumn)].Type = ColumnTypeChoice;
    }
    r->CtrlDef = defs.data();
    r->CtrlDefCnt = c.columns;
    builder->ctrl(0).Data = cells.data();
    PlinthClearMessages();
    EXPECT_EQ(Configure(), c.configured);
    EXPECT_EQ(Messages(), c.configured == 1 ? Lines{} : Lines{"DCSCtrlTagFieldError"});
    dcs().DCSReset(record());
    r->CtrlDef = declared;  // the driver releases what it declared
    r->CtrlDefCnt = 3;
  }
}

// "Init Cycle" reads as Perform when the record has no general cells to say
// otherwise: no GenData, or no general column.
TEST_F(BindingTest, StartWithoutGeneralCellsRunsTheCycle) {
  Controller("F_CV");
  ASSERT_EQ(Configure(), 1);
  Restart();
  EXPECT_EQ(dcs().DCSStart(record()), 1);  // no GenData
  EXPECT_EQ(Calls("EdaSetAscii").size(), 3U);
  ASSERT_TRUE(builder->SetInitCycle(1));
  record()->GenDefCnt = 0;
  Restart();
  EXPECT_EQ(dcs().DCSStart(record()), 1);  // GenData says Skip, but no column declares it
  EXPECT_EQ(Calls("EdaSetAscii").size(), 3U);
  record()->GenDefCnt = 1;
}

// The second value is read for a FIELD of exactly "F_CV" only.
TEST_F(BindingTest, OnlyAFieldOfExactlyFCVReceivesTheSecondValue) {
  const struct {
    const char* field;
    bool tv1;
  } cases[] = {{"F_CV", true}, {"F_CVX", false}, {"F_CX", false}, {"F_OUT", false},
               {"FXCV", false}, {"f_cv", false}, {"H_DV", false}, {"F", false}};
  for (const auto& c : cases) {
    Controller(c.field);
  }
  FixdbSetFloat("N", "C5", "f_cv", 0.0F);
  ASSERT_EQ(Configure(), 1);
  for (int32_t row = 0; row < static_cast<int32_t>(std::size(cases)); ++row) {
    FixdbSetFloat("N", ("C" + std::to_string(row)).c_str(), "F_TV1", 4.0F);
  }
  EXPECT_EQ(dcs().DCSSimulate(record()), 1);
  for (int32_t row = 0; row < static_cast<int32_t>(std::size(cases)); ++row) {
    SCOPED_TRACE(cases[row].field);
    EXPECT_EQ(builder->ctrl(row).TV1Updated, cases[row].tv1 ? 1 : 0);
    EXPECT_EQ(builder->ctrl(row).TV1Value, cases[row].tv1 ? 4.0 : 0.0);
    EXPECT_EQ(builder->ctrl(row).OutputUpdated, 1);
  }
}

TEST_F(BindingTest, TablesWithoutRowsStillHaveTheirGroupsAndSteps) {
  EXPECT_EQ(Configure(), 1);
  EXPECT_EQ(Calls("EdaCreateGroup"), (Lines{"EdaCreateGroup(0,0)=1", "EdaCreateGroup(0,0)=2", "EdaCreateGroup(0,0)=3"}));
  ASSERT_TRUE(builder->SetInitCycle(0));
  Restart();
  EXPECT_EQ(dcs().DCSStart(record()), 1);
  EXPECT_TRUE(FixJournal().empty());
  EXPECT_EQ(dcs().DCSSimulate(record()), 1);
  EXPECT_EQ(FixJournal(), (Lines{"EdaReadGroup(3)=0", "EdaWaitGroup(3)=0", "EdaReadGroup(1)=0", "EdaWaitGroup(1)=0",
                                 "EdaWriteGroup(2)=0", "EdaWaitGroup(2)=0"}));
}

TEST_F(BindingTest, StepExchangesEveryKindOfValue) {
  Controller("F_CV", 1);            // output and TV1
  Controller("H_DV", 1);            // output only
  Controller("F_CV", 0);            // TV1 only
  Controller("F_CVX", 1);           // output only
  PV(0.1, 1);
  PV(5.0, 0);
  Import("F_CV");
  Import("F_AUTO");
  Import("A_AUTO");
  Import("A_ROUT");
  Import("A_OTHER");                // no reader: keeps its value
  Import("F_CV", 0.0, 0);           // inactive: keeps its value
  builder->pvImport(4).Value = 9.0;
  builder->pvImport(5).Value = 8.0;
  ASSERT_EQ(Configure(), 1);
  FixdbSetFloat("N", "C0", "F_CV", 50.0F);
  FixdbSetFloat("N", "C0", "F_TV1", 12.5F);
  FixdbSetFloat("N", "C1", "F_CV", 20.0F);
  FixdbSetFloat("N", "C2", "F_TV1", 7.0F);
  FixdbSetFloat("N", "C3", "F_CVX", 80.0F);
  FixdbSetFloat("N", "C3", "F_TV1", 3.0F);
  FixdbSetFloat("N", "I0", "F_CV", 42.5F);
  FixdbSetFloat("N", "I1", "F_AUTO", 1.0F);
  FixdbSetText("N", "I2", "A_AUTO", "PMAN");
  FixdbSetText("N", "I3", "A_ROUT", "YES");
  FixdbSetText("N", "I4", "A_OTHER", "AUTO");
  FixdbSetFloat("N", "I5", "F_CV", 1.0F);
  Restart();
  EXPECT_EQ(dcs().DCSSimulate(record()), 1);

  EXPECT_EQ(builder->ctrl(0).OutputValue, 0.5);
  EXPECT_EQ(builder->ctrl(0).TV1Value, 12.5);
  EXPECT_EQ(builder->ctrl(0).OutputUpdated + builder->ctrl(0).TV1Updated, 2);
  EXPECT_EQ(builder->ctrl(1).OutputValue, 20.0 * 0.01);
  EXPECT_EQ(builder->ctrl(1).TV1Updated, 0);
  EXPECT_EQ(builder->ctrl(2).OutputUpdated, 0);
  EXPECT_EQ(builder->ctrl(2).TV1Value, 7.0);
  EXPECT_EQ(builder->ctrl(2).TV1Updated, 1);
  EXPECT_EQ(builder->ctrl(3).OutputValue, 80.0 * 0.01);
  EXPECT_EQ(builder->ctrl(3).TV1Updated, 0);
  EXPECT_EQ(builder->pvImport(0).Value, 42.5);
  EXPECT_EQ(builder->pvImport(1).Value, 2.0);
  EXPECT_EQ(builder->pvImport(2).Value, 1.0);
  EXPECT_EQ(builder->pvImport(3).Value, 0.0);
  EXPECT_EQ(builder->pvImport(4).Value, 9.0);
  EXPECT_EQ(builder->pvImport(5).Value, 8.0);
  float written = 0.0F;
  ASSERT_EQ(FixdbGetFloat("N", "P0", "F_CV", &written), 1);
  EXPECT_EQ(written, 0.1F);
  ASSERT_EQ(FixdbGetFloat("N", "P1", "F_CV", &written), 1);
  EXPECT_EQ(written, 0.0F);  // inactive PV row not written
  EXPECT_EQ(GroupTraffic(), (Lines{"EdaReadGroup(3)=0", "EdaWaitGroup(3)=0", "EdaReadGroup(1)=0",
                                   "EdaWaitGroup(1)=0", "EdaWriteGroup(2)=0", "EdaWaitGroup(2)=0"}));
  EXPECT_TRUE(Messages().empty());
}

// Only an Active of exactly 1 takes part: every other value, large, negative
// or 0, leaves the row out as 0 does.
TEST_F(BindingTest, StepTakesPartOnlyForAnActiveOfExactlyOne) {
  for (const int16_t active : {int16_t{0}, int16_t{2}, int16_t{-1}, int16_t{32767}, int16_t{-32768}}) {
    SCOPED_TRACE(active);
    dcs().DCSDestroy(record());
    FixdbReset();
    builder = std::make_unique<host::RecordBuilder>();
    dcs().DCSLoad(record());
    Controller("F_CV", active);
    PV(4.5, active);
    Import("F_CV", 3.0, active);
    ASSERT_EQ(Configure(), 1);
    FixdbSetFloat("N", "C0", "F_CV", 50.0F);
    FixdbSetFloat("N", "C0", "F_TV1", 12.5F);
    FixdbSetFloat("N", "I0", "F_CV", 42.5F);
    Restart();
    EXPECT_EQ(dcs().DCSSimulate(record()), 1);
    EXPECT_EQ(builder->ctrl(0).OutputValue, 0.0);
    EXPECT_EQ(builder->ctrl(0).OutputUpdated, 0);
    EXPECT_EQ(builder->ctrl(0).TV1Value, 12.5);  // every F_CV controller's second value
    EXPECT_EQ(builder->pvImport(0).Value, 3.0);
    EXPECT_TRUE(Calls("EdaSetFloat").empty());
    EXPECT_EQ(Calls("EdaGetFloat"), Lines{"EdaGetFloat(1,2)=0:12.5"});
  }
}

TEST_F(BindingTest, FailedFetchesLeaveValuesAndFlagsAlone) {
  Controller("F_CV");
  Import("F_CV", 3.0);
  ASSERT_EQ(Configure(), 1);
  builder->ctrl(0).OutputValue = 0.75;
  FixdbInject("EdaGetFloat", 1, 77, 1);
  EXPECT_EQ(dcs().DCSSimulate(record()), 1);
  EXPECT_EQ(builder->pvImport(0).Value, 3.0);
  EXPECT_EQ(builder->ctrl(0).OutputValue, 0.75);
  EXPECT_EQ(builder->ctrl(0).OutputUpdated, 0);
  EXPECT_EQ(builder->ctrl(0).TV1Updated, 0);
}

TEST_F(BindingTest, InitializationCycleHoldsControllersInManualWhileWriting) {
  Controller("F_CV", 1, 1.0, 0.25, 10.0);   // ends in AUTO
  Controller("H_DV", 1, 2.0, 0.5, 20.0);    // ends in MANL; both values on F_CV
  Controller("F_CV", 0, 1.0, 0.75, 30.0);   // inactive: only its TV1 is written
  PV(1.5, 1);
  PV(2.5, 0);
  Import("F_AUTO", 2.0, 0);                 // inactive rows are written too
  Import("A_AUTO", 1.0);
  Import("A_OTHER", 1.0);                   // no writer
  ASSERT_EQ(Configure(), 1);
  ASSERT_TRUE(builder->SetInitCycle(0));
  Restart();
  EXPECT_EQ(dcs().DCSStart(record()), 1);
  EXPECT_EQ(GroupTraffic(), CycleTraffic());
  Lines sets = Calls("EdaSetAscii");
  const Lines floats = Calls("EdaSetFloat");
  sets.insert(sets.end(), floats.begin(), floats.end());
  EXPECT_EQ(sets, (Lines{"EdaSetAscii(1,3,\"MANL\")=0", "EdaSetAscii(1,6,\"MANL\")=0",
                         "EdaSetAscii(3,2,\"MANL\")=0",
                         "EdaSetAscii(1,3,\"MANL\")=0", "EdaSetAscii(1,6,\"MANL\")=0",
                         "EdaSetAscii(1,3,\"AUTO\")=0", "EdaSetAscii(1,6,\"MANL\")=0",
                         "EdaSetFloat(2,1,1.5)=0", "EdaSetFloat(3,1,1)=0",
                         "EdaSetFloat(1,1,25)=0", "EdaSetFloat(1,2,10)=0", "EdaSetFloat(1,4,50)=0",
                         "EdaSetFloat(1,5,20)=0", "EdaSetFloat(1,8,30)=0"}));
  EXPECT_STREQ(FixdbGetText("N", "C0", "A_AUTO"), "AUTO");
  EXPECT_STREQ(FixdbGetText("N", "C1", "A_AUTO"), "MANL");
  EXPECT_STREQ(FixdbGetText("N", "C2", "A_AUTO"), "AUTO");  // inactive: never written
  EXPECT_TRUE(Messages().empty());
}

// One row per table: every group is read or written as soon as it has a row.
TEST_F(BindingTest, InitializationCycleWithOneRowPerTableMovesEveryGroup) {
  Controller("F_CV", 1, 1.0, 0.5, 2.0);
  PV(1.5);
  Import("F_CV", 2.5);
  ASSERT_EQ(Configure(), 1);
  ASSERT_TRUE(builder->SetInitCycle(0));
  Restart();
  EXPECT_EQ(dcs().DCSStart(record()), 1);
  EXPECT_EQ(GroupTraffic(), CycleTraffic());
}

// An Active other than 1 leaves a controller alone through the whole cycle but
// for its second value, and keeps its mode point out of every check.
TEST_F(BindingTest, InitializationCycleLeavesControllersOutUnlessActiveIsOne) {
  for (const int16_t active : {int16_t{2}, int16_t{-1}}) {
    SCOPED_TRACE(active);
    dcs().DCSDestroy(record());
    FixdbReset();
    builder = std::make_unique<host::RecordBuilder>();
    dcs().DCSLoad(record());
    Controller("F_CV", active, 1.0, 0.5, 2.0);
    PV(1.5, active);
    ASSERT_EQ(Configure(), 1);
    ASSERT_TRUE(builder->SetInitCycle(0));
    FixdbSetFieldError("N", "C0", "A_AUTO", -9);
    Restart();
    EXPECT_EQ(dcs().DCSStart(record()), 1);
    EXPECT_TRUE(Calls("EdaSetAscii").empty());
    EXPECT_EQ(Calls("EdaSetFloat"), Lines{"EdaSetFloat(1,2,2)=0"});
    EXPECT_TRUE(Messages().empty());
  }
}

TEST_F(BindingTest, GateValuesEndTheStartAtOnce) {
  Controller("F_CV");
  ASSERT_EQ(Configure(), 1);
  for (int32_t setting : {1, 2, 0x1FF, -1}) {
    ASSERT_TRUE(builder->SetInitCycle(setting));
    Restart();
    EXPECT_EQ(dcs().DCSStart(record()), static_cast<uint8_t>(setting & 0xFF));
    EXPECT_TRUE(FixJournal().empty());
  }
}

TEST_F(BindingTest, BadModePointIsReportedThreeTimesAndFailsTheStart) {
  Controller("F_CV");
  PV(1.0);
  ASSERT_EQ(Configure(), 1);
  ASSERT_TRUE(builder->SetInitCycle(0));
  FixdbSetFieldError("N", "C0", "A_AUTO", FixdbFieldNotFound);
  FixdbSetFieldError("N", "P0", "F_CV", -4);
  FixdbInject("FixErrorText", 2, 0, 0);  // the PV point's code has no text
  Restart();
  EXPECT_EQ(dcs().DCSStart(record()), 0);
  const Lines mode(1, "DCSCtrlVendorMsg(\"Field not found for this block\",0)");
  EXPECT_EQ(Messages(), (Lines{mode[0], "DCSPVVendorCode(-4,0)", mode[0], mode[0]}));
}

TEST_F(BindingTest, WithoutABindingStartAndStepMakeNoFixCall) {
  Controller("F_CV");
  ASSERT_TRUE(builder->SetInitCycle(0));
  Restart();
  EXPECT_EQ(dcs().DCSStart(record()), 0);
  EXPECT_EQ(dcs().DCSSimulate(record()), 1);
  ASSERT_EQ(Configure(), 1);
  dcs().DCSReset(record());
  Restart();
  EXPECT_EQ(dcs().DCSStart(record()), 0);
  EXPECT_EQ(dcs().DCSSimulate(record()), 1);
  EXPECT_TRUE(FixJournal().empty());
  ASSERT_TRUE(builder->SetInitCycle(1));
  EXPECT_EQ(dcs().DCSStart(record()), 1);
}

TEST_F(BindingTest, ReconfigurationReleasesTheEarlierBindingAndItsStaleConverters) {
  Import("F_CV", 0.0);
  ASSERT_EQ(Configure(), 1);
  // The same row now names a float field that selects no converter: a
  // reader kept from F_CV would read it.
  builder->pvImport(0).Data[2].StrValue = const_cast<char*>("H_DV");
  FixdbSetFloat("N", "I0", "H_DV", 0.0F);
  builder->pvImport(0).Value = 6.0;
  ASSERT_EQ(Configure(), 1);
  EXPECT_EQ(FixdbLiveGroups(), 3U);
  FixdbSetFloat("N", "I0", "H_DV", 3.0F);
  dcs().DCSSimulate(record());
  EXPECT_EQ(builder->pvImport(0).Value, 6.0);
  // Nor does the cycle send it: the row has no writer either.
  ASSERT_TRUE(builder->SetInitCycle(0));
  Restart();
  EXPECT_EQ(dcs().DCSStart(record()), 1);
  EXPECT_TRUE(Calls("EdaSetFloat").empty());
  EXPECT_TRUE(Calls("EdaSetAscii").empty());
}

TEST_F(BindingTest, RowCountsAboveCapacityAreCappedAndReportedPerCall) {
  for (int i = 0; i < 301; ++i) {
    builder->AddCtrl({"N", "C", "F_CV", 1, 1.0, 0.0, 0.0});
  }
  for (int i = 0; i < 2501; ++i) {
    builder->AddPV({"N", "P", "F_CV", 1, 0.0});
    builder->AddPVImport({"N", "I", "F_CV", 1, 0.0});
  }
  FixdbSetFloat("N", "C", "F_CV", 0.0F);
  FixdbSetFloat("N", "C", "F_TV1", 0.0F);
  FixdbSetText("N", "C", "A_AUTO", "AUTO");
  FixdbSetFloat("N", "P", "F_CV", 0.0F);
  FixdbSetFloat("N", "I", "F_CV", 0.0F);
  const Lines exceeded{"FIX_CTRL_MAX_EXCEEDED", "FIX_PV_MAX_EXCEEDED", "FIX_PVIMPORT_MAX_EXCEEDED"};
  ASSERT_EQ(Configure(), 1);
  EXPECT_EQ(Messages(), exceeded);
  EXPECT_EQ(Calls("EdaCreateGroup"), (Lines{"EdaCreateGroup(900,0)=1", "EdaCreateGroup(2500,0)=2",
                                            "EdaCreateGroup(2500,0)=3"}));
  Restart();
  builder->pvImport(2500).Value = 7.0;
  dcs().DCSSimulate(record());
  EXPECT_EQ(Messages(), exceeded);
  EXPECT_EQ(builder->pvImport(2500).Value, 7.0);
  ASSERT_TRUE(builder->SetInitCycle(0));
  Restart();
  EXPECT_EQ(dcs().DCSStart(record()), 1);
  EXPECT_EQ(Messages(), (Lines{"FIX_CTRL_MAX_EXCEEDED", "FIX_PV_MAX_EXCEEDED", "FIX_PVIMPORT_MAX_EXCEEDED"}));
  Restart();
  dcs().DCSReset(record());
  EXPECT_EQ(Messages(), exceeded);
  // A failed configuration reports twice: once itself, once from its reset.
  builder->pvImport(2500).Data[0].StrValue[0] = '\0';
  Restart();
  EXPECT_EQ(Configure(), 0);
  EXPECT_EQ(Messages(), (Lines{"FIX_CTRL_MAX_EXCEEDED", "FIX_PV_MAX_EXCEEDED", "FIX_PVIMPORT_MAX_EXCEEDED",
                               "DCSPVImportTagFieldError", "FIX_CTRL_MAX_EXCEEDED", "FIX_PV_MAX_EXCEEDED",
                               "FIX_PVIMPORT_MAX_EXCEEDED"}));
}

// A table that counts rows but has no row array fails cell validation with
// its own key, whichever table it is.
TEST_F(BindingTest, RowsCountedWithoutTheirArrayFailValidation) {
  const struct {
    const char* table;
    Lines messages;
  } cases[] = {{"controller", {"DCSCtrlTagFieldError"}},
               {"PV", {"DCSPVTagFieldError", "DCSPVTagFieldError"}},
               {"PV import", {"DCSPVImportTagFieldError"}}};
  for (int table = 0; table < 3; ++table) {
    SCOPED_TRACE(cases[table].table);
    Controller("F_CV");
    PV();
    Import("F_CV");
    DCSDataDef* r = record();
    if (table == 0) {
      r->CtrlRows = nullptr;
    } else if (table == 1) {
      r->PVRows = nullptr;
    } else {
      r->PVImportRows = nullptr;
    }
    PlinthClearMessages();
    EXPECT_EQ(dcs().DCSConfigure(r), 0);
    EXPECT_EQ(Messages(), cases[table].messages);
    EXPECT_EQ(FixdbLiveGroups(), 0U);
    dcs().DCSDestroy(record());
    FixdbReset();
    builder = std::make_unique<host::RecordBuilder>();
    dcs().DCSLoad(record());
  }
}

// FIX not running: the configuration reports it and resets, and the reset
// reports a count above capacity once more, as every reset does.
TEST_F(BindingTest, ConfigurationWithoutFixReportsAndResets) {
  for (int i = 0; i < 2501; ++i) {
    builder->AddPVImport({"N", "I", "F_CV", 1, 0.0});
  }
  FixdbSetRunning(0);
  EXPECT_EQ(Configure(), 0);
  EXPECT_EQ(Messages(), (Lines{"FIX_PVIMPORT_MAX_EXCEEDED", "DCSAppNotRunning", "FIX_PVIMPORT_MAX_EXCEEDED"}));
  EXPECT_EQ(Calls("EdaCreateGroup").size(), 0U);
}

TEST_F(BindingTest, NegativeCountsCountAsZero) {
  Controller("F_CV");
  PV();
  Import("F_CV");
  DCSDataDef* r = record();
  r->CtrlRowCnt = -5;
  r->PVRowCnt = -1;
  r->PVImportRowCnt = INT32_MIN;
  EXPECT_EQ(dcs().DCSConfigure(r), 1);
  EXPECT_EQ(Calls("EdaCreateGroup"), (Lines{"EdaCreateGroup(0,0)=1", "EdaCreateGroup(0,0)=2", "EdaCreateGroup(0,0)=3"}));
  EXPECT_TRUE(Calls("EdaDefinePoint").empty());
  Restart();
  EXPECT_EQ(dcs().DCSSimulate(r), 1);
  EXPECT_EQ(FixJournal().size(), 6U);  // the three group operations and their waits only
  dcs().DCSReset(r);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(BindingTest, MissingTextsAndArraysNeverCrash) {
  Controller("F_CV");
  ASSERT_EQ(Configure(), 1);
  builder->ctrl(0).Data[2].StrValue = nullptr;  // FIELD removed after binding
  EXPECT_EQ(dcs().DCSSimulate(record()), 1);
  EXPECT_EQ(builder->ctrl(0).TV1Updated, 0);
  builder->ctrl(0).Data = nullptr;
  EXPECT_EQ(dcs().DCSSimulate(record()), 1);
  PlinthClearMessages();
  EXPECT_EQ(Configure(), 0);
  EXPECT_EQ(Messages(), Lines{"DCSCtrlTagFieldError"});
}

TEST_F(BindingTest, FullCapacityStepMakesThreeGroupOperationsAndNoAllocation) {
  for (int i = 0; i < 300; ++i) {
    Controller(i % 3 == 0 ? "F_CV" : (i % 3 == 1 ? "H_DV" : "F_OUT"));
  }
  for (int i = 0; i < 2500; ++i) {
    PV(i * 0.5);
    Import(i % 4 == 0 ? "F_CV" : (i % 4 == 1 ? "F_AUTO" : (i % 4 == 2 ? "A_AUTO" : "A_ROUT")));
  }
  ASSERT_EQ(Configure(), 1);
  const unsigned long operations = FixdbGroupOperations();
  const unsigned long allocations = PlinthAllocationCount();
  const unsigned long texts = PlinthTextConstructions();
  EXPECT_EQ(dcs().DCSSimulate(record()), 1);
  EXPECT_EQ(FixdbGroupOperations() - operations, 3U);
  EXPECT_EQ(PlinthAllocationCount(), allocations);
  EXPECT_EQ(PlinthTextConstructions(), texts);
}

TEST_F(BindingTest, LongRunLeavesNoBlockAndNoGroup) {
  Controller("F_CV");
  PV(1.0);
  Import("F_CV");
  ASSERT_TRUE(builder->SetInitCycle(0));
  ASSERT_EQ(Configure(), 1);
  ASSERT_EQ(dcs().DCSStart(record()), 1);
  FixdbSetJournal(0);
  const unsigned long allocations = PlinthAllocationCount();
  for (int step = 0; step < 10000; ++step) {
    ASSERT_EQ(dcs().DCSSimulate(record()), 1);
  }
  EXPECT_EQ(PlinthAllocationCount(), allocations);
  EXPECT_TRUE(Messages().empty());
  // TearDown resets, destroys and checks that no block and no group is left.
}

}  // namespace
