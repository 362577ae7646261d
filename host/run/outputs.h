// What a run reads and writes, as the plan that checks them before anything
// runs (system/output_plan.h): the case, its tables, its database, its model
// file, its FMUs and its saved start are inputs; the trace, the plot, the
// saved state and the report folder are outputs. A saved state may replace
// the state the run started from; the run replaces it only when it ran to its
// end.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "case/case.h"
#include "run/run_options.h"
#include "system/output_plan.h"

namespace host {

// Every file the run reads, with what it is to the run ("the case's database").
std::vector<std::pair<std::string, std::string>> Inputs(const Case& c, const RunOptions& options);
// The plan of the run's outputs against its inputs.
OutputPlan RunOutputs(const Case& c, const RunOptions& options);
// Adds the case's inputs to a plan (a command that writes beside a case).
void ReadCase(const Case& c, OutputPlan& plan);

}  // namespace host
