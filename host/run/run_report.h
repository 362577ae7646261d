// A run's HTML report gathered from the run: its verdicts, the loops checked
// with what FIX holds of them as found and as left, and their trends, and the SHA-256 of every
// file it read; written by report/. Reads FIX only.
#pragma once

#include <string>
#include <vector>

#include "checkout/alarm_checks.h"
#include "checkout/loop_checks.h"
#include "checkout/matrix_checks.h"
#include "run/run_options.h"
#include "run/session.h"
#include "system/report_folder.h"

namespace host {

// What a loop sheet shows of a checked loop as FIX holds it now: the
// controller's and the measured point's descriptions and units, the measured
// point's alarm limits, and the tuning. A field FIX does not have reads
// "(not in FIX)".
struct SheetFacts {
  std::string description, units, pvDescription, pvUnits, alarms, tuning;
};
std::vector<SheetFacts> ReadSheetFacts(const FixLibrary& fix, const Case& c, const LoopChecks& checks);

// The names of the checked loops' sheets (report/html_report.h's SheetFiles).
std::vector<std::string> LoopSheetFiles(const Case& c, const LoopChecks& checks);

// Writes the report into its folder, begun with the files it lists; false with a message.
bool WriteRunReport(const Session& session, const RunOptions& options, const LoopChecks& checks,
                    const AlarmChecks& alarms, const MatrixChecks& matrix, const std::vector<SheetFacts>& found,
                    const std::vector<SheetFacts>& left, const std::vector<Verdict>& verdicts, const RunResult& result,
                    const ReportFolder& folder, std::string& error);

}  // namespace host
