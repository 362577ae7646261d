// Runs a case the way the host runs it: loads the driver library, fills the
// record from the case, and calls the entry points in the host's order, while
// the process model and the simulated database's scan advance between steps.
// Also checks a case's binding without running it.
#pragma once

#include <ostream>

#include "case/case.h"
#include "run/run_options.h"

namespace host {

// The exit status (system/exit_status.h): Ok when it ran (or binds) and every
// check passed; Failed when the case does not bind, a check failed or the run
// went wrong (a model value that is not finite, a value beyond what FIX can
// hold); Refused when a file, the FIX libraries or the driver could not be
// used, or a run against a FIX other than the simulated database lacks
// --live; StoppedBySignal(N) when signal N stopped it at a step boundary.
int RunCase(const Case& c, const RunOptions& options, std::ostream& out, RunResult& result);
int CheckCase(const Case& c, const RunOptions& options, std::ostream& out, RunResult& result);

}  // namespace host
