// `dcshost test PATH...`: runs every case found under the paths, each in a
// process of its own (so no stand-in state passes from one case to the next),
// a given number at a time; prints a table of the cases with their
// expectations passed and failed and their time; writes JUnit XML when asked;
// keeps a plot of each failing case. --filter and --shard choose the cases,
// --list only prints them, --rerun-failed takes the cases that failed in a
// report. Exit status 0 when every case passed, 1 when one
// failed, 2 for bad arguments or no case found.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace host {

struct TestOptions {
  std::vector<std::string> paths;
  int jobs = 1;
  double timeoutSeconds = 0.0;  // a case running longer is ended and failed; 0: no limit
  std::string junitPath;
  std::string plotFolder = "dcshost-test-plots";
  std::string fixFolder;
  std::string driverPath;
  std::string filter;       // a glob the case paths must match; empty: all
  std::string shard;        // "K/N" or "auto"; empty: every case
  int shardCount = 0;       // N for --shard auto from JOB_COMPLETION_INDEX
  bool list = false;        // print the cases chosen and run none
  std::string reportFolder; // the suite's HTML report, each case's beside it
  std::string rerunFailed;  // a suite's report folder: run again the cases that failed there
  std::string commandLine;  // as given, for the report
};

int RunTests(const TestOptions& options, std::ostream& out);

}  // namespace host
