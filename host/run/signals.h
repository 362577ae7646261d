// The run's signals: what the trace, the plot and the expectations see after
// every step, in one fixed order (the model's variables, then each row's
// exchanged values). Names and units are fixed once, when the case is bound;
// sampling a step fills plain arrays by index and looks nothing up by name.
#pragma once

#include <string>
#include <vector>

#include "case/case.h"
#include "checkout/expectations.h"
#include "checkout/loop_checks.h"
#include "plant/process_model.h"
#include "report/trace_writer.h"
#include "run/session.h"

namespace host {

// Every signal of the run, as the trace's columns.
std::vector<TraceColumn> TraceColumns(const Case& c, const ProcessModel& model);
// Their names, in the same order.
std::vector<std::string> SignalNames(const std::vector<TraceColumn>& columns);
// Which of them came from FIX (a float there), in the same order.
std::vector<bool> SignalsFromFix(const std::vector<TraceColumn>& columns);

// Each paired loop's signals among the columns, for the expectations over loops.
std::vector<LoopColumns> LoopSignalColumns(const Case& c, const ProcessModel& model,
                                           const std::vector<CheckedLoop>& loops);

// One step's values in column order, and which were exchanged at this step:
// a controller's values when their update flags say so, a PV or PV-import
// row's when it is active and within the driver's capacity. Allocates
// nothing once the vectors have grown to the columns' count.
void SampleSignals(Session& session, std::vector<double>& values, std::vector<bool>& exchanged);

}  // namespace host
