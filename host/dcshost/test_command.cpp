// The test runner: cases found, run as child processes of this program, their
// expectation lines read back, and the results as a table and JUnit XML.
#include "dcshost/test_command.h"

#include "dcshost/commands.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "case/case.h"
#include "dcshost/test_selection.h"
#include "report/html_report.h"
#include "report/junit.h"
#include "run/outputs.h"
#include "run/verdict_file.h"
#include "system/child_process.h"
#include "system/exit_status.h"
#include "system/output_plan.h"
#include "system/paths.h"
#include "system/report_folder.h"
#include "system/shared_library.h"
#include "system/stop_signal.h"
#include "system/temp_folder.h"

namespace host {
namespace {

namespace fs = std::filesystem;

struct Expectation {
  enum class Verdict { Passed, Failed, Waived };
  Verdict verdict;
  std::string text;
  bool passed() const { return verdict != Verdict::Failed; }
};

struct CaseOutcome {
  std::string path;
  int status = -1;
  double seconds = 0.0;
  std::string output;  // the last OutputTail bytes of what it printed
  std::vector<Expectation> expectations;
  std::string plot;    // kept for a failing case
  std::string report;  // its report's folder, relative to the suite's, when one is written
  bool ran = false;    // false for a case a stop kept from starting
  bool ended = false;  // its run handed over its verdicts and its end (run/verdict_file.h)
  int endedWith = -1;  // the exit status its run recorded
  bool timedOut = false;
  bool passed() const {
    return ended && status == 0 && endedWith == 0 &&
           std::none_of(expectations.begin(), expectations.end(), [](const Expectation& e) { return !e.passed(); });
  }
  // Why a case that did not end as dcshost ends a run failed: the exit status, and the time limit.
  std::string NoVerdict() const {
    return "ended without a verdict (exit " + std::to_string(status) + (timedOut ? ", ended at its time limit" : "") +
           ")";
  }
};

// How much of each case's output is kept: its last 64 KiB.
constexpr size_t OutputTail = size_t{64} * 1024;

// The verdicts a case's run handed over through its verdict file, never read
// from what it printed.
void ReadVerdicts(const std::string& file, CaseOutcome& outcome) {
  VerdictFile verdicts;
  std::string error;
  outcome.ended = ReadVerdictFile(file, verdicts, error);
  outcome.endedWith = verdicts.status;
  for (const RecordedVerdict& v : verdicts.verdicts) {
    const Expectation::Verdict kinds[] = {Expectation::Verdict::Passed, Expectation::Verdict::Failed,
                                          Expectation::Verdict::Waived};
    outcome.expectations.push_back(Expectation{kinds[static_cast<int>(v.kind)], v.text});
  }
}

size_t CountOf(const CaseOutcome& o, Expectation::Verdict verdict) {
  return static_cast<size_t>(std::count_if(o.expectations.begin(), o.expectations.end(),
                                           [verdict](const Expectation& e) { return e.verdict == verdict; }));
}

// "N-STEM" of the Nth case: its file's stem with control characters, ':' and
// '\\' as '_', so that a file of any name gives a name a report can list.
std::string NumberedStem(size_t index, const std::string& path) {
  std::string stem = GenericName(PathOf(path).stem());
  for (char& ch : stem) {
    const auto byte = static_cast<unsigned char>(ch);
    ch = byte < 0x20 || byte == 0x7F || ch == ':' || ch == '\\' ? '_' : ch;
  }
  return std::to_string(index + 1) + "-" + stem;
}

std::string PlotName(const std::string& folder, size_t index, const std::string& path) {
  return GenericName(PathOf(folder) / PathOf(NumberedStem(index, path) + ".svg"));
}

// The folder of each case's report, relative to the suite's.
std::string CaseReportFolder(size_t index, const std::string& path) { return "cases/" + NumberedStem(index, path); }

// The outcomes as JUnit suites, one per case file: a test for each
// expectation, named by the text before its ": ", or when the case has none
// (or failed without a failing expectation), the run itself, with its output.
std::vector<JunitSuite> JunitSuites(const std::vector<CaseOutcome>& outcomes) {
  std::vector<JunitSuite> suites;
  for (const CaseOutcome& o : outcomes) {
    const size_t failed = CountOf(o, Expectation::Verdict::Failed);
    JunitSuite suite{o.path,
                     o.seconds,
                     std::max<size_t>(1, o.expectations.size()),
                     o.passed() ? 0 : std::max<size_t>(1, failed),
                     {},
                     CountOf(o, Expectation::Verdict::Waived)};
    if (!o.ended) {
      suite.cases.push_back(JunitCase{"runs", o.seconds, false, o.NoVerdict(), o.output});
    } else if (o.expectations.empty() || (o.status != 0 && failed == 0)) {
      suite.cases.push_back(
          JunitCase{"runs", o.seconds, o.status == 0, "dcshost run exited with " + std::to_string(o.status), o.output});
    }
    for (const Expectation& e : o.expectations) {
      const size_t colon = e.text.find(": ");
      JunitCase c{e.text.substr(0, colon), std::nullopt, e.passed(),
                  colon == std::string::npos ? e.text : e.text.substr(colon + 2), std::nullopt};
      const size_t waiver = e.text.rfind(" [waived: ");
      c.skipped = e.verdict == Expectation::Verdict::Waived;
      if (c.skipped && waiver != std::string::npos) {  // the message is the waiver's reference and reason
        c.message = e.text.substr(waiver + 10, e.text.size() - waiver - 11);
      }
      suite.cases.push_back(c);
    }
    suites.push_back(suite);
  }
  return suites;
}

}  // namespace

namespace {

// The arguments of each case's `dcshost run`: this program (under the
// emulator this one runs under), then "run --plot PLOT", these, and the case last.
std::vector<std::string> SharedArguments(const TestOptions& options) {
  std::vector<std::string> extra = {"--no-progress"};
  if (!options.fixFolder.empty()) {
    extra.insert(extra.end(), {"--fix", options.fixFolder});
  }
  if (!options.driverPath.empty()) {
    extra.insert(extra.end(), {"--driver", options.driverPath});
  }
  return extra;
}

// Runs the cases, `jobs` at a time, each as a child process; a stop keeps the
// cases not yet started from starting and stops those running. The outcomes
// of the cases that ran, in the cases' order.
std::vector<CaseOutcome> RunCases(const std::vector<std::string>& cases, const TestOptions& options,
                                  const StopOnSignal& stop, const TempFolder& private_, std::ostream& out) {
#if defined(_WIN32)
  const std::string self = ProgramFolder() + "dcshost.exe";
#else
  const std::string self = ProgramFolder() + "dcshost";
#endif
  const std::vector<std::string> extra = SharedArguments(options);
  std::vector<CaseOutcome> outcomes(cases.size());
  std::atomic<size_t> next{0};
  std::mutex progress;  // one line per case as it ends, whole
  size_t ended = 0;
  const auto worker = [&]() {
    for (size_t i = next++; i < cases.size() && stop.signal() == 0; i = next++) {
      CaseOutcome& o = outcomes[i];
      o.path = cases[i];
      o.plot = PlotName(options.plotFolder, i, cases[i]);
      std::vector<std::string> args = ProgramArgs(self);
      if (!options.reportFolder.empty()) {  // the plot goes into the case's report, and stays there
        o.report = CaseReportFolder(i, cases[i]);
        o.plot = options.reportFolder + "/" + o.report + "/plot.svg";
      }
      args.insert(args.end(), {"run", "--plot", o.plot});
      if (!o.report.empty()) {
        args.insert(args.end(), {"--report", options.reportFolder + "/" + o.report});
      }
      args.insert(args.end(), extra.begin(), extra.end());
      const std::string verdicts = private_.path() + "/" + std::to_string(i + 1) + ".verdicts";
      // "--" ends the options: a case named "-x.toml" is a case, not an option.
      args.insert(args.end(), {"--verdicts", verdicts, "--", cases[i]});
      const auto begin = std::chrono::steady_clock::now();
      o.ran = true;
      ChildProcess child;
      child.KeepTail(OutputTail);
      child.TimeLimit(options.timeoutSeconds);
      std::string error;
      o.status = child.Start(args, error) ? child.Wait(&StopOnSignal::flag()) : -1;
      o.output = error.empty() ? child.output() : error;
      o.timedOut = child.timedOut();
      o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
      ReadVerdicts(verdicts, o);
      const std::lock_guard<std::mutex> lock(progress);
      char line[64];
      (void)std::snprintf(line, sizeof line, "  [%lu/%lu] ", static_cast<unsigned long>(++ended),
                          static_cast<unsigned long>(cases.size()));
      out << line << o.path << ": " << (o.passed() ? "ok" : "FAILED") << '\n' << std::flush;
    }
  };
  // This thread takes the stop signals (the workers inherit them blocked)
  // while the workers run, and joins them once each has ended.
  const int jobs = std::max(1, options.jobs);
  std::atomic<int> workersEnded{0};
  std::vector<std::thread> workers;
  workers.reserve(static_cast<size_t>(jobs));
  for (int j = 0; j < jobs; ++j) {
    workers.emplace_back([&]() {
      worker();
      ++workersEnded;
    });
  }
  while (workersEnded.load() < jobs) {
    stop.Poll(50);
  }
  for (std::thread& t : workers) {
    t.join();
  }
  outcomes.erase(std::remove_if(outcomes.begin(), outcomes.end(), [](const CaseOutcome& o) { return !o.ran; }),
                 outcomes.end());
  return outcomes;
}

// The table of cases, with each failure's expectations, the end of its output
// where no expectation says why, and its plot; the plots of passing cases are
// removed. The number of cases that failed.
size_t PrintTable(const std::vector<CaseOutcome>& outcomes, std::ostream& out) {
  size_t failedCases = 0;
  char line[512];
  (void)std::snprintf(line, sizeof line, "%-52s %7s %7s %7s %8s  %s\n", "case", "passed", "failed", "waived", "time",
                      "result");
  out << line;
  for (const CaseOutcome& o : outcomes) {
    const size_t passed = CountOf(o, Expectation::Verdict::Passed);
    const size_t failed = CountOf(o, Expectation::Verdict::Failed);
    const size_t waived = CountOf(o, Expectation::Verdict::Waived);
    const bool ok = o.passed();
    (void)std::snprintf(line, sizeof line, "%-52s %7lu %7lu %7lu %7.2fs  %s\n", o.path.c_str(),
                        static_cast<unsigned long>(passed), static_cast<unsigned long>(failed),
                        static_cast<unsigned long>(waived), o.seconds,
                        ok        ? "ok"
                        : o.ended ? ("FAILED (exit " + std::to_string(o.status) + ")").c_str()
                                  : ("FAILED: " + o.NoVerdict()).c_str());
    out << line;
    std::error_code ec;
    if (ok) {
      if (o.report.empty()) {
        fs::remove(PathOf(o.plot), ec);
      }
      continue;
    }
    ++failedCases;
    for (const Expectation& e : o.expectations) {
      if (!e.passed()) {
        out << "    FAIL " << e.text << '\n';
      }
    }
    if (!o.ended || o.expectations.empty() || failed == 0) {
      out << "    " << o.output.substr(o.output.size() > 600 ? o.output.size() - 600 : 0);
    }
    if (fs::exists(PathOf(o.plot), ec)) {
      out << "    plot: " << o.plot << '\n';
    }
  }
  return failedCases;
}

// The cases as the suite's report lists them, each linked to its own report.
std::vector<SuiteCase> SuiteCases(const std::vector<CaseOutcome>& outcomes) {
  std::vector<SuiteCase> cases;
  for (const CaseOutcome& o : outcomes) {
    SuiteCase c;
    c.path = o.path;
    c.page = o.report.empty() ? std::string() : o.report + "/index.html";
    c.passed = CountOf(o, Expectation::Verdict::Passed);
    c.failed = CountOf(o, Expectation::Verdict::Failed);
    c.waived = CountOf(o, Expectation::Verdict::Waived);
    c.ok = o.passed();
    for (const Expectation& e : o.expectations) {
      if (e.verdict == Expectation::Verdict::Waived) {
        c.deficiencies.push_back(e.text);
      }
    }
    cases.push_back(c);
  }
  return cases;
}

// The waived failures of every case: known deficiencies, which fail no case.
void PrintKnownDeficiencies(const std::vector<CaseOutcome>& outcomes, std::ostream& out) {
  size_t count = 0;
  for (const CaseOutcome& o : outcomes) {
    count += CountOf(o, Expectation::Verdict::Waived);
  }
  if (count == 0) {
    return;
  }
  out << "known deficiencies (waived failures): " << count << '\n';
  for (const CaseOutcome& o : outcomes) {
    for (const Expectation& e : o.expectations) {
      if (e.verdict == Expectation::Verdict::Waived) {
        out << "    " << o.path << ": " << e.text << '\n';
      }
    }
  }
}

}  // namespace

namespace {

// What the suite writes, checked against every case and every file a case
// reads: the JUnit file, the plots of the cases (or their reports) and the
// suite's report folder. A case that does not load is left to its own run,
// which refuses it.
bool CheckOutputs(const TestOptions& options, const std::vector<std::string>& cases, std::string& error) {
  OutputPlan plan;
  for (const std::string& path : cases) {
    plan.Read(path, "a case of the suite");
    Case c;
    std::string ignored;
    if (LoadCase(path, c, ignored)) {
      ReadCase(c, plan);
    }
  }
  plan.Write(options.junitPath, "--junit");
  plan.WriteReport(options.reportFolder, "--report");
  if (options.reportFolder.empty()) {
    for (size_t i = 0; i < cases.size(); ++i) {
      plan.WriteInNewFolder(PlotName(options.plotFolder, i, cases[i]), "--plots");
    }
  }
  return plan.Check(error);
}

}  // namespace

int RunTests(const TestOptions& options, std::ostream& out) {
  std::vector<std::string> cases;
  if (const std::optional<int> ended = ChooseCases(options, cases, out)) {
    return *ended;
  }
  std::string error;
  if (!CheckOutputs(options, cases, error)) {
    return Refuse(out, error);
  }
  // The plots of failing cases go into --plots unless each case's report holds its plot; a
  // folder made for them and left empty (nothing failed) is removed again.
  std::error_code ec;
  const bool makesPlots = options.reportFolder.empty() && !fs::exists(PathOf(options.plotFolder), ec);
  if (options.reportFolder.empty()) {
    fs::create_directories(PathOf(options.plotFolder), ec);
    if (ec) {
      return Refuse(out, "cannot make the plot folder " + options.plotFolder + ": " + ec.message());
    }
  }
  ReportFolder report;
  if (!options.reportFolder.empty()) {
    std::vector<std::string> caseFolders;
    for (size_t i = 0; i < cases.size(); ++i) {
      caseFolders.push_back(CaseReportFolder(i, cases[i]));
    }
    if (!report.Begin(options.reportFolder, SuiteReportEntries(caseFolders), error)) {
      return Refuse(out, error);
    }
  }
  // The cases' verdict files, in a folder of this run's own, removed with it.
  const std::unique_ptr<TempFolder> verdicts = TempFolder::Make("dcshost-test-", error);
  if (!verdicts) {
    return Refuse(out, "cannot make a folder for the cases' verdicts: " + error);
  }
  // The cases' own temporary folders (an FMU unpacked) go into this one too,
  // so that what a case that crashed leaves there is removed with it.
  std::error_code made;
  fs::create_directory(PathOf(verdicts->path() + "/tmp"), made);
  const TempFolderForChildren children(verdicts->path() + "/tmp");
  const StopOnSignal stop(StopOnSignal::Mode::Taken);
  const std::vector<CaseOutcome> outcomes = RunCases(cases, options, stop, *verdicts, out);
  const size_t failedCases = PrintTable(outcomes, out);
  if (makesPlots && failedCases == 0) {
    fs::remove(PathOf(options.plotFolder), ec);  // only an empty folder is removed
  }
  PrintKnownDeficiencies(outcomes, out);
  const size_t ran = outcomes.size();
  out << ran - failedCases << " passed, " << failedCases << " failed\n";
  if (stop.signal() != 0) {
    out << "stopped by signal " << stop.signal() << ": " << ran << " of " << cases.size()
        << " cases started, each stopped and waited for; " << cases.size() - ran << " not run\n";
  }
  if (!options.reportFolder.empty()) {
    if (!WriteSuiteReport(report, std::string("dcshost ") + FIXDCS_VERSION, options.commandLine, SuiteCases(outcomes),
                          error)) {
      return Refuse(out, error);
    }
    if (!WriteJunit(report.File("junit.xml"), "dcshost test", JunitSuites(outcomes), error)) {
      return Refuse(out, error);
    }
    out << "report written to " << options.reportFolder << "/index.html\n";
  }
  if (!options.junitPath.empty() && !WriteJunit(options.junitPath, "dcshost test", JunitSuites(outcomes), error)) {
    return Refuse(out, error);
  }
  if (stop.Poll(0) != 0) {
    return StoppedBySignal(stop.signal());
  }
  return StatusOf(failedCases == 0 ? ExitStatus::Ok : ExitStatus::Failed);
}

}  // namespace host
