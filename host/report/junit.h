// The JUnit XML report of a test run, as CI servers read it: suites of test
// cases, each passed or failed with its message. It only writes the file: it
// never runs a test or judges one.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace host {

// One test case: its name, its time when it has one of its own, and when it
// failed, why, with what it printed when that is kept. A skipped case is a
// known deficiency: its message is the waiver's reference and reason.
struct JunitCase {
  std::string name;
  std::optional<double> seconds;
  bool passed = true;
  std::string message;
  std::optional<std::string> output;
  bool skipped = false;
};

// A suite of test cases, whose name is also its cases' class name. The counts
// are the suite's own: a suite may show a case that it does not count (a
// run's output, beside the expectations it counts).
struct JunitSuite {
  std::string name;
  double seconds = 0.0;
  size_t tests = 0;
  size_t failures = 0;
  std::vector<JunitCase> cases;
  size_t skipped = 0;
};

// Writes the suites as the report named name, with their counts and times
// added up; false with a message when the file cannot be written. Text that
// XML cannot hold (control characters other than tab and line feed) is left
// out.
bool WriteJunit(const std::string& path, const std::string& name, const std::vector<JunitSuite>& suites,
                std::string& error);

// The suites of a JUnit file WriteJunit wrote, read with the XML reader and
// appended to `suites`, so that a merge writes them again with the writer
// above; false with "FILE:LINE: what" for anything else (counts that are not
// whole numbers, a time that is not a number of seconds, another shape).
bool ReadJunit(const std::string& file, const std::string& text, std::vector<JunitSuite>& suites, std::string& error);

}  // namespace host
