// Merging shards' reports: case folders copied as sK-..., the summary made
// from the shards' case lists, and JUnit joined suite by suite with its
// totals added up again.
#include "report/suite_merge.h"

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "report/html_report.h"
#include "system/output_file.h"
#include "system/paths.h"

namespace host {
namespace {

namespace fs = std::filesystem;

std::string Read(const std::string& path) {
  std::ifstream file(PathOf(path), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// The shards' junit.xml joined: their <testsuite> elements, and the totals of
// <testsuites> added up from them. False with a message when a shard's is not
// JUnit as `dcshost test` writes it.
bool JoinJunit(const std::vector<std::string>& shards, std::string& xml, std::string& error) {
  std::string suites;
  double totals[4] = {0, 0, 0, 0};  // tests, failures, skipped, time
  const std::regex head(R"re(<testsuite name="[^"]*" tests="(\d+)" failures="(\d+)" skipped="(\d+)" time="([^"]*)">)re");
  for (const std::string& shard : shards) {
    const std::string text = Read(shard + "/junit.xml");
    const size_t begin = text.find("  <testsuite ");
    const size_t end = text.rfind("</testsuites>");
    if (text.empty()) {
      continue;
    }
    if (end == std::string::npos) {
      error = shard + "/junit.xml: not the JUnit `dcshost test` writes";
      return false;
    }
    suites += begin == std::string::npos ? std::string() : text.substr(begin, end - begin);
    for (std::sregex_iterator it(text.begin(), text.end(), head), none; it != none; ++it) {
      for (int k = 0; k < 4; ++k) {
        totals[k] += std::stod((*it)[k + 1].str());
      }
    }
  }
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"dcshost test\" tests=\"" << totals[0]
      << "\" failures=\"" << totals[1] << "\" skipped=\"" << totals[2] << "\" time=\"" << totals[3] << "\">\n"
      << suites << "</testsuites>\n";
  xml = out.str();
  return true;
}

}  // namespace

bool MergeReports(const std::vector<std::string>& shards, const std::string& into, const std::string& generator,
                  const std::string& commandLine, std::string& error) {
  std::vector<SuiteCase> merged;
  for (const std::string& shard : shards) {
    if (SameFile(shard, into)) {
      error = "-o " + into + " names one of the reports to merge (" + shard + "): choose another folder";
      return false;
    }
  }
  for (size_t k = 0; k < shards.size(); ++k) {
    std::vector<SuiteCase> cases;
    if (!ReadSuiteCases(shards[k], cases, error)) {
      return false;
    }
    const std::string prefix = "s" + std::to_string(k + 1) + "-";
    for (SuiteCase& c : cases) {
      if (!c.page.empty()) {  // cases/N-name/index.html, copied as cases/sK-N-name/
        const fs::path page = PathOf(c.page);
        const std::string folder = GenericName(page.parent_path());
        const std::string renamed = "cases/" + prefix + GenericName(page.parent_path().filename());
        // Copied into a folder made anew (a merge before into the same folder leaves nothing of this case).
        std::error_code ec;
        fs::remove_all(PathOf(into + "/" + renamed), ec);
        fs::create_directories(PathOf(into + "/cases"), ec);
        fs::copy(PathOf(shards[k] + "/" + folder), PathOf(into + "/" + renamed), fs::copy_options::recursive, ec);
        if (ec) {
          error = shards[k] + "/" + folder + ": cannot copy into " + into + ": " + ec.message();
          return false;
        }
        c.page = renamed + "/" + GenericName(page.filename());
      }
      merged.push_back(c);
    }
  }
  std::string xml;
  return WriteSuiteReport(into, generator, commandLine, merged, error) && JoinJunit(shards, xml, error) &&
         WriteWholeFile(into + "/junit.xml", "the joined JUnit", xml, error);
}

}  // namespace host
