// One step of the coupled run, in the host's order: malfunctions and operator
// events at the DCS, the PV values from the model, the driver's exchange, the
// simulated database's scan, the controllers' outputs into the model, then the
// model. The step reads and writes the model by index and allocates nothing
// once its buffers have grown.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "checkout/malfunctions.h"
#include "report/plot.h"
#include "run/run_options.h"
#include "run/session.h"
#include "run/step_times.h"

namespace host {

// What a step needs beside the session: the malfunctions, the plot for
// markers, the step times and the counts.
struct StepContext {
  Malfunctions& malfunctions;
  PlotRecorder& plot;
  StepTimes& times;
  RunResult& result;
  std::ostream& out;
  std::vector<std::string> marks;  // the malfunctions' labels of this step
};

void Step(Session& session, int64_t step, double dt, StepContext& x);
// The malfunctions and operator events due at a step boundary, printed and
// marked on the plot; Step begins with it, and a run that ran to its end
// takes it once more after its last step.
void AtStepBoundary(Session& session, int64_t step, double seconds, StepContext& x);

// Why the run cannot go on, or empty: a model variable that is not finite, or
// a PV value FIX could not hold. step is the step just taken, or -1 for the
// start; nothing is allocated while all is well.
std::string Broken(Session& session, int64_t step);

}  // namespace host
