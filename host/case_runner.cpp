// Runs and checks cases against the loaded driver and the simulated database.
#include "case_runner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#if defined(_WIN32)
#include <io.h>
#define FIXDCS_ISATTY _isatty
#define FIXDCS_FILENO _fileno
#else
#include <unistd.h>
#define FIXDCS_ISATTY isatty
#define FIXDCS_FILENO fileno
#endif

#include "driver_library.h"
#include "fixdb_control.h"
#include "plinth_control.h"
#include "process_model.h"
#include "record_builder.h"
#include "trace.h"

namespace host {
namespace {

std::string Where(const Origin& origin) { return origin.file + ":" + std::to_string(origin.line); }

std::string PointText(const std::string& node, const std::string& tag, const std::string& field) {
  return node + ":" + tag + "." + field;
}

// The loaded driver, the record built from the case, and the model.
struct Session {
  std::unique_ptr<DriverLibrary> driver;
  RecordBuilder builder;
  ProcessModel model;
  size_t messagesSeen = 0;
};

int Fail(std::ostream& out, const std::string& message) {
  out << "dcshost: " << message << '\n';
  return 2;
}

// Loads the driver, the database and the model; 0 or the exit status.
int Prepare(const Case& c, const RunOptions& options, Session& session, std::ostream& out) {
  PlinthSetEcho(0);  // messages are printed by the runner, with their context
  session.messagesSeen = PlinthMessageCount();
  std::string error;
  FixdbSetJournal(0);  // the runner reads no journal; keep the database fast
  char dbError[512] = "";
  if (FixdbLoadFile(c.database.c_str(), dbError, sizeof dbError) == 0) {
    return Fail(out, dbError);
  }
  if (!session.model.Configure(c.model, error)) {
    return Fail(out, c.path + ": [model]: " + error);
  }
  for (const CaseCtrlRow& row : c.controllers) {
    if (!row.drives.empty() && !session.model.HasVariable(row.drives)) {
      return Fail(out, Where(row.origin) + ": the model has no input '" + row.drives + "'");
    }
  }
  for (const CasePVRow& row : c.pv) {
    if (!row.from.empty() && !session.model.HasVariable(row.from)) {
      return Fail(out, Where(row.origin) + ": the model has no output '" + row.from + "'");
    }
  }
  for (const CaseEvent& event : c.events) {
    if (FixdbPointProblem(event.node.c_str(), event.tag.c_str(), event.field.c_str()) != 0) {
      return Fail(out, Where(event.origin) + ": the database has no point " +
                           PointText(event.node, event.tag, event.field));
    }
  }
  const std::string path = options.driverPath.empty() ? DefaultDriverPath() : options.driverPath;
  session.driver = DriverLibrary::Load(path, error);
  if (!session.driver) {
    return Fail(out, error);
  }
  return 0;
}

// The host fills the record after DCSLoad: rows, cells and GenData.
void FillRecord(const Case& c, Session& session) {
  RecordBuilder& builder = session.builder;
  for (const CaseCtrlRow& row : c.controllers) {
    builder.AddCtrl({row.node, row.tag, row.field, row.active, row.mode, row.output, row.tv1});
  }
  for (const CasePVRow& row : c.pv) {
    const double value = row.from.empty() ? row.value : session.model.Get(row.from);
    builder.AddPV({row.node, row.tag, row.field, row.active, value});
  }
  for (const CasePVRow& row : c.pvImport) {
    builder.AddPVImport({row.node, row.tag, row.field, row.active, row.value});
  }
  builder.SetInitCycle(c.initCycle);
}

// Table, row, point and origin of a row-numbered report.
std::string ContextOf(const Case& c, const std::string& key, const std::string& args) {
  const size_t comma = args.rfind(',');
  if (key.find("Vendor") == std::string::npos || comma == std::string::npos) {
    return std::string();
  }
  const long row = std::strtol(args.c_str() + comma + 1, nullptr, 10);
  const auto describe = [&](const char* table, const auto& rows) -> std::string {
    if (row < 0 || static_cast<size_t>(row) >= rows.size()) {
      return std::string(table) + " row " + std::to_string(row);
    }
    const auto& r = rows[static_cast<size_t>(row)];
    return std::string(table) + " row " + std::to_string(row) + ", " + PointText(r.node, r.tag, r.field) + " (" +
           Where(r.origin) + ")";
  };
  if (key.rfind("DCSCtrl", 0) == 0) {
    return describe("controller", c.controllers);
  }
  if (key.rfind("DCSPVImport", 0) == 0) {
    return describe("PV-import", c.pvImport);
  }
  return describe("PV", c.pv);
}

void CollectMessages(const Case& c, Session& session, RunResult& result, std::ostream& out) {
  for (; session.messagesSeen < PlinthMessageCount(); ++session.messagesSeen) {
    const size_t i = session.messagesSeen;
    ReportedMessage message{PlinthMessageKey(i), PlinthMessageText(i),
                            ContextOf(c, PlinthMessageKey(i), PlinthMessageArgs(i))};
    out << "  message " << message.key << ": " << message.text;
    if (!message.context.empty()) {
      out << "  [" << message.context << "]";
    }
    out << '\n';
    result.messages.push_back(std::move(message));
  }
}

// Trace columns: model variables, then every row's exchanged values.
struct Columns {
  std::vector<std::string> names;
};

std::string Unique(std::vector<std::string>& names, std::string name, size_t row) {
  if (std::find(names.begin(), names.end(), name) != names.end()) {
    name += "#" + std::to_string(row);
  }
  names.push_back(name);
  return name;
}

std::vector<std::string> TraceColumns(const Case& c, const ProcessModel& model) {
  std::vector<std::string> names = model.Names();
  for (size_t i = 0; i < c.controllers.size(); ++i) {
    Unique(names, c.controllers[i].tag + ".output", i);
    Unique(names, c.controllers[i].tag + ".tv1", i);
  }
  for (size_t i = 0; i < c.pv.size(); ++i) {
    Unique(names, c.pv[i].tag + "." + c.pv[i].field, i);
  }
  for (size_t i = 0; i < c.pvImport.size(); ++i) {
    Unique(names, c.pvImport[i].tag + "." + c.pvImport[i].field, i);
  }
  return names;
}

void TraceValues(Session& session, std::vector<double>& values) {
  values.clear();
  for (const std::string& name : session.model.Names()) {
    values.push_back(session.model.Get(name));
  }
  const DCSDataDef* record = session.builder.record();
  for (int32_t i = 0; i < record->CtrlRowCnt; ++i) {
    values.push_back(session.builder.ctrl(i).OutputValue);
    values.push_back(session.builder.ctrl(i).TV1Value);
  }
  for (int32_t i = 0; i < record->PVRowCnt; ++i) {
    values.push_back(session.builder.pv(i).Value);
  }
  for (int32_t i = 0; i < record->PVImportRowCnt; ++i) {
    values.push_back(session.builder.pvImport(i).Value);
  }
}

void ApplyEvents(const Case& c, int step, std::ostream& out) {
  for (const CaseEvent& event : c.events) {
    if (event.step != step) {
      continue;
    }
    if (event.isText) {
      FixdbSetText(event.node.c_str(), event.tag.c_str(), event.field.c_str(), event.text.c_str());
      out << "  step " << step << ": operator sets " << PointText(event.node, event.tag, event.field) << " to "
          << event.text << '\n';
    } else {
      FixdbSetFloat(event.node.c_str(), event.tag.c_str(), event.field.c_str(), static_cast<float>(event.value));
      out << "  step " << step << ": operator sets " << PointText(event.node, event.tag, event.field) << " to "
          << event.value << '\n';
    }
  }
}

void Progress(int step, int steps) {
  const int width = 40;
  const int filled = steps == 0 ? width : static_cast<int>(static_cast<long long>(width) * step / steps);
  std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<size_t>(filled), '#').c_str(),
               std::string(static_cast<size_t>(width - filled), ' ').c_str(), steps == 0 ? 100 : 100 * step / steps);
  if (step == steps) {
    std::fprintf(stderr, "\n");
  }
}

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) {
    return 0.0;
  }
  const size_t index = std::min(values.size() - 1, static_cast<size_t>(fraction * static_cast<double>(values.size())));
  std::nth_element(values.begin(), values.begin() + static_cast<long>(index), values.end());
  return values[index];
}

// One step of the coupled run: operator events at the DCS, the driver's
// exchange, the DCS's scan, then the process model.
void Step(const Case& c, Session& session, int step, double dt, std::vector<double>& stepMicros, RunResult& result,
          std::ostream& out) {
  ApplyEvents(c, step, out);
  DCSDataDef* record = session.builder.record();
  for (int32_t i = 0; i < record->CtrlRowCnt; ++i) {
    session.builder.ctrl(i).OutputUpdated = 0;
    session.builder.ctrl(i).TV1Updated = 0;
  }
  const auto begin = std::chrono::steady_clock::now();
  session.driver->entry().DCSSimulate(record);
  const auto end = std::chrono::steady_clock::now();
  stepMicros.push_back(std::chrono::duration<double, std::micro>(end - begin).count());
  FixdbScan(dt);
  for (int32_t i = 0; i < record->CtrlRowCnt; ++i) {
    const DCSCtrlRow& row = session.builder.ctrl(i);
    result.valuesFromDcs += row.OutputUpdated + row.TV1Updated;
    const std::string& drives = c.controllers[static_cast<size_t>(i)].drives;
    if (!drives.empty()) {
      session.model.Set(drives, row.OutputValue);
    }
  }
  for (int32_t i = 0; i < std::min<int32_t>(record->PVImportRowCnt, 2500); ++i) {
    result.valuesFromDcs += session.builder.pvImport(i).Active == 1 ? 1 : 0;
  }
  for (int32_t i = 0; i < std::min<int32_t>(record->PVRowCnt, 2500); ++i) {
    result.valuesToDcs += session.builder.pv(i).Active == 1 ? 1 : 0;
  }
  session.model.Advance(dt);
  for (int32_t i = 0; i < record->PVRowCnt; ++i) {
    const std::string& from = c.pv[static_cast<size_t>(i)].from;
    if (!from.empty()) {
      session.builder.pv(i).Value = session.model.Get(from);
    }
  }
}

void Summary(const Case& c, const Session& session, const RunResult& result, double dt, std::ostream& out) {
  char line[160];
  out << "summary of " << (c.name.empty() ? c.path : c.name) << '\n';
  std::snprintf(line, sizeof line, "  steps              %d of %g s\n", result.steps, dt);
  out << line;
  std::snprintf(line, sizeof line, "  values to DCS      %ld\n  values from DCS    %ld\n", result.valuesToDcs,
                result.valuesFromDcs);
  out << line;
  out << "  messages           " << result.messages.size() << '\n';
  std::snprintf(line, sizeof line, "  step time          median %.1f us, 99th percentile %.1f us\n",
                result.medianStepMicros, result.p99StepMicros);
  out << line;
  if (result.finalModes.size() <= 5) {
    for (const auto& mode : result.finalModes) {
      out << "  controller         " << mode.first << " ends in " << mode.second << '\n';
    }
  } else {
    std::map<std::string, int> byMode;
    for (const auto& mode : result.finalModes) {
      ++byMode[mode.second];
    }
    out << "  controllers end in";
    for (const auto& mode : byMode) {
      out << ' ' << mode.second << ' ' << mode.first;
    }
    out << '\n';
  }
  for (const std::string& name : session.model.Names()) {
    std::snprintf(line, sizeof line, "  model              %s = %.4g\n", name.c_str(), session.model.Get(name));
    out << line;
  }
}

void Release(Session& session) {
  session.driver->entry().DCSStop();
  session.driver->entry().DCSReset(session.builder.record());
  session.driver->entry().DCSDestroy(session.builder.record());
}

}  // namespace

int RunCase(const Case& c, const RunOptions& options, std::ostream& out, RunResult& result) {
  Session session;
  if (const int status = Prepare(c, options, session, out); status != 0) {
    return status;
  }
  const host::DriverEntryPoints& dcs = session.driver->entry();
  const int steps = options.steps >= 0 ? options.steps : c.steps;
  const double dt = c.stepSeconds;
  out << "case " << (c.name.empty() ? c.path : c.name) << ": " << c.controllers.size() << " controllers, "
      << c.pv.size() << " PV rows, " << c.pvImport.size() << " PV-import rows, " << steps << " steps\n";

  dcs.DCSInitialize();
  dcs.DCSLoad(session.builder.record());
  FillRecord(c, session);
  result.configured = dcs.DCSConfigure(session.builder.record()) == 1;
  out << "DCSConfigure -> " << (result.configured ? 1 : 0) << '\n';
  CollectMessages(c, session, result, out);
  if (!result.configured) {
    Release(session);
    out << "the case does not bind; `dcshost check` lists every problem\n";
    return 1;
  }
  result.startResult = dcs.DCSStart(session.builder.record());
  out << "DCSStart     -> " << result.startResult << '\n';
  CollectMessages(c, session, result, out);

  const std::vector<std::string> columns = TraceColumns(c, session.model);
  TraceWriter trace;
  std::string error;
  if (!options.tracePath.empty() && !trace.Open(options.tracePath, columns, error)) {
    Release(session);
    return Fail(out, error);
  }
  // Each plotted entry is a panel: signal names joined by '+' share it.
  std::vector<std::string> plotted = options.signals.empty() ? c.plot : options.signals;
  if (plotted.empty()) {
    plotted = session.model.Names();
  }
  if (plotted.empty() && !columns.empty()) {
    plotted.assign(columns.begin(), columns.begin() + static_cast<long>(std::min<size_t>(3, columns.size())));
  }
  std::vector<Panel> panels;
  std::vector<std::pair<size_t, size_t>> plotSlots;  // (panel, signal) of each plotted column
  std::vector<size_t> plotIndex;
  for (const std::string& entry : plotted) {
    panels.emplace_back();
    size_t begin = 0;
    while (begin <= entry.size()) {
      const size_t plus = entry.find('+', begin);
      const std::string name = entry.substr(begin, plus == std::string::npos ? std::string::npos : plus - begin);
      auto found = std::find(columns.begin(), columns.end(), name);
      if (found == columns.end()) {
        Release(session);
        return Fail(out, "no signal named '" + name + "' in this case's trace");
      }
      plotIndex.push_back(static_cast<size_t>(found - columns.begin()));
      plotSlots.emplace_back(panels.size() - 1, panels.back().signals.size());
      panels.back().signals.push_back(Signal{name, {}});
      if (plus == std::string::npos) {
        break;
      }
      begin = plus + 1;
    }
  }
  std::vector<double> times;
  std::vector<double> values;
  std::vector<double> stepMicros;
  stepMicros.reserve(static_cast<size_t>(steps));
  const bool progress = options.progress && FIXDCS_ISATTY(FIXDCS_FILENO(stderr)) != 0;
  for (int step = 0; step < steps; ++step) {
    Step(c, session, step, dt, stepMicros, result, out);
    CollectMessages(c, session, result, out);
    const double seconds = dt * (step + 1);
    if (trace.IsOpen() || !options.plotPath.empty()) {
      TraceValues(session, values);
      if (trace.IsOpen()) {
        trace.Write(step + 1, seconds, values);
      }
      times.push_back(seconds);
      for (size_t k = 0; k < plotIndex.size(); ++k) {
        panels[plotSlots[k].first].signals[plotSlots[k].second].values.push_back(values[plotIndex[k]]);
      }
    }
    if (progress && (step % 64 == 0 || step + 1 == steps)) {
      Progress(step + 1, steps);
    }
  }
  result.steps = steps;
  result.medianStepMicros = Percentile(stepMicros, 0.5);
  result.p99StepMicros = Percentile(stepMicros, 0.99);
  TraceValues(session, values);
  for (size_t k = 0; k < columns.size(); ++k) {
    result.final[columns[k]] = values[k];
  }
  for (const CaseCtrlRow& row : c.controllers) {
    const char* mode = FixdbGetText(row.node.c_str(), row.tag.c_str(), "A_AUTO");
    result.finalModes[row.tag] = mode != nullptr ? mode : "(no mode)";
  }
  Release(session);
  CollectMessages(c, session, result, out);
  Summary(c, session, result, dt, out);
  if (!options.plotPath.empty()) {
    if (!WritePlot(options.plotPath, c.name.empty() ? c.path : c.name, times, panels, error)) {
      return Fail(out, error);
    }
    out << "plot written to " << options.plotPath << '\n';
  }
  if (!options.tracePath.empty()) {
    out << "trace written to " << options.tracePath << '\n';
  }
  return 0;
}

namespace {

// A problem of one point a row will be bound to, as FIX would report it.
void CheckPoint(const std::string& table, size_t row, const Origin& origin, const std::string& node,
                const std::string& tag, const std::string& field, RunResult& result) {
  const int16_t code = FixdbPointProblem(node.c_str(), tag.c_str(), field.c_str());
  if (code == 0) {
    return;
  }
  char text[256] = "";
  const bool known = FixdbToolsErrorText(code, text, sizeof text) == 11000;
  result.problems.push_back(table + " row " + std::to_string(row) + " (" + Where(origin) + "): " +
                            PointText(node, tag, field) + ": " +
                            (known ? std::string(text) : "FIX error code " + std::to_string(code)));
}

bool Blank(const std::string& table, size_t row, const Origin& origin, const std::string& node,
           const std::string& tag, const std::string& field, RunResult& result) {
  const char* names[] = {"NODE", "TAG", "FIELD"};
  const std::string* cells[] = {&node, &tag, &field};
  bool blank = false;
  for (int k = 0; k < 3; ++k) {
    if (cells[k]->empty()) {
      result.problems.push_back(table + " row " + std::to_string(row) + " (" + Where(origin) + "): " + names[k] +
                                " is blank");
      blank = true;
    }
  }
  return blank;
}

void FindProblems(const Case& c, RunResult& result) {
  for (size_t i = 0; i < c.controllers.size(); ++i) {
    const CaseCtrlRow& r = c.controllers[i];
    if (Blank("controller", i, r.origin, r.node, r.tag, r.field, result)) {
      continue;
    }
    const bool hdv = r.field == "H_DV";
    CheckPoint("controller", i, r.origin, r.node, r.tag, hdv ? "F_CV" : r.field, result);
    CheckPoint("controller", i, r.origin, r.node, r.tag, hdv ? "F_CV" : "F_TV1", result);
    CheckPoint("controller", i, r.origin, r.node, r.tag, "A_AUTO", result);
  }
  for (size_t i = 0; i < c.pv.size(); ++i) {
    const CasePVRow& r = c.pv[i];
    if (!Blank("PV", i, r.origin, r.node, r.tag, r.field, result)) {
      CheckPoint("PV", i, r.origin, r.node, r.tag, r.field, result);
    }
  }
  for (size_t i = 0; i < c.pvImport.size(); ++i) {
    const CasePVRow& r = c.pvImport[i];
    if (!Blank("PV-import", i, r.origin, r.node, r.tag, r.field, result)) {
      CheckPoint("PV-import", i, r.origin, r.node, r.tag, r.field, result);
    }
  }
}

}  // namespace

int CheckCase(const Case& c, const RunOptions& options, std::ostream& out, RunResult& result) {
  Session session;
  if (const int status = Prepare(c, options, session, out); status != 0) {
    return status;
  }
  FindProblems(c, result);
  for (const std::string& problem : result.problems) {
    out << "problem: " << problem << '\n';
  }
  const host::DriverEntryPoints& dcs = session.driver->entry();
  dcs.DCSLoad(session.builder.record());
  FillRecord(c, session);
  result.configured = dcs.DCSConfigure(session.builder.record()) == 1;
  CollectMessages(c, session, result, out);
  Release(session);
  const bool binds = result.configured && result.problems.empty();
  out << (c.name.empty() ? c.path : c.name) << ": " << c.controllers.size() << " controllers, " << c.pv.size()
      << " PV rows, " << c.pvImport.size() << " PV-import rows: "
      << (binds ? "binds" : "does not bind (" + std::to_string(result.problems.size()) + " problems)") << '\n';
  return binds ? 0 : 1;
}

}  // namespace host
