// Merging shards' reports: case folders copied as sK-..., the summary made
// from the shards' case lists, and JUnit joined suite by suite with its
// totals added up again by the JUnit writer. Everything read is checked first: the shards' lists
// of cases line by line, each case's results.json, and every page path, which
// must name a case folder inside its shard.
#include "report/suite_merge.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "report/html_report.h"
#include "report/junit.h"
#include "report/results_json.h"
#include "system/output_file.h"
#include "system/output_plan.h"
#include "system/paths.h"
#include "system/report_folder.h"

namespace host {
namespace {

namespace fs = std::filesystem;

// A file of a shard, read whole: a regular file, never a link out of it.
// An absent file reads as empty.
bool ReadShardFile(const std::string& path, std::string& text, std::string& error) {
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(PathOf(path), ec);
  text.clear();
  if (!fs::exists(status)) {
    return true;
  }
  if (!fs::is_regular_file(status)) {
    error = path + ": a link or not a regular file: report merge reads only the files dcshost wrote";
    return false;
  }
  std::ifstream file(PathOf(path), std::ios::binary);
  text.assign((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return true;
}

// The shards' junit.xml read as suites, to be written again as one: the
// totals of <testsuites> are the writer's sum of them. False with a message
// when a shard's is not JUnit as `dcshost test` writes it.
bool ReadShardsJunit(const std::vector<std::string>& shards, std::vector<JunitSuite>& suites, std::string& error) {
  for (const std::string& shard : shards) {
    std::string text;
    if (!ReadShardFile(shard + "/junit.xml", text, error) ||
        (!text.empty() && !ReadJunit(shard + "/junit.xml", text, suites, error))) {
      return false;
    }
  }
  return true;
}

// The case folder a page names ("cases/NAME/index.html"): NAME, or empty
// when the page names anything else (an absolute path, "..", a deeper file).
std::string CaseFolderOf(const std::string& page) {
  const std::string head = "cases/", tail = "/index.html";
  if (page.size() <= head.size() + tail.size() || page.compare(0, head.size(), head) != 0 ||
      page.compare(page.size() - tail.size(), tail.size(), tail) != 0) {
    return std::string();
  }
  const std::string name = page.substr(head.size(), page.size() - head.size() - tail.size());
  const bool plain =
      name != "." && name != ".." && name.find_first_of("/\\:") == std::string::npos &&
      std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
  return plain ? name : std::string();
}

}  // namespace

bool MergeReports(const std::vector<std::string>& shards, const std::string& rerun, const std::string& into,
                  const std::string& generator, const std::string& commandLine, std::string& error) {
  std::vector<std::string> reports = shards;  // the rerun's report last: its cases replace the shards'
  if (!rerun.empty()) {
    reports.push_back(rerun);
  }
  OutputPlan plan;
  for (const std::string& report : reports) {
    plan.Read(report, "a report to merge");
  }
  plan.WriteReport(into, "-o");
  if (!plan.Check(error)) {
    return false;
  }
  struct Entry {
    SuiteCase c;
    std::string copy, source;  // the case folder as "cases/sK-NAME" (or "cases/r-NAME"), and where it comes from
    size_t report = 0;
  };
  std::vector<Entry> entries;
  std::map<std::string, size_t> byPath;
  for (size_t k = 0; k < reports.size(); ++k) {
    const bool isRerun = !rerun.empty() && k + 1 == reports.size();
    std::vector<SuiteCase> cases;
    if (!ReadSuiteCases(reports[k], cases, error)) {
      return false;
    }
    for (SuiteCase& c : cases) {
      Entry e{c, std::string(), std::string(), k};
      if (!c.page.empty()) {  // cases/NAME/index.html, copied as cases/sK-NAME/
        const std::string name = CaseFolderOf(c.page);
        if (name.empty()) {
          error = reports[k] + "/cases.tsv: the page '" + c.page + "' of " + c.path +
                  " is not a case folder of the report (cases/NAME/index.html): report merge reads only inside it";
          return false;
        }
        const std::string results = reports[k] + "/cases/" + name + "/results.json";
        std::string text;
        if (!ReadShardFile(results, text, error) || (!text.empty() && !CheckResultsJson(results, text, error))) {
          return false;
        }
        e.copy = "cases/" + (isRerun ? std::string("r") : "s" + std::to_string(k + 1)) + "-" + name;
        e.source = reports[k] + "/cases/" + name;
        e.c.page = e.copy + "/index.html";
      }
      const auto [at, added] = byPath.emplace(c.path, entries.size());
      if (added) {
        entries.push_back(e);
      } else if (isRerun) {
        entries[at->second] = e;
      } else {
        error = c.path + " is in both " + reports[entries[at->second].report] + " and " + reports[k] +
                ": report merge joins the shards of one run, each case once; to let a rerun's results replace "
                "the earlier ones, give its report as --rerun DIR";
        return false;
      }
    }
  }
  // In the order of the unsharded run: the sorted list of the cases.
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.c.path < b.c.path; });
  std::vector<SuiteCase> merged;
  std::vector<std::string> copies;
  for (const Entry& e : entries) {
    merged.push_back(e.c);
    if (!e.copy.empty()) {
      copies.push_back(e.copy);
    }
  }
  ReportFolder folder;
  if (!folder.Begin(into, SuiteReportEntries(copies), error)) {
    return false;
  }
  for (const Entry& e : entries) {
    if (!e.copy.empty() && !folder.CopyIn(e.source, e.copy + "/", error)) {
      return false;
    }
  }
  std::vector<JunitSuite> suites;
  if (!WriteSuiteReport(folder, generator, commandLine, merged, error) || !ReadShardsJunit(reports, suites, error)) {
    return false;
  }
  // A rerun's suite replaces the shards' of the same case; the suites in the cases' order.
  std::vector<JunitSuite> joined;
  std::map<std::string, size_t> suiteOf;
  for (JunitSuite& suite : suites) {
    const auto [at, added] = suiteOf.emplace(suite.name, joined.size());
    if (added) {
      joined.push_back(std::move(suite));
    } else {
      joined[at->second] = std::move(suite);
    }
  }
  std::stable_sort(joined.begin(), joined.end(),
                   [](const JunitSuite& a, const JunitSuite& b) { return a.name < b.name; });
  return WriteJunit(folder.File("junit.xml"), "dcshost test", joined, error);
}

}  // namespace host
