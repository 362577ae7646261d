// Loop checks: a step's answer measured from samples, settings by letter and
// by the [[loop_check]] tables in order,
// schedules that run a group's loops at once and groups one after another,
// and a checkout through dcshost in which a reversed and a badly tuned loop
// fail while a good one passes.
#include <cmath>
#include <map>

#include "checkout/loop_checks.h"
#include "checkout/step_response.h"
#include "dcshost_fixture.h"
#include "report/results_json.h"

namespace host_tests {
namespace {

host::CaseLoopCheck Check(const std::string& loops) {
  host::CaseLoopCheck c;
  c.loops = loops;
  return c;
}

// A step's answer measured from samples in, the figures a verdict is judged
// by out: rise time to 90 % of the step, overshoot in % of the step,
// settling time within the band, and the error at the end.
TEST(StepResponse, SamplesInFiguresOut) {
  struct Row {
    const char* what;
    double from, to, band;
    std::vector<double> samples;  // one a second from t = 1 s
    double riseAt, overshoot, settling, endError;
    bool settled;  // within the band by the window's end (10 s)
  };
  const Row rows[] = {
      {"at once", 0, 10, 0.2, {10, 10, 10}, 1, 0, 0, 0, true},
      {"rises, overshoots, settles", 0, 10, 0.2, {5, 9, 12, 10.5, 10.1, 10}, 2, 20, 5, 0, true},
      {"a step down overshoots below", 10, 0, 0.2, {5, -1, 0.1, 0}, 2, 10, 3, 0, true},
      {"never rises", 0, 10, 0.2, {1, 2, 3}, -1, 0, 4, 7, false},
      {"outside the band at the end", 0, 10, 0.2, {10, 10, 9.5}, 1, 0, 4, 0.5, false},
      {"no samples", 0, 10, 0.2, {}, -1, 0, 0, 10, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    host::StepResponse r;
    r.Start(row.from, row.to, row.band);
    for (size_t k = 0; k < row.samples.size(); ++k) {
      r.Take(static_cast<double>(k + 1), row.samples[k]);
    }
    double settling = -1.0;
    EXPECT_EQ(r.riseAt, row.riseAt);
    EXPECT_NEAR(r.OvershootPercent(row.from), row.overshoot, 1e-9);
    EXPECT_EQ(r.SettlingTime(row.samples.empty() ? 10.0 : static_cast<double>(row.samples.size()) - 0.5, 1.0, settling),
              row.settled);
    EXPECT_EQ(settling, row.settling);
    EXPECT_NEAR(r.EndError(), row.samples.empty() ? 10.0 : row.endError, 1e-9);
  }
}

// The checks a loop gets, named as [[loop_check]] names them.
std::string Made(const host::LoopCheckSettings& s, bool discrete) {
  std::string made;
  const std::pair<bool, const char*> checks[] = {{!discrete && s.checkRange, "range"},
                                                 {!discrete && s.checkStroke, "stroke"},
                                                 {!discrete && s.checkDirection, "direction"},
                                                 {!discrete && s.checkSetpoint, "setpoint_step"},
                                                 {!discrete && s.checkBadTransmitter, "bad_transmitter"},
                                                 {!discrete && s.checkCascadeBreak, "cascade_break"},
                                                 {!discrete && s.checkRatio, "ratio"},
                                                 {!discrete && s.checkSplitRange, "split_range"},
                                                 {discrete && s.checkStart, "start"},
                                                 {discrete && s.checkStop, "stop"}};
  for (const auto& [on, name] : checks) {
    made += on ? std::string(made.empty() ? "" : " ") + name : "";
  }
  return made;
}

TEST(LoopCheckSettings, DefaultsByKindAndLetterThenEveryMatchingTableInOrder) {
  std::vector<host::CaseLoopCheck> checks = {Check("*"),    Check("T*"),  Check("TIC5"), Check("FIC*"),
                                             Check("20-*"), Check("HS2"), Check("LIC7"), Check("FIC8")};
  checks[0].checks = {"direction", "setpoint_step", "bad_transmitter"};
  checks[1].settlingTime = 900.0;
  checks[2].checks = {"setpoint_step"};
  checks[2].waived = "PL-7: slow";
  checks[3].outputStep = 10.0;
  checks[4].measures = "T";
  checks[5].checks = {"start"};
  checks[5].startTime = 30.0;
  checks[6].checks = {"range", "stroke"};
  checks[7].checks = {"ratio"};
  struct Row {
    const char* variable;
    const char* tag;
    bool discrete, integrating;
    const char* made;
    double directionTime, settlingTime, outputStep, strokeTime, startTime;
    const char* waived;
  };
  const char* const all = "direction setpoint_step bad_transmitter cascade_break ratio split_range";
  const Row rows[] = {
      {"F", "FIC1", false, false, all, 10.0, 60.0, 10.0, 60.0, 4.0, ""},
      {"L", "LIC2", false, true, all, 60.0, 900.0, 5.0, 60.0, 4.0, ""},     // a stroke of a level reads a rate
      {"T", "TIC3", false, false, all, 200.0, 900.0, 5.0, 900.0, 4.0, ""},  // T* over the letter's 600 s
      {"T", "TIC5", false, false, "setpoint_step cascade_break ratio split_range", 200.0, 900.0, 5.0, 900.0, 4.0, "PL-7: slow"},
      {"X", "XIC9", false, false, all, 40.0, 120.0, 5.0, 120.0, 4.0, ""},      // any other letter: medium
      {"X", "20-XC-5", false, false, all, 200.0, 600.0, 5.0, 600.0, 4.0, ""},  // measures = "T" over the tag
      {"L", "LIC7", false, true, "range stroke cascade_break ratio split_range", 60.0, 900.0, 5.0, 60.0, 4.0, ""},
      {"F", "FIC8", false, false, "direction setpoint_step bad_transmitter ratio", 10.0, 60.0, 10.0, 60.0, 4.0, ""},
      {"", "HS1", true, false, "start stop", 40.0, 120.0, 5.0, 120.0, 4.0, ""},  // a controller's list leaves its kind
      {"", "HS2", true, false, "start", 40.0, 120.0, 5.0, 120.0, 30.0, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.tag);
    host::LoopCheckSettings s;
    host::CheckedLoop loop;
    loop.variable = row.variable;
    loop.discrete = row.discrete;
    loop.integrating = row.integrating;
    EXPECT_TRUE(host::SettingsFor(loop, row.tag, checks, 1.0, s));
    EXPECT_EQ(Made(s, row.discrete), row.made);
    EXPECT_EQ(s.directionTime, row.directionTime);
    EXPECT_EQ(s.settlingTime, row.settlingTime);
    EXPECT_EQ(s.outputStep, row.outputStep);
    EXPECT_EQ(s.strokeTime, row.strokeTime);
    EXPECT_EQ(s.startTime, row.startTime);  // the feedback's delay (2 s) and two steps
    EXPECT_EQ(s.waived, row.waived);
  }
  host::LoopCheckSettings unmatched;
  host::CheckedLoop flow;
  flow.variable = "F";
  EXPECT_FALSE(host::SettingsFor(flow, "FIC1", {Check("L*")}, 1.0, unmatched));
}

TEST(LoopCheckPlan, AGroupAtOnceAndGroupsOneAfterAnother) {
  host::Case c;
  for (const char* tag : {"FIC1", "FIC2"}) {
    host::CaseCtrlRow row;
    row.tag = tag;
    c.controllers.push_back(row);
  }
  c.loopChecks = {Check("*")};  // direction and setpoint step, flow limits
  const auto flow = [](size_t row, int group) {
    host::CheckedLoop loop;
    loop.controller = loop.pv = row;
    loop.variable = "F";
    loop.group = group;
    return loop;
  };
  host::LoopChecks together;
  together.Plan(c, {flow(0, 0), flow(1, 0)}, 1.0);
  host::LoopChecks apart;
  apart.Plan(c, {flow(0, 0), flow(1, 1)}, 1.0);
  // start 10 s, direction 10 s, then a rest, a step and its return of 90 s each (1.5 x the settling limit)
  EXPECT_EQ(together.StepsNeeded(), 10 + 10 + 3 * 90);
  EXPECT_EQ(apart.StepsNeeded(), 2 * together.StepsNeeded());
  EXPECT_EQ(together.Count(), 4U);
}

// The record as a cascade break sees it: the master's output and the
// slave's target as a row gives them, at each step boundary.
class CascadeSignals : public host::LoopSignals {
 public:
  double masterOutput = 0.25, slaveTarget = 50.0;
  double Pv(size_t) const override { return 50.0; }
  double Output(size_t row) const override { return row == 0 ? masterOutput : 0.4; }
  double Target(size_t) const override { return slaveTarget; }
  double Command(size_t) const override { return 0.0; }
};

// A cascade break judged from what the slave and its master did: one row per
// cause (the switch and the mode read back, the master's output, the slave's
// target after the return). Schedule: a failed transmitter's check from 10
// (it stops nothing), then in cascade at 110, failed at 120, read and
// recovered at 130, back in cascade at 131, the bump read at 133.
TEST(LoopCheckPlan, ACascadeBreakNamesWhatDidNotHappen) {
  host::Case c;
  for (const char* tag : {"LIC1", "FIC2"}) {
    host::CaseCtrlRow row;
    row.tag = tag;
    c.controllers.push_back(row);
  }
  host::CasePVRow pv;
  pv.tag = "FT2";
  c.pv.push_back(pv);
  c.loopChecks = {Check("FIC2")};
  c.loopChecks[0].checks = {"bad_transmitter", "cascade_break"};
  host::CheckedLoop slave;
  slave.controller = 1;
  slave.variable = "F";
  slave.low = 0.0;
  slave.high = 200.0;
  slave.remoteTarget = true;
  slave.masterRow = 0;
  struct Row {
    const char* cascade;  // A_CASC read back once the transmitter failed
    const char* mode;
    double masterOutput;  // at the read, 0-1
    double targetAfter;   // the slave's target two steps after the return (50 before)
    const char* found;
  };
  const Row rows[] = {
      {"NO", "MANL", 0.25, 50.2, "FT2 failed with FIC2 in cascade: A_CASC NO, MANL; LIC1's output 25 -> 25 %"},
      {"YES", "AUTO", 0.25, 50.0, "FIC2 stayed in cascade (A_CASC YES) with its measurement failed"},
      {"NO", "AUTO", 0.25, 50.0, "FIC2 left cascade but stayed in AUTO with its measurement failed"},
      {"NO", "MANL", 0.60, 50.0, "LIC1's output is not its slave's target: it does not track, and winds up"},
      {"NO", "MANL", 0.25, 55.0, "FIC2's target jumped on the return to cascade: the return is not bumpless"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.found);
    host::LoopChecks checks;
    checks.Plan(c, {slave}, 1.0);
    CascadeSignals signals;
    std::vector<host::LoopAction> due;
    for (int64_t step = 0; step <= 133; ++step) {
      signals.masterOutput = step == 130 ? row.masterOutput : 0.25;
      signals.slaveTarget = step == 133 ? row.targetAfter : 50.0;
      checks.At(step, signals, due);
      for (const host::LoopAction& action : due) {
        if (action.kind == host::LoopAction::Kind::ReadCascade) {
          checks.CascadeAfter(action.loop, row.mode, row.cascade);
        }
      }
      checks.Sample(step, signals);
    }
    const std::vector<host::Verdict> verdicts = checks.Judge(c);
    ASSERT_EQ(verdicts.size(), 2U);
    EXPECT_EQ(verdicts[1].description, "FIC2 cascade break");
    EXPECT_EQ(verdicts[1].passed, row.targetAfter == 50.2);
    EXPECT_NE(verdicts[1].measured.find(row.found), std::string::npos) << verdicts[1].measured;
  }
}

// The plant says which loops interact: FIC1's flow feeds LIC2's tank, so
// LIC2 waits for the group of FIC1 and TIC3, checked at once. Direction only:
// the longer of flow (10 + 10 + 90 s) and temperature (10 + 200 + 900 s),
// then level (10 + 60 + 1350 s).
TEST_F(DcshostTest, LoopsThatTheirPlantJoinsAreCheckedApart) {
  const Outcome run =
      Dcshost({"run", Source + "/tests/host/plant/interacting-loops.toml", "--steps", "1", "--no-progress"});
  EXPECT_NE(run.output.find("loop checks: 3 checks of 3 loops, which need 2530 steps"), std::string::npos)
      << run.output;
}

// A PV row that sends a model variable to a controller's target couples that
// loop with every loop whose output moves the variable: checked apart, flow
// (10 + 10 + 90 s) then level (10 + 60 + 1350 s).
TEST_F(DcshostTest, LoopsThatTheDcsCouplesAreCheckedApart) {
  const Outcome run =
      Dcshost({"run", Source + "/tests/host/plant/coupled-loops.toml", "--steps", "1", "--no-progress"});
  EXPECT_NE(run.output.find("loop checks: 2 checks of 2 loops, which need 1530 steps"), std::string::npos)
      << run.output;
}

TEST_F(DcshostTest, ALoopCheckoutFailsTheReversedAndTheBadlyTunedLoop) {
  const Outcome run = Dcshost({"run", Source + "/examples/checkout/loop-checks.toml", "--no-progress"});
  EXPECT_EQ(run.status, 0) << run.output;  // both failures are waived
  struct Row {
    const char* verdict;
    const char* check;
    const char* measured;  // a part of what was measured
  };
  const Row rows[] = {
      {"PASS", "LIC101 direction", "rises with the output; a reverse-acting controller needs it to rise"},
      {"PASS", "LIC101 setpoint step", "2.5 -> 3: rise"},
      {"PASS", "LIC101 bad transmitter", "LT101 failed: shed to MANL, output held at 50 %"},
      {"WAIVED", "FIC201 direction",
       "rises with the output; a direct-acting controller needs it to fall: the controller's action (A_ACTION) is the "
       "wrong way for its plant"},
      {"WAIVED", "FIC201 setpoint step", "not run: direction failed, and the loop was left in MANL"},
      {"WAIVED", "FIC201 bad transmitter", "not run: direction failed"},
      {"WAIVED", "TIC202 bad transmitter", "not run: setpoint step failed"},
      {"WAIVED", "FIC201 ends in AUTO", "FIC201 ended in MANL"},  // where its failed check left it
      {"WAIVED", "TIC202 setpoint step", "too slow: the PV got to 9.106 % of the step by 300 s, its rise limit; "},
      {"WAIVED", "TIC202 setpoint step", "settled within 2 % of span never (limit 600)"},
      {"PASS", "TIC202 direction", "the waiver can be lifted"},
  };
  for (const Row& row : rows) {
    const std::string start = std::string("  expect ") + row.verdict + "  " + row.check + ": ";
    const size_t at = run.output.find(start);
    ASSERT_NE(at, std::string::npos) << start << "\n" << run.output;
    EXPECT_NE(run.output.substr(at, run.output.find('\n', at) - at).find(row.measured), std::string::npos) << row.check;
  }
  EXPECT_NE(run.output.find("loop checks: 9 checks of 3 loops, which need "), std::string::npos);
  EXPECT_NE(run.output.find("expectations: 7 passed, 0 failed, 7 waived"), std::string::npos);

  // A run cut short judges the checks it finished and fails the rest, "not reached"; the
  // level's deviation at the end, never sampled, fails.
  const Outcome shortRun =
      Dcshost({"run", Source + "/examples/checkout/loop-checks.toml", "--steps", "100", "--no-progress"});
  EXPECT_EQ(shortRun.status, 1) << shortRun.output;
  EXPECT_NE(shortRun.output.find("  expect FAIL  LIC101 deviation within [-2, 2] % of span after 5000 s: no sample"),
            std::string::npos);
  EXPECT_NE(shortRun.output.find("(the run takes 100)"), std::string::npos);
  EXPECT_NE(shortRun.output.find("  expect PASS  LIC101 direction: "), std::string::npos);
  EXPECT_NE(shortRun.output.find("  expect FAIL  TIC202 direction: not reached: the run ended after step 100"),
            std::string::npos);
}

// The unit and strategies examples' copies with a fault seeded: the check
// that finds it names its cause in results.json, and the loop's later checks
// are "not run", never passed (their failures are waived on the punch list).
TEST_F(DcshostTest, ASeededUnitNamesItsCausesInItsResults) {
  struct Seed {
    const char* copy;  // in examples/
    const char* failed;  // the check that fails, and a part of its cause
    const char* cause;
  };
  const Seed seeds[] = {
      {"unit/unit-range-mismatch", "FIC103 range",
       "FIX's range (0 to 200) is not the transmitter's (70 to 90): FIX reads the transmitter's 100 % as 45 %"},
      {"unit/unit-wrong-action", "FIC-102 stroke",
       "the PV fell as the output rose between 0 and 25 %: the plant answers the wrong way for a reverse-acting"},
      {"strategies/strategies-wrong-slave", "FIC402 direction",
       "moved FT402 by -9.889 in 10 s: falls with the output; a reverse-acting controller needs it to rise: the "
       "controller's action (A_ACTION) is the wrong way for its plant"},
      {"strategies/strategies-wrong-slave", "LIC401 direction",
       "the PV did not move (its slave FIC402 does not take its output, being out of AUTO or of cascade"},
  };
  for (const Seed& seed : seeds) {
    SCOPED_TRACE(seed.copy);
    const std::string report = Temp("seeded-copy");
    std::filesystem::remove_all(report);
    const Outcome run =
        Dcshost({"run", Source + "/examples/" + seed.copy + ".toml", "--report", report, "--no-progress"});
    EXPECT_EQ(run.status, 0) << run.output;  // waived
    std::vector<host::ResultRecord> records;
    std::string error;
    ASSERT_TRUE(host::ReadResultsJson("results.json", ReadFile(report + "/results.json"), records, error)) << error;
    const std::string loop = std::string(seed.failed).substr(0, std::string(seed.failed).find(' '));
    bool failedSeen = false;
    for (const host::ResultRecord& r : records) {
      std::map<std::string, std::string> field(r.begin(), r.end());
      if (field["loop"] != loop || field["check"].find(" ends in ") != std::string::npos) {
        continue;
      }
      failedSeen |= field["check"] == seed.failed;
      if (failedSeen) {  // a failure on the punch list, never a pass
        EXPECT_EQ(field["verdict"], "waived") << field["check"];
        EXPECT_NE(field["measured"].find(field["check"] == seed.failed ? seed.cause : "not run: "), std::string::npos)
            << field["measured"];
      }
    }
    EXPECT_TRUE(failedSeen);
  }
}

// A strategy's loops checked as it runs: the slaves (a cascade's, a ratio's)
// in local automatic and back in cascade after, the master through its slave
// after it, its failed transmitter breaking the cascade as A_CASCBRK says;
// each strategy's own check passing; each sheet says what the database says
// of its strategy.
TEST_F(DcshostTest, AStrategysLoopsAreCheckedAsItRuns) {
  const std::string report = Temp("strategy-checks");
  std::filesystem::remove_all(report);
  const Outcome run =
      Dcshost({"run", Source + "/examples/strategies/strategies.toml", "--report", report, "--no-progress"});
  EXPECT_EQ(run.status, 0) << run.output;
  const char* const passed[] = {
      "loop checks: 19 checks of 4 loops, which need 7064 steps",  // the master's group after its slave's
      "expectations: 26 passed, 0 failed",
      "  expect PASS  FIC402 cascade break: FT402 failed with FIC402 in cascade: A_CASC NO, MANL; LIC401's output",
      "(tracking); back in cascade, its target moved by",
      "  expect PASS  LIC401 bad transmitter: LT401 failed: shed to MANL, output held at 25 %; its slave FIC402 left "
      "cascade in MANL (A_CASCBRK MANL)",
      "  expect PASS  FIC502 ratio: FT501 stepped 100 -> 120: FT502 at 60 (wanted 60), within 2 % of span after",
      "ratio 0.5 -> 0.55: FT502 at 66 (wanted 66)",
      "  expect PASS  PIC601 split range: output 0/25/50/75/100 %: PV601A at 0, 50, 100, 100, 100 % (its part 0 to "
      "50 %); PV601B at 0, 0, 0, 50, 100 % (its part 50 to 100 %); PT601 at ",
  };
  for (const char* line : passed) {
    EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;
  }
  EXPECT_NE(ReadFile(report + "/loops/LIC401.html")
                .find("<tr><th>strategy</th><td>cascade: the master of FIC402; its PV follows FT402"),
            std::string::npos);
  // What check says of each strategy, as the database states it.
  const Outcome check = Dcshost({"check", Source + "/examples/strategies/strategies.toml"});
  for (const char* line : {
           "strategy: FIC402: the slave of LIC401, broken to MANL when LIC401's measurement fails (A_CASCBRK MANL); "
           "in cascade now: YES",
           "strategy: FIC502: its target from the ratio station FFY502, 0.5 x FT501 + 0; in cascade now: YES",
           "strategy: PIC601: split range over PV601A (0 to 50 %), PV601B (50 to 100 %)",
       }) {
    EXPECT_NE(check.output.find(line), std::string::npos) << line << "\n" << check.output;
  }
  // A ratio's flow out of cascade before its checks: its ratio check puts it in cascade, and after its
  // last check it is out again. An event is bounded by the run the loop checks make, once they are planned.
  const std::string folder = Temp("strategies-edited");
  std::filesystem::remove_all(folder);
  std::filesystem::copy(Source + "/examples/strategies", folder);
  const std::string original = ReadFile(folder + "/strategies.toml");
  const std::string event = "\n[[event]]\npoint = \"U400:FIC502.A_CASC\"\ntext = \"NO\"\nstep = ";
  std::ofstream(folder + "/strategies.toml", std::ios::binary) << original << event << "1\n";
  const Outcome local = Dcshost({"run", folder + "/strategies.toml", "--no-progress"});
  EXPECT_NE(local.output.find("  expect PASS  FIC502 ratio: "), std::string::npos) << local.output;
  EXPECT_NE(local.output.find("  expect FAIL  U400:FIC502.F_CASC equals 1 after 7000 s: "), std::string::npos);
  std::ofstream(folder + "/strategies.toml", std::ios::binary) << original << event << "9000\n";
  const Outcome late = Dcshost({"run", folder + "/strategies.toml", "--no-progress"});
  EXPECT_EQ(late.status, 2);
  EXPECT_NE(late.output.find("strategies.toml:113: event step 9000 lies outside the run of 7064 steps"),
            std::string::npos)
      << late.output;
}

// A failed check names its cause beside its figures: one row per cause the
// loop checks example shows once a case edit plants it.
TEST_F(DcshostTest, AFailedCheckNamesItsCause) {
  struct Row {
    const char* example;  // the case in examples/, a copy of whose folder is planted
    const char* planted;  // appended to the case
    const char* check;
    const char* cause;
  };
  const char* const checkout = "checkout/loop-checks.toml";
  const char* const unit = "unit/unit.toml";
  const char* const strategies = "strategies/strategies.toml";
  // The pump started before its checks, its feedback then frozen running: the first switch is a stop.
  const char* const running =
      "[[event]]\nstep = 1\npoint = \"UNIT200:HS-601.A_ROUT\"\ntext = \"YES\"\n"
      "[[malfunction]]\nkind = \"frozen\"\npv = \"ZS-601\"\nstep = 8\n";
  const Row rows[] = {
      {checkout, "[[pv]]\nnode = \"SCADA1\"\ntag = \"LIC101\"\nfield = \"F_TV1\"\nvalue = 2.7\n",
       "LIC101 setpoint step", "the target was changed to 2.7, 2 s into the check, by PV row 4 ("},
      {checkout, "[[malfunction]]\nkind = \"frozen\"\npv = \"LT101\"\nstep = 1\n", "LIC101 direction",
       "no answer; a reverse-acting controller needs it to rise: the PV did not move"},
      {checkout, "[[loop_check]]\nloops = \"FIC201\"\nchecks = [\"setpoint_step\"]\n", "FIC201 setpoint step",
       "the PV moved away from the target: the controller's action (A_ACTION)"},  // no direction check first
      {unit, "[[malfunction]]\nkind = \"frozen\"\npv = \"FT-101\"\nstep = 1\n", "FIC-101 range",
       "FIX read the same value at every point: the PV row does not reach its point"},
      {unit, "[[malfunction]]\nkind = \"bias\"\npv = \"FT-102\"\nbias = 10\nstep = 1\n", "FIC-102 range",
       "FIX read 5 % where the transmitter sent 0 %: suspect the transmitter's calibration"},
      {unit,
       "[[malfunction]]\nkind = \"frozen\"\npv = \"FT103\"\nstep = 1\n[[loop_check]]\nloops = \"FIC103\"\n"
       "checks = [\"stroke\"]\n",
       "FIC103 stroke", "no answer between 0 and 25 %: the valve does not move over that part of its stroke"},
      {unit, "[[malfunction]]\nkind = \"frozen\"\npv = \"ZS-601\"\nstep = 1\n", "HS-601 start",
       "no feedback: ZS-601 not running 8 s after HS-601 YES (limit 4 s): the command does not reach the drive"},
      {unit, "[[malfunction]]\nkind = \"frozen\"\npv = \"ZS-601\"\nstep = 1\n", "HS-601 stop",
       "not run: start failed, and the command was put back as it was"},
      {unit, running, "HS-601 stop", "no feedback: ZS-601 not stopped 8 s after HS-601 NO (limit 4 s)"},
      {unit, running, "HS-601 start", "not run: stop failed, and the command was put back as it was"},
      {unit, "[[loop_check]]\nloops = \"HS-601\"\nstart_time = 2\n", "HS-601 start",
       "too slow: ZS-601 running 3 s after HS-601 YES (limit 2 s)"},
      {unit, "[[malfunction]]\nkind = \"bias\"\npv = \"ZS-601\"\nbias = 1\nstep = 1\n", "HS-601 start",
       "ZS-601 already said running before HS-601 YES: the feedback does not follow the drive"},
      {strategies, "[[event]]\nstep = 480\npoint = \"U400:FIC502.A_CASC\"\ntext = \"NO\"\n", "FIC502 ratio",
       "FT502 did not follow FT501's step: the loop is not in cascade, or FFY502 reads another flow"},
      {strategies, "[[event]]\nstep = 1\npoint = \"U400:PV601B.F_SPHI\"\nvalue = 90\n", "PIC601 split range",
       "PV601B read 62.5 % at output 75 %, where its part gives 50 %: its range (F_SPLO, F_SPHI) or its wiring"},
      {strategies,
       "[[malfunction]]\nkind = \"frozen\"\npv = \"PT601\"\nstep = 1\n[[loop_check]]\nloops = \"PIC601\"\n"
       "checks = [\"direction\", \"split_range\"]\n",
       "PIC601 split range",
       "no answer between 0 and 25 %: the output that moves over that part does not reach the plant"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.planted);
    const std::string example = row.example;
    const std::string folder = Temp("planted-causes");
    std::filesystem::remove_all(folder);
    std::filesystem::copy(Source + "/examples/" + example.substr(0, example.find('/')), folder);
    const std::string file = folder + example.substr(example.find('/'));
    const std::string original = ReadFile(file);
    std::ofstream(file, std::ios::binary) << original << "\n" << row.planted;
    const Outcome run = Dcshost({"run", file, "--no-progress"});
    size_t at = run.output.find(std::string("  expect FAIL  ") + row.check + ": ");
    at = at != std::string::npos ? at : run.output.find(std::string("  expect WAIVED  ") + row.check + ": ");
    ASSERT_NE(at, std::string::npos) << run.output;
    EXPECT_NE(run.output.substr(at, run.output.find('\n', at) - at).find(row.cause), std::string::npos)
        << run.output.substr(at, run.output.find('\n', at) - at);
  }
}

}  // namespace
}  // namespace host_tests
