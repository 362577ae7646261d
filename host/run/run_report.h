// A run's HTML report gathered from the run: its verdicts, the loops checked
// with their tuning as found in FIX and their trends, and the SHA-256 of every
// file it read; written by report/. Reads FIX only.
#pragma once

#include <string>
#include <vector>

#include "checkout/loop_checks.h"
#include "run/run_options.h"
#include "run/session.h"
#include "system/report_folder.h"

namespace host {

// Each checked loop's tuning as FIX holds it now ("F_KP 100, F_TI 240 s, output 0..100 %").
std::vector<std::string> ReadTunings(const FixLibrary& fix, const Case& c, const LoopChecks& checks);

// The names of the checked loops' sheets (report/html_report.h's SheetFiles).
std::vector<std::string> LoopSheetFiles(const Case& c, const LoopChecks& checks);

// Writes the report into its folder, begun with the files it lists; false with a message.
bool WriteRunReport(const Session& session, const RunOptions& options, const LoopChecks& checks,
                    const std::vector<std::string>& tunings, const std::vector<Verdict>& verdicts,
                    const RunResult& result, const ReportFolder& folder, std::string& error);

}  // namespace host
