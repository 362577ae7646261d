// What `dcshost test` was given: below the command and its selection of
// cases, which both read it.
#pragma once

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
  std::string filter;        // a glob the case paths must match; empty: all
  std::string shard;         // "K/N" or "auto"; empty: every case
  int shardCount = 0;        // N for --shard auto from JOB_COMPLETION_INDEX
  bool list = false;         // print the cases chosen and run none
  std::string reportFolder;  // the suite's HTML report, each case's beside it
  std::string rerunFailed;   // a suite's report folder: run again the cases that failed there
  std::string commandLine;   // as given, for the report
};

}  // namespace host
