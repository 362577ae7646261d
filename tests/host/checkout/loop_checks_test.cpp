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
    EXPECT_EQ(r.SettlingTime(row.samples.empty() ? 10.0 : static_cast<double>(row.samples.size()) - 0.5, 1.0,
                             settling),
              row.settled);
    EXPECT_EQ(settling, row.settling);
    EXPECT_NEAR(r.EndError(), row.samples.empty() ? 10.0 : row.endError, 1e-9);
  }
}

TEST(LoopCheckSettings, DefaultsByLetterThenEveryMatchingTableInOrder) {
  std::vector<host::CaseLoopCheck> checks = {Check("*"), Check("T*"), Check("TIC5"), Check("FIC*"), Check("20-*")};
  checks[0].checks = {"direction", "setpoint_step", "bad_transmitter"};
  checks[1].settlingTime = 900.0;
  checks[2].checks = {"setpoint_step"};
  checks[2].waived = "PL-7: slow";
  checks[3].outputStep = 10.0;
  checks[4].measures = "T";
  struct Row {
    const char* variable;
    const char* tag;
    bool direction, setpoint, bad;
    double directionTime, settlingTime, outputStep;
    const char* waived;
  };
  const Row rows[] = {
      {"F", "FIC1", true, true, true, 10.0, 60.0, 10.0, ""},
      {"L", "LIC2", true, true, true, 60.0, 900.0, 5.0, ""},
      {"T", "TIC3", true, true, true, 200.0, 900.0, 5.0, ""},     // T* over the letter's 600 s
      {"T", "TIC5", false, true, false, 200.0, 900.0, 5.0, "PL-7: slow"},
      {"X", "XIC9", true, true, true, 40.0, 120.0, 5.0, ""},      // any other letter: medium
      {"X", "20-XC-5", true, true, true, 200.0, 600.0, 5.0, ""},  // measures = "T" over the tag's letter
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.tag);
    host::LoopCheckSettings s;
    std::string variable = row.variable;
    EXPECT_TRUE(host::SettingsFor(variable, row.tag, checks, s));
    EXPECT_EQ(s.checkDirection, row.direction);
    EXPECT_EQ(s.checkSetpoint, row.setpoint);
    EXPECT_EQ(s.checkBadTransmitter, row.bad);
    EXPECT_EQ(s.directionTime, row.directionTime);
    EXPECT_EQ(s.settlingTime, row.settlingTime);
    EXPECT_EQ(s.outputStep, row.outputStep);
    EXPECT_EQ(s.waived, row.waived);
  }
  host::LoopCheckSettings unmatched;
  std::string flow = "F";
  EXPECT_FALSE(host::SettingsFor(flow, "FIC1", {Check("L*")}, unmatched));
}

TEST(LoopCheckPlan, AGroupAtOnceAndGroupsOneAfterAnother) {
  host::Case c;
  for (const char* tag : {"FIC1", "FIC2"}) {
    host::CaseCtrlRow row;
    row.tag = tag;
    c.controllers.push_back(row);
  }
  c.loopChecks = {Check("*")};  // direction and setpoint step, flow limits
  host::LoopChecks together;
  together.Plan(c, {{0, 0, "F", 0.0, 100.0, false, 0}, {1, 1, "F", 0.0, 100.0, false, 0}}, 1.0);
  host::LoopChecks apart;
  apart.Plan(c, {{0, 0, "F", 0.0, 100.0, false, 0}, {1, 1, "F", 0.0, 100.0, false, 1}}, 1.0);
  // start 10 s, direction 10 s, then a rest, a step and its return of 90 s each (1.5 x the settling limit)
  EXPECT_EQ(together.StepsNeeded(), 10 + 10 + 3 * 90);
  EXPECT_EQ(apart.StepsNeeded(), 2 * together.StepsNeeded());
  EXPECT_EQ(together.Count(), 4U);
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
    EXPECT_NE(run.output.substr(at, run.output.find('\n', at) - at).find(row.measured), std::string::npos)
        << row.check;
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

// Copies of the unit example with a fault seeded, judged from their reports'
// results.json: the cause is named, and no check of a loop passes after the
// check it failed.
TEST_F(DcshostTest, ASeededUnitNamesItsCausesInItsResults) {
  struct Seed {
    const char* what;
    std::pair<std::string, std::string> caseEdit, dbEdit;  // first replaced by second
    const char* loop;
    const char* failed;  // the check that fails, and a part of its cause
    const char* cause;
  };
  const Seed seeds[] = {
      {"a wrong action", {}, {"FIC-101,PID,F_CV=40;", "FIC-101,PID,F_CV=40;A_ACTION=DIRECT;"}, "FIC-101",
       "FIC-101 direction", "the controller's action (A_ACTION) is the wrong way for its plant"},
      {"a transmitter ranged other than FIX says", {"[report]", "[tieback.loop.FIC103]\nlow = 70\nhigh = 90\n\n[report]"},
       {}, "FIC103", "FIC103 setpoint step", "the output reached 100 % while the PV stayed short of the target"},
  };
  for (const Seed& seed : seeds) {
    SCOPED_TRACE(seed.what);
    const std::string folder = Temp("seeded-unit");
    std::filesystem::remove_all(folder);
    std::filesystem::copy(Source + "/examples/unit", folder);
    for (const auto& [file, edit] : {std::make_pair(std::string("/unit.toml"), seed.caseEdit),
                                     std::make_pair(std::string("/unit-db.csv"), seed.dbEdit)}) {
      std::string text = ReadFile(folder + file);
      if (!edit.first.empty()) {
        text.replace(text.find(edit.first), edit.first.size(), edit.second);
      }
      std::ofstream(folder + file, std::ios::binary) << text;
    }
    const Outcome run = Dcshost({"run", folder + "/unit.toml", "--report", folder + "/report", "--no-progress"});
    EXPECT_EQ(run.status, 1) << run.output;
    std::vector<host::ResultRecord> records;
    std::string error;
    ASSERT_TRUE(host::ReadResultsJson("results.json", ReadFile(folder + "/report/results.json"), records, error))
        << error;
    bool failedSeen = false;
    for (const host::ResultRecord& r : records) {
      std::map<std::string, std::string> field(r.begin(), r.end());
      if (field["loop"] != seed.loop || field["check"].find(" ends in ") != std::string::npos) {
        continue;
      }
      if (field["check"] == seed.failed) {
        failedSeen = true;
        EXPECT_EQ(field["verdict"], "failed");
        EXPECT_NE(field["measured"].find(seed.cause), std::string::npos) << field["measured"];
      } else if (failedSeen) {  // after it: not run, and never passed
        EXPECT_EQ(field["verdict"], "failed") << field["check"];
        EXPECT_EQ(field["measured"].rfind("not run: ", 0), 0U) << field["measured"];
      }
    }
    EXPECT_TRUE(failedSeen);
  }
}

// A failed check names its cause beside its figures: one row per cause the
// loop checks example shows once a case edit plants it.
TEST_F(DcshostTest, AFailedCheckNamesItsCause) {
  struct Row {
    const char* planted;  // appended to the example
    const char* check;
    const char* cause;
  };
  const Row rows[] = {
      {"[[pv]]\nnode = \"SCADA1\"\ntag = \"LIC101\"\nfield = \"F_TV1\"\nvalue = 2.7\n", "LIC101 setpoint step",
       "the target was changed to 2.7, 2 s into the check, by PV row 4 ("},
      {"[[malfunction]]\nkind = \"frozen\"\npv = \"LT101\"\nstep = 1\n", "LIC101 direction",
       "no answer; a reverse-acting controller needs it to rise: the PV did not move"},
      {"[[loop_check]]\nloops = \"FIC201\"\nchecks = [\"setpoint_step\"]\n", "FIC201 setpoint step",
       "the PV moved away from the target: the controller's action (A_ACTION)"},  // no direction check first
  };
  const std::string folder = Temp("planted-causes");
  std::filesystem::remove_all(folder);
  std::filesystem::copy(Source + "/examples/checkout", folder);
  const std::string original = ReadFile(folder + "/loop-checks.toml");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.planted);
    std::ofstream(folder + "/loop-checks.toml", std::ios::binary) << original << "\n" << row.planted;
    const Outcome run = Dcshost({"run", folder + "/loop-checks.toml", "--no-progress"});
    size_t at = run.output.find(std::string("  expect FAIL  ") + row.check + ": ");
    at = at != std::string::npos ? at : run.output.find(std::string("  expect WAIVED  ") + row.check + ": ");
    ASSERT_NE(at, std::string::npos) << run.output;
    EXPECT_NE(run.output.substr(at, run.output.find('\n', at) - at).find(row.cause), std::string::npos)
        << run.output.substr(at, run.output.find('\n', at) - at);
  }
}

}  // namespace
}  // namespace host_tests
