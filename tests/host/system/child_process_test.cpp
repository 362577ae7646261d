// Child processes: the Windows command line quoted so that the C runtime's
// parser gives every argument back as it was, and a program that cannot be
// started reported, not run through anything else.
#include "dcshost_fixture.h"
#include "system/stop_signal.h"

namespace host_tests {

TEST(QuoteWindowsArgument, GivesEachArgumentBackToTheRuntimesParser) {
  struct Row {
    std::string argument;
    std::string quoted;
  };
  const std::vector<Row> rows = {
      {"plain", "plain"},
      {"", "\"\""},                                   // an empty argument still counts
      {"two words", "\"two words\""},
      {"tab\there", "\"tab\there\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},            // a quote escaped
      {"C:\\dir\\file", "C:\\dir\\file"},              // backslashes alone stay as they are
      {"C:\\my dir\\", "\"C:\\my dir\\\\\""},          // doubled before the closing quote
      {"a\\\"b c", "\"a\\\\\\\"b c\""},                // doubled, then the escaped quote
      {"$(touch);`y`&z", "$(touch);`y`&z"},            // nothing special to the runtime
  };
  for (const Row& row : rows) {
    EXPECT_EQ(host::QuoteWindowsArgument(row.argument), row.quoted) << row.argument;
  }
}

TEST(RunProgram, AProgramThatDoesNotExistIsReportedWithStatusMinusOneOr127) {
  std::string output;
  const int status = host::RunProgram({host::ProgramFolder() + "no such program"}, output);
  EXPECT_TRUE(status == -1 || status == 127) << status;  // Windows refuses at once; Linux's child says so
  EXPECT_NE(output.find("cannot start"), std::string::npos) << output;
}

#if !defined(_WIN32)
// dcshost test blocks the stop signals in its workers; the cases they start
// must still stop on SIGTERM and SIGINT, so a child starts with none blocked.
TEST(RunProgram, AChildStartsWithNoSignalBlocked) {
  const host::StopOnSignal taken(host::StopOnSignal::Mode::Taken);
  std::string output;
  ASSERT_EQ(host::RunProgram({"grep", "SigBlk", "/proc/self/status"}, output), 0) << output;
  EXPECT_EQ(output, "SigBlk:\t0000000000000000\n");
}
#endif

}  // namespace host_tests
