// Control checkout: expectations judged with their verdicts, malfunctions at their steps,
// saved states that go on exactly where the longer run is, and alarm checks.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>

#include "checkout/matrix_checks.h"
#include "dcshost_fixture.h"
#include "report/results_json.h"

namespace host_tests {

// Expectations: each printed with its verdict and what was measured; one that
// fails makes the run exit 1, after its trace and plot are written.
TEST_F(DcshostTest, ExpectationsJudgeTheRunAndAFailureExitsOne) {
  const std::string trace = Temp("failing-trace.csv");
  const std::string plot = Temp("failing-plot.svg");
  std::remove(plot.c_str());
  const Outcome run = Dcshost({"run", Source + "/tests/host/checkout/failing.toml", "--trace", trace, "--plot", plot,
                               "--no-progress"});
  EXPECT_EQ(run.status, 1) << run.output;
  for (const char* verdict : {
           "expect FAIL  level within [1.5, 2.5] after 10 s: first outside at 10 s: 1.",
           "expect PASS  LIC101.tv1 equals 2: range 2 (at 1 s) to 2 (at 1 s), from 1 s to 50 s",
           "expect FAIL  LIC101 ends in MANL: LIC101 ended in AUTO (A_AUTO at the end)",
           "expect FAIL  driver messages exactly DCSAppNotRunning: 0 messages",
           "expectations: 1 passed, 3 failed",
       }) {
    EXPECT_NE(run.output.find(verdict), std::string::npos) << verdict << "\n" << run.output;
  }
  EXPECT_TRUE(std::ifstream(plot).good());
  EXPECT_EQ(TraceAt(trace, 50).count("level"), 1U);
}

namespace {

// The failing tank case up to its expectations, its database found from here.
std::string FailingCaseHead() {
  std::ifstream failing(Source + "/tests/host/checkout/failing.toml");
  std::string text((std::istreambuf_iterator<char>(failing)), std::istreambuf_iterator<char>());
  text.replace(text.find("../../../examples"), 17, Source + "/examples");
  return text.substr(0, text.find("[[expect]]"));
}

// One expectation below a case's text and the verdict the run gives it: the
// start of its line (beginning with a space), or of the refusal after "path:".
struct ExpectationRow {
  const char* expectation;
  const char* verdict;
};

void ExpectVerdicts(const std::string& text, const std::vector<ExpectationRow>& rows, const std::string& path) {
  for (const ExpectationRow& row : rows) {
    SCOPED_TRACE(row.expectation);
    std::ofstream(path, std::ios::binary) << text << "[[expect]]\n" << row.expectation << "\n";
    const Outcome run = Dcshost({"run", path, "--no-progress"});
    const std::string wanted = row.verdict[0] == ' ' ? std::string(row.verdict) : path + ":" + row.verdict;
    EXPECT_NE(run.output.find(wanted), std::string::npos) << run.output;
  }
}

}  // namespace

// An expectation on the answer to an event's step is judged by its limits,
// and one that mixes them with a band, names no event or stands without
// after_event is refused where it is written.
TEST_F(DcshostTest, AnEventsAnswerIsJudgedByItsLimits) {
  const std::string text = FailingCaseHead() +
                           "[[event]]\nname = \"up\"\nstep = 5\npoint = \"SCADA1:LIC101.F_TV1\"\nvalue = 2.5\n"
                           "[[event]]\nstep = 6\npoint = \"SCADA1:LIC101.A_AUTO\"\ntext = \"AUTO\"\n";
  ExpectVerdicts(text, {
      {"signal = \"LIC101.tv1\"\nafter_event = \"up\"\nrise_time = 5\nsteady_state_error = 0.001",
       "  expect PASS  LIC101.tv1 answers event 'up' (to 2.5): from 2: rise 1 s (limit 5), error at the end 0 "},
      {"signal = \"level\"\nafter_event = 1\nrise_time = 5",
       "  expect FAIL  level answers event 'up' (to 2.5): from 1."},
      {"signal = \"level\"\nafter_event = 1\nsettling_time = 3",  // the band stated, settled or not
       "  expect FAIL  level answers event 'up' (to 2.5): from 1.001: settling never within 2 % of the step"},
      {"signal = \"level\"\nafter_event = 3\nrise_time = 5", "38: after_event names no event"},
      {"signal = \"level\"\nafter_event = 2\nrise_time = 5", "38: after_event names an event that sets a text"},
      {"signal = \"level\"\nafter_event = \"up\"\nwithin = [1, 2]\nrise_time = 5",
       "39: an expectation after_event judges the answer to its step"},
      {"signal = \"level\"\nafter_event = \"up\"", "36: an expectation after_event gives rise_time"},
      {"signal = \"level\"\nwithin = [1, 2]\nrise_time = 5", "39: 'rise_time' judges the answer to a step"},
  }, Temp("response.toml"));
}

// An expectation over loops becomes one verdict per loop its pattern matches,
// its signals in percent of the loop's span; one that names anything but a
// loop's mode or signal, or matches no loop, is refused at its line.
TEST_F(DcshostTest, AnExpectationOverLoopsJudgesEachLoop) {
  ExpectVerdicts(FailingCaseHead(), {
      {"loops = \"*\"\nmode = \"AUTO\"", "  expect PASS  LIC101 ends in AUTO: LIC101 ended in AUTO"},
      {"loops = \"LIC*\"\nsignal = \"pv\"\nwithin = [0.5, 2]",  // the level's span is 0-100
       "  expect PASS  LIC101 pv within [0.5, 2] % of span: range 1 (at 1 s) to 1.102 (at 50 s)"},
      {"loops = \"*\"\nsignal = \"output\"\nmin = 60\nafter = 5",
       "  expect FAIL  LIC101 output at least 60 % after 5 s: first outside at 5 s: 51.76"},
      {"loops = \"*\"\nsignal = \"deviation\"\nmax = 0", "  expect PASS  LIC101 deviation at most 0 % of span: "},
      {"loops = \"*\"\nsignal = \"target\"\nequals = 40\nwaived = \"PL-1: test\"",
       "  expect WAIVED  LIC101 target equals 40 % of span: first outside at 1 s: 2 "},
      {"loops = \"FIC*\"\nmode = \"AUTO\"", "27: loops = \"FIC*\" matches none of the 1 paired loops"},
      {"loops = \"*\"\nsignal = \"level\"\nmin = 0", "29: a loop's signal is \"pv\", \"target\""},
      {"loops = \"*\"\ncontroller = \"LIC101\"\nmode = \"AUTO\"", "29: an expectation over loops judges"},
      {"loops = \"*\"", "27: an expectation over loops gives mode"},
      {"loops = \"*\"\nmode = \"AUTO\"\nsignal = \"pv\"\nmin = 0", "29: an expectation over loops gives either"},
      {"loops = \"\"\nmode = \"AUTO\"", "28: loops is a pattern over controller tags"},
  }, Temp("over-loops.toml"));
}

// Malfunctions at their steps: transmitters frozen, biased and drifting (the
// value a PV row sends), a valve stuck, a node down and back, a transmitter
// failed in the simulated database.
TEST_F(DcshostTest, MalfunctionsActOnTransmittersValvesAndNodes) {
  const std::string trace = Temp("malfunctions-trace.csv");
  const Outcome run = Dcshost({"run", Source + "/tests/host/checkout/malfunctions.toml", "--trace", trace,
                               "--no-progress"});
  ASSERT_EQ(run.status, 0) << run.output;
  // A row's PV value is the model's level after the step before.
  for (int row = 5; row <= 8; ++row) {
    SCOPED_TRACE(row);
    const auto before = TraceAt(trace, row - 1);
    const auto now = TraceAt(trace, row);
    EXPECT_EQ(now.at("TT1.F_CV"), TraceAt(trace, 3).at("TT1.F_CV"));                 // frozen from step 3
    EXPECT_DOUBLE_EQ(now.at("TT2.F_CV"), before.at("level") + 0.5);                  // biased
    EXPECT_DOUBLE_EQ(now.at("TT3.F_CV"), before.at("level") + 0.1 * (row - 1 - 3));  // drifting 0.1 per s
    EXPECT_EQ(now.at("LT101.F_CV"), before.at("level"));                             // untouched
  }
  for (int row = 5; row <= 7; ++row) {
    EXPECT_EQ(TraceAt(trace, row).at("valve"), TraceAt(trace, 4).at("valve")) << row;  // stuck from step 4 to 7
  }
  EXPECT_NE(TraceAt(trace, 8).at("valve"), TraceAt(trace, 7).at("valve"));
  EXPECT_NE(run.output.find("step 6: FIX cannot reach SCADA2:HS1.A_ROUT: Node is not reachable"),
            std::string::npos) << run.output;
  EXPECT_NE(run.output.find("step 8: operator sets SCADA2:HS1.A_ROUT to NO"), std::string::npos);
  EXPECT_EQ(TraceAt(trace, 8).at("HS1.A_ROUT"), 0.0);  // the node is back, the operator's NO not yet read
  EXPECT_EQ(TraceAt(trace, 9).at("HS1.A_ROUT"), 1.0);
  EXPECT_EQ(FixdbPointProblem("SCADA2", "HS1", "A_ROUT"), 0);                  // recovered
  EXPECT_EQ(FixdbPointProblem("SCADA1", "LT101", "F_CV"), FixdbTransmitterFailed);  // failed from step 10
}

// 600 steps, a saved state, then 600 steps from it: the same trace, value for
// value, as 1200 steps in one run.
TEST_F(DcshostTest, ASavedStateGoesOnExactlyWhereTheLongerRunIs) {
  const std::string tank = Source + "/examples/tank/tank.toml";
  const std::string whole = Temp("whole.csv");
  const std::string second = Temp("second.csv");
  const std::string state = Temp("tank-600.state.toml");
  ASSERT_EQ(Dcshost({"run", tank, "--steps", "1200", "--trace", whole, "--no-progress"}).status, 0);
  ASSERT_EQ(Dcshost({"run", tank, "--steps", "600", "--save-state", state, "--no-progress"}).status, 1);  // expectations after 600 s fail
  const Outcome resumed = Dcshost({"run", tank, "--from-state", state, "--steps", "600", "--trace", second,
                                   "--no-progress"});
  ASSERT_EQ(resumed.status, 0) << resumed.output;
  EXPECT_NE(resumed.output.find("step 600: operator sets SCADA1:LIC101.F_TV1 to 2.5"), std::string::npos);
  const auto rows = [](const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
      if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0])) != 0 && std::stoi(line) > 600) {
        lines.push_back(line);
      }
    }
    return lines;
  };
  const std::vector<std::string> expected = rows(whole);
  ASSERT_EQ(expected.size(), 600U);
  EXPECT_EQ(rows(second), expected);
}

}  // namespace host_tests

namespace host_tests {

// An event due after the last step is still made (the final reading of FIX
// sees it); one a shortened run never reaches fails it, "not reached".
// Values that came through FIX's floats meet `equals` at FIX's precision.
TEST_F(DcshostTest, EventsAtTheEndAndEqualsAtFixPrecision) {
  const std::string dir = Temp("events-at-the-end");
  std::filesystem::create_directories(dir);
  std::string text = BaseCase;
  text += "\n[[event]]\nstep = 1\npoint = \"N:LIC1.F_TV1\"\nvalue = 2.1\n"
          "\n[[event]]\nstep = 5\npoint = \"N:LIC1.A_AUTO\"\ntext = \"MANL\"\n"
          "\n[[expect]]\nsignal = \"LIC1.tv1\"\nstep = 3\nequals = 2.1\n"
          "\n[[expect]]\nsignal = \"level\"\nstep = 3\nequals = 1.0\ntolerance = 0.05\n"
          "\n[[expect]]\ncontroller = \"LIC1\"\nmode = \"MANL\"\n";
  std::ofstream(dir + "/case.toml") << text;
  std::ofstream(dir + "/db.csv") << BaseDb;
  const Outcome whole = Dcshost({"run", dir + "/case.toml"});
  EXPECT_EQ(whole.status, 0) << whole.output;
  EXPECT_NE(whole.output.find("step 5: operator sets N:LIC1.A_AUTO to MANL"), std::string::npos) << whole.output;
  EXPECT_NE(whole.output.find("expect PASS  LIC1.tv1 equals 2.1 from step 3"), std::string::npos) << whole.output;
  EXPECT_NE(whole.output.find("expect PASS  level equals 1 +/- 0.05 from step 3"), std::string::npos) << whole.output;
  EXPECT_NE(whole.output.find("expect PASS  LIC1 ends in MANL"), std::string::npos) << whole.output;
  const Outcome shortened = Dcshost({"run", dir + "/case.toml", "--steps", "3"});
  EXPECT_EQ(shortened.status, 1) << shortened.output;  // the mode expectation fails
  EXPECT_NE(shortened.output.find("expect FAIL  event at step 5, N:LIC1.A_AUTO (" + dir + "/case.toml:"),
            std::string::npos)
      << shortened.output;
}

// Alarm checks: where each limit's alarm rose and cleared, against FIX's
// limit or the alarm list's; one row per behaviour, each a case edit planted
// in a copy (or an option given) and a line the run must print.
TEST_F(DcshostTest, AlarmChecksFindWhereEachLimitActs) {
  struct Row {
    const char* planted;  // appended to the case
    const char* option;   // given to run, or empty
    int status;
    const char* line;
  };
  const Row rows[] = {
      {"", "", 1, "alarm checks: 6 limits of 3 points, from step 0 to 1007"},
      {"", "", 1,
       "  expect PASS  PT101 HIHI alarm: HIHI 9: rose at 9.033 (delay 3 s), cleared at 8.783 (deadband 0.2); FIX's "
       "F_HIHI 9"},
      {"", "", 1, "  expect PASS  PT101 LOLO alarm: LOLO 1: rose at 0.9667 (delay 3 s), cleared at 1.2 (deadband 0.2)"},
      {"", "", 1, "  expect PASS  LT102 LO alarm: LO 20: rose at 20 (delay 0 s), cleared at 20.17 (deadband 0)"},
      {"", "", 1,
       "  expect FAIL  TT103 HI alarm: alarmed at 150 where HI 135 gives 135 (within 1.333): FIX's F_HI is 150, the "
       "alarm list's 135"},
      {"[[alarm_check]]\npoints = \"LT102\"\nlolo = 10\n", "", 1,
       "  expect FAIL  LT102 LOLO alarm: the alarm list has LOLO 10, and FIX has no F_LOLO"},
      {"[[pv]]\nnode = \"U1\"\ntag = \"FT104\"\nfield = \"F_CV\"\n[[alarm_check]]\npoints = \"FT104\"\nhi = 80\n", "",
       1, "  expect FAIL  FT104 HI alarm: FIX holds no alarm state (F_ALMST) for the point: its alarms cannot be read"},
      {"[[malfunction]]\nkind = \"frozen\"\npv = \"LT102\"\nstep = 1\n", "", 1,
       "  expect FAIL  LT102 LO alarm: never alarmed: sent to "},
      {"", "--steps=300", 1, "  expect FAIL  PT101 HI alarm: not reached: the run ended after step 300"},
      {"[[alarm_check]]\npoints = \"XX*\"\n", "", 2, ": points = \"XX*\" matches none of the 3 PV rows"},
      {"[[alarm_check]]\npoints = \"*\"\nrate = 0\n", "", 2,
       ": 'rate' must be above 0 and at most 100 % of span per minute, not 0"},
      {"[[alarm_check]]\npoints = \"*\"\nhi = 3\nhihi = 2\n", "", 2,
       ": 'hihi' (2) is below 'hi' (3): alarm limits rise lolo <= lo <= hi <= hihi"},
  };
  const std::string folder = Temp("alarm-checks");
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::filesystem::copy(Source + "/tests/host/alarms/alarms-db.csv", folder);
  const std::string original = ReadFile(Source + "/tests/host/alarms/alarms.toml");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    std::ofstream(folder + "/alarms.toml", std::ios::binary) << original << "\n" << row.planted;
    std::vector<std::string> args = {"run", folder + "/alarms.toml", "--no-progress"};
    if (row.option[0] != '\0') {
      args.emplace_back(row.option);
    }
    const Outcome run = Dcshost(args);
    EXPECT_EQ(run.status, row.status) << run.output;
    EXPECT_NE(run.output.find(row.line), std::string::npos) << run.output;
  }
}

// The trips example checks clean; its copy with three faults seeded finds
// each with its cause named in results.json, waived on the punch list.
TEST_F(DcshostTest, TheTripsCheckoutFindsEachSeededFaultWithItsCause) {
  const Outcome clean = Dcshost({"run", Source + "/examples/trips/trips.toml", "--no-progress"});
  EXPECT_EQ(clean.status, 0) << clean.output;
  EXPECT_NE(clean.output.find("matrix checks: 7 causes and 8 effects in 10 forcings"), std::string::npos);
  EXPECT_NE(clean.output.find("expectations: 21 passed, 0 failed"), std::string::npos) << clean.output;
  const std::string report = Temp("trips-faults");
  std::filesystem::remove_all(report);
  const Outcome run =
      Dcshost({"run", Source + "/examples/trips/trips-faults.toml", "--report", report, "--no-progress"});
  EXPECT_EQ(run.status, 0) << run.output;  // waived
  std::vector<host::ResultRecord> records;
  std::string error;
  ASSERT_TRUE(host::ReadResultsJson("results.json", ReadFile(report + "/results.json"), records, error)) << error;
  const std::pair<const char*, const char*> seeded[] = {
      {"TT-303 HI alarm", "alarmed at 154.3 where HI 170 after its delay of 5 s gives 171.7 (within 1.333): FIX's "
                          "F_HI is 153, the alarm list's 170"},
      {"C2 PT-301B HH (Separator pressure B high-high)",
       "XV-301:CLOSED acted after 1 s with 1 of 3 (C2): the vote trips on fewer than 2"},
      {"C6 TT-303 HH (Discharge temperature high-high)",
       "XV-303:CLOSED did not act within 10 s; XV-304:CLOSED acted after 5 s, though not marked"},
  };
  for (const auto& [check, cause] : seeded) {
    SCOPED_TRACE(check);
    bool seen = false;
    for (const host::ResultRecord& r : records) {
      std::map<std::string, std::string> field(r.begin(), r.end());
      if (field["check"] == check) {
        seen = true;
        EXPECT_EQ(field["verdict"], "waived");
        EXPECT_NE(field["measured"].find(cause), std::string::npos) << field["measured"];
      }
    }
    EXPECT_TRUE(seen);
  }
  // The case's page lists each limit as configured, as the alarm list states it and as found to act.
  EXPECT_NE(ReadFile(report + "/index.html")
                .find("<tr><td>TT-303</td><td>HI</td><td>153</td><td>170</td><td>154.3</td><td>150.7</td>"
                      "<td class=\"waived\">waived</td></tr>"),
            std::string::npos);
}

// A group voting M of N is forced in every combination of M - 1 of its
// causes (none may trip) and of M (each must); a cause alone, once. A forced
// cause's row sends a fiftieth of its span past its limit, up or down.
TEST(MatrixPlan, AVoteIsForcedInEveryCombinationThatMustAndMustNotTrip) {
  struct Row {
    int votes, of;  // 0 of 1: a cause alone
    size_t forcings;
  };
  const Row rows[] = {{0, 1, 1}, {1, 2, 2}, {2, 3, 6}, {3, 4, 10}, {2, 4, 10}};
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.votes << "oo" << row.of);
    host::Case c;
    c.matrix.path = "ce.csv";
    c.matrix.effects = {host::MatrixEffect{"", "XV1", "CLOSED"}};
    host::MatrixFacts facts;
    for (int k = 0; k < row.of; ++k) {
      host::MatrixCause cause;
      cause.id = "C" + std::to_string(k);
      cause.tag = "PT" + std::to_string(k);
      cause.condition = k == 0 ? "HH" : "<";
      cause.group = row.votes == 0 ? "" : "G";
      cause.votes = std::max(row.votes, 1);
      cause.of = row.of;
      cause.effects = {true};
      c.matrix.causes.push_back(cause);
      facts.pv.push_back(k);
      facts.limit.push_back(9.0);
      facts.span.push_back(10.0);
    }
    host::MatrixChecks checks;
    checks.Plan(c, facts, 1.0, 100);
    EXPECT_EQ(checks.Count(), row.forcings);
    // The reset first (100), the first forcing's baseline 7 steps later, forced from the step after.
    EXPECT_TRUE(checks.ResetAt(100));
    EXPECT_TRUE(std::isnan(checks.Sent(0, 107)));
    EXPECT_EQ(checks.Sent(0, 108), 9.2);  // every plan's first forcing holds the first cause
  }
}

// A matrix that cannot be read is refused at its line (status 2); one that
// needs what the case or FIX lacks is a problem `check` names (status 1).
TEST_F(DcshostTest, AMatrixIsCheckedWhereItIsWrittenAndAgainstFix) {
  const std::string header =
      "ID,Description,Tag,Condition,Limit,Group,Vote,Delay,XV-301:CLOSED,P-302:STOPPED\n";
  struct Row {
    const char* matrix;  // after the header, or the whole file where it starts with "ID"
    int status;
    const char* message;
  };
  const Row rows[] = {
      {"ID,Desc,Tag,Condition,Limit,Group,Vote,Delay,XV-301:CLOSED\nC1,,PT-301A,HH,9,,,,X\n", 2,
       "trips-ce.csv:1: the header must read ID,Description,Tag,Condition,Limit,Group,Vote,Delay"},
      {"ID,Description,Tag,Condition,Limit,Group,Vote,Delay,XV-301\nC1,,PT-301A,HH,9,,,,X\n", 2,
       "trips-ce.csv:1: an effect's heading reads TAG:STATE (XV-101:CLOSED), not 'XV-301'"},
      {"C1,,PT-301A,HHH,9,,,,X,\n", 2, "trips-ce.csv:2: Condition must be HH, H, L, LL, > or <, not 'HHH'"},
      {"C1,,PT-301A,>,,,,,X,\n", 2, "trips-ce.csv:2: a cause on > needs its Limit"},
      {"C1,,PT-301A,HH,9,,,,Y,\n", 2, "trips-ce.csv:2: an effect's cell is X where the cause produces it"},
      {"C1,,PT-301A,HH,9,,2oo3,,X,\n", 2, "trips-ce.csv:2: a Vote needs a Group"},
      {"C1,,PT-301A,HH,9,,,-1,X,\n", 2, "trips-ce.csv:2: Delay must be 0 s or more, not '-1'"},
      {"C1,,PT-301A,HH,9,,,,X,\nC1,,PT-301B,HH,9,,,,X,\n", 2, "trips-ce.csv:3: the cause C1 has two rows"},
      {"C1,,PT-301A,HH,9,G1,2oo3,,X,\nC2,,PT-301B,HH,9,G1,2oo3,,X,\n", 2,
       "trips-ce.csv:2: group G1 votes 2oo3 but has 2 causes"},
      {"C1,,PT-999,HH,9,,,,X,\n", 1, "trips-ce.csv:2: cause C1 names PT-999, which no PV row sends"},
      {"C1,,FT-305,H,,,,,X,\n", 1, "trips-ce.csv:2: cause C1 needs FT-305.F_HI, which FIX lacks"},
      {"ID,Description,Tag,Condition,Limit,Group,Vote,Delay,XV-999:CLOSED\nC1,,PT-301A,HH,9,,,,X\n", 1,
       "the effect XV-999:CLOSED needs XV-999.A_STATE, which FIX lacks"},
  };
  const std::string folder = Temp("matrix-checked");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.matrix);
    std::filesystem::remove_all(folder);
    std::filesystem::copy(Source + "/examples/trips", folder);
    const bool whole = std::string(row.matrix).rfind("ID,", 0) == 0;
    std::ofstream(folder + "/trips-ce.csv", std::ios::binary) << (whole ? "" : header) << row.matrix;
    const Outcome check = Dcshost({"check", folder + "/trips.toml"});
    EXPECT_EQ(check.status, row.status) << check.output;
    EXPECT_NE(check.output.find(row.message), std::string::npos) << check.output;
  }
}

}  // namespace host_tests
