// Runs a case the way the host runs it: loads the driver library, fills the
// record from the case, and calls the entry points in the host's order, while
// the process model and the simulated database's scan advance between steps.
// Also checks a case's binding without running it.
#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "case/case.h"

namespace host {

struct RunOptions {
  std::string driverPath;          // empty: the library beside the program
  std::string fixFolder;           // the folder of EDA and FIXTOOLS; empty: the simulated database beside the program
  bool live = false;               // consent to write into a FIX other than the simulated database
  int steps = -1;                  // -1: the case's own
  std::string tracePath;           // CSV of every exchanged value per step
  std::string plotPath;            // SVG of the chosen signals
  std::vector<std::string> signals;  // trace columns to plot; empty: the model's
  bool progress = false;           // a progress bar on stderr
  bool plantCode = true;           // false (check): an FMU's binary is hashed, never loaded
  bool fmuLog = false;             // FMUs log their debug categories
  std::string saveState;           // write the state at the end of the run here
  std::string fromState;           // start from this saved state (else the case's initial_state)
  std::string reportFolder;        // write the HTML report of the run here
  std::string verdictsPath;        // write the verdicts and the exit status here at the end (run/verdict_file.h)
  std::string commandLine;         // as given, for the report
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
  std::vector<std::string> problems;     // what check found, one line each
  std::map<std::string, double> final;   // every trace column after the last step
  std::map<std::string, std::string> finalModes;  // controller tag -> A_AUTO text in FIX
};

// Exit status: 0 ran (or binds, or was stopped by a signal at a step
// boundary), 1 the case does not bind or the run went wrong (a model value
// that is not finite, a value beyond what FIX can hold), 2 a file, the FIX
// libraries or the driver could not be used, or a run against a FIX other
// than the simulated database without --live.
int RunCase(const Case& c, const RunOptions& options, std::ostream& out, RunResult& result);
int CheckCase(const Case& c, const RunOptions& options, std::ostream& out, RunResult& result);

}  // namespace host
