// The run's report: provenance (versions, command line, inputs and their
// SHA-256), verdicts and loop sheets, handed to the HTML writer.
#include "run/run_report.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>

#include "fix/fix_group.h"
#include "report/html_report.h"
#include "run/outputs.h"
#include "system/output_file.h"
#include "system/paths.h"
#include "system/sha256.h"

namespace host {
namespace {

std::string Number(double x) {
  char text[32];
  (void)std::snprintf(text, sizeof text, "%g", x);
  return std::isnan(x) ? std::string("?") : std::string(text);
}

ReportInput Input(const std::string& what, const std::string& path) {
  ReportInput in{what, path, ""};
  std::string error;
  if (!Sha256File(path, in.sha256, error)) {
    in.sha256 = "not read: " + error;
  }
  return in;
}

}  // namespace

std::vector<SheetFacts> ReadSheetFacts(const FixLibrary& fix, const Case& c, const LoopChecks& checks) {
  const char* const missing = "(not in FIX)";
  const char* const numbers[] = {"F_KP", "F_TI", "F_OUTLO", "F_OUTHI", "F_HIHI", "F_HI", "F_LO", "F_LOLO"};
  const char* const texts[] = {"A_DESC", "A_EGUDESC"};
  std::vector<PointName> floats, words;
  for (const CheckedLoop& loop : checks.Loops()) {
    // A discrete loop's command point in its controller's place: it has no tuning.
    const std::string& node = loop.discrete ? c.pvImport[loop.controller].node : c.controllers[loop.controller].node;
    const std::string& tag = CheckedTag(c, loop);
    const CasePVRow& pv = c.pv[loop.pv];
    for (size_t k = 0; k < std::size(numbers); ++k) {
      const bool ofController = k < 4;  // the tuning; then the measured point's alarm limits
      floats.push_back(PointName{ofController ? node : pv.node, ofController ? tag : pv.tag, numbers[k]});
    }
    for (const char* field : texts) {
      words.push_back(PointName{node, tag, field});
    }
    for (const char* field : texts) {
      words.push_back(PointName{pv.node, pv.tag, field});
    }
  }
  const std::vector<double> v = ReadFloats(fix.api(), floats);
  const std::vector<std::string> t = ReadTexts(fix.api(), words, missing, true);
  std::vector<SheetFacts> facts;
  for (size_t i = 0; i < checks.Loops().size(); ++i) {
    const double* f = &v[std::size(numbers) * i];
    const std::string* w = &t[4 * i];
    SheetFacts s{w[0], w[1], w[2], w[3], std::string(), std::string()};
    s.tuning = "gain F_KP " + Number(f[0]) + " % per unit, integral time F_TI " + Number(f[1]) + " s, output limits " +
               Number(f[2]) + " to " + Number(f[3]) + " %";
    const char* const alarmNames[] = {"HIHI", "HI", "LO", "LOLO"};
    for (size_t k = 0; k < 4; ++k) {
      s.alarms +=
          std::string(k == 0 ? "" : ", ") + alarmNames[k] + " " + (std::isnan(f[4 + k]) ? missing : Number(f[4 + k]));
    }
    facts.push_back(s);
  }
  return facts;
}

namespace {

// Each alarm limit checked: as configured, as stated, as found, and its verdict.
std::vector<AlarmRow> AlarmRows(const Case& c, const AlarmChecks& alarms, const std::vector<Verdict>& verdicts) {
  std::vector<AlarmRow> rows;
  for (const AlarmChecks::Found& f : alarms.Table()) {
    AlarmRow row;
    row.point = c.pv[alarms.Points()[f.point].pv].tag;
    row.limit = AlarmLimitNames[f.limit];
    row.configured = std::isnan(f.configured) ? std::string("(not in FIX)") : Measured(f.configured);
    row.stated = std::isnan(f.stated) ? std::string() : Measured(f.stated);
    row.rose = std::isnan(f.rose) ? std::string("did not rise") : Measured(f.rose);
    row.cleared = std::isnan(f.cleared) ? std::string("did not clear") : Measured(f.cleared);
    const std::string description = row.point + " " + row.limit + " alarm";
    row.word = "failed";
    for (const Verdict& v : verdicts) {
      row.word = v.description == description ? VerdictWord(v) : row.word;
    }
    rows.push_back(row);
  }
  return rows;
}

// The matrix's cells as checked, each row's verdict as judged (waived where its cause's is).
MatrixSheet MatrixSheetOf(const Case& c, const MatrixChecks& checks, const std::vector<Verdict>& verdicts) {
  MatrixSheet sheet;
  const std::vector<std::vector<MatrixChecks::Cell>> cells = checks.Cells();
  for (const MatrixEffect& e : c.matrix.effects) {
    sheet.effects.push_back(e.tag + ":" + e.state);
  }
  for (size_t i = 0; i < cells.size(); ++i) {
    const MatrixCause& cause = c.matrix.causes[i];
    MatrixSheet::Row row;
    row.id = cause.id;
    row.description = cause.description;
    row.cause = cause.tag + " " + cause.condition +
                (std::isnan(cause.limit) ? std::string() : " " + Measured(cause.limit)) +
                (cause.group.empty()
                     ? std::string()
                     : ", " + std::to_string(cause.votes) + "oo" + std::to_string(cause.of) + " " + cause.group) +
                (cause.delay > 0.0 ? ", " + Measured(cause.delay) + " s" : std::string());
    const std::string prefix = cause.id + " " + cause.tag + " " + cause.condition;
    const Verdict* verdict = nullptr;
    for (const Verdict& v : verdicts) {
      verdict = v.description.rfind(prefix, 0) == 0 ? &v : verdict;
    }
    const bool reached = verdict != nullptr && verdict->measured.rfind("not reached", 0) != 0;
    row.word = reached ? VerdictWord(*verdict) : "";
    for (const MatrixChecks::Cell& cell : cells[i]) {
      MatrixSheet::Cell shown;
      shown.marked = cell.marked;
      shown.word = !cell.judged                                     ? ""
                   : cell.passed                                    ? "passed"
                   : verdict != nullptr && !verdict->waived.empty() ? "waived"
                                                                    : "failed";
      shown.text = !cell.judged  ? std::string()
                   : cell.passed ? (cell.marked ? Measured(cell.seconds) + " s" : std::string())
                                 : cell.brief;
      row.cells.push_back(shown);
    }
    sheet.rows.push_back(row);
  }
  return sheet;
}

}  // namespace

std::vector<std::string> LoopSheetFiles(const Case& c, const LoopChecks& checks) {
  std::vector<std::string> tags;
  for (const CheckedLoop& loop : checks.Loops()) {
    tags.push_back(CheckedTag(c, loop));
  }
  return SheetFiles(tags);
}

bool WriteRunReport(const Session& session, const RunOptions& options, const LoopChecks& checks,
                    const AlarmChecks& alarms, const MatrixChecks& matrix, const std::vector<SheetFacts>& found,
                    const std::vector<SheetFacts>& left, const std::vector<Verdict>& verdicts, const RunResult& result,
                    const ReportFolder& folder, std::string& error) {
  const Case& c = session.scenario();
  CaseReport r;
  r.title = c.name.empty() ? c.path : c.name;
  r.casePath = c.path;
  r.generator = std::string("dcshost ") + FIXDCS_VERSION;
  r.commandLine = options.commandLine;
  r.written = ReportTime();
  r.heading = SheetHeading{c.report.project, c.report.unit, c.report.document, c.report.revision};
  for (const auto& [path, what] : Inputs(c, options)) {
    r.inputs.push_back(Input(what, path));
  }
  r.inputs.push_back(Input("the driver", session.driverPath()));
  r.inputs.push_back(Input("FIX: EDA", session.fix().edaPath()));
  r.inputs.push_back(Input("FIX: FIXTOOLS", session.fix().toolsPath()));
  for (const FmuBlock& fmu : session.model().Fmus()) {  // hashed once, before its binary was loaded
    r.inputs.push_back(ReportInput{"FMU " + fmu.name, fmu.unit->file(), fmu.unit->sha256()});
    r.inputs.push_back(
        ReportInput{"FMU " + fmu.name + ": its binary", fmu.unit->binaryName(), fmu.unit->binarySha256()});
  }
  r.verdicts = verdicts;
  // The run's plot when it lies in the report's folder (a plot written elsewhere stays out of it).
  std::error_code ec;
  const bool plotted = !options.plotPath.empty() && std::filesystem::exists(PathOf(options.plotPath), ec);
  r.plot = plotted && !folder.File("plot.svg").empty() ? "plot.svg" : std::string();
  const std::vector<std::string> files = LoopSheetFiles(c, checks);
  for (size_t i = 0; i < checks.Loops().size(); ++i) {
    const CheckedLoop& loop = checks.Loops()[i];
    const CasePVRow& pv = c.pv[loop.pv];
    LoopSheet s;
    s.tag = CheckedTag(c, loop);
    s.file = files[i];
    s.discrete = loop.discrete;
    s.strategy = loop.strategy;
    s.node = loop.discrete ? c.pvImport[loop.controller].node : c.controllers[loop.controller].node;
    s.command = loop.discrete ? PointText(s.node, s.tag, c.pvImport[loop.controller].field) : std::string();
    s.pvPoint = PointText(pv.node, pv.tag, pv.field);
    s.variable = loop.variable.empty() ? "other" : loop.variable;
    s.low = loop.low;
    s.high = loop.high;
    s.action = loop.directAction ? "DIRECT" : "REVERSE";
    if (i < found.size() && i < left.size()) {
      s.description = found[i].description;
      s.units = found[i].units;
      s.pvDescription = found[i].pvDescription;
      s.pvUnits = found[i].pvUnits;
      s.alarms = found[i].alarms;
      s.tuning = found[i].tuning;
      s.tuningLeft = left[i].tuning;
    }
    const auto mode = result.finalModes.find(s.tag);
    s.finalMode = mode == result.finalModes.end() ? "(no mode)" : mode->second;
    for (const Verdict& v : verdicts) {
      if (v.loop == s.tag) {
        s.checks.push_back(v);
      }
    }
    // The trend around the loop's own checks.
    const auto [from, to] = checks.CheckWindow(i);
    const LoopChecks::LoopTrend& trend = checks.Trend(i);
    for (size_t k = 0; k < trend.times.size(); ++k) {
      const double t = trend.times[k];
      if (t >= from && t <= to) {
        s.times.push_back(t);
        s.target.push_back(trend.target[k]);
        s.pv.push_back(trend.pv[k]);
        s.output.push_back(trend.output[k]);
      }
    }
    for (const auto& [time, check] : checks.CheckStarts(i)) {
      s.marks.push_back(PlotMarker{time, check});
    }
    r.loops.push_back(std::move(s));
  }
  // The sheets are numbered in the order of their tags, as sheets.html prints them.
  std::vector<LoopSheet*> byTag;
  for (LoopSheet& s : r.loops) {
    byTag.push_back(&s);
  }
  std::stable_sort(byTag.begin(), byTag.end(), [](const LoopSheet* a, const LoopSheet* b) { return a->tag < b->tag; });
  for (size_t k = 0; k < byTag.size(); ++k) {
    byTag[k]->sheet = k + 1;
  }
  r.alarms = AlarmRows(c, alarms, verdicts);
  r.matrix = MatrixSheetOf(c, matrix, verdicts);
  return WriteCaseReport(folder, r, error);
}

}  // namespace host
