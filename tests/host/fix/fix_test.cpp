// FIX at run time: the read-only binding check, operator events through FIX's own rules, and
// dcshost against a FIX other than the simulated database.
#include <filesystem>
#include <fstream>

#include "dcshost_fixture.h"

namespace host_tests {

TEST_F(DcshostTest, CheckNamesEveryBindingProblemByRowAndTag) {
  const std::string path = Source + "/examples/binding-errors/binding-errors.toml";
  const Outcome check = Dcshost({"check", path});
  EXPECT_EQ(check.status, 1);
  for (const std::string& expected : {
           "problem: controller row 1 (" + path + ":10): SCADA3:TIC999.F_CV: Tag not found in the process database",
           "problem: PV row 1 (" + path + ":20): TAG is blank",
           "problem: PV-import row 1 (" + path + ":30): SCADA3:TT301.F_XX: Field not found for this block",
           "message DCSCtrlVendorMsg: Controller row 0: FIX reports: Tag not found in the process database  "
           "[controller row 1, SCADA3:TIC999.F_CV (" + path + ":10)]",
           std::string("does not bind (5 problems)")}) {
    EXPECT_NE(check.output.find(expected), std::string::npos) << expected << "\n---\n" << check.output;
  }
  // The run does not bind either; the case expects exactly that, so it passes.
  const Outcome run = Dcshost({"run", path});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("expect PASS  the case does not bind"), std::string::npos) << run.output;
  EXPECT_EQ(FixdbLiveGroups(), 0U);
}

// `check` only reads: it defines and resolves points, and never sets a value
// or writes a group.
TEST_F(DcshostTest, CheckSetsNothingAndWritesNoGroup) {
  FixdbSetJournal(1);
  const Outcome check = Dcshost({"check", Source + "/examples/import-kinds/import-kinds.toml"});
  ASSERT_EQ(check.status, 0) << check.output;
  for (const std::string& line : testing_support::FixJournal()) {
    for (const char* write : {"EdaSetFloat(", "EdaSetAscii(", "EdaWriteGroup("}) {
      EXPECT_NE(line.rfind(write, 0), 0U) << line;
    }
  }
}

TEST_F(DcshostTest, RowsBeyondTheDriversCapacityDoNotBind) {
  const std::string folder = Source + "/examples/full-capacity/";
  const std::string controllers = Temp("controllers-301.csv");
  {
    std::ifstream in(folder + "controllers.csv");
    std::ofstream out(controllers);
    std::string line;
    std::string last;
    while (std::getline(in, line)) {
      out << line << '\n';
      last = line;
    }
    out << last << '\n';  // row 300, one past the capacity
  }
  const std::string path = Temp("controllers-301.toml");
  // Literal TOML strings: a Windows temporary path has backslashes.
  std::ofstream(path) << "[case]\ndatabase = '" << folder << "full-capacity-db.csv'\ncontrollers = '" << controllers
                      << "'\n";
  const Outcome check = Dcshost({"check", path});
  EXPECT_EQ(check.status, 1) << check.output;
  EXPECT_NE(check.output.find("controller row 301 (" + controllers), std::string::npos) << check.output;
  EXPECT_NE(check.output.find("beyond the driver's 300 controller rows: it would never be bound"), std::string::npos);
}

// Operator events go through FIX's own rules: a write FIX refuses is reported
// with its text and changes nothing.
TEST_F(DcshostTest, OperatorEventsFixRefusesAreReportedAndChangeNothing) {
  const std::string trace = Temp("refused-trace.csv");
  const Outcome run = Dcshost({"run", Source + "/tests/host/refused-events.toml", "--trace", trace, "--no-progress"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("step 2: FIX refuses the operator's SCADA1:LIC101.A_AUTO = SOMETIMES: Value not "
                            "allowed for this field"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("step 3: FIX refuses the operator's SCADA1:LIC101.F_CV = 90: Output is protected while "
                            "the controller is in AUTO"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("LIC101 ends in AUTO"), std::string::npos);
  EXPECT_LT(TraceAt(trace, 4).at("valve"), 0.8);  // the PID's own output, not the refused 90 %
}

TEST_F(OtherFixTest, CheckBindsAndNamesTheLoadedLibraries) {
  const Outcome check = Program(With({"check", mini}, fix));
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_NE(check.output.find("minifix"), std::string::npos) << check.output;
  EXPECT_NE(check.output.find("1 controllers, 1 PV rows, 1 PV-import rows: binds"), std::string::npos);
  // Alarm limits without their state: the alarms cannot be read.
  EXPECT_NE(check.output.find("note: no A_ALMST (alarm state) in FIX for 1 of 1 measured tags with alarm limits, so "
                              "their alarms cannot be read: MINI:TT100"),
            std::string::npos)
      << check.output;
  // A FIX whose links between blocks are not read: what it says of a strategy, and what is not known.
  EXPECT_NE(check.output.find("strategy: TIC100: a cascade switch (A_CASC NO); this FIX's links between blocks are "
                              "not read"),
            std::string::npos)
      << check.output;
  // A FIX whose blocks carry no descriptions: the sheets' gaps said, the case still binds.
  EXPECT_NE(check.output.find("note: no A_DESC (description) in FIX for 2 of 2 tags, so their loop sheets show "
                              "none: MINI:TIC100, MINI:TT100"),
            std::string::npos)
      << check.output;
}

TEST_F(OtherFixTest, RunWritesOnlyWithLiveAndTheEventReachesItsPoint) {
  const Outcome refused = Program(With({"run", mini}, fix));
  EXPECT_EQ(refused.status, 2) << refused.output;
  EXPECT_NE(refused.output.find("give --live to consent"), std::string::npos) << refused.output;
  const std::string trace = Temp("minifix-trace.csv");
  const Outcome live = Program(With({"run", mini, "--live", "--trace", trace}, fix));
  ASSERT_EQ(live.status, 0) << live.output;
  EXPECT_NE(live.output.find("live run against FIX"), std::string::npos) << live.output;
  EXPECT_NE(live.output.find("step 2: operator sets MINI:TIC100.F_TV1 to 3.5"), std::string::npos);
  EXPECT_EQ(TraceAt(trace, 2).at("TIC100.tv1"), 2.0);
  EXPECT_EQ(TraceAt(trace, 3).at("TIC100.tv1"), 3.5);  // the operator's value, read back by the driver
  const Outcome database = Program(With({"run", Source + "/examples/tank/tank.toml", "--live"}, fix));
  EXPECT_EQ(database.status, 2);
  EXPECT_NE(database.output.find("which only the simulated database loads"), std::string::npos)
      << database.output;
}

#if !defined(_WIN32)
// A live run stopped by SIGTERM at a step boundary: reset, destroyed, summed
// up, and an exit status that says it did not end (128 + 15).
TEST_F(OtherFixTest, LiveRunStopsOnSigterm) {
  host::ChildProcess child;
  std::string error;
  ASSERT_TRUE(child.Start(Command(With({"run", mini, "--live", "--steps", "100000"}, fix)), error)) << error;
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  child.Signal(SIGTERM);
  const Outcome run{child.Wait(), child.output()};
  EXPECT_EQ(run.status, 128 + SIGTERM) << run.output;
  EXPECT_NE(run.output.find("stopped by signal " + std::to_string(SIGTERM)), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("summary of Tank against another FIX"), std::string::npos);
}
#endif

TEST_F(OtherFixTest, MalfunctionsAgainstAnotherFixAreRefused) {
  const Outcome run = Program(With({"run", Source + "/tests/host/minifix/minifix-malfunction.toml", "--live"}, fix));
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_NE(run.output.find("against this FIX they are refused"), std::string::npos) << run.output;
}

}  // namespace host_tests

namespace host_tests {

// `check` warns of rows that write one FIX point, and binds all the same;
// PV-import rows reading one point are fine.
TEST_F(DcshostTest, CheckWarnsOfRowsThatWriteTheSamePoint) {
  const std::string dir = Temp("shared-writes");
  std::filesystem::create_directories(dir);
  const std::string pv = "\n[[pv]]\nnode = \"N\"\ntag = \"LT1\"\nfield = \"F_CV\"\nvalue = 1.0\n";
  const std::string onController = "\n[[pv]]\nnode = \"N\"\ntag = \"LIC1\"\nfield = \"F_TV1\"\nvalue = 1.0\n";
  const std::string imports = "\n[[pv_import]]\nnode = \"N\"\ntag = \"LT1\"\nfield = \"F_CV\"\n"
                              "\n[[pv_import]]\nnode = \"N\"\ntag = \"LT1\"\nfield = \"F_CV\"\n";
  std::ofstream(dir + "/case.toml") << BaseCase + pv + onController + imports;
  std::ofstream(dir + "/db.csv") << BaseDb;
  const Outcome check = Dcshost({"check", dir + "/case.toml"});
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_NE(check.output.find("warning: PV row 2 (" + dir + "/case.toml:22) writes N:LT1.F_CV, as PV row 1 ("),
            std::string::npos)
      << check.output;
  EXPECT_NE(check.output.find("warning: PV row 3 (" + dir + "/case.toml:28) writes N:LIC1.F_TV1, as controller row 1"),
            std::string::npos)
      << check.output;
  EXPECT_EQ(check.output.find("warning: PV-import row"), std::string::npos) << check.output;
}

// A matrix against another FIX: the consent names the reset commands beside
// the PV rows; with it the matrix is checked where the logic is that FIX's
// own (this one has none: the effect does not act).
TEST_F(OtherFixTest, TheMatrixIsCheckedAgainstAnotherFixWithConsent) {
  const std::string folder = Temp("minifix-trips");
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "/ce.csv") << "ID,Description,Tag,Condition,Limit,Group,Vote,Delay,TIC100:AUTO\n"
                                       "C1,Hot,TT100,>,60,,,,X\n";
  std::ofstream(folder + "/case.toml", std::ios::binary)
      << ReadFile(mini) << "\n[matrix]\nreset = [\"MINI:HS100.A_ROUT\"]\neffect_time = 0.2\n";
  // matrix = "ce.csv" belongs to [case]: put it after the case's name.
  std::string text = ReadFile(folder + "/case.toml");
  text.insert(text.find("name = "), "matrix = \"ce.csv\"\n");
  std::ofstream(folder + "/case.toml", std::ios::binary) << text;
  const Outcome refused = Program(With({"run", folder + "/case.toml"}, fix));
  EXPECT_EQ(refused.status, 2) << refused.output;
  EXPECT_NE(refused.output.find("the matrix's reset commands MINI:HS100.A_ROUT after each cause); give --live"),
            std::string::npos)
      << refused.output;
  const Outcome live = Program(With({"run", folder + "/case.toml", "--live", "--no-progress"}, fix));
  EXPECT_EQ(live.status, 1) << live.output;
  for (const char* line : {"matrix checks: 1 causes and 1 effects in 1 forcings",
                           "  expect FAIL  C1 TT100 > (Hot): TIC100:AUTO did not act within 0.2 s"}) {
    EXPECT_NE(live.output.find(line), std::string::npos) << line << "\n" << live.output;
  }
}

}  // namespace host_tests
