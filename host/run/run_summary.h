// What a run tells its user: a live run's announcement of what it will write,
// the progress bar, the controllers' final modes read from FIX, the summary,
// and the expectations' verdicts with their bands handed to the plot.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "checkout/expectations.h"
#include "report/plot.h"
#include "run/run_options.h"
#include "run/session.h"

namespace host {

// What a live run will write into FIX, said before it starts.
void SayWhatIsWritten(const Case& c, const FixLibrary& fix, int steps, std::ostream& out);
// The progress bar on stderr, at `step` of `steps`.
void Progress(int step, int steps);
// The controllers' modes as FIX holds them at the end, read through a group
// of dcshost's own.
void ReadFinalModes(Session& session, RunResult& result);
void Summary(Session& session, const RunResult& result, double dt, std::ostream& out);

// A plot entry refused: at the case's plot line where the case chose it,
// saying why where the name is an FMU's String output.
std::string PlotRefusal(const Case& c, const RunOptions& options, const ProcessModel& model, const std::string& error);
// The plot list: the command line's or the case's; else, for a case with
// paired loops, the first MostDefaultPanels loops' PV and target, a panel
// each, and their outputs in one panel; else the model's first
// MostDefaultPanels variables, else the first columns; then every signal an
// expectation judges that no panel shows yet, in a panel of its own. Says so
// when it leaves loops or model variables out.
constexpr size_t MostDefaultPanels = 8;
std::vector<std::string> PlotList(const Case& c, const RunOptions& options, const ProcessModel& model,
                                  const std::vector<LoopColumns>& loops, const std::vector<TraceColumn>& columns,
                                  std::ostream& out);
// Prints every expectation's verdict, then the loop checks' (`more`), and
// hands each window to the plot; the number that failed, waived failures
// (known deficiencies) not counted.
int JudgeExpectations(const Expectations& expectations, const RunResult& result, PlotRecorder& plot, std::ostream& out,
                      const std::vector<Verdict>& more, std::vector<Verdict>* judged = nullptr);

}  // namespace host
