// `dcshost test`: every case in a process of its own, a table, JUnit XML and the plots of failing
// cases.
#include "dcshost_fixture.h"

namespace host_tests {

// dcshost test: every case in a process of its own, a table, JUnit XML, and a
// plot kept for the failing case only.
TEST_F(OtherFixTest, TestCommandRunsEveryCaseAndReportsAsJunit) {
  const std::string junit = Temp("checkout-junit.xml");
  const std::string plots = Temp("checkout-plots");
  const Outcome test = Program({"test", Source + "/tests/host/checkout", "--jobs", "2", "--junit", junit, "--plots", plots});
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

// The shards of a suite, run apart, hold the JUnit test cases of one unsharded
// run, each once.
TEST_F(OtherFixTest, ShardsTogetherGiveTheTestCasesOfOneRun) {
  const auto testCases = [](const std::string& junit) {
    std::ifstream file(junit);
    std::vector<std::string> cases;
    for (std::string line; std::getline(file, line);) {
      if (line.find("<testcase ") != std::string::npos) {
        cases.push_back(line.substr(0, line.find(" time=")).substr(0, line.find('>')));  // times differ
      }
    }
    return cases;
  };
  const std::string suite = Source + "/tests/host/checkout";
  const Outcome whole = Program({"test", suite, "--junit", Temp("whole.xml"), "--plots", Temp("shard-plots")});
  ASSERT_EQ(whole.status, 1) << whole.output;  // the suite holds a failing case
  // Each shard writes its report; `report merge` joins them.
  std::vector<std::string> merge = {"report", "merge"};
  for (const char* shard : {"1/2", "2/2"}) {
    const std::string report = Temp(std::string("shard-report-") + shard[0]);
    std::filesystem::remove_all(report);
    Program({"test", suite, "--shard", shard, "--report", report});
    EXPECT_FALSE(testCases(report + "/junit.xml").empty()) << shard;
    merge.push_back(report);
  }
  const std::string merged = Temp("merged-report");
  std::filesystem::remove_all(merged);
  merge.insert(merge.end(), {"-o", merged});
  const Outcome joined = Program(merge);
  ASSERT_EQ(joined.status, 0) << joined.output;
  const std::vector<std::string> expected = testCases(Temp("whole.xml"));
  EXPECT_EQ(testCases(merged + "/junit.xml"), expected);  // in the unsharded run's order
  // The summary lists each failed check with its case; no empty heading of known deficiencies.
  const std::string summary = ReadFile(merged + "/index.html");
  EXPECT_NE(summary.find("<h2>Failed checks</h2><ul>\n<li class=\"failed\"><a href=\"cases/s"), std::string::npos);
  EXPECT_NE(summary.find("failing.toml</a>: level within [1.5, 2.5] after 10 s: first outside"), std::string::npos)
      << summary;
  EXPECT_EQ(summary.find("Known deficiencies"), std::string::npos);
  std::ifstream failed(merged + "/failed.txt");
  const std::string failedText((std::istreambuf_iterator<char>(failed)), std::istreambuf_iterator<char>());
  EXPECT_EQ(std::count(failedText.begin(), failedText.end(), '\n'), 1) << failedText;  // the one failing case
  EXPECT_NE(failedText.find("failing.toml\n"), std::string::npos);
  EXPECT_EQ(Program({"report", "merge", merged, "-o", merged}).status, 2);  // never onto a report it reads
  // report merge reads only what dcshost wrote, inside its shards, and writes
  // only into a new folder or an earlier report: each damage refused, file and line.
  struct Damage {
    std::string what, file, text, message;
  };
  const std::vector<Damage> damages = {
      {"a count below zero", "cases.tsv", "x.toml\tcases/1-failing/index.html\t-5\t0\t0\t1\n",
       "cases.tsv:1: '-5' is not a count of checks"},
      {"a page out of the shard", "cases.tsv", "x.toml\t../../etc/index.html\t1\t0\t0\t1\n",
       "is not a case folder of the report"},
      {"damaged results", "cases/1-failing/results.json", "[\n  {\"case\": 5}\n]\n",
       "cases/1-failing/results.json:2: not the results dcshost writes"},
      {"-o inside a shard", "", "", "-o SHARD/merged lies inside a report to merge (SHARD)"},
      {"-o holding other files", "", "", "-o NOTES holds files that are not a dcshost report"},
#if !defined(_WIN32)
      {"a link in a case folder", "cases/1-failing/passwd", "LINK", "passwd: a link or a special file in a report"},
#endif
  };
  const std::string notes = Temp("merge-notes");
  std::filesystem::create_directories(notes);
  std::ofstream(notes + "/mine.txt") << "mine";
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.what);
    const std::string shard = Temp("damaged-shard");
    std::filesystem::remove_all(shard);
    std::filesystem::copy(merge[2], shard, std::filesystem::copy_options::recursive);
    if (d.text == "LINK") {
      std::filesystem::create_symlink("/etc/passwd", shard + "/" + d.file);
    } else if (!d.file.empty()) {
      std::ofstream(shard + "/" + d.file, std::ios::binary) << d.text;
    }
    const std::string into = d.what == "-o inside a shard" ? shard + "/merged" : d.what == "-o holding other files"
                                                                                    ? notes : Temp("damaged-merge");
    std::filesystem::remove_all(Temp("damaged-merge"));
    const Outcome refused = Program({"report", "merge", shard, "-o", into});
    EXPECT_EQ(refused.status, 2) << refused.output;
    std::string message = d.message;
    for (const auto& [token, path] : {std::pair<std::string, std::string>{"SHARD", shard}, {"NOTES", notes}}) {
      for (size_t at = message.find(token); at != std::string::npos; at = message.find(token, at + path.size())) {
        message.replace(at, token.size(), path);
      }
    }
    EXPECT_NE(refused.output.find(message), std::string::npos) << message << "\n" << refused.output;
  }
  EXPECT_TRUE(std::filesystem::exists(notes + "/mine.txt"));
  // A case in two reports is refused, unless the second is a rerun's, whose results replace the first's.
  std::filesystem::remove_all(Temp("twice-merge"));
  const Outcome twice = Program({"report", "merge", merge[2], merge[3], merge[2], "-o", Temp("twice-merge")});
  EXPECT_EQ(twice.status, 2);
  EXPECT_NE(twice.output.find(" is in both " + merge[2] + " and " + merge[2]), std::string::npos) << twice.output;
  const Outcome rerunMerge =
      Program({"report", "merge", merge[2], merge[3], "--rerun", merge[2], "-o", Temp("twice-merge")});
  ASSERT_EQ(rerunMerge.status, 0) << rerunMerge.output;
  EXPECT_EQ(testCases(Temp("twice-merge") + "/junit.xml"), expected);
  EXPECT_NE(ReadFile(Temp("twice-merge") + "/index.html").find("cases/r-"), std::string::npos);
  // --rerun-failed runs again only what failed in a report.
  std::filesystem::remove_all(Temp("rerun-report"));
  Program({"test", suite, "--report", Temp("rerun-report"), "--plots", Temp("shard-plots")});
  const Outcome rerun = Program({"test", "--rerun-failed", Temp("rerun-report"), "--plots", Temp("shard-plots")});
  EXPECT_EQ(rerun.status, 1) << rerun.output;
  EXPECT_NE(rerun.output.find("[1/1] "), std::string::npos) << rerun.output;
  EXPECT_NE(rerun.output.find("failing.toml: FAILED"), std::string::npos);
  // A report folder holds one run's report: what its mark lists goes, a file
  // dcshost did not write stays; a folder of other files is refused and left as it is.
  ASSERT_TRUE(std::filesystem::exists(Temp("rerun-report") + "/cases/2-malfunctions/index.html"));
  std::ofstream(Temp("rerun-report") + "/notes.txt") << "mine";
  Program({"test", suite, "--filter", "*fail*", "--report", Temp("rerun-report"), "--plots", Temp("shard-plots")});
  EXPECT_FALSE(std::filesystem::exists(Temp("rerun-report") + "/cases/2-malfunctions"));
  EXPECT_TRUE(std::filesystem::exists(Temp("rerun-report") + "/notes.txt"));
  const std::string other = Temp("not-a-report");
  std::filesystem::create_directories(other);
  std::ofstream(other + "/notes.txt") << "mine";
  const Outcome refused = Program({"test", suite, "--report", other, "--plots", Temp("shard-plots")});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.output.find("holds files that are not a dcshost report"), std::string::npos) << refused.output;
  EXPECT_TRUE(std::filesystem::exists(other + "/notes.txt"));
  // An empty shard still writes its JUnit, replacing an older one.
  std::ofstream(Temp("empty-shard.xml")) << "an older file";
  const Outcome empty = Program({"test", suite, "--shard", "3/3", "--junit", Temp("empty-shard.xml")});
  EXPECT_EQ(empty.status, 0) << empty.output;
  std::ifstream emptyJunit(Temp("empty-shard.xml"));
  const std::string emptyXml((std::istreambuf_iterator<char>(emptyJunit)), std::istreambuf_iterator<char>());
  EXPECT_NE(emptyXml.find("<testsuites name=\"dcshost test\" tests=\"0\""), std::string::npos) << emptyXml;
  const Outcome listed = Program({"test", suite, "--list", "--filter", "*fail*"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_NE(listed.output.find("failing.toml"), std::string::npos) << listed.output;
  EXPECT_NE(listed.output.find("1 cases"), std::string::npos);
  EXPECT_EQ(listed.output.find("malfunctions.toml"), std::string::npos);
}

// Waived failures are known deficiencies: listed, skipped in JUnit with their
// reference, failing neither the run nor the suite; a waiver on a check that
// passes is reported so that it can be lifted.
TEST_F(OtherFixTest, WaivedFailuresAreKnownDeficienciesThatFailNothing) {
  std::ifstream failing(Source + "/tests/host/checkout/failing.toml");
  std::string text((std::istreambuf_iterator<char>(failing)), std::istreambuf_iterator<char>());
  text.replace(text.find("../../../examples"), 17, Source + "/examples");
  for (const std::string expectation : {"within = [1.5, 2.5]", "equals = 2.0", "mode = \"MANL\"",
                                         "messages = [\"DCSAppNotRunning\"]"}) {
    text.replace(text.find(expectation), expectation.size(),
                 expectation + "\nwaived = \"PL-00" + std::to_string(expectation.size()) + ": accepted\"");
  }
  const std::string folder = Temp("waived");
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "/waived.toml") << text;
  const Outcome run = Program({"run", folder + "/waived.toml", "--no-progress"});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("  expect WAIVED  LIC101 ends in MANL: LIC101 ended in AUTO (A_AUTO at the end) "
                            "[waived: PL-0013: accepted]"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("[waived as PL-0012: accepted, but it passes: the waiver can be lifted]"),
            std::string::npos);
  EXPECT_NE(run.output.find("expectations: 1 passed, 0 failed, 3 waived"), std::string::npos);
  const std::string junit = Temp("waived-junit.xml");
  std::filesystem::remove_all(Temp("waived-plots"));
  const Outcome test = Program({"test", folder, "--junit", junit, "--plots", Temp("waived-plots")});
  EXPECT_EQ(test.status, 0) << test.output;
  EXPECT_FALSE(std::filesystem::exists(Temp("waived-plots")));  // nothing failed: no plots folder is left
  EXPECT_NE(test.output.find("known deficiencies (waived failures): 3"), std::string::npos) << test.output;
  EXPECT_NE(test.output.find("1 passed, 0 failed"), std::string::npos);
  std::ifstream file(junit);
  const std::string xml((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_NE(xml.find("tests=\"4\" failures=\"0\" skipped=\"3\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("name=\"LIC101 ends in MANL\"><skipped message=\"PL-0013: accepted\"/>"), std::string::npos);
}

}  // namespace host_tests

namespace host_tests {
namespace {

// A folder holding the tank example's database and its case under each of
// the names, with its run's length set to `steps`.
std::string TankCases(const std::string& folder, const std::vector<std::string>& names, const std::string& steps) {
  std::ifstream caseFile(Source + "/examples/tank/tank.toml");
  std::string text((std::istreambuf_iterator<char>(caseFile)), std::istreambuf_iterator<char>());
  text.replace(text.find("steps = 1200"), 12, "steps = " + steps);
  std::ifstream database(Source + "/examples/tank/tank-db.csv");
  const std::string dir = Temp(folder);
  std::filesystem::create_directories(dir);
  std::ofstream(dir + "/tank-db.csv") << database.rdbuf();
  for (const std::string& name : names) {
    std::ofstream(dir + "/" + name) << text;
  }
  return dir;
}

// How many processes still run that were started for the folder: on Linux
// those whose command line names it; on Windows those whose parent is the
// process given.
size_t ProcessesLeft(const std::string& folder, long parent) {
  size_t left = 0;
#if defined(_WIN32)
  (void)folder;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    left += static_cast<long>(entry.th32ParentProcessID) == parent ? 1 : 0;
  }
  CloseHandle(snapshot);
#else
  (void)parent;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream cmdline(entry.path() / "cmdline");
    const std::string text((std::istreambuf_iterator<char>(cmdline)), std::istreambuf_iterator<char>());
    left += text.find(folder) != std::string::npos ? 1 : 0;
  }
#endif
  return left;
}

}  // namespace

// Case file names a shell would read as code, quotes or separators, an
// option or a link's fragment run as cases: each reaches its run as it is,
// nothing in a name is executed, and each survives the report's links and
// its list of failed cases to run again.
TEST_F(OtherFixTest, CaseFileNamesReachTheirRunAsTheyAre) {
  const std::vector<std::string> names = {
      "two words.toml", "a$(touch PWNED)b.toml", "semi;colon&amp.toml", "back`touch PWNED`tick.toml",
      "it's.toml", "caf\xc3\xa9 \xc3\xa0 la carte.toml", "-dash.toml", "a#b%41.toml",
#if !defined(_WIN32)
      "double\"quote\\.toml", "line\nbreak.toml",  // Windows allows none of these in a file name
#endif
  };
  const std::string folder = TankCases("odd names", names, "1200");
  const Outcome test = Program({"test", folder, "--jobs", "2", "--plots", Temp("odd-names-plots")});
  EXPECT_EQ(test.status, 0) << test.output;
  EXPECT_NE(test.output.find(std::to_string(names.size()) + " passed, 0 failed"), std::string::npos) << test.output;
  for (const std::string& name : names) {
    EXPECT_NE(test.output.find(name), std::string::npos) << name << "\n" << test.output;
  }
  EXPECT_FALSE(std::filesystem::exists(folder + "/PWNED"));
  EXPECT_FALSE(std::filesystem::exists("PWNED"));
  // Every case fails (its events lie beyond 5 steps): the rerun finds each again.
  const std::string failing = TankCases("odd names failing", names, "5");
  const std::string report = Temp("odd-names-report");
  EXPECT_EQ(Program({"test", failing, "--jobs", "2", "--report", report}).status, 1);
  const Outcome rerun = Program({"test", "--rerun-failed", report, "--plots", Temp("odd-names-rerun")});
  EXPECT_NE(rerun.output.find("0 passed, " + std::to_string(names.size()) + " failed"), std::string::npos)
      << rerun.output;
  std::ifstream index(report + "/index.html");
  const std::string page((std::istreambuf_iterator<char>(index)), std::istreambuf_iterator<char>());
  EXPECT_NE(page.find("-a%23b%2541/index.html\""), std::string::npos) << page;
}

// A signal to `dcshost test` stops every child it started, waits for them and
// says what ran; a parent killed outright takes its children with it.
TEST_F(OtherFixTest, TestCommandsChildrenEndWithIt) {
  struct Row {
    int signal;
    bool says;  // a signal it can catch: it reports and exits 128 + the signal
  };
  const std::vector<Row> rows = {
#if !defined(_WIN32)
      {SIGTERM, true},
      {SIGINT, true},
#endif
      {9, false},  // SIGKILL; on Windows the process is ended
  };
  for (const Row& row : rows) {
    const std::string folder = TankCases("long cases " + std::to_string(row.signal), {"a.toml", "b.toml"},
                                         "100000000");
    host::ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.Start(Command({"test", folder, "--jobs", "2", "--plots", folder + "/plots"}), error)) << error;
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    child.Signal(row.signal);
    const int status = child.Wait();
    EXPECT_EQ(status, 128 + row.signal) << child.output();
    if (row.says) {
      EXPECT_NE(child.output().find("stopped by signal " + std::to_string(row.signal) + ": 2 of 2 cases started"),
                std::string::npos)
          << child.output();
    }
    size_t left = ProcessesLeft(folder, child.id());
    for (int wait = 0; left > 0 && wait < 100; ++wait) {  // a child killed with its parent takes a moment
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      left = ProcessesLeft(folder, child.id());
    }
    EXPECT_EQ(left, 0U) << "signal " << row.signal;
  }
}

}  // namespace host_tests
