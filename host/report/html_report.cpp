// The HTML report: pages built as text with every value escaped, one style
// sheet inline (with its print rules: A4, one loop sheet per page), and
// results.json beside them. Trends are the plot's own SVG.
#include "report/html_report.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "report/markup.h"
#include "report/results_json.h"
#include "system/output_file.h"
#include "system/paths.h"

namespace host {
namespace {

namespace fs = std::filesystem;

const char* const Style = R"(<style>
body { font-family: "DejaVu Sans", Arial, sans-serif; font-size: 11pt; margin: 1.5em; color: #222; }
h1 { font-size: 16pt; margin: 0 0 0.3em; } h2 { font-size: 13pt; margin: 1.2em 0 0.4em; }
table { border-collapse: collapse; margin: 0.3em 0; } td, th { border: 1px solid #bbb; padding: 3px 6px;
  text-align: left; vertical-align: top; } th { background: #eee; }
.passed { color: #176b1e; font-weight: bold; } .failed { color: #b00020; font-weight: bold; }
.waived { color: #8a5a00; font-weight: bold; } .hash { font-family: monospace; font-size: 8pt; }
.sign td { height: 2.2em; min-width: 14em; } img { max-width: 100%; }
.heading { width: 100%; font-size: 9pt; } .heading th { width: 1%; white-space: nowrap; }
.changed { color: #b00020; } .comments { min-width: 10em; }
@page { size: A4; margin: 12mm; @bottom-right { content: "page " counter(page) " of " counter(pages); font-size: 8pt; } }
@media print { body { margin: 0; font-size: 9pt; } a { color: inherit; text-decoration: none; }
  .sheet { page-break-after: always; } .sheet h2 { margin: 0.6em 0 0.2em; } .sheet img { max-height: 62mm; }
  .sheet td, .sheet th { padding: 2px 4px; } .sheet .verdicts { font-size: 8pt; } .sheet h1 { font-size: 13pt; }
  .sign td { height: 1.6em; } img.run { max-height: 110mm; } }
</style>)";

std::string Page(const std::string& title, const std::string& body) {
  return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + Escape(title) + "</title>" +
         Style + "</head>\n<body>\n" + body + "</body></html>\n";
}

}  // namespace

std::vector<std::string> SheetFiles(const std::vector<std::string>& tags) {
  std::vector<std::string> files;
  std::set<std::string> used;  // without regard to case, as some file systems compare names
  const auto folded = [](std::string name) {
    for (char& c : name) {
      c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return name;
  };
  for (const std::string& tag : tags) {
    std::string base;
    for (const char c : tag) {
      const bool kept =
          (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
      char hex[4];
      (void)std::snprintf(hex, sizeof hex, "~%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
      base += kept ? std::string(1, c) : std::string(hex);
    }
    std::string name = base.empty() ? "~" : base;
    for (int n = 2; !used.insert(folded(name)).second; ++n) {
      name = base + "~" + std::to_string(n);
    }
    files.push_back(name);
  }
  return files;
}

std::vector<std::string> CaseReportEntries(const std::vector<std::string>& sheetFiles, bool plot, bool matrix) {
  std::vector<std::string> entries = {"index.html", "results.json"};
  if (plot) {
    entries.push_back("plot.svg");
  }
  if (matrix) {
    entries.push_back("matrix.html");
  }
  if (!sheetFiles.empty()) {
    entries.push_back("sheets.html");
  }
  for (const std::string& file : sheetFiles) {
    entries.push_back("loops/" + file + ".html");
    entries.push_back("loops/" + file + ".svg");
  }
  return entries;
}

namespace {

std::string VerdictCell(const Verdict& v) {
  return std::string("<td class=\"") + VerdictWord(v) + "\">" + VerdictWord(v) + "</td>";
}

// The verdicts as a table; a sheet's has an empty column for the tester's comments.
std::string VerdictTable(const std::vector<Verdict>& verdicts, bool comments = false) {
  std::ostringstream t;
  t << "<table class=\"verdicts\"><tr><th>check</th><th>measured</th><th>verdict</th><th>waiver</th>"
    << (comments ? "<th class=\"comments\">comments</th>" : "") << "</tr>\n";
  for (const Verdict& v : verdicts) {
    t << "<tr><td>" << Escape(v.description) << "</td><td>" << Escape(v.measured) << "</td>" << VerdictCell(v) << "<td>"
      << Escape(v.waived) << "</td>" << (comments ? "<td></td>" : "") << "</tr>\n";
  }
  return t.str() + "</table>\n";
}

std::string Provenance(const CaseReport& r) {
  std::ostringstream p;
  p << "<h2>Provenance</h2><table><tr><th>written by</th><td>" << Escape(r.generator) << "</td></tr><tr><th>at</th><td>"
    << Escape(r.written) << "</td></tr><tr><th>command</th><td><code>" << Escape(r.commandLine)
    << "</code></td></tr></table>\n<table><tr><th>input</th><th>file</th><th>SHA-256</th></tr>\n";
  for (const ReportInput& in : r.inputs) {
    p << "<tr><td>" << Escape(in.what) << "</td><td>" << Escape(in.path) << "</td><td class=\"hash\">"
      << Escape(in.sha256) << "</td></tr>\n";
  }
  return p.str() + "</table>\n";
}

std::string CasePage(const CaseReport& r) {
  size_t counts[3] = {0, 0, 0};
  std::ostringstream deficiencies;
  for (const Verdict& v : r.verdicts) {
    const std::string word = VerdictWord(v);
    ++counts[word == "passed" ? 0 : word == "failed" ? 1 : 2];
    if (!v.passed) {
      deficiencies << "<li class=\"" << word << "\">" << Escape(v.description) << ": " << Escape(v.measured)
                   << (v.waived.empty() ? "" : " <em>(" + Escape(v.waived) + ")</em>") << "</li>\n";
    }
  }
  std::ostringstream b;
  b << "<h1>" << Escape(r.title) << "</h1>\n<p>" << Escape(r.casePath) << "</p>\n<p><span class=\"passed\">"
    << counts[0] << " passed</span>, <span class=\"failed\">" << counts[1] << " failed</span>, <span class=\"waived\">"
    << counts[2] << " waived</span></p>\n";
  if (counts[1] + counts[2] > 0) {
    b << "<h2>Deficiencies</h2><ul>\n" << deficiencies.str() << "</ul>\n";
  }
  // A loop with a sheet is one row here, its checks on its sheet; the other checks are listed.
  std::vector<const LoopSheet*> sheets;
  for (const LoopSheet& loop : r.loops) {
    sheets.push_back(&loop);
  }
  std::sort(sheets.begin(), sheets.end(), [](const LoopSheet* x, const LoopSheet* y) { return x->sheet < y->sheet; });
  if (!sheets.empty()) {
    b << "<h2>Loops</h2><p><a href=\"sheets.html\">all " << sheets.size() << " loop sheets, to print</a></p>\n"
      << "<table><tr><th>loop</th><th>description</th><th>passed</th><th>failed</th><th>waived</th><th>verdict</th>"
      << "</tr>\n";
    for (const LoopSheet* loop : sheets) {
      size_t each[3] = {0, 0, 0};
      for (const Verdict& v : loop->checks) {
        ++each[v.passed ? 0 : v.waived.empty() ? 1 : 2];
      }
      const std::string word = LoopVerdict(*loop);
      b << "<tr><td><a href=\"loops/" << UrlPath(loop->file) << ".html\">" << Escape(loop->tag) << "</a></td><td>"
        << Escape(loop->description) << "</td><td>" << each[0] << "</td><td>" << each[1] << "</td><td>" << each[2]
        << "</td><td class=\"" << word << "\">" << word << "</td></tr>\n";
    }
    b << "</table>\n";
  }
  if (!r.alarms.empty()) {
    b << "<h2>Alarms</h2><table><tr><th>point</th><th>limit</th><th>in FIX</th><th>alarm list</th><th>rose at</th>"
      << "<th>cleared at</th><th>verdict</th></tr>\n";
    for (const AlarmRow& a : r.alarms) {
      b << "<tr><td>" << Escape(a.point) << "</td><td>" << Escape(a.limit) << "</td><td>" << Escape(a.configured)
        << "</td><td>" << Escape(a.stated) << "</td><td>" << Escape(a.rose) << "</td><td>" << Escape(a.cleared)
        << "</td><td class=\"" << a.word << "\">" << a.word << "</td></tr>\n";
    }
    b << "</table>\n";
  }
  if (!r.matrix.rows.empty()) {
    b << "<h2>Cause and effect</h2><p><a href=\"matrix.html\">the matrix as checked, " << r.matrix.rows.size()
      << " causes and " << r.matrix.effects.size() << " effects, to print</a></p>\n";
  }
  std::vector<Verdict> others;
  for (const Verdict& v : r.verdicts) {
    const bool onSheet =
        std::any_of(r.loops.begin(), r.loops.end(), [&v](const LoopSheet& s) { return s.tag == v.loop; });
    if (!onSheet) {
      others.push_back(v);
    }
  }
  if (!others.empty()) {
    b << "<h2>Checks</h2>\n" << VerdictTable(others);
  }
  if (!r.plot.empty()) {
    b << "<h2>The run</h2><img class=\"run\" src=\"" << UrlPath(r.plot) << "\" alt=\"the run's plot\">\n";
  }
  return Page(r.title, b.str() + Provenance(r));
}

// The SHA-256 of the input the report names so, or "none".
std::string HashOf(const CaseReport& r, const std::string& what) {
  for (const ReportInput& in : r.inputs) {
    if (in.what == what) {
      return in.sha256;
    }
  }
  return "none";
}

// One loop sheet, as it stands in its own page and in sheets.html: `here` is
// the way from the page to the report's folder ("../" or "").
std::string SheetBody(const CaseReport& r, const LoopSheet& s, const std::string& here) {
  std::ostringstream b;
  char range[96];
  (void)std::snprintf(range, sizeof range, "%g to %g", s.low, s.high);
  const SheetHeading& h = r.heading;
  const std::string verdict = LoopVerdict(s);
  std::string upper = verdict;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return static_cast<char>(c - 'a' + 'A'); });
  const bool changed = !s.tuningLeft.empty() && s.tuningLeft != s.tuning;
  b << "<div class=\"sheet\"><table class=\"heading\"><tr><th>project</th><td>" << Escape(h.project)
    << "</td><th>unit</th><td>" << Escape(h.unit) << "</td><th>document</th><td>" << Escape(h.document)
    << "</td><th>revision</th><td>" << Escape(h.revision) << "</td></tr>\n<tr><th>run</th><td colspan=\"5\">"
    << Escape(r.written) << "</td><th>sheet</th><td>" << s.sheet << " of " << r.loops.size()
    << "</td></tr>\n<tr><th>case</th><td colspan=\"7\" class=\"hash\">" << Escape(HashOf(r, "the case"))
    << "</td></tr><tr><th>database</th><td colspan=\"7\" class=\"hash\">" << Escape(HashOf(r, "the case's database"))
    << "</td></tr></table>\n<h1>Loop sheet " << Escape(s.tag) << ": <span class=\"" << verdict << "\">" << upper
    << "</span></h1>\n<p>" << Escape(r.title) << " &middot; <a href=\"" << here << "index.html\">the case</a></p>\n"
    << "<table>";
  if (s.discrete) {
    b << "<tr><th>command</th><td>" << Escape(s.command) << " &middot; " << Escape(s.description)
      << "</td></tr><tr><th>feedback</th><td>" << Escape(s.pvPoint) << " &middot; " << Escape(s.pvDescription)
      << "</td></tr>";
  } else {
    b << "<tr><th>controller</th><td>" << Escape(s.node + ":" + s.tag) << " &middot; " << Escape(s.description)
      << "</td></tr><tr><th>measured value</th><td>" << Escape(s.pvPoint) << " (" << Escape(s.variable) << ") &middot; "
      << Escape(s.pvDescription) << "</td></tr><tr><th>range</th><td>" << range << " &middot; units "
      << Escape(s.pvUnits) << "</td></tr>"
      << (s.strategy.empty() ? std::string() : "<tr><th>strategy</th><td>" + Escape(s.strategy) + "</td></tr>")
      << "<tr><th>alarm limits</th><td>" << Escape(s.alarms) << "</td></tr><tr><th>action</th><td>" << Escape(s.action)
      << "</td></tr><tr><th>tuning as found</th><td>" << Escape(s.tuning) << "</td></tr><tr><th>tuning as left</th><td"
      << (changed ? " class=\"changed\">" : ">") << Escape(s.tuningLeft) << (changed ? " (changed)" : "")
      << "</td></tr><tr><th>final mode</th><td>" << Escape(s.finalMode) << "</td></tr>";
  }
  b << "</table>\n<h2>Checks</h2>\n"
    << VerdictTable(s.checks, true) << "<h2>Trend</h2><img src=\"" << here << "loops/" << UrlPath(s.file)
    << ".svg\" alt=\"" << (s.discrete ? "command and feedback of " : "target, PV and output of ") << Escape(s.tag)
    << "\">\n<h2>Signatures</h2><table class=\"sign\"><tr><th></th><th>name</th><th>date</th><th>signature</th></tr>"
    << "<tr><th>tested by</th><td></td><td></td><td></td></tr><tr><th>witnessed by</th><td></td><td></td><td></td>"
    << "</tr></table></div>\n";
  return b.str();
}

// The matrix as checked, on one landscape page: the heading, each cause's
// row of cells (an X with the time its effect took, or what went wrong) and
// verdict, and the signatures.
std::string MatrixPage(const CaseReport& r) {
  const MatrixSheet& m = r.matrix;
  const SheetHeading& h = r.heading;
  std::string word = "passed";
  for (const MatrixSheet::Row& row : m.rows) {
    word = row.word == "failed" || row.word.empty()   ? "failed"
           : row.word == "waived" && word == "passed" ? "waived"
                                                      : word;
  }
  std::string upper = word;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return static_cast<char>(c - 'a' + 'A'); });
  std::ostringstream b;
  b << "<style>@page { size: A4 landscape; } .matrix td, .matrix th { font-size: 8pt; padding: 2px 3px; }"
    << " .matrix th.effect { writing-mode: vertical-rl; transform: rotate(180deg); white-space: nowrap; }"
    << " .matrix td.cell { text-align: center; min-width: 2.2em; }</style>\n"
    << "<table class=\"heading\"><tr><th>project</th><td>" << Escape(h.project) << "</td><th>unit</th><td>"
    << Escape(h.unit) << "</td><th>document</th><td>" << Escape(h.document) << "</td><th>revision</th><td>"
    << Escape(h.revision) << "</td></tr>\n<tr><th>run</th><td colspan=\"7\">" << Escape(r.written)
    << "</td></tr><tr><th>case</th><td colspan=\"7\" class=\"hash\">" << Escape(HashOf(r, "the case"))
    << "</td></tr><tr><th>matrix</th><td colspan=\"7\" class=\"hash\">" << Escape(HashOf(r, "the case's matrix"))
    << "</td></tr></table>\n<h1>Cause-and-effect matrix: <span class=\"" << word << "\">" << upper
    << "</span></h1>\n<p>" << Escape(r.title) << " &middot; <a href=\"index.html\">the case</a></p>\n"
    << "<table class=\"matrix\"><tr><th>ID</th><th>cause</th><th>description</th>";
  for (const std::string& effect : m.effects) {
    b << "<th class=\"effect\">" << Escape(effect) << "</th>";
  }
  b << "<th>verdict</th></tr>\n";
  for (const MatrixSheet::Row& row : m.rows) {
    b << "<tr><td>" << Escape(row.id) << "</td><td>" << Escape(row.cause) << "</td><td>" << Escape(row.description)
      << "</td>";
    for (const MatrixSheet::Cell& cell : row.cells) {
      b << "<td class=\"cell " << cell.word << "\">" << (cell.marked ? "X " : "") << Escape(cell.text) << "</td>";
    }
    const std::string rowWord = row.word.empty() ? "failed" : row.word;
    b << "<td class=\"" << rowWord << "\">" << (row.word.empty() ? "not reached" : row.word) << "</td></tr>\n";
  }
  b << "</table>\n<p>X: the cause must produce the effect, with the seconds it took after the cause was forced; an "
       "empty cell: the effect must not act. The causes and their verdicts' details are on "
       "<a href=\"index.html\">the case's page</a>.</p>\n<h2>Signatures</h2><table class=\"sign\"><tr><th></th>"
       "<th>name</th><th>date</th><th>signature</th></tr><tr><th>tested by</th><td></td><td></td><td></td></tr>"
       "<tr><th>witnessed by</th><td></td><td></td><td></td></tr></table>\n";
  return Page("Cause-and-effect matrix: " + r.title, b.str());
}

std::string SheetPage(const CaseReport& r, const LoopSheet& s) {
  return Page("Loop sheet " + s.tag, SheetBody(r, s, "../"));
}

// Every loop sheet in one page, in the order of their numbers (their tags'), one a printed page.
std::string SheetsPage(const CaseReport& r) {
  std::vector<const LoopSheet*> sheets;
  for (const LoopSheet& s : r.loops) {
    sheets.push_back(&s);
  }
  std::sort(sheets.begin(), sheets.end(), [](const LoopSheet* a, const LoopSheet* b) { return a->sheet < b->sheet; });
  std::string body;
  for (const LoopSheet* s : sheets) {
    body += SheetBody(r, *s, "");
  }
  return Page("Loop sheets: " + r.title, body);
}

bool WriteTrend(const std::string& path, const LoopSheet& s, std::string& error) {
  // A discrete loop's command and feedback are drawn as steps.
  const auto signal = [&s](const std::string& name, const std::string& unit, const std::vector<double>& values) {
    Signal sig;
    sig.column = TraceColumn{name, unit, "from DCS", s.discrete};
    sig.values = values;
    sig.exchanged.assign(values.size(), true);
    return sig;
  };
  const std::string units = s.pvUnits == "(not in FIX)" ? std::string() : s.pvUnits;
  const std::vector<Panel> panels =
      s.discrete
          ? std::vector<Panel>{Panel{{signal(s.pvPoint + " running", "1 yes", s.pv)}},
                               Panel{{signal(s.command, "% YES", s.output)}}}
          : std::vector<Panel>{Panel{{signal(s.tag + " target", units, s.target), signal(s.pvPoint, units, s.pv)}},
                               Panel{{signal(s.tag + " output", "%", s.output)}}};
  return WritePlot(path, s.tag, s.times, panels, s.marks, {}, error);
}

std::string ResultsJson(const CaseReport& r) {
  std::vector<ResultRecord> records;
  for (const Verdict& v : r.verdicts) {
    records.push_back({{"case", r.casePath},
                       {"check", v.description},
                       {"loop", v.loop},
                       {"verdict", VerdictWord(v)},
                       {"measured", v.measured},
                       {"waiver", v.waived}});
  }
  return ResultsJsonText(records);
}

// A record's field of that name, or empty.
std::string Field(const ResultRecord& record, const char* name) {
  for (const auto& [key, value] : record) {
    if (key == name) {
      return value;
    }
  }
  return std::string();
}

// The path of a file the report folder's mark lists; empty, with a message, for another.
std::string Listed(const ReportFolder& folder, const std::string& name, std::string& error) {
  std::string path = folder.File(name);
  if (path.empty()) {
    error = folder.folder() + "/" + name + ": not a file the report listed before the run; nothing was written there";
  }
  return path;
}

bool WriteListed(const ReportFolder& folder, const std::string& name, const std::string& what, const std::string& text,
                 std::string& error) {
  const std::string path = Listed(folder, name, error);
  return !path.empty() && WriteWholeFile(path, what, text, error);
}

// The cases, one per line: path, page, passed, failed, waived, ok, then each deficiency.
std::string CasesTable(const std::vector<SuiteCase>& cases) {
  std::string table;
  for (const SuiteCase& c : cases) {
    table += NameAsLine(c.path) + "\t" + NameAsLine(c.page) + "\t" + std::to_string(c.passed) + "\t" +
             std::to_string(c.failed) + "\t" + std::to_string(c.waived) + "\t" + (c.ok ? "1" : "0");
    for (const std::string& d : c.deficiencies) {
      table += "\t" + NameAsLine(d);
    }
    table += "\n";
  }
  return table;
}

}  // namespace

namespace {

// A count of checks as cases.tsv holds it: digits only, at most a billion.
bool Count(const std::string& field, size_t& count) {
  if (field.empty() || field.size() > 10 || field.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  const unsigned long long value = std::strtoull(field.c_str(), nullptr, 10);
  count = static_cast<size_t>(value);
  return value <= 1000000000ULL;
}

}  // namespace

bool ReadSuiteCases(const std::string& folder, std::vector<SuiteCase>& cases, std::string& error) {
  const std::string file = folder + "/cases.tsv";
  std::error_code ec;
  if (!fs::is_regular_file(fs::symlink_status(PathOf(file), ec))) {
    error = folder +
            ": holds no report of a suite (no cases.tsv, or it is a link): give folders `dcshost test "
            "--report` wrote";
    return false;
  }
  std::ifstream table(PathOf(file), std::ios::binary);
  size_t number = 0;
  for (std::string line; std::getline(table, line);) {
    const std::string where = file + ":" + std::to_string(++number) + ": ";
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');) {
      f.push_back(field);
    }
    if (f.size() < 6) {
      error = where + "a line of " + std::to_string(f.size()) + " fields, not 6 or more";
      return false;
    }
    SuiteCase c;
    c.deficiencies.resize(f.size() - 6);
    bool encoded = NameFromLine(f[0], c.path) && NameFromLine(f[1], c.page);
    for (size_t k = 6; k < f.size(); ++k) {
      encoded = encoded && NameFromLine(f[k], c.deficiencies[k - 6]);
    }
    if (!encoded) {
      error = where + "a '%' that two hexadecimal digits do not follow";
      return false;
    }
    size_t* const counts[] = {&c.passed, &c.failed, &c.waived};
    for (size_t k = 0; k < 3; ++k) {
      if (!Count(f[2 + k], *counts[k])) {
        error = where + "'" + f[2 + k] + "' is not a count of checks (a whole number up to 1000000000)";
        return false;
      }
    }
    if (c.path.empty() || (f[5] != "0" && f[5] != "1")) {
      error = where + (c.path.empty() ? "no case path" : "the result '" + f[5] + "' is neither 1 (ok) nor 0 (failed)");
      return false;
    }
    c.ok = f[5] == "1";
    cases.push_back(c);
  }
  return true;
}

std::string ReportTime() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm utc{};
#if defined(_WIN32)
  gmtime_s(&utc, &now);
#else
  gmtime_r(&now, &utc);
#endif
  char text[32];
  return std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc) > 0 ? std::string(text) : std::string();
}

const char* LoopVerdict(const LoopSheet& sheet) {
  const char* word = sheet.checks.empty() ? "failed" : "passed";
  for (const Verdict& v : sheet.checks) {
    word = !v.passed && v.waived.empty() ? "failed" : !v.passed && std::string(word) == "passed" ? "waived" : word;
  }
  return word;
}

const char* VerdictWord(const Verdict& v) { return v.passed ? "passed" : v.waived.empty() ? "failed" : "waived"; }

bool WriteCaseReport(const ReportFolder& folder, const CaseReport& report, std::string& error) {
  for (const LoopSheet& sheet : report.loops) {
    const std::string trend = Listed(folder, "loops/" + sheet.file + ".svg", error);
    if (!WriteListed(folder, "loops/" + sheet.file + ".html", "a loop sheet", SheetPage(report, sheet), error) ||
        trend.empty() || !WriteTrend(trend, sheet, error)) {
      return false;
    }
  }
  if (!report.loops.empty() && !WriteListed(folder, "sheets.html", "the loop sheets", SheetsPage(report), error)) {
    return false;
  }
  if (!report.matrix.rows.empty() &&
      !WriteListed(folder, "matrix.html", "the cause-and-effect matrix", MatrixPage(report), error)) {
    return false;
  }
  return WriteListed(folder, "results.json", "the report's results", ResultsJson(report), error) &&
         WriteListed(folder, "index.html", "the report", CasePage(report), error);
}

std::vector<std::string> SuiteReportEntries(const std::vector<std::string>& caseFolders) {
  std::vector<std::string> entries = {"index.html", "results.json", "cases.tsv", "failed.txt", "junit.xml"};
  for (const std::string& folder : caseFolders) {
    entries.push_back(folder + "/");
  }
  return entries;
}

bool WriteSuiteReport(const ReportFolder& folder, const std::string& generator, const std::string& commandLine,
                      const std::vector<SuiteCase>& cases, std::string& error) {
  std::ostringstream rows, deficiencies, failures;
  std::vector<ResultRecord> all;
  size_t totals[3] = {0, 0, 0};
  for (const SuiteCase& c : cases) {
    totals[0] += c.passed;
    totals[1] += c.failed;
    totals[2] += c.waived;
    const std::string link =
        c.page.empty() ? Escape(c.path) : "<a href=\"" + UrlPath(c.page) + "\">" + Escape(c.path) + "</a>";
    const std::string caseFolder = fs::path(c.page).parent_path().generic_string();
    std::error_code ec;
    const bool sheets =
        !c.page.empty() && fs::is_regular_file(PathOf(folder.folder() + "/" + caseFolder + "/sheets.html"), ec);
    rows << "<tr><td>" << link << "</td><td>" << c.passed << "</td><td>" << c.failed << "</td><td>" << c.waived
         << "</td><td class=\"" << (c.ok ? "passed\">ok" : "failed\">FAILED") << "</td><td>"
         << (sheets ? "<a href=\"" + UrlPath(caseFolder + "/sheets.html") + "\">loop sheets</a>" : std::string())
         << "</td></tr>\n";
    for (const std::string& d : c.deficiencies) {
      deficiencies << "<li class=\"waived\">" << link << ": " << Escape(d) << "</li>\n";
    }
    // Each case's results read as records (a case that ended without them has none) and written again.
    const std::string file = folder.folder() + "/" + fs::path(c.page).parent_path().generic_string() + "/results.json";
    std::ifstream results(PathOf(file), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(results)), std::istreambuf_iterator<char>());
    std::vector<ResultRecord> records;
    if (!text.empty() && !ReadResultsJson(file, text, records, error)) {
      return false;
    }
    for (const ResultRecord& record : records) {
      if (Field(record, "verdict") == "failed") {
        const std::string loop = Field(record, "loop");
        failures << "<li class=\"failed\">" << link << (loop.empty() ? "" : ", loop " + Escape(loop)) << ": "
                 << Escape(Field(record, "check")) << ": " << Escape(Field(record, "measured")) << "</li>\n";
      }
    }
    if (!c.ok && c.failed == 0) {
      failures << "<li class=\"failed\">" << link << ": the run gave no failed check, yet the case failed: "
               << "it did not bind, or ended without a verdict (its output is in the JUnit report)</li>\n";
    }
    all.insert(all.end(), records.begin(), records.end());
  }
  std::ostringstream b;
  b << "<h1>Control checkout</h1>\n<p>" << cases.size() << " cases: <span class=\"passed\">" << totals[0]
    << " checks passed</span>, <span class=\"failed\">" << totals[1] << " failed</span>, <span class=\"waived\">"
    << totals[2] << " waived</span>; written " << Escape(ReportTime()) << "</p>\n";
  if (!failures.str().empty()) {
    b << "<h2>Failed checks</h2><ul>\n" << failures.str() << "</ul>\n";
  }
  b << "<h2>Cases</h2><table><tr><th>case</th><th>passed</th><th>failed</th><th>waived</th><th>result</th>"
    << "<th></th></tr>\n"
    << rows.str() << "</table>\n";
  if (!deficiencies.str().empty()) {
    b << "<h2>Known deficiencies</h2><ul>\n" << deficiencies.str() << "</ul>\n";
  }
  b << "<h2>Provenance</h2><table><tr><th>written by</th><td>" << Escape(generator) << "</td></tr><tr><th>at</th><td>"
    << Escape(ReportTime()) << "</td></tr><tr><th>command</th><td><code>" << Escape(commandLine)
    << "</code></td></tr></table>\n";
  std::string failed;  // for `dcshost test --rerun-failed`
  for (const SuiteCase& c : cases) {
    failed += c.ok ? std::string() : NameAsLine(c.path) + "\n";
  }
  return WriteListed(folder, "failed.txt", "the list of failed cases", failed, error) &&
         WriteListed(folder, "cases.tsv", "the list of cases", CasesTable(cases), error) &&
         WriteListed(folder, "results.json", "the suite's results", ResultsJsonText(all), error) &&
         WriteListed(folder, "index.html", "the suite's report", Page("Control checkout", b.str()), error);
}

}  // namespace host
