// Runs: every example stepped through the driver with its outcome asserted, values FIX cannot hold
// stopping a run, and live runs stopped cleanly by a signal.
#include "dcshost_fixture.h"

namespace host_tests {

TEST_F(DcshostTest, TankLevelSettlesAndFollowsTheOperatorsSetpoint) {
  const std::string trace = Temp("tank-trace.csv");
  const std::string plot = Temp("tank-plot.svg");
  const Outcome run = Dcshost({"run", Source + "/examples/tank/tank.toml", "--trace", trace, "--plot", plot,
                               "--no-progress"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("LIC101 ends in AUTO"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("step 600: operator sets SCADA1:LIC101.F_TV1 to 2.5"), std::string::npos);
  const auto beforeChange = TraceAt(trace, 600);
  EXPECT_EQ(beforeChange.at("LIC101.tv1"), 2.0);
  EXPECT_NEAR(beforeChange.at("level"), 2.0, 0.02 * 2.0);
  const auto atEnd = TraceAt(trace, 1200);
  EXPECT_EQ(atEnd.at("LIC101.tv1"), 2.5);  // the new setpoint reached the simulation
  EXPECT_NEAR(atEnd.at("level"), 2.5, 0.02 * 2.5);
  std::ifstream svg(plot);
  std::string first;
  std::getline(svg, first);
  EXPECT_EQ(first.rfind("<svg", 0), 0U);
}

TEST_F(DcshostTest, EveryImportFieldKindArrivesConverted) {
  const std::string trace = Temp("import-trace.csv");
  const Outcome run = Dcshost({"run", Source + "/examples/import-kinds/import-kinds.toml", "--trace", trace});
  ASSERT_EQ(run.status, 0) << run.output;
  const auto before = TraceAt(trace, 5);
  EXPECT_EQ(before.at("FV201.F_CV"), 42.5);
  EXPECT_EQ(before.at("FIC202.F_AUTO"), 2.0);  // the cycle sent AUTO, read back as automatic
  EXPECT_EQ(before.at("FIC202.A_AUTO"), 2.0);
  EXPECT_EQ(before.at("HS203.A_ROUT"), 0.0);   // "YES"
  const auto after = TraceAt(trace, 10);
  EXPECT_EQ(after.at("FIC202.F_AUTO"), 1.0);   // the operator's MANL
  EXPECT_EQ(after.at("FIC202.A_AUTO"), 1.0);
  EXPECT_EQ(after.at("HS203.A_ROUT"), 1.0);    // "NO"
}

// How long binding takes is the benchmark's to say (make bench counts it).
TEST_F(DcshostTest, FullCapacityCaseBindsAndRuns) {
  const Outcome check = Dcshost({"check", Source + "/examples/full-capacity/full-capacity.toml"});
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_NE(check.output.find("300 controllers, 2500 PV rows, 2500 PV-import rows: binds"), std::string::npos);
  // Five steps: before its loop checks begin (examples_test runs them all), so
  // the run fails with each of them "not reached", and nothing else.
  const Outcome run = Dcshost({"run", Source + "/examples/full-capacity/full-capacity.toml", "--steps", "5"});
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("expectations: 302 passed, 1850 failed"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("expect FAIL  FIC000 direction: not reached: the run ended after step 5"),
            std::string::npos);
  EXPECT_NE(run.output.find("controllers end in 300 AUTO"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("messages           0"), std::string::npos);
}

// Every loop of the full-capacity case, closed by its tieback and at rest,
// follows a step of its target by 10 % of its span: afterwards each PV lies
// within 2 % of span of its new target.
TEST_F(DcshostTest, FullCapacityLoopsFollowATenPercentStepOfTheirTargets) {
  const std::string folder = Source + "/examples/full-capacity/";
  std::string text = "[case]\nsteps = 800\ndatabase = \"" + folder + "full-capacity-db.csv\"\ncontrollers = \"" +
                     folder + "controllers.csv\"\npv = \"" + folder + "pv.csv\"\npv_import = \"" + folder +
                     "pv-import.csv\"\n\n[model]\ntype = \"tieback\"\n\n[[expect]]\nmessages = []\n";
  const std::map<char, double> spans = {{'F', 200.0}, {'P', 10.0}, {'T', 400.0}, {'L', 5.0}, {'A', 100.0}};
  std::ifstream controllers(folder + "controllers.csv");
  std::string line;
  std::getline(controllers, line);  // NODE,TAG,FIELD,Active,Mode,Output,TV1
  int loops = 0;
  while (std::getline(controllers, line)) {
    const std::string tag = line.substr(6, line.find(',', 6) - 6);  // PLANT,TAG,...
    const double span = spans.at(tag[0]);
    const double target = std::stod(line.substr(line.rfind(',') + 1)) + 0.1 * span;
    const std::string pv = tag.substr(0, 1) + "T" + tag.substr(3);  // FIC007 -> FT007
    text += "[[event]]\nstep = 10\npoint = \"PLANT:" + tag + ".F_TV1\"\nvalue = " + std::to_string(target) +
            "\n[[expect]]\nsignal = \"" + pv + ".F_CV\"\nafter = 700\nwithin = [" +
            std::to_string(target - 0.02 * span) + ", " + std::to_string(target + 0.02 * span) + "]\n";
    ++loops;
  }
  ASSERT_EQ(loops, 300);
  const std::string path = Temp("full-capacity-steps.toml");
  std::ofstream(path, std::ios::binary) << text;
  const Outcome run = Dcshost({"run", path, "--no-progress"});
  EXPECT_EQ(run.status, 0) << run.output.substr(run.output.size() > 20000 ? run.output.size() - 20000 : 0);
  EXPECT_NE(run.output.find("tiebacks: 300 loops closed (300 by loop key), 625 discrete"), std::string::npos);
  EXPECT_NE(run.output.find("expectations: 301 passed, 0 failed"), std::string::npos);
}

// Values FIX cannot hold stop a run with status 1, naming the step and the signal.
TEST_F(DcshostTest, ModelValueBeyondWhatFixHoldsStopsTheRun) {
  const Outcome run = Dcshost({"run", Source + "/tests/host/malformed/model-overflow.toml", "--no-progress"});
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("at the start: PV row 1 (N:T101.F_CV, from level) would send 1e+300, beyond what FIX "
                            "can hold"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(run.output.find("DCSConfigure"), std::string::npos);  // nothing reached FIX
}

// A live run stops at a step boundary on SIGINT, releases everything, says so
// and exits 128 + 2: it did not end.
TEST_F(DcshostTest, LiveRunStopsCleanlyOnASignal) {
  std::thread interrupt([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::raise(SIGINT);
  });
  const Outcome run = Dcshost({"run", Source + "/tests/host/refused-events.toml", "--live", "--steps", "100000"});
  interrupt.join();
  EXPECT_EQ(run.status, 128 + SIGINT) << run.output;  // 130: the run did not end
  EXPECT_NE(run.output.find("stopped by signal " + std::to_string(SIGINT)), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("summary of Refused operator changes"), std::string::npos);
  EXPECT_EQ(FixdbLiveGroups(), 0U);
  EXPECT_EQ(PlinthLiveTexts(), 0);
}

}  // namespace host_tests

#include "run/record_names.h"

namespace host_tests {

// Every trace column has a name of its own without a counter: a row's short
// name, its node's name where an earlier column has that, and its row where
// the same point is in two rows; and every name a block reads means one row.
TEST(RecordNames, EachTraceColumnHasANameOfItsOwn) {
  host::Case c;
  c.controllers = {host::CaseCtrlRow{"N1", "LIC1", "F_CV", 1, 1.0, 0.5, 1.0, "", {}},
                   host::CaseCtrlRow{"N2", "LIC1", "F_CV", 1, 1.0, 0.5, 1.0, "", {}}};
  c.pv = {host::CasePVRow{"N1", "FT1", "F_CV", 1, 0.0, "", {}}};
  c.pvImport = {host::CasePVRow{"N1", "FT1", "F_CV", 1, 0.0, "", {}},
                host::CasePVRow{"N1", "FT1", "F_CV", 1, 0.0, "", {}},
                host::CasePVRow{"N1", "level", "F_CV", 1, 0.0, "", {}}};
  const std::vector<std::string> names = host::TraceNames(host::RecordSignals(c), {"level.F_CV"});
  const std::vector<std::string> expected = {
      "LIC1.output", "LIC1.tv1", "N2:LIC1.output", "N2:LIC1.tv1", "FT1.F_CV", "N1:FT1.F_CV",
      "N1:FT1.F_CV (PV-import row 2)", "N1:level.F_CV"};
  EXPECT_EQ(names, expected);
  // What a block reads by each name: rows on two nodes share LIC1.output; the
  // PV-import row, not the PV row, is read as FT1.F_CV; and a PV-import row
  // named as a controller's output is refused.
  host::RecordNameMap named;
  std::string error;
  const std::vector<host::RecordSignal> signals = host::RecordSignals(c);
  ASSERT_TRUE(host::NameRecord(signals, named, error)) << error;
  EXPECT_TRUE(named.at("LIC1.output").shared);
  EXPECT_FALSE(named.at("N2:LIC1.output").shared);
  EXPECT_EQ(signals[named.at("FT1.F_CV").signal].table, host::TableKind::PVImport);
  c.pvImport.push_back(host::CasePVRow{"N1", "LIC1", "output", 1, 0.0, "", {"case.toml", 9}});
  EXPECT_FALSE(host::NameRecord(host::RecordSignals(c), named, error));
  EXPECT_NE(error.find("PV-import row 4's value (case.toml:9) is named 'LIC1.output', as controller row 1's output"),
            std::string::npos) << error;
}

}  // namespace host_tests
