// What a run is asked to do and what it found: the options a command gives a
// run or a check, and the result they fill. Below every other file of run/,
// so that the session, the step and the report read them without the runner.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace host {

struct RunOptions {
  std::string driverPath;            // empty: the library beside the program
  std::string fixFolder;             // the folder of EDA and FIXTOOLS; empty: the simulated database beside the program
  bool live = false;                 // consent to write into a FIX other than the simulated database
  int steps = -1;                    // -1: the case's own
  std::string tracePath;             // CSV of every exchanged value per step
  std::string plotPath;              // SVG of the chosen signals
  std::vector<std::string> signals;  // trace columns to plot; empty: the model's
  bool progress = false;             // a progress bar on stderr
  bool plantCode = true;             // false (check): an FMU's binary is hashed, never loaded
  bool fmuLog = false;               // FMUs log their debug categories
  std::string saveState;             // write the state at the end of the run here
  std::string fromState;             // start from this saved state (else the case's initial_state)
  std::string reportFolder;          // write the HTML report of the run here
  std::string verdictsPath;          // write the verdicts and the exit status here at the end (run/verdict_file.h)
  std::string commandLine;           // as given, for the report
};

struct ReportedMessage {
  std::string key;
  std::string text;
  std::string context;  // table, row, NODE:TAG.FIELD and where the row came from
};

struct RunResult {
  bool configured = false;
  int startResult = -1;
  int steps = 0;
  long valuesToDcs = 0;
  long valuesFromDcs = 0;
  double medianStepMicros = 0.0;
  double p99StepMicros = 0.0;
  std::vector<ReportedMessage> messages;
  std::vector<std::string> problems;              // what check found, one line each
  std::map<std::string, double> final;            // every trace column after the last step
  std::map<std::string, std::string> finalModes;  // controller tag -> A_AUTO text in FIX
};

}  // namespace host
