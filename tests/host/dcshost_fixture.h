// The host emulator's tests share this: dcshost run in-process through its
// command line or as a program of its own, the trace read back by column
// name, and the fixtures against the simulated database and another FIX.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "case/case.h"
#include "dcshost/cli.h"
#include "system/child_process.h"
#include "journals.h"
#include "system/shared_library.h"

#if defined(_WIN32)
#include <windows.h>
#include <tlhelp32.h>
#else
#include <unistd.h>
#endif
#include <thread>

namespace host_tests {

inline const std::string Source = FIXDCS_SOURCE_DIR;

struct Outcome {
  int status;
  std::string output;
};

inline Outcome Dcshost(std::vector<std::string> args) {
  args.insert(args.begin(), "dcshost");
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(&arg[0]);
  }
  std::ostringstream out;
  const int status = host::RunCli(static_cast<int>(argv.size()), argv.data(), out);
  return Outcome{status, out.str()};
}

// The trace's columns by name at one step (1-based), read back from the CSV:
// the names on the first line, '#' lines (units, directions) skipped, and an
// empty cell (a row not exchanged at that step) left out of the map.
inline std::map<std::string, double> TraceAt(const std::string& path, int step) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  std::vector<std::string> names;
  std::stringstream header(line);
  for (std::string name; std::getline(header, name, ',');) {
    names.push_back(name);
  }
  std::map<std::string, double> values;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#' || std::atoi(line.c_str()) != step) {
      continue;
    }
    std::stringstream cells(line);
    size_t i = 0;
    for (std::string cell; std::getline(cells, cell, ',') && i < names.size(); ++i) {
      if (!cell.empty()) {
        values[names[i]] = std::stod(cell);
      }
    }
  }
  return values;
}

inline std::string Temp(const std::string& name) { return testing::TempDir() + name; }

// A file's whole text, as bytes; empty when it cannot be read.
inline std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// A small tank case and its database, each row of the table below changing
// one thing: "<NUL>" stands for a NUL byte, CASE, DB, DIR and STATE for the
// row's files.
inline const std::string BaseCase =
    "[case]\nsteps = 5\ndatabase = \"db.csv\"\n\n[model]\ntype = \"tank\"\n\n"
    "[[controller]]\nnode = \"N\"\ntag = \"LIC1\"\nfield = \"F_CV\"\noutput = 0.5\ntv1 = 1.0\ndrives = \"valve\"\n\n"
    "[[pv]]\nnode = \"N\"\ntag = \"LT1\"\nfield = \"F_CV\"\nfrom = \"level\"\n";
inline const std::string BaseDb =
    "N,LT1,AI,F_CV=1\nN,LIC1,PID,F_CV=50;F_TV1=1;A_AUTO=AUTO;F_KP=40;F_TI=90;INPUT=LT1\n";

class DcshostTest : public testing_support::StandinTest {};

// dcshost against a FIX other than the simulated database: the minimal FIX
// in bin/minifix, which has no control API and keeps its own points. Each
// run is a process of its own, so that the FIX it loads is the only one.
class OtherFixTest : public ::testing::Test {
 protected:
  // dcshost started from an argument vector, as `dcshost test` starts it.
  static std::vector<std::string> Command(const std::vector<std::string>& args) {
#if defined(_WIN32)
    std::vector<std::string> command = host::ProgramArgs(host::ProgramFolder() + "dcshost.exe");
#else
    std::vector<std::string> command = host::ProgramArgs(host::ProgramFolder() + "dcshost");
#endif
    command.insert(command.end(), args.begin(), args.end());
    return command;
  }
  static Outcome Program(const std::vector<std::string>& args) {
    Outcome outcome{-1, std::string()};
    outcome.status = host::RunProgram(Command(args), outcome.output);
    return outcome;
  }
  const std::vector<std::string> fix = {"--fix", host::ProgramFolder() + "minifix"};
  const std::string mini = Source + "/tests/host/minifix/minifix.toml";
  // The arguments joined: the command, then the FIX folder's option.
  static std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }
};

}  // namespace host_tests
