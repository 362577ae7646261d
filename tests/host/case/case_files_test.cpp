// Case files: malformed case, table and database files each refused with a clear "file:line: what
// is wrong" and exit status 2; spreadsheet exports read as spreadsheets write them.
#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "dcshost_fixture.h"

namespace host_tests {

struct Malformed {
  const char* file;
  const char* error;  // what follows "<path>:"
};

TEST_F(DcshostTest, MalformedFilesGiveFileAndLineAndStatusTwo) {
  const std::string dir = Source + "/tests/host/malformed/";
  const Malformed cases[] = {
      {"syntax-error.toml", "2: "},
      {"no-case-table.toml", "1: missing the [case] table"},
      {"unknown-key.toml", "3: unknown key 'stpes' in [case] (its keys: name, init_cycle, steps, step_seconds"},
      {"steps-text.toml", "3: 'steps' must be a whole number"},
      {"init-cycle.toml", "3: init_cycle must be \"Perform\" or \"Skip\", not \"Maybe\""},
      {"controller-no-tag.toml", "4: missing 'tag' in a controller row"},
      {"event-point.toml", "7: point must read NODE:TAG.FIELD, not \"N-T101\""},
      {"event-step.toml", "6: event step 9 lies outside the run of 5 steps"},
      {"model-type.toml", "5: unknown model type \"reactor\" (none, tank, blocks or tieback)"},
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
      {"db-type.toml", "bad-type-db.csv:3: unknown block type 'XYZ' (AI, AO, PID, DI, RATIO, CMP, VOTE, AND, OR, NOT, LATCH or DO)"},
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

}  // namespace host_tests

namespace host_tests {

// The case file example of the documentation binds against the database it names.
TEST_F(DcshostTest, TheDocumentedCaseFileExampleBinds) {
  std::ifstream readme(Source + "/docs/case-files.md");
  const std::string text((std::istreambuf_iterator<char>(readme)), std::istreambuf_iterator<char>());
  const size_t section = text.find("## Case files");
  ASSERT_NE(section, std::string::npos);
  const size_t begin = text.find("```toml\n", section);
  ASSERT_NE(begin, std::string::npos);
  const size_t end = text.find("```\n", begin + 8);
  const std::string folder = Temp("readme-case");
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "/case.toml") << text.substr(begin + 8, end - begin - 8);
  std::ifstream database(Source + "/examples/tank/tank-db.csv");
  std::ofstream(folder + "/tank-db.csv") << database.rdbuf();
  const Outcome check = Dcshost({"check", folder + "/case.toml"});
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_NE(check.output.find("1 controllers, 1 PV rows, 1 PV-import rows: binds"), std::string::npos) << check.output;
}

}  // namespace host_tests

namespace host_tests {
namespace {

struct Garbage {
  const char* what;
  std::pair<std::string, std::string> caseEdit;   // text replaced in the case (first by second); empty: none
  std::pair<std::string, std::string> dbEdit;     // likewise in the database
  std::pair<std::string, std::string> stateEdit;  // likewise in a state the base case saved
  std::vector<std::string> args;
  std::string message;
};

std::string Edited(std::string text, const std::pair<std::string, std::string>& edit) {
  if (!edit.first.empty()) {
    const size_t at = text.find(edit.first);
    text = at == std::string::npos ? "edit not found: " + edit.first : text.replace(at, edit.first.size(), edit.second);
  }
  for (size_t at = text.find("<NUL>"); at != std::string::npos; at = text.find("<NUL>")) {
    text.replace(at, 5, std::string(1, '\0'));
  }
  return text;
}

}  // namespace

// Every kind of garbage is refused where it enters, with the file (and line
// where it has one) and exit status 2, before anything runs.
TEST_F(DcshostTest, GarbageIsRefusedWhereItEntersWithStatusTwo) {
  const std::vector<std::string> run = {"run", "CASE"};
  const std::vector<Garbage> rows = {
      {"a NUL in a TOML name", {"tag = \"LT1\"", "tag = \"LT\\u00001\""}, {}, {}, run,
       "CASE:18: 'tag' holds a control character"},
      {"a NUL in a CSV cell", {"[[pv]]", "[[pv]]\n"}, {}, {}, {"check", "DIR/nul-table.toml"},
       "nul-pv.csv:2: TAG holds a control character"},
      {"a control character in the database", {}, {"N,LT1,AI", "N,L<NUL>T1,AI"}, {}, run,
       "db.csv:1: NODE and TAG must not hold a control character"},
      {"a step so long time becomes infinite", {"steps = 5", "steps = 5\nstep_seconds = 1e300"}, {}, {}, run,
       "CASE:3: step_seconds must be above 0 and at most 86400"},
      {"a start level above the tank", {"type = \"tank\"", "type = \"tank\"\nheight = 5.0\nlevel = 6.0"}, {}, {}, run,
       "CASE:8: tank parameter 'level' (6 m) must lie within the tank"},
      {"a stuck valve on an input no controller drives",
       {"[[pv]]", "[[malfunction]]\nkind = \"stuck\"\nstep = 1\ninput = \"inflow\"\n\n[[pv]]"}, {}, {}, run,
       "no controller row drives the model input 'inflow'"},
      {"a node down that no row is on",
       {"[[pv]]", "[[pv]]\nnode = \"N\"\ntag = \"LT1\"\nfield = \"F_CV\"\n\n[[malfunction]]\nkind = \"node_down\"\n"
                  "step = 1\nnode = \"M\"\n\n[[pv]]"}, {}, {}, run, "no row of the case is on node 'M'"},
      {"an expectation at a negative step", {"[[pv]]", "[[expect]]\nsignal = \"level\"\nstep = -1\nmin = 0\n\n[[pv]]"},
       {}, {}, run, "step and after are 0 or more"},
      {"a database value a float cannot hold", {}, {"F_CV=1\n", "F_CV=1e39\n"}, {}, run,
       "db.csv:1: value of F_CV is beyond what FIX can hold"},
      {"a field given twice in a block", {}, {"F_CV=50;", "F_CV=50;F_CV=60;"}, {}, run,
       "db.csv:2: F_CV is given twice in one block"},
      {"a negative integral time", {}, {"F_TI=90", "F_TI=-5"}, {}, run, "db.csv:2: F_TI is the integral time"},
      {"an infinite integral time", {}, {"F_TI=90", "F_TI=inf"}, {}, run,
       "db.csv:2: value of F_TI is beyond what FIX can hold"},
      {"a PID that is its own input", {}, {"INPUT=LT1", "INPUT=LIC1"}, {}, run,
       "db.csv:2: INPUT names the PID LIC1 itself"},
      {"a field a block type lacks, the type's fields listed", {}, {"F_CV=1\n", "F_CV=1;F_DESC=x\n"}, {}, run,
       "db.csv:1: 'F_DESC' is not a field of an AI block (its fields: F_CV, F_ELO, F_EHI, A_DESC, A_EGUDESC, F_HIHI, "
       "F_HI, F_LO, F_LOLO, F_ALMDB, F_ALMDLY, A_ALMST, F_ALMST, A_ALMACK)"},
      {"alarm limits out of order", {}, {"F_CV=1\n", "F_CV=1;F_HI=5;F_LO=6\n"}, {}, run,
       "db.csv:1: F_HI (5) is below F_LO (6): the alarm limits rise F_LOLO <= F_LO <= F_HI <= F_HIHI"},
      {"a key [report] does not have", {"[[pv]]", "[report]\nprojekt = \"x\"\n\n[[pv]]"}, {}, {}, run,
       "unknown key 'projekt' in [report]"},
      {"a saved state with other rows", {}, {}, {"controller_tv1 = [1.0]", "controller_tv1 = [1.0, 2.0]"},
       {"run", "CASE", "--from-state", "STATE"}, "a state goes on only with the case that saved it"},
      {"a saved state freezing a row no malfunction freezes", {}, {}, {"frozen = []", "frozen = [[0, 1.5]]"},
       {"run", "CASE", "--from-state", "STATE"}, "which no malfunction of the case freezes"},
      {"a saved state with a value that is not finite", {}, {}, {"controller_tv1 = [1.0]", "controller_tv1 = [nan]"},
       {"run", "CASE", "--from-state", "STATE"}, "controller_tv1 must hold finite numbers only"},
      {"a bad block in a saved state, at its own line", {}, {}, {"N,LT1,AI", "N,LT1,XX"},
       {"run", "CASE", "--from-state", "STATE"}, "state.toml:28: unknown block type 'XX'"},
      {"a folder named as a table", {"[[pv]]", "[[pv]]"}, {}, {}, {"check", "DIR/folder-table.toml"},
       "folder.csv: is a folder, not a CSV table"},
      {"steps that are not a number", {}, {}, {}, {"run", "CASE", "--steps", "abc"},
       "--steps: takes a whole number of steps from 0 to 100000000, not 'abc'"},
      {"a saved state given to test as a case", {}, {}, {}, {"test", "STATE"}, "a saved state, not a case"},
      {"tolerance without equals", {"[[pv]]", "[[expect]]\nsignal = \"level\"\nmin = 0\ntolerance = 1\n\n[[pv]]"},
       {}, {}, run, "tolerance goes with equals = a number"},
      {"a state saved over the case", {}, {}, {}, {"run", "CASE", "--save-state", "CASE"},
       "--save-state CASE names the case (CASE)"},
      {"a trace over the database, however spelled", {}, {}, {}, {"run", "CASE", "--trace", "DIR/./db.csv"},
       "names the case's database"},
      {"a plot and a trace in one file", {}, {}, {}, {"run", "CASE", "--plot", "DIR/x", "--trace", "DIR/x"},
       "--trace and --plot name the same file"},
      {"a PV-import row named as a controller's output",
       {"[[pv]]", "[[pv_import]]\nnode = \"N\"\ntag = \"LIC1\"\nfield = \"output\"\n\n[[pv]]"}, {}, {}, run,
       "is named 'LIC1.output', as controller row 1's output (CASE:8) is: a block could not tell which it reads"},
      {"a tieback link that cannot name its block", {"from = \"level\"", "from = \"LT1.x\""}, {}, {},
       {"run", "DIR/tieback.toml"}, "tieback.toml:16: 'from' = \"LT1.x\" links loop LIC1 to its tieback"},
      {"a tieback span beyond what a number holds", {"type = \"tank\"", "type = \"tank\"\n[tieback.loop.LIC1]\n"
       "low = -1e308\nhigh = 1e308"}, {}, {}, {"tieback", "DIR/tieback.toml"},
       "tieback.toml:9: the loop's tieback would hold inf from 'high', 'low'"},
      {"a tieback dead time at its setting's line", {"type = \"tank\"", "type = \"tank\"\n[tieback.loop.LIC1]\n"
       "dead_time = 1e9"}, {}, {}, {"tieback", "DIR/tieback.toml"},
       "tieback.toml:8: block 'level' (deadtime): 'delay' of 1e+09 s spans more than a million steps"},
      {"a saved state beyond a run's most steps", {}, {}, {"step = 5", "step = 99999999999"},
       {"run", "CASE", "--from-state", "STATE"}, "[state] step 99999999999 is beyond the most steps a run takes"},
      {"a loop check time shorter than a step",
       {"[[pv]]", "[[loop_check]]\nloops = \"LIC1\"\nrise_time = 1e-300\n\n[[pv]]"}, {}, {}, run,
       "'rise_time' must be one step (step_seconds = 1 s) or more, not 1e-300"},
      {"a loop check that matches no loop", {"[[pv]]", "[[loop_check]]\nloops = \"FIC*\"\n\n[[pv]]"}, {}, {}, run,
       "loops = \"FIC*\" matches none of the "},
      {"a report folder that holds other files", {}, {}, {}, {"run", "CASE", "--report", "DIR/notes"},
       "--report DIR/notes holds files that are not a dcshost report (it has no written-by-dcshost.txt)"},
      {"a report folder that holds the case", {}, {}, {}, {"run", "CASE", "--report", "DIR"},
       "--report DIR holds the case (CASE)"},
      {"an output inside the report folder", {}, {}, {}, {"run", "CASE", "--report", "DIR/r", "--trace", "DIR/r/t.csv"},
       "--trace DIR/r/t.csv lies inside the report folder DIR/r"},
      {"a JUnit report over the case's database", {}, {}, {},
       {"test", "CASE", "--junit", "DIR/db.csv", "--plots", "DIR/plots"}, "--junit DIR/db.csv names the case's database"},
#if defined(_WIN32)
      {"two outputs that differ in case only", {}, {}, {}, {"run", "CASE", "--plot", "DIR/X.svg", "--trace", "DIR/x.svg"},
       "--trace and --plot name the same file"},
#else
      {"an output that is a symbolic link", {}, {}, {}, {"run", "CASE", "--trace", "DIR/link.csv"},
       "--trace DIR/link.csv is a symbolic link: dcshost never writes through a link or replaces one"},
      {"a report folder that cannot be written, before any case runs", {}, {}, {},
       {"test", "CASE", "--report", "/proc/dcshost-report"}, "--report /proc/dcshost-report: cannot write into /proc"},
      {"a trace to a full disk", {}, {}, {}, {"run", "CASE", "--trace", "/dev/full"},
       "/dev/full: cannot write the trace: No space left on device"},
      {"a JUnit report to a full disk", {}, {}, {}, {"test", "CASE", "--junit", "/dev/full", "--plots", "DIR/plots"},
       "/dev/full: cannot write the JUnit report: No space left on device"},
#endif
      {"a trace into a folder that does not exist", {}, {}, {}, {"run", "CASE", "--trace", "DIR/no/such/trace.csv"},
       "--trace DIR/no/such/trace.csv: cannot write into "},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    const Garbage& row = rows[i];
    SCOPED_TRACE(row.what);
    const std::string dir = Temp("garbage-" + std::to_string(i));
    std::filesystem::create_directories(dir + "/folder.csv");
    std::ofstream(dir + "/case.toml", std::ios::binary) << Edited(BaseCase, row.caseEdit);
    std::ofstream(dir + "/db.csv", std::ios::binary) << Edited(BaseDb, row.dbEdit);
    std::ofstream(dir + "/nul-pv.csv", std::ios::binary)
        << Edited("NODE,TAG,FIELD,Active,Value\nN,L<NUL>T1,F_CV,1,0\n", {});
    std::ofstream(dir + "/nul-table.toml") << "[case]\ndatabase = \"db.csv\"\npv = \"nul-pv.csv\"\n";
    std::ofstream(dir + "/folder-table.toml") << "[case]\ndatabase = \"db.csv\"\npv = \"folder.csv\"\n";
    std::string tieback = Edited(BaseCase, row.caseEdit);
    if (const size_t type = tieback.find("type = \"tank\""); type != std::string::npos) {
      tieback.replace(type, 13, "type = \"tieback\"");
    }
    std::ofstream(dir + "/tieback.toml", std::ios::binary) << tieback;
    std::filesystem::create_directories(dir + "/notes");
    std::ofstream(dir + "/notes/mine.txt") << "mine";
#if !defined(_WIN32)
    std::filesystem::remove(dir + "/link.csv");
    std::filesystem::create_symlink(dir + "/elsewhere.csv", dir + "/link.csv");
#endif
    const std::string state = dir + "/state.toml";
    if (std::find(row.args.begin(), row.args.end(), "STATE") != row.args.end()) {
      ASSERT_EQ(Dcshost({"run", dir + "/case.toml", "--save-state", state}).status, 0);
    }
    if (!row.stateEdit.first.empty()) {
      std::ifstream saved(state);
      const std::string text((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
      saved.close();
      std::ofstream(state) << Edited(text, row.stateEdit);
    }
    std::vector<std::string> args;
    const auto expand = [&](std::string text) {
      for (const auto& [token, path] : {std::pair<std::string, std::string>{"CASE", dir + "/case.toml"},
                                        {"STATE", state}, {"DIR", dir}}) {
        for (size_t at = text.find(token); at != std::string::npos; at = text.find(token, at + path.size())) {
          text.replace(at, token.size(), path);
        }
      }
      return text;
    };
    for (const std::string& arg : row.args) {
      args.push_back(expand(arg));
    }
    const Outcome outcome = Dcshost(args);
    EXPECT_EQ(outcome.status, 2) << outcome.output;
    EXPECT_NE(outcome.output.find(expand(row.message)), std::string::npos) << expand(row.message) << "\n"
                                                                            << outcome.output;
  }
}

}  // namespace host_tests

namespace host_tests {
namespace {

// Every block of the README and of docs/*.md fenced as ```KIND, with where it is.
std::vector<std::pair<std::string, std::string>> DocBlocks(const std::string& kind) {
  std::vector<std::pair<std::string, std::string>> blocks;
  std::vector<std::string> files = {Source + "/README.md"};
  for (const auto& entry : std::filesystem::directory_iterator(Source + "/docs")) {
    if (entry.path().extension() == ".md") {
      files.push_back(entry.path().string());
    }
  }
  const std::string fence = "```" + kind + "\n";
  for (const std::string& file : files) {
    std::ifstream in(file);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (size_t at = text.find(fence); at != std::string::npos; at = text.find(fence, at + 1)) {
      const size_t end = text.find("```\n", at + fence.size());
      const size_t line = static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<long>(at), '\n')) + 1;
      blocks.emplace_back(file + ":" + std::to_string(line), text.substr(at + fence.size(), end - at - fence.size()));
    }
  }
  return blocks;
}

std::vector<std::pair<std::string, std::string>> TomlExamples() { return DocBlocks("toml"); }

// A command line as the documentation shows it: its words (double quotes
// group), and the exit status its comment gives ("# exit 1"; none: 0).
struct ShownCommand {
  std::vector<std::string> words;
  int status = 0;
};

ShownCommand ReadShownCommand(const std::string& line) {
  ShownCommand shown;
  const size_t comment = line.find(" #");
  if (comment != std::string::npos && line.compare(comment, 8, " # exit ") == 0) {
    shown.status = std::atoi(line.c_str() + comment + 8);
  }
  std::string word;
  bool quoted = false;
  bool any = false;
  for (const char c : line.substr(0, comment)) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if (c == ' ' && !quoted) {
      if (any) {
        shown.words.push_back(word);
      }
      word.clear();
      any = false;
    } else {
      word += c;
      any = true;
    }
  }
  if (any) {
    shown.words.push_back(word);
  }
  return shown;
}

}  // namespace

// Every TOML example the documentation shows is what dcshost reads: a case
// binds; a part of a case, added to the tank example, binds with it; a plant's
// blocks run in the test beside it; and a tieback file's loop is what
// `dcshost tieback` writes for the example it names.
TEST_F(DcshostTest, EveryTomlExampleInTheDocumentationIsRead) {
  std::ifstream tankCase(Source + "/examples/tank/tank.toml");
  const std::string tank((std::istreambuf_iterator<char>(tankCase)), std::istreambuf_iterator<char>());
  const std::string folder = Temp("doc-examples");
  std::filesystem::create_directories(folder);
  std::ifstream database(Source + "/examples/tank/tank-db.csv");
  std::ofstream(folder + "/tank-db.csv") << database.rdbuf();
  std::string written = Dcshost({"tieback", Source + "/examples/tieback/tieback.toml"}).output;
  written.erase(std::remove(written.begin(), written.end(), '\r'), written.end());
  const std::vector<std::pair<std::string, std::string>> examples = TomlExamples();
  ASSERT_GE(examples.size(), 9U);
  for (const auto& [where, block] : examples) {
    SCOPED_TRACE(where);
    if (block.find("[[block]]") != std::string::npos) {
      // A plant (run by TheDocumentedPlantExampleRunsTheLoop) or a tieback file's loop, written as shown.
      if (block.rfind("# ", 0) == 0) {
        const std::string loop = block.substr(block.find("[[block]]"));
        EXPECT_NE(written.find(loop.substr(0, loop.find("  #"))), std::string::npos) << written;
      }
      continue;
    }
    const bool whole = block.find("[case]") != std::string::npos;
    std::ofstream(folder + "/case.toml") << (whole ? block : tank + "\n" + block);
    const Outcome check = Dcshost({"check", folder + "/case.toml"});
    EXPECT_EQ(check.status, 0) << block << "\n" << check.output;
  }
}

// Every `dcshost` command line the documentation shows in a ```sh block runs
// as shown, from a copy of the repository's examples, with the exit status
// its comment gives; the README's picture is the plot its tour draws.
TEST_F(DcshostTest, EveryCommandLineInTheDocumentationRunsAsShown) {
  const std::string folder = Temp("doc-commands");
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::filesystem::copy(Source + "/examples", folder + "/examples", std::filesystem::copy_options::recursive);
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  int commands = 0;
  for (const auto& [where, block] : DocBlocks("sh")) {
    std::istringstream lines(block);
    for (std::string line; std::getline(lines, line);) {
      ShownCommand shown = ReadShownCommand(line);
      if (shown.words.empty() || shown.words.front() != "dcshost") {
        continue;
      }
      SCOPED_TRACE(where + ": " + line);
      shown.words.erase(shown.words.begin());
      const Outcome run = Dcshost(shown.words);
      EXPECT_EQ(run.status, shown.status) << run.output;
      ++commands;
    }
  }
  std::ifstream drawn(folder + "/tank-plot.svg");
  std::ifstream shownPlot(Source + "/docs/images/tank-plot.svg");
  std::string a((std::istreambuf_iterator<char>(drawn)), std::istreambuf_iterator<char>());
  std::string b((std::istreambuf_iterator<char>(shownPlot)), std::istreambuf_iterator<char>());
  a.erase(std::remove(a.begin(), a.end(), '\r'), a.end());
  b.erase(std::remove(b.begin(), b.end(), '\r'), b.end());
  EXPECT_TRUE(!a.empty() && a == b) << "docs/images/tank-plot.svg is not the plot the README's tour draws";
  std::filesystem::current_path(before);
  EXPECT_GE(commands, 12);
}

}  // namespace host_tests
