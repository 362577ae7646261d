// `dcshost test`: every case in a process of its own, a table, JUnit XML and the plots of failing
// cases.
#include "dcshost_fixture.h"

namespace host_tests {

// dcshost test: every case in a process of its own, a table, JUnit XML, and a
// plot kept for the failing case only.
TEST_F(OtherFixTest, TestCommandRunsEveryCaseAndReportsAsJunit) {
  const std::string junit = Temp("checkout-junit.xml");
  const std::string plots = Temp("checkout-plots");
  const Outcome test = Program("test \"" + Source + "/tests/host/checkout\" --jobs 2 --junit \"" + junit +
                               "\" --plots \"" + plots + "\"");
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

}  // namespace host_tests
