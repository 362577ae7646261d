// The host emulator: every example run through dcshost with its outcome
// asserted, and malformed case and database files each refused with a clear
// "file:line: what is wrong" and exit status 2.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "case/case.h"
#include "dcshost/cli.h"
#include "system/child_process.h"
#include "journals.h"
#include "system/shared_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif
#include <thread>

namespace {

const std::string Source = FIXDCS_SOURCE_DIR;

struct Outcome {
  int status;
  std::string output;
};

Outcome Dcshost(std::vector<std::string> args) {
  args.insert(args.begin(), "dcshost");
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(&arg[0]);
  }
  std::ostringstream out;
  const int status = host::RunCli(static_cast<int>(argv.size()), argv.data(), out);
  return Outcome{status, out.str()};
}

// The trace's columns by name at one step (1-based), read back from the CSV:
// the names on the first line, '#' lines (units, directions) skipped, and an
// empty cell (a row not exchanged at that step) left out of the map.
std::map<std::string, double> TraceAt(const std::string& path, int step) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  std::vector<std::string> names;
  std::stringstream header(line);
  for (std::string name; std::getline(header, name, ',');) {
    names.push_back(name);
  }
  std::map<std::string, double> values;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#' || std::atoi(line.c_str()) != step) {
      continue;
    }
    std::stringstream cells(line);
    size_t i = 0;
    for (std::string cell; std::getline(cells, cell, ',') && i < names.size(); ++i) {
      if (!cell.empty()) {
        values[names[i]] = std::stod(cell);
      }
    }
  }
  return values;
}

std::string Temp(const std::string& name) { return testing::TempDir() + name; }

class DcshostTest : public testing_support::StandinTest {};

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

TEST_F(DcshostTest, BuiltInExampleIsTheTankExample) {
  const Outcome run = Dcshost({});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("running the built-in example: the tank level loop"), std::string::npos);
  EXPECT_NE(run.output.find("LIC101 ends in AUTO"), std::string::npos);
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

TEST_F(DcshostTest, FullCapacityCaseBindsWithinASecond) {
  const auto begin = std::chrono::steady_clock::now();
  const Outcome check = Dcshost({"check", Source + "/examples/full-capacity/full-capacity.toml"});
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_NE(check.output.find("300 controllers, 2500 PV rows, 2500 PV-import rows: binds"), std::string::npos);
  if (std::getenv("FIXDCS_EMULATED") == nullptr) {  // an emulator's time says nothing of the host's
    EXPECT_LT(seconds, 1.0);
  }
  const Outcome run = Dcshost({"run", Source + "/examples/full-capacity/full-capacity.toml", "--steps", "20"});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("controllers end in 300 AUTO"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("messages           0"), std::string::npos);
}

TEST_F(DcshostTest, CheckNamesEveryBindingProblemByRowAndTag) {
  const std::string path = Source + "/examples/binding-errors/binding-errors.toml";
  const Outcome check = Dcshost({"check", path});
  EXPECT_EQ(check.status, 1);
  for (const std::string& expected : {
           "problem: controller row 0 (" + path + ":10): SCADA3:TIC999.F_CV: Tag not found in the process database",
           "problem: PV row 0 (" + path + ":20): TAG is blank",
           "problem: PV-import row 0 (" + path + ":30): SCADA3:TT301.F_XX: Field not found for this block",
           "message DCSCtrlVendorMsg: Controller row 0: FIX reports: Tag not found in the process database  "
           "[controller row 0, SCADA3:TIC999.F_CV (" + path + ":10)]",
           std::string("does not bind (5 problems)")}) {
    EXPECT_NE(check.output.find(expected), std::string::npos) << expected << "\n---\n" << check.output;
  }
  // The run does not bind either; the case expects exactly that, so it passes.
  const Outcome run = Dcshost({"run", path});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("expect PASS  the case does not bind"), std::string::npos) << run.output;
  EXPECT_EQ(FixdbLiveGroups(), 0U);
}

struct Malformed {
  const char* file;
  const char* error;  // what follows "<path>:"
};

TEST_F(DcshostTest, MalformedFilesGiveFileAndLineAndStatusTwo) {
  const std::string dir = Source + "/tests/host/malformed/";
  const Malformed cases[] = {
      {"syntax-error.toml", "2: "},
      {"no-case-table.toml", "1: missing the [case] table"},
      {"unknown-key.toml", "3: unknown key 'stpes' in [case]"},
      {"steps-text.toml", "3: 'steps' must be a whole number"},
      {"init-cycle.toml", "3: init_cycle must be \"Perform\" or \"Skip\", not \"Maybe\""},
      {"controller-no-tag.toml", "4: missing 'tag' in a controller row"},
      {"event-point.toml", "7: point must read NODE:TAG.FIELD, not \"N-T101\""},
      {"event-step.toml", "6: event step 9 lies outside the run of 5 steps"},
      {"model-type.toml", "5: unknown model type \"reactor\" (none or tank)"},
      {"event-type.toml", "8: N:T101.F_CV holds a number: give it value = a number, not a text"},
      {"event-number-on-text.toml", "8: N:T101.A_AUTO holds a text: give it text = \"...\", not a number"},
      {"pv-beyond-float.toml", "4: value 1e+39 is beyond what FIX can hold (a float, at most 3.4e+38)"},
  };
  for (const Malformed& c : cases) {
    SCOPED_TRACE(c.file);
    const Outcome check = Dcshost({"check", dir + c.file});
    EXPECT_EQ(check.status, 2);
    EXPECT_NE(check.output.find("dcshost: " + dir + c.file + ":" + c.error), std::string::npos) << check.output;
  }
  // Problems in the files a case names are reported against those files.
  const Malformed referenced[] = {
      {"csv-header.toml", "bad-header.csv:1: the header must read NODE,TAG,FIELD,Active,Value[,From]"},
      {"csv-active.toml", "bad-active.csv:3: Active must be a number, not 'yes'"},
      {"db-type.toml", "bad-type-db.csv:3: unknown block type 'XYZ' (AI, AO, PID or DI)"},
      {"db-pid-input.toml", "no-input-db.csv:3: a PID block needs INPUT=TAG"},
      {"db-number.toml", "bad-number-db.csv:3: value of F_CV is not a number: 'one'"},
      {"db-missing.toml", "missing-db.csv: cannot open the database file"},
      {"db-empty.toml", "empty-db.csv: the database file is empty"},
      {"db-folder.toml", ".: is a folder, not a database file"},
  };
  for (const Malformed& c : referenced) {
    SCOPED_TRACE(c.file);
    const Outcome check = Dcshost({"check", dir + c.file});
    EXPECT_EQ(check.status, 2);
    EXPECT_NE(check.output.find(std::string("dcshost: ") + dir + c.error), std::string::npos) << check.output;
  }
  const Outcome missing = Dcshost({"run", dir + "no-such-case.toml"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.output.find("no-such-case.toml: no such case file"), std::string::npos);
  const Outcome usage = Dcshost({"run"});
  EXPECT_EQ(usage.status, 2);
}

// Command lines and paths a user may get wrong: each refused with status 2
// and a message, never an abort.
TEST_F(DcshostTest, BadArgumentsAndPathsAreRefusedWithStatusTwo) {
  const std::string tank = Source + "/examples/tank/tank.toml";
  const std::vector<std::vector<std::string>> refused = {
      {"run", tank, "--steps", "100000001"},      // beyond the longest case
      {"run", "--signals", "level", "valve", tank},  // --signals takes one list, never the case
      {"check", std::string(4096, 'x') + ".toml"},    // a name too long for the file system
      {"check", Source + "/examples"},                // a folder
  };
  for (const std::vector<std::string>& args : refused) {
    SCOPED_TRACE(args.back());
    EXPECT_EQ(Dcshost(args).status, 2);
  }
#if !defined(_WIN32)
  const std::string loop = Temp("dcshost-loop.toml");
  std::remove(loop.c_str());
  ASSERT_EQ(symlink(loop.c_str(), loop.c_str()), 0);  // a link to itself
  const Outcome looped = Dcshost({"check", loop});
  EXPECT_EQ(looped.status, 2);
  EXPECT_NE(looped.output.find(loop + ": cannot read the case file"), std::string::npos) << looped.output;
  std::remove(loop.c_str());
  const char* tmpdir = std::getenv("TMPDIR");
  const std::string saved = tmpdir != nullptr ? tmpdir : "";
  setenv("TMPDIR", "/no/such/folder", 1);
  const Outcome builtin = Dcshost({});
  tmpdir != nullptr ? setenv("TMPDIR", saved.c_str(), 1) : unsetenv("TMPDIR");
  EXPECT_EQ(builtin.status, 2);
  EXPECT_NE(builtin.output.find("no temporary folder"), std::string::npos) << builtin.output;
#endif
}

// Values FIX cannot hold stop a run with status 1, naming the step and the signal.
TEST_F(DcshostTest, ModelValueBeyondWhatFixHoldsStopsTheRun) {
  const Outcome run = Dcshost({"run", Source + "/tests/host/malformed/model-overflow.toml", "--no-progress"});
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("at the start: PV row 0 (N:T101.F_CV, from level) would send 1e+300, beyond what FIX "
                            "can hold"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(run.output.find("DCSConfigure"), std::string::npos);  // nothing reached FIX
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
  EXPECT_NE(check.output.find("controller row 300 (" + controllers), std::string::npos) << check.output;
  EXPECT_NE(check.output.find("beyond the driver's 300 controller rows: it would never be bound"), std::string::npos);
}

TEST_F(DcshostTest, SpreadsheetExportsWithAByteOrderMarkAndQuotedCellsAreRead) {
  host::Case c;
  std::string error;
  ASSERT_TRUE(host::LoadCase(Source + "/tests/host/spreadsheet.toml", c, error)) << error;
  ASSERT_EQ(c.pv.size(), 2U);
  EXPECT_EQ(c.pv[0].node, "N");
  EXPECT_EQ(c.pv[0].tag, "T,101");
  EXPECT_EQ(c.pv[0].value, 2.5);
  EXPECT_EQ(c.pv[1].tag, "say \"hi\"");
  EXPECT_EQ(c.pv[1].active, 0);
}

// A live run stops at a step boundary on SIGINT, releases everything and says so.
TEST_F(DcshostTest, LiveRunStopsCleanlyOnASignal) {
  std::thread interrupt([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::raise(SIGINT);
  });
  const Outcome run = Dcshost({"run", Source + "/tests/host/refused-events.toml", "--live", "--steps", "100000"});
  interrupt.join();
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("stopped by signal " + std::to_string(SIGINT)), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("summary of Refused operator changes"), std::string::npos);
  EXPECT_EQ(FixdbLiveGroups(), 0U);
  EXPECT_EQ(PlinthLiveTexts(), 0);
}

}  // namespace

// Arguments: options are `--name` and `-x` only, so a path that begins with
// '/' is a path on every platform; on Windows a drive path works as well.
TEST_F(DcshostTest, ArgumentsThatBeginWithASlashArePathsAndOptionsAreDashedOnly) {
  const std::string tank = Source + "/examples/tank/tank.toml";
  std::vector<std::string> paths = {tank};
#if defined(_WIN32)
  char full[MAX_PATH] = {};
  ASSERT_GT(GetFullPathNameA(tank.c_str(), MAX_PATH, full, nullptr), 0U);
  std::string drivePath(full);
  std::replace(drivePath.begin(), drivePath.end(), '/', '\\');
  paths.push_back(drivePath);
#endif
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    const Outcome check = Dcshost({"check", path});
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_NE(check.output.find(": binds"), std::string::npos) << check.output;
  }
  const Outcome slashOption = Dcshost({"run", tank, "/steps", "5"});
  EXPECT_EQ(slashOption.status, 2) << slashOption.output;
  const Outcome version = Dcshost({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output, std::string("dcshost ") + FIXDCS_VERSION + "\n");
}

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

// dcshost against a FIX other than the simulated database: the minimal FIX
// in bin/minifix, which has no control API and keeps its own points. Each
// run is a process of its own, so that the FIX it loads is the only one.
class OtherFixTest : public ::testing::Test {
 protected:
  static Outcome Program(const std::string& args) {
#if defined(_WIN32)
    const std::string program = host::ProgramFolder() + "dcshost.exe";
#else
    const std::string program = host::ProgramFolder() + "dcshost";
#endif
    Outcome outcome{-1, std::string()};
    outcome.status = host::RunCommand(host::ProgramCommand(program) + " " + args, outcome.output);
    return outcome;
  }
  const std::string fix = "--fix \"" + host::ProgramFolder() + "minifix\"";
  const std::string mini = "\"" + Source + "/tests/host/minifix/minifix.toml\"";
};

TEST_F(OtherFixTest, CheckBindsAndNamesTheLoadedLibraries) {
  const Outcome check = Program("check " + mini + " " + fix);
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_NE(check.output.find("minifix"), std::string::npos) << check.output;
  EXPECT_NE(check.output.find("1 controllers, 1 PV rows, 1 PV-import rows: binds"), std::string::npos);
}

TEST_F(OtherFixTest, RunWritesOnlyWithLiveAndTheEventReachesItsPoint) {
  const Outcome refused = Program("run " + mini + " " + fix);
  EXPECT_EQ(refused.status, 2) << refused.output;
  EXPECT_NE(refused.output.find("give --live to consent"), std::string::npos) << refused.output;
  const std::string trace = Temp("minifix-trace.csv");
  const Outcome live = Program("run " + mini + " " + fix + " --live --trace \"" + trace + "\"");
  ASSERT_EQ(live.status, 0) << live.output;
  EXPECT_NE(live.output.find("live run against FIX"), std::string::npos) << live.output;
  EXPECT_NE(live.output.find("step 2: operator sets MINI:TIC100.F_TV1 to 3.5"), std::string::npos);
  EXPECT_EQ(TraceAt(trace, 2).at("TIC100.tv1"), 2.0);
  EXPECT_EQ(TraceAt(trace, 3).at("TIC100.tv1"), 3.5);  // the operator's value, read back by the driver
  const Outcome database = Program("run \"" + Source + "/examples/tank/tank.toml\" " + fix + " --live");
  EXPECT_EQ(database.status, 2);
  EXPECT_NE(database.output.find("which only the simulated database loads"), std::string::npos)
      << database.output;
}

#if !defined(_WIN32)
TEST_F(OtherFixTest, LiveRunStopsOnSigterm) {
  const Outcome run = Program("run " + mini + " " + fix + " --live --steps 100000 & pid=$!; sleep 0.5; "
                              "kill -TERM $pid; wait $pid");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("stopped by signal " + std::to_string(SIGTERM)), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("summary of Tank against another FIX"), std::string::npos);
}
#endif

TEST_F(OtherFixTest, MalfunctionsAgainstAnotherFixAreRefused) {
  const Outcome run = Program("run \"" + Source + "/tests/host/minifix/minifix-malfunction.toml\" " + fix + " --live");
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_NE(run.output.find("against this FIX they are refused"), std::string::npos) << run.output;
}

// dcshost test: every case in a process of its own, a table, JUnit XML, and a
// plot kept for the failing case only.
TEST_F(OtherFixTest, TestCommandRunsEveryCaseAndReportsAsJunit) {
  const std::string junit = Temp("checkout-junit.xml");
  const std::string plots = Temp("checkout-plots");
  const Outcome test = Program("test \"" + Source + "/tests/host/checkout\" --jobs 2 --junit \"" + junit +
                               "\" --plots \"" + plots + "\"");
  EXPECT_EQ(test.status, 1) << test.output;
  std::istringstream table(test.output);
  std::vector<std::string> row;
  for (std::string line; std::getline(table, line);) {
    if (line.find("failing.toml ") != std::string::npos) {
      std::istringstream cells(line);
      for (std::string cell; cells >> cell;) {
        row.push_back(cell);
      }
    }
  }
  ASSERT_GE(row.size(), 3U) << test.output;
  EXPECT_EQ(row[1], "1");  // passed
  EXPECT_EQ(row[2], "3");  // failed
  EXPECT_NE(test.output.find("1 passed, 1 failed"), std::string::npos);
  std::ifstream file(junit);
  const std::string xml((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_EQ(xml.rfind("<?xml", 0), 0U);
  EXPECT_NE(xml.find("<testsuites name=\"dcshost test\" tests=\"5\" failures=\"3\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("name=\"LIC101 ends in MANL\"><failure message=\"LIC101 ended in AUTO (A_AUTO at the end)\"/>"),
            std::string::npos) << xml;
  EXPECT_TRUE(std::ifstream(plots + "/1-failing.svg").good());
  EXPECT_FALSE(std::ifstream(plots + "/2-malfunctions.svg").good());
}
