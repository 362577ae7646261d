// The report of a run and of a suite: the case's page with its verdicts and
// the SHA-256 of its inputs, a loop sheet per checked loop, results.json with
// a record per check, a report for a case that does not bind, and a suite's
// summary linking each case's page.
#include <fstream>
#include <iterator>

#include "dcshost_fixture.h"
#include "report/html_report.h"
#include "report/results_json.h"
#include "system/sha256.h"

namespace host_tests {
namespace {

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++n;
  }
  return n;
}

}  // namespace

// Loop sheets' file names: one per loop on every file system, whatever the tags hold.
TEST(SheetFiles, AreUniqueWithoutRegardToCaseAndHoldOnlyPortableCharacters) {
  struct Row {
    std::vector<std::string> tags, files;
  };
  const std::vector<Row> rows = {
      {{"LIC101", "20-TIC_005"}, {"LIC101", "20-TIC_005"}},   // letters, digits, '-' and '_' as they are
      {{"A/B", "A:B", "A.B"}, {"A~2FB", "A~3AB", "A~2EB"}},    // bytes a file name cannot hold, in hexadecimal
      {{"FIC1", "fic1", "Fic1"}, {"FIC1", "fic1~2", "Fic1~3"}},  // equal without regard to case: numbered
      {{"A~2FB", "A/B"}, {"A~7E2FB", "A~2FB"}},                // '~' itself is written, so no escape collides
      {{"T\xc3\xa4"}, {"T~C3~A4"}},                          // beyond ASCII, byte by byte
  };
  for (const Row& row : rows) {
    EXPECT_EQ(host::SheetFiles(row.tags), row.files) << row.tags.front();
  }
}

// results.json is written by one writer and read by the JSON parser: any
// text reads back (a byte that is not UTF-8, a name in a Windows code page,
// as its Latin-1 character), and anything but an array of records of texts
// is refused at its line.
TEST(ResultsJson, RecordsReadBackAndAnythingElseIsRefused) {
  const std::vector<host::ResultRecord> records = {
      {{"case", "a \"quoted\" \\ path\nwith a break"}, {"verdict", "passed"}},
      {{"case", "caf\xc3\xa9"}, {"measured", "caf\xe9 \x01"}},
  };
  std::vector<host::ResultRecord> back;
  std::string error;
  ASSERT_TRUE(host::ReadResultsJson("r.json", host::ResultsJsonText(records), back, error)) << error;
  std::vector<host::ResultRecord> expected = records;
  expected[1][1].second = "caf\xc3\xa9 \x01";
  EXPECT_EQ(back, expected);
  EXPECT_EQ(host::ResultsJsonText({}), "[\n]\n");
  const std::pair<const char*, const char*> refused[] = {
      {"{}", "r.json:1: not the results dcshost writes (not a list of records)"},
      {"[\n{\"a\": 1}]", "r.json:2: not the results dcshost writes (a number where a text belongs)"},
      {"[{\"a\": {\"b\": \"c\"}}]", "r.json:1: not the results dcshost writes (an object inside a record)"},
      {"[{\"a\": \"b\"}", "r.json:1: not the results dcshost writes ("},
  };
  for (const auto& [text, message] : refused) {
    EXPECT_FALSE(host::ReadResultsJson("r.json", text, back, error)) << text;
    EXPECT_EQ(error.rfind(message, 0), 0U) << error;
  }
}

TEST_F(DcshostTest, ARunsReportHoldsItsVerdictsSheetsAndInputs) {
  const std::string folder = Temp("report-run");
  std::filesystem::remove_all(folder);  // a report from before reports carried their mark
  const std::string c = Source + "/examples/checkout/loop-checks.toml";
  const Outcome run = Dcshost({"run", c, "--report", folder, "--no-progress"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("report written to " + folder + "/index.html"), std::string::npos);
  const std::string page = ReadFile(folder + "/index.html");
  std::string hash, error;
  ASSERT_TRUE(host::Sha256File(c, hash, error)) << error;
  EXPECT_NE(page.find(hash), std::string::npos) << "the case's SHA-256";
  // A row per loop, its checks on its sheet; the one check of no loop listed.
  EXPECT_EQ(Count(page, "<td class=\"waived\">waived</td>"), 2U);
  EXPECT_EQ(Count(page, "<td class=\"passed\">passed</td>"), 2U);
  EXPECT_NE(page.find("<td><a href=\"loops/LIC101.html\">LIC101</a></td><td>Feed tank level control</td><td>5</td>"
                      "<td>0</td><td>0</td><td class=\"passed\">passed</td>"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find("src=\"plot.svg\""), std::string::npos);
  // What each sheet shows, one row per element; the same sheets in sheets.html, in the order of their tags.
  const std::pair<const char*, const char*> shown[] = {
      {"LIC101", "<h1>Loop sheet LIC101: <span class=\"passed\">PASSED</span>"},
      {"FIC201", "<h1>Loop sheet FIC201: <span class=\"waived\">WAIVED</span>"},
      {"LIC101", "<th>sheet</th><td>2 of 3</td>"},
      {"LIC101", "<th>project</th><td>Reactor feed revamp</td><th>unit</th><td>Unit 200</td><th>document</th>"
                 "<td>LC-200-001</td><th>revision</th><td>B</td>"},
      {"LIC101", "SCADA1:LIC101 &middot; Feed tank level control"},
      {"LIC101", "SCADA1:LT101.F_CV (L) &middot; Feed tank level</td>"},
      {"LIC101", "0 to 5 &middot; units m</td>"},
      {"LIC101", "HIHI 4.5, HI 4, LO 1, LOLO 0.5"},
      {"FIC201", "HIHI (not in FIX), HI 180, LO 20, LOLO (not in FIX)"},  // limits its database leaves out
      {"FIC201", "<th>action</th><td>DIRECT</td>"},
      {"FIC201", "FIC201 ends in AUTO"},  // an expectation over loops, on the loop's sheet
      {"TIC202", "<th>tuning as left</th><td>gain F_KP 0.02 % per unit"},
      {"TIC202", "<th class=\"comments\">comments</th>"},
  };
  const std::string all = ReadFile(folder + "/sheets.html");
  for (const auto& [loop, text] : shown) {
    EXPECT_NE(ReadFile(folder + "/loops/" + loop + ".html").find(text), std::string::npos) << loop << ": " << text;
    EXPECT_NE(all.find(text), std::string::npos) << "sheets.html: " << text;
  }
  EXPECT_LT(all.find("Loop sheet FIC201"), all.find("Loop sheet LIC101"));
  EXPECT_FALSE(ReadFile(folder + "/loops/TIC202.svg").empty());
  EXPECT_NE(page.find("<a href=\"sheets.html\">all 3 loop sheets, to print</a>"), std::string::npos);
  const std::string json = ReadFile(folder + "/results.json");
  EXPECT_EQ(Count(json, "\"check\": "), 14U);
  EXPECT_NE(json.find("\"check\": \"FIC201 direction\", \"loop\": \"FIC201\", \"verdict\": \"waived\""),
            std::string::npos) << json;
}

// A tuning changed during the run is on the sheet as left, marked.
TEST_F(DcshostTest, ASheetMarksATuningLeftOtherThanFound) {
  const std::string folder = Temp("report-retuned");
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::filesystem::copy(Source + "/examples/checkout", folder + "/case");
  std::ofstream(folder + "/case/loop-checks.toml", std::ios::app)
      << "\n[[event]]\nstep = 5\npoint = \"SCADA1:TIC202.F_KP\"\nvalue = 0.5\n";
  const Outcome run = Dcshost({"run", folder + "/case/loop-checks.toml", "--report", folder + "/r", "--no-progress"});
  ASSERT_LE(run.status, 1) << run.output;
  const std::string sheet = ReadFile(folder + "/r/loops/TIC202.html");
  EXPECT_NE(sheet.find("<td class=\"changed\">gain F_KP 0.5 % per unit"), std::string::npos) << sheet;
  EXPECT_NE(sheet.find("F_KP 0.02 % per unit"), std::string::npos);  // as found
  EXPECT_EQ(ReadFile(folder + "/r/loops/LIC101.html").find("class=\"changed\""), std::string::npos);
}

TEST_F(OtherFixTest, ASuitesReportLinksEveryCaseEvenOneThatDoesNotBind) {
  const std::string folder = Temp("report-suite");
  std::filesystem::remove_all(folder);  // a report from before reports carried their mark
  const Outcome test = Program({"test", Source + "/examples/binding-errors", Source + "/examples/tank", "--report",
                                folder});
  ASSERT_EQ(test.status, 0) << test.output;
  const std::string summary = ReadFile(folder + "/index.html");
  EXPECT_NE(summary.find("<a href=\"cases/1-binding-errors/index.html\">"), std::string::npos) << summary;
  EXPECT_NE(summary.find("<a href=\"cases/2-tank/index.html\">"), std::string::npos);
  EXPECT_NE(ReadFile(folder + "/cases/1-binding-errors/index.html").find("the case does not bind"), std::string::npos);
  EXPECT_NE(ReadFile(folder + "/cases/2-tank/index.html").find("src=\"plot.svg\""), std::string::npos);
  EXPECT_EQ(Count(ReadFile(folder + "/results.json"), "\"check\": "), 8U);  // 2 + 6 expectations
}

}  // namespace host_tests
