// The report an engineer signs: static HTML that works offline and needs no
// script. A case's page (verdicts, known deficiencies, provenance with the
// SHA-256 of every input, the run's plot), one loop sheet per checked loop
// (its facts, each check with what was measured and its verdict, the trend of
// target, PV and output, fields for the tester's signature), results.json for
// other tools, and a suite's summary page. It writes what it is handed.
#pragma once

#include <string>
#include <vector>

#include "checkout/expectations.h"
#include "report/plot.h"
#include "system/report_folder.h"

namespace host {

struct ReportInput {
  std::string what;  // "the case", "the driver", ...
  std::string path;
  std::string sha256;  // or what kept it from being read
};

struct LoopSheet {
  std::string tag, node, pvPoint, variable;
  bool discrete = false;  // a discrete loop: a command (its point) and its feedback (pvPoint), no tuning
  std::string command;
  std::string strategy;  // what the database says of the loop's strategy (a cascade, a ratio, a split range), or empty
  std::string file;      // its files' name in loops/, without extension (SheetFiles)
  size_t sheet = 0;      // its number among the case's sheets, from 1
  double low = 0.0, high = 100.0;
  std::string action;  // "REVERSE" or "DIRECT", as FIX held it
  // As FIX held them ("(not in FIX)" where it has no such field): the
  // controller's and the measured point's descriptions and units, and the
  // measured point's alarm limits.
  std::string description, units, pvDescription, pvUnits, alarms;
  std::string tuning, tuningLeft;  // the controller's tuning as found in FIX, and as left at the end
  std::string finalMode;
  std::vector<Verdict> checks;
  // The trend: target, PV and output (percent) at times, and when each check
  // began; a discrete loop's: its feedback running (1) or not, its command (100 % "YES").
  std::vector<double> times, target, pv, output;
  std::vector<PlotMarker> marks;
};

// What heads every loop sheet: the case's [report] table, empty where not given.
struct SheetHeading {
  std::string project, unit, document, revision;
};

// The cause-and-effect matrix as checked: a row per cause, a cell per
// effect (marked X or not, its verdict word, and what it showed: "1 s", "did
// not act", "acted"), the row's verdict.
struct MatrixSheet {
  struct Cell {
    bool marked = false;
    std::string word;  // "passed", "failed", "waived"; empty: not reached
    std::string text;
  };
  struct Row {
    std::string id, description, cause, word;
    std::vector<Cell> cells;
  };
  std::vector<std::string> effects;  // "XV-301:CLOSED"
  std::vector<Row> rows;
};

// An alarm limit as checked: configured in FIX, stated in the alarm list,
// found to act (texts, empty where none), and its verdict word.
struct AlarmRow {
  std::string point, limit, configured, stated, rose, cleared, word;
};

struct CaseReport {
  std::string title, casePath, generator, commandLine, written;
  SheetHeading heading;
  std::vector<ReportInput> inputs;
  std::vector<Verdict> verdicts;  // expectations and loop checks
  std::vector<LoopSheet> loops;
  std::vector<AlarmRow> alarms;  // each limit an alarm check judged
  MatrixSheet matrix;            // no rows: no matrix
  std::string plot;              // the run's plot beside index.html, or empty
};

// The names of the loop sheets' files for the loops' tags, the same on every
// file system: letters, digits, '-' and '_' as they are, any other byte as
// ~XX (hexadecimal); a name that still equals an earlier one without regard
// to case takes a number, ~2, ~3 and so on. In the order of the tags.
std::vector<std::string> SheetFiles(const std::vector<std::string>& tags);
// The files of a run's report, relative to its folder, for its mark.
std::vector<std::string> CaseReportEntries(const std::vector<std::string>& sheetFiles, bool plot, bool matrix);
// The files of a suite's report and the report folders of its cases.
std::vector<std::string> SuiteReportEntries(const std::vector<std::string>& caseFolders);

// A loop's verdict over all its checks: "failed" when one failed, else
// "waived" when one was waived, else "passed"; "failed" for a loop without checks.
const char* LoopVerdict(const LoopSheet& sheet);

// Writes index.html, results.json, sheets.html (every loop sheet, one a
// printed page), loops/*.html with their trends and matrix.html into a
// report folder begun with CaseReportEntries; false with a message when a
// file cannot be written.
bool WriteCaseReport(const ReportFolder& folder, const CaseReport& report, std::string& error);

// One case of a suite, as its summary page lists it.
struct SuiteCase {
  std::string path, page;  // the case file, and its report page relative to the summary
  size_t passed = 0, failed = 0, waived = 0;
  bool ok = false;
  std::vector<std::string> deficiencies;  // its waived failures, as their verdict lines say them
};

// Writes folder/index.html (the cases, their checks passed, failed and waived,
// and every known deficiency, each linked to its case's page),
// folder/results.json (the cases' records joined) and folder/failed.txt (the
// paths of the cases that failed, one per line).
bool WriteSuiteReport(const ReportFolder& folder, const std::string& generator, const std::string& commandLine,
                      const std::vector<SuiteCase>& cases, std::string& error);

// The cases of a suite's report as WriteSuiteReport listed them (its cases.tsv).
bool ReadSuiteCases(const std::string& folder, std::vector<SuiteCase>& cases, std::string& error);

// Now, in UTC, as ISO 8601: when a report was written.
std::string ReportTime();

// A verdict as results.json and the pages name it: "passed", "failed" or "waived".
const char* VerdictWord(const Verdict& v);

}  // namespace host
