// The commands of dcshost, each in a file of its own: what it was given and
// what it does once its arguments are parsed. Only the command line (cli.cpp,
// which also declares each command's options) calls these.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "dcshost/test_options.h"
#include "run/case_runner.h"

namespace host {

// What `run` and `check` were given.
struct CaseCommand {
  std::string casePath;
  RunOptions options;
  bool noProgress = false;
};

// What `report merge` was given.
struct MergeOptions {
  std::vector<std::string> shards;
  std::string rerun;  // a rerun's report, whose cases replace the shards'; empty: none
  std::string into;
  std::string commandLine;
};

// `report merge DIR... -o DIR`: the reports of a suite's shards joined into one.
int MergeCommand(const MergeOptions& options, std::ostream& out);

// What `tieback` was given.
struct TiebackOptions {
  std::string casePath;
  std::string outputPath;  // empty: print the file
  std::string fixFolder;
};

// Loads the case and runs it; with no case path, the built-in tank example.
int RunCaseCommand(CaseCommand& command, std::ostream& out);
int CheckCaseCommand(const CaseCommand& command, std::ostream& out);
// Writes the case's tiebacks: 0, or 2 with the message printed.
int TiebackCommand(const TiebackOptions& options, std::ostream& out);

// Loads a case; 0, or 2 with the message printed.
int LoadCaseFile(const std::string& path, Case& c, std::ostream& out);

}  // namespace host
