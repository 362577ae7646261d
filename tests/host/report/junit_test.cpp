// The JUnit report as CI servers read it: suites with their counts and times
// added up, cases passed, failed or skipped (waived) with their messages and
// output, and text escaped; and read back for a merge, to the byte. It never runs dcshost; dcshost_test covers the test command.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "report/junit.h"

namespace {

std::string Read(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(WriteJunit, WritesTheSuitesCasesAndFailuresItIsGiven) {
  host::JunitSuite passed{"cases/a&b.toml", 0.5, 1, 0, {}};
  passed.cases.push_back(host::JunitCase{"runs", 0.5, true, "", std::nullopt});
  host::JunitSuite failed{"cases/<c>.toml", 1.25, 3, 2, {}, 1};
  failed.cases.push_back(
      host::JunitCase{"runs", 1.25, false, "exited with 2", std::string("line 1\n\x01\"bad\"\tend")});
  failed.cases.push_back(host::JunitCase{"level", std::nullopt, true, "", std::nullopt});
  failed.cases.push_back(host::JunitCase{"valve", std::nullopt, false, "left 0 < x < 1 at 3 s", std::nullopt});
  host::JunitCase known{"direction", std::nullopt, true, "PL-0042: reversed <on purpose>", std::nullopt};
  known.skipped = true;  // a waived failure: a known deficiency
  failed.cases.push_back(known);
  const std::string path = testing::TempDir() + "report_test-junit.xml";
  std::string error;
  ASSERT_TRUE(host::WriteJunit(path, "a \"run\"", {passed, failed}, error)) << error;
  EXPECT_EQ(Read(path),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<testsuites name=\"a &quot;run&quot;\" tests=\"4\" failures=\"2\" skipped=\"1\" time=\"1.75\">\n"
            "  <testsuite name=\"cases/a&amp;b.toml\" tests=\"1\" failures=\"0\" skipped=\"0\" time=\"0.5\">\n"
            "    <testcase classname=\"cases/a&amp;b.toml\" name=\"runs\" time=\"0.5\"></testcase>\n"
            "  </testsuite>\n"
            "  <testsuite name=\"cases/&lt;c&gt;.toml\" tests=\"3\" failures=\"2\" skipped=\"1\" time=\"1.25\">\n"
            "    <testcase classname=\"cases/&lt;c&gt;.toml\" name=\"runs\" time=\"1.25\">"
            "<failure message=\"exited with 2\">line 1\n&quot;bad&quot;\tend</failure></testcase>\n"
            "    <testcase classname=\"cases/&lt;c&gt;.toml\" name=\"level\"></testcase>\n"
            "    <testcase classname=\"cases/&lt;c&gt;.toml\" name=\"valve\">"
            "<failure message=\"left 0 &lt; x &lt; 1 at 3 s\"/></testcase>\n"
            "    <testcase classname=\"cases/&lt;c&gt;.toml\" name=\"direction\">"
            "<skipped message=\"PL-0042: reversed &lt;on purpose&gt;\"/></testcase>\n"
            "  </testsuite>\n"
            "</testsuites>\n");
  // Read back as suites and written again, the file is the same to the byte.
  std::vector<host::JunitSuite> read;
  ASSERT_TRUE(host::ReadJunit(path, Read(path), read, error)) << error;
  const std::string again = testing::TempDir() + "report_test-junit-again.xml";
  ASSERT_TRUE(host::WriteJunit(again, "a \"run\"", read, error)) << error;
  EXPECT_EQ(Read(again), Read(path));
  // A failure whose kept output is empty still shows that output.
  host::JunitSuite silent{"s", 0, 1, 1, {host::JunitCase{"runs", 0.0, false, "crashed", std::string()}}};
  ASSERT_TRUE(host::WriteJunit(path, "t", {silent}, error)) << error;
  EXPECT_NE(Read(path).find("<failure message=\"crashed\"></failure>"), std::string::npos) << Read(path);
}

// Anything but the JUnit WriteJunit writes is refused at its line.
TEST(ReadJunit, RefusesWhatItDidNotWrite) {
  const std::pair<const char*, const char*> rows[] = {
      {"<testsuite/>", "j.xml:1: not the JUnit `dcshost test` writes (its root is not <testsuites>)"},
      {"<testsuites>\n<testsuite name=\"a\" tests=\"-1\" failures=\"0\" skipped=\"0\" time=\"1\"/></testsuites>",
       "j.xml:2: not the JUnit `dcshost test` writes (a <testsuite> without"},
      {"<testsuites><testsuite name=\"a\" tests=\"1\" failures=\"0\" skipped=\"0\" time=\"inf\"/></testsuites>",
       "j.xml:1: not the JUnit `dcshost test` writes (a <testsuite> without"},
      {"<testsuites><testsuite name=\"a\" tests=\"1\" failures=\"0\" skipped=\"0\" time=\"1\">\n"
       "<testcase name=\"x\"><failure message=\"m\"/><skipped message=\"s\"/></testcase></testsuite></testsuites>",
       "j.xml:2: not the JUnit `dcshost test` writes (a <testcase>"},
      {"<testsuites><testsuite", "j.xml: line 1: "},
  };
  for (const auto& [text, message] : rows) {
    std::vector<host::JunitSuite> suites;
    std::string error;
    EXPECT_FALSE(host::ReadJunit("j.xml", text, suites, error)) << text;
    EXPECT_EQ(error.rfind(message, 0), 0U) << error;
  }
}

TEST(WriteJunit, RefusesAPathItCannotWrite) {
  std::string error;
  EXPECT_FALSE(host::WriteJunit(testing::TempDir(), "t", {}, error));
  // a folder: the reason follows the file and what it is
  EXPECT_EQ(error.rfind(testing::TempDir() + ": cannot write the JUnit report: ", 0), 0U) << error;
}

}  // namespace
