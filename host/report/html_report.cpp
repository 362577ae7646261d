// The HTML report: pages built as text with every value escaped, one style
// sheet inline (with its print rules: A4, one loop sheet per page), and
// results.json beside them. Trends are the plot's own SVG.
#include "report/html_report.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "report/markup.h"
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
@page { size: A4; margin: 12mm; }
@media print { body { margin: 0; font-size: 9pt; } a { color: inherit; text-decoration: none; }
  .sheet { page-break-after: always; } }
</style>)";

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Page(const std::string& title, const std::string& body) {
  return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + Escape(title) + "</title>" +
         Style + "</head>\n<body>\n" + body + "</body></html>\n";
}

// A loop sheet's file name: its tag with every character but letters, digits, '_' and '-' as '_'.
std::string SheetName(const std::string& tag) {
  std::string name = tag;
  for (char& c : name) {
    const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
    c = kept ? c : '_';
  }
  return name;
}

std::string VerdictCell(const Verdict& v) {
  return std::string("<td class=\"") + VerdictWord(v) + "\">" + VerdictWord(v) + "</td>";
}

// The verdicts as a table; a loop's verdict links to its sheet, where `sheets` has one.
std::string VerdictTable(const std::vector<Verdict>& verdicts, const std::vector<LoopSheet>* sheets) {
  std::ostringstream t;
  t << "<table class=\"verdicts\"><tr><th>check</th><th>measured</th><th>verdict</th><th>waiver</th></tr>\n";
  for (const Verdict& v : verdicts) {
    const bool linked = sheets != nullptr && std::any_of(sheets->begin(), sheets->end(), [&v](const LoopSheet& s) {
                          return !v.loop.empty() && s.tag == v.loop;
                        });
    const std::string check = linked
                                  ? "<a href=\"loops/" + SheetName(v.loop) + ".html\">" + Escape(v.description) + "</a>"
                                  : Escape(v.description);
    t << "<tr><td>" << check << "</td><td>" << Escape(v.measured) << "</td>" << VerdictCell(v) << "<td>"
      << Escape(v.waived) << "</td></tr>\n";
  }
  return t.str() + "</table>\n";
}

std::string Provenance(const CaseReport& r) {
  std::ostringstream p;
  p << "<h2>Provenance</h2><table><tr><th>written by</th><td>" << Escape(r.generator) << "</td></tr><tr><th>at</th><td>"
    << Escape(r.written) << "</td></tr><tr><th>command</th><td><code>" << Escape(r.commandLine)
    << "</code></td></tr></table>\n<table><tr><th>input</th><th>file</th><th>SHA-256</th></tr>\n";
  for (const ReportInput& in : r.inputs) {
    p << "<tr><td>" << Escape(in.what) << "</td><td>" << Escape(in.path) << "</td><td class=\"hash\">" << Escape(in.sha256)
      << "</td></tr>\n";
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
  b << "<h1>" << Escape(r.title) << "</h1>\n<p>" << Escape(r.casePath) << "</p>\n<p><span class=\"passed\">" << counts[0]
    << " passed</span>, <span class=\"failed\">" << counts[1] << " failed</span>, <span class=\"waived\">" << counts[2]
    << " waived</span></p>\n";
  if (counts[1] + counts[2] > 0) {
    b << "<h2>Deficiencies</h2><ul>\n" << deficiencies.str() << "</ul>\n";
  }
  b << "<h2>Checks</h2>\n" << VerdictTable(r.verdicts, &r.loops);
  if (!r.loops.empty()) {
    b << "<h2>Loop sheets</h2><p>";
    for (const LoopSheet& loop : r.loops) {
      b << "<a href=\"loops/" << SheetName(loop.tag) << ".html\">" << Escape(loop.tag) << "</a> ";
    }
    b << "</p>\n";
  }
  if (!r.plot.empty()) {
    b << "<h2>The run</h2><img src=\"" << Escape(r.plot) << "\" alt=\"the run's plot\">\n";
  }
  return Page(r.title, b.str() + Provenance(r));
}

std::string SheetPage(const CaseReport& r, const LoopSheet& s) {
  std::ostringstream b;
  char range[96];
  std::snprintf(range, sizeof range, "%g to %g", s.low, s.high);
  b << "<div class=\"sheet\"><h1>Loop sheet " << Escape(s.tag) << "</h1>\n<p>" << Escape(r.title) << " &middot; <a href=\""
    << "../index.html\">the case</a></p>\n<table><tr><th>controller</th><td>" << Escape(s.node + ":" + s.tag)
    << "</td></tr><tr><th>measured value</th><td>" << Escape(s.pvPoint) << " (" << Escape(s.variable)
    << ")</td></tr><tr><th>range</th><td>" << range << "</td></tr><tr><th>action</th><td>" << Escape(s.action)
    << "</td></tr><tr><th>tuning as found</th><td>" << Escape(s.tuning) << "</td></tr><tr><th>final mode</th><td>"
    << Escape(s.finalMode) << "</td></tr></table>\n<h2>Checks</h2>\n" << VerdictTable(s.checks, nullptr)
    << "<h2>Trend</h2><img src=\"" << SheetName(s.tag) << ".svg\" alt=\"target, PV and output of " << Escape(s.tag)
    << "\">\n<h2>Signatures</h2><table class=\"sign\"><tr><th></th><th>name</th><th>date</th><th>signature</th></tr>"
    << "<tr><th>tested by</th><td></td><td></td><td></td></tr><tr><th>witnessed by</th><td></td><td></td><td></td>"
    << "</tr></table></div>\n";
  return Page("Loop sheet " + s.tag, b.str());
}

bool WriteTrend(const std::string& path, const LoopSheet& s, std::string& error) {
  const auto signal = [](const std::string& name, const std::string& unit, const std::vector<double>& values) {
    Signal sig;
    sig.column = TraceColumn{name, unit, "from DCS", false};
    sig.values = values;
    sig.exchanged.assign(values.size(), true);
    return sig;
  };
  const std::vector<Panel> panels = {Panel{{signal(s.tag + " target", "", s.target), signal(s.pvPoint, "", s.pv)}},
                                     Panel{{signal(s.tag + " output", "%", s.output)}}};
  return WritePlot(path, s.tag, s.times, panels, s.marks, {}, error);
}

std::string ResultsJson(const CaseReport& r) {
  std::string json = "[";
  for (size_t k = 0; k < r.verdicts.size(); ++k) {
    const Verdict& v = r.verdicts[k];
    json += std::string(k == 0 ? "\n" : ",\n") + "  {\"case\": " + Json(r.casePath) + ", \"check\": " +
            Json(v.description) + ", \"loop\": " + Json(v.loop) + ", \"verdict\": " + Json(VerdictWord(v)) +
            ", \"measured\": " + Json(v.measured) + ", \"waiver\": " + Json(v.waived) + "}";
  }
  return json + "\n]\n";
}

bool MakeFolder(const std::string& folder, std::string& error) {
  std::error_code ec;
  fs::create_directories(PathOf(folder), ec);
  if (ec) {
    error = folder + ": cannot make the report's folder: " + ec.message();
    return false;
  }
  return true;
}

// A field of cases.tsv: tabs and line breaks, which no case path holds, as spaces.
std::string Field(const std::string& text) {
  std::string field = text;
  for (char& c : field) {
    c = c == '\t' || c == '\n' || c == '\r' ? ' ' : c;
  }
  return field;
}

// The cases, one per line: path, page, passed, failed, waived, ok, then each deficiency.
std::string CasesTable(const std::vector<SuiteCase>& cases) {
  std::string table;
  for (const SuiteCase& c : cases) {
    table += Field(c.path) + "\t" + Field(c.page) + "\t" + std::to_string(c.passed) + "\t" + std::to_string(c.failed) +
             "\t" + std::to_string(c.waived) + "\t" + (c.ok ? "1" : "0");
    for (const std::string& d : c.deficiencies) {
      table += "\t" + Field(d);
    }
    table += "\n";
  }
  return table;
}

}  // namespace

bool ReadSuiteCases(const std::string& folder, std::vector<SuiteCase>& cases, std::string& error) {
  std::ifstream table(PathOf(folder + "/cases.tsv"), std::ios::binary);
  if (!table) {
    error = folder + ": holds no report of a suite (no cases.tsv): give folders `dcshost test --report` wrote";
    return false;
  }
  for (std::string line; std::getline(table, line);) {
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');) {
      f.push_back(field);
    }
    if (f.size() < 6) {
      error = folder + "/cases.tsv: a line of " + std::to_string(f.size()) + " fields, not 6 or more";
      return false;
    }
    SuiteCase c;
    c.path = f[0];
    c.page = f[1];
    c.passed = std::strtoul(f[2].c_str(), nullptr, 10);
    c.failed = std::strtoul(f[3].c_str(), nullptr, 10);
    c.waived = std::strtoul(f[4].c_str(), nullptr, 10);
    c.ok = f[5] == "1";
    c.deficiencies.assign(f.begin() + 6, f.end());
    cases.push_back(c);
  }
  return true;
}

const char* VerdictWord(const Verdict& v) { return v.passed ? "passed" : v.waived.empty() ? "failed" : "waived"; }

bool WriteCaseReport(const std::string& folder, const CaseReport& report, std::string& error) {
  if (!MakeFolder(folder + "/loops", error)) {
    return false;
  }
  for (const LoopSheet& sheet : report.loops) {
    const std::string base = folder + "/loops/" + SheetName(sheet.tag);
    if (!WriteWholeFile(base + ".html", "a loop sheet", SheetPage(report, sheet), error) ||
        !WriteTrend(base + ".svg", sheet, error)) {
      return false;
    }
  }
  return WriteWholeFile(folder + "/results.json", "the report's results", ResultsJson(report), error) &&
         WriteWholeFile(folder + "/index.html", "the report", CasePage(report), error);
}

bool WriteSuiteReport(const std::string& folder, const std::string& generator, const std::string& commandLine,
                      const std::vector<SuiteCase>& cases, std::string& error) {
  if (!MakeFolder(folder, error)) {
    return false;
  }
  std::ostringstream rows, deficiencies;
  std::string json;
  size_t totals[3] = {0, 0, 0};
  for (const SuiteCase& c : cases) {
    totals[0] += c.passed;
    totals[1] += c.failed;
    totals[2] += c.waived;
    const std::string link = c.page.empty() ? Escape(c.path) : "<a href=\"" + Escape(c.page) + "\">" + Escape(c.path) + "</a>";
    rows << "<tr><td>" << link << "</td><td>" << c.passed << "</td><td>" << c.failed << "</td><td>" << c.waived
         << "</td><td class=\"" << (c.ok ? "passed\">ok" : "failed\">FAILED") << "</td></tr>\n";
    for (const std::string& d : c.deficiencies) {
      deficiencies << "<li class=\"waived\">" << link << ": " << Escape(d) << "</li>\n";
    }
    std::ifstream results(PathOf(folder + "/" + fs::path(c.page).parent_path().generic_string() + "/results.json"));
    std::string text((std::istreambuf_iterator<char>(results)), std::istreambuf_iterator<char>());
    const size_t open = text.find('['), close = text.rfind(']');
    if (open != std::string::npos && close != std::string::npos && text.find('{') != std::string::npos) {
      json += (json.empty() ? "" : ",") + text.substr(open + 1, close - open - 1);
    }
  }
  std::ostringstream b;
  b << "<h1>Control checkout</h1>\n<p>" << cases.size() << " cases: <span class=\"passed\">" << totals[0]
    << " checks passed</span>, <span class=\"failed\">" << totals[1] << " failed</span>, <span class=\"waived\">"
    << totals[2] << " waived</span></p>\n<h2>Cases</h2><table><tr><th>case</th><th>passed</th><th>failed</th>"
    << "<th>waived</th><th>result</th></tr>\n" << rows.str() << "</table>\n<h2>Known deficiencies</h2><ul>\n"
    << deficiencies.str() << "</ul>\n<h2>Provenance</h2><table><tr><th>written by</th><td>" << Escape(generator)
    << "</td></tr><tr><th>command</th><td><code>" << Escape(commandLine) << "</code></td></tr></table>\n";
  std::string failed;  // for `dcshost test --rerun-failed`
  for (const SuiteCase& c : cases) {
    failed += c.ok ? std::string() : c.path + "\n";
  }
  return WriteWholeFile(folder + "/failed.txt", "the list of failed cases", failed, error) &&
         WriteWholeFile(folder + "/cases.tsv", "the list of cases", CasesTable(cases), error) &&
         WriteWholeFile(folder + "/results.json", "the suite's results", "[" + json + "]\n", error) &&
         WriteWholeFile(folder + "/index.html", "the suite's report", Page("Control checkout", b.str()), error);
}

}  // namespace host
