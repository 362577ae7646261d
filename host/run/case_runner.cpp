// Runs a case against the loaded driver: the host's calling order, with the
// operator events, the simulated database's scan and the process model
// between the steps. A run stops at a step boundary when a model value is not
// finite or FIX could not hold it, and when a signal asks it to.
#include "run/case_runner.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <map>
#include <set>
#include <thread>

#if defined(_WIN32)
#include <io.h>
#define FIXDCS_ISATTY _isatty
#define FIXDCS_FILENO _fileno
#else
#include <unistd.h>
#define FIXDCS_ISATTY isatty
#define FIXDCS_FILENO fileno
#endif

#include "checkout/checkout.h"
#include "driver/driver_rules.h"
#include "fix/fix_group.h"
#include "fix/operator_events.h"
#include "case/run_state.h"
#include "run/session.h"
#include "run/step_times.h"
#include "report/trace.h"

namespace host {
namespace {

int Fail(std::ostream& out, const std::string& message) {
  out << "dcshost: " << message << '\n';
  return 2;
}

// A stop asked for by SIGINT or SIGTERM, taken at the next step boundary.
volatile std::sig_atomic_t stopSignal = 0;
extern "C" void AskToStop(int signal) { stopSignal = signal; }

// Installs the stop handlers for the run's duration and restores the old ones.
class StopOnSignal {
 public:
  StopOnSignal() {
    stopSignal = 0;
    oldInt_ = std::signal(SIGINT, AskToStop);
    oldTerm_ = std::signal(SIGTERM, AskToStop);
  }
  ~StopOnSignal() {
    std::signal(SIGINT, oldInt_ == SIG_ERR ? SIG_DFL : oldInt_);
    std::signal(SIGTERM, oldTerm_ == SIG_ERR ? SIG_DFL : oldTerm_);
  }
  StopOnSignal(const StopOnSignal&) = delete;
  StopOnSignal& operator=(const StopOnSignal&) = delete;
  int signal() const { return stopSignal; }

 private:
  void (*oldInt_)(int) = SIG_DFL;
  void (*oldTerm_)(int) = SIG_DFL;
};

std::string Unique(const std::vector<TraceColumn>& columns, std::string name, size_t row) {
  if (std::any_of(columns.begin(), columns.end(), [&name](const TraceColumn& c) { return c.name == name; })) {
    name += "#" + std::to_string(row);
  }
  return name;
}

// A PV-import field that carries a mode or a flag, drawn as steps.
bool DiscreteField(const std::string& field) { return IsTextField(field) || field == "F_AUTO"; }

// Trace columns: model variables, then every row's exchanged values.
std::vector<TraceColumn> TraceColumns(const Case& c, const ProcessModel& model) {
  std::vector<TraceColumn> columns;
  for (const std::string& name : model.Names()) {
    columns.push_back(TraceColumn{name, model.Unit(name), "model", false});
  }
  for (size_t i = 0; i < c.controllers.size(); ++i) {
    const CaseCtrlRow& r = c.controllers[i];
    columns.push_back(TraceColumn{Unique(columns, r.tag + ".output", i), "0-1", "from DCS", false});
    columns.push_back(TraceColumn{Unique(columns, r.tag + ".tv1", i), "", "from DCS", false});
  }
  for (size_t i = 0; i < c.pv.size(); ++i) {
    const CasePVRow& r = c.pv[i];
    const std::string unit = r.from.empty() ? std::string() : model.Unit(r.from);
    columns.push_back(TraceColumn{Unique(columns, r.tag + "." + r.field, i), unit, "to DCS", false});
  }
  for (size_t i = 0; i < c.pvImport.size(); ++i) {
    const CasePVRow& r = c.pvImport[i];
    columns.push_back(TraceColumn{Unique(columns, r.tag + "." + r.field, i), "", "from DCS", DiscreteField(r.field)});
  }
  return columns;
}

// One step's values in column order, and which were exchanged at this step:
// a controller's values when their update flags say so, a PV or PV-import
// row's when it is active and within the driver's capacity.
void TraceValues(Session& session, std::vector<double>& values, std::vector<bool>& exchanged) {
  values.clear();
  exchanged.clear();
  for (const std::string& name : session.model().Names()) {
    values.push_back(session.model().Get(name));
    exchanged.push_back(true);
  }
  RecordBuilder& b = session.builder();
  const DCSDataDef* record = b.record();
  for (int32_t i = 0; i < record->CtrlRowCnt; ++i) {
    values.push_back(b.ctrl(i).OutputValue);
    exchanged.push_back(b.ctrl(i).OutputUpdated != 0);
    values.push_back(b.ctrl(i).TV1Value);
    exchanged.push_back(b.ctrl(i).TV1Updated != 0);
  }
  for (int32_t i = 0; i < record->PVRowCnt; ++i) {
    values.push_back(b.pv(i).Value);
    exchanged.push_back(b.pv(i).Active == 1 && i < dcs::MaxPVRows);
  }
  for (int32_t i = 0; i < record->PVImportRowCnt; ++i) {
    values.push_back(b.pvImport(i).Value);
    exchanged.push_back(b.pvImport(i).Active == 1 && i < dcs::MaxPVImportRows);
  }
}

void Progress(int step, int steps) {
  const int width = 40;
  const int filled = steps == 0 ? width : static_cast<int>(static_cast<long long>(width) * step / steps);
  std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<size_t>(filled), '#').c_str(),
               std::string(static_cast<size_t>(width - filled), ' ').c_str(),
               steps == 0 ? 100 : static_cast<int>(100LL * step / steps));
  if (step == steps) {
    std::fprintf(stderr, "\n");
  }
}

// Why the run cannot go on after a step, or empty: a model variable that is
// not finite, or a PV value FIX could not hold.
std::string Broken(Session& session, const std::string& when) {
  for (const std::string& name : session.model().Names()) {
    const double value = session.model().Get(name);
    if (!std::isfinite(value)) {
      return when + ": the model's " + name + " is " + std::to_string(value) + ", not a finite number";
    }
  }
  const Case& c = session.scenario();
  for (size_t i = 0; i < c.pv.size(); ++i) {
    const double value = c.pv[i].from.empty() ? c.pv[i].value : session.model().Get(c.pv[i].from);
    if (!FitsFixFloat(value)) {
      char text[64];
      std::snprintf(text, sizeof text, "%g", value);
      return when + ": PV row " + std::to_string(i) + " (" + PointText(c.pv[i].node, c.pv[i].tag, c.pv[i].field) +
             ", from " + c.pv[i].from + ") would send " + text + ", beyond what FIX can hold";
    }
  }
  return std::string();
}

// What a step needs beside the session: the malfunctions, the plot for
// markers, the step times and the counts.
struct StepContext {
  Malfunctions& malfunctions;
  PlotRecorder& plot;
  StepTimes& times;
  RunResult& result;
  std::ostream& out;
};

// One step of the coupled run: malfunctions and operator events at the DCS,
// the PV values from the model (through any transmitter fault), the driver's
// exchange, the simulated database's scan, the controllers' outputs into the
// model (unless a valve is stuck), then the process model.
void Step(Session& session, int64_t step, double dt, StepContext& x) {
  const Case& c = session.scenario();
  const double seconds = dt * static_cast<double>(step);
  x.malfunctions.At(step, seconds, session.fix(), x.plot, x.out);
  for (const CaseEvent& event : c.events) {
    if (event.step == step) {
      x.out << "  step " << step << ": " << ApplyEvent(session.fix(), event).text << '\n';
      x.plot.Mark(PlotMarker{seconds, PointText(event.node, event.tag, event.field)});
    }
  }
  RecordBuilder& b = session.builder();
  DCSDataDef* record = session.record();
  for (int32_t i = 0; i < record->PVRowCnt; ++i) {
    const std::string& from = c.pv[static_cast<size_t>(i)].from;
    if (!from.empty()) {
      const double value = session.model().Get(from);
      x.malfunctions.Remember(static_cast<size_t>(i), value);
      b.pv(i).Value = x.malfunctions.Transmitted(static_cast<size_t>(i), value, seconds);
    }
  }
  for (int32_t i = 0; i < record->CtrlRowCnt; ++i) {
    b.ctrl(i).OutputUpdated = 0;
    b.ctrl(i).TV1Updated = 0;
  }
  const auto begin = std::chrono::steady_clock::now();
  session.dcs().DCSSimulate(record);
  const auto end = std::chrono::steady_clock::now();
  x.times.Add(std::chrono::duration<double, std::micro>(end - begin).count());
  if (session.fix().IsSimulated()) {
    session.fix().simulated().Scan(dt);  // a real FIX scans by itself
  }
  for (int32_t i = 0; i < record->CtrlRowCnt; ++i) {
    const DCSCtrlRow& row = b.ctrl(i);
    x.result.valuesFromDcs += row.OutputUpdated + row.TV1Updated;
    const std::string& drives = c.controllers[static_cast<size_t>(i)].drives;
    if (!drives.empty() && !x.malfunctions.Stuck(drives)) {
      session.model().Set(drives, row.OutputValue);
    }
  }
  for (int32_t i = 0; i < std::min(record->PVImportRowCnt, dcs::MaxPVImportRows); ++i) {
    x.result.valuesFromDcs += b.pvImport(i).Active == 1 ? 1 : 0;
  }
  for (int32_t i = 0; i < std::min(record->PVRowCnt, dcs::MaxPVRows); ++i) {
    x.result.valuesToDcs += b.pv(i).Active == 1 ? 1 : 0;
  }
  session.model().Advance(dt);
}

// The controllers' modes as FIX holds them at the end, read through a group
// of dcshost's own.
void ReadFinalModes(Session& session, RunResult& result) {
  const Case& c = session.scenario();
  if (c.controllers.empty()) {
    return;
  }
  FixGroup group(session.fix().api(), static_cast<int32_t>(c.controllers.size()));
  std::vector<int32_t> points;
  for (const CaseCtrlRow& row : c.controllers) {
    points.push_back(group.Define(row.node, row.tag, dcs::FieldMode));
  }
  group.Resolve();
  group.Read();
  for (size_t i = 0; i < c.controllers.size(); ++i) {
    std::string mode;
    const bool read = group.created() && group.PointError(points[i]) == 0 && group.GetText(points[i], mode) == 0;
    result.finalModes[c.controllers[i].tag] = read ? mode : "(no mode)";
  }
}

void Summary(const Case& c, Session& session, const RunResult& result, double dt, std::ostream& out) {
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
  for (const std::string& name : session.model().Names()) {
    std::snprintf(line, sizeof line, "  model              %s = %.4g\n", name.c_str(), session.model().Get(name));
    out << line;
  }
}

// What a live run will write into FIX, said before it starts.
void SayWhatIsWritten(const Case& c, const FixLibrary& fix, int steps, std::ostream& out) {
  std::set<std::string> nodes;
  for (const CaseCtrlRow& r : c.controllers) {
    nodes.insert(r.node);
  }
  for (const CasePVRow& r : c.pv) {
    nodes.insert(r.node);
  }
  for (const CasePVRow& r : c.pvImport) {
    nodes.insert(r.node);
  }
  out << "live run against FIX (" << fix.edaPath() << "): writes " << c.pv.size() << " PV rows at every step";
  if (c.initCycle == 0) {
    out << "; at the start " << c.controllers.size() << " controllers' outputs, second values and modes and "
        << c.pvImport.size() << " PV-import rows";
  }
  out << "; " << c.events.size() << " operator events; nodes:";
  for (const std::string& node : nodes) {
    out << ' ' << node;
  }
  out << "\n  " << steps << " steps paced at " << c.stepSeconds
      << " s each; Ctrl-C (SIGINT) or SIGTERM stops it at the next step\n";
}

}  // namespace

namespace {

// The plot list: the command line's or the case's, else the model's
// variables, else the first columns; then every signal an expectation judges
// that no panel shows yet, in a panel of its own.
std::vector<std::string> PlotList(const Case& c, const RunOptions& options, const ProcessModel& model,
                                  const std::vector<TraceColumn>& columns) {
  std::vector<std::string> plotted = options.signals.empty() ? c.plot : options.signals;
  if (plotted.empty()) {
    plotted = model.Names();
  }
  for (size_t k = 0; plotted.empty() && k < columns.size() && k < 3; ++k) {
    plotted.push_back(columns[k].name);
  }
  for (const CaseExpectation& e : c.expectations) {
    const bool isColumn = std::any_of(columns.begin(), columns.end(),
                                      [&e](const TraceColumn& t) { return t.name == e.signal; });
    const bool shown = std::any_of(plotted.begin(), plotted.end(), [&e](const std::string& entry) {
      return ("+" + entry + "+").find("+" + e.signal + "+") != std::string::npos;
    });
    if (e.kind == CaseExpectation::Kind::Signal && isColumn && !shown) {
      plotted.push_back(e.signal);
    }
  }
  return plotted;
}

// Prints every expectation's verdict and marks the windows on the plot; the
// number that failed.
int JudgeExpectations(const Expectations& expectations, const RunResult& result, PlotRecorder& plot,
                      std::ostream& out) {
  const std::vector<Verdict> verdicts = expectations.Judge(result);
  int failed = 0;
  for (const Verdict& v : verdicts) {
    out << "  expect " << (v.passed ? "PASS" : "FAIL") << "  " << v.description << ": " << v.measured << '\n';
    failed += v.passed ? 0 : 1;
    if (v.windowed) {
      PlotBand band;
      band.signal = v.signal;
      band.from = v.from;
      band.to = v.to;
      band.lo = v.lo;
      band.hi = v.hi;
      band.passed = v.passed;
      band.failTime = v.failTime;
      band.failValue = v.failValue;
      band.label = v.description;
      plot.Band(band);
    }
  }
  if (!verdicts.empty()) {
    out << "expectations: " << verdicts.size() - static_cast<size_t>(failed) << " passed, " << failed << " failed\n";
  }
  return failed;
}

// Where the run starts from: the saved state given, loaded into the model,
// the simulated database and (after Declare) the record.
bool LoadStart(const std::string& path, Session& session, RunState& state, std::ostream& out) {
  std::string error;
  if (!session.fix().IsSimulated()) {
    out << "dcshost: a saved state holds the simulated database; this FIX keeps its own state\n";
    return false;
  }
  if (!LoadState(path, state, error)) {
    out << "dcshost: " << error << '\n';
    return false;
  }
  char dbError[512] = "";
  if (session.fix().simulated().LoadText(state.database.c_str(), path.c_str(), dbError, sizeof dbError) == 0) {
    out << "dcshost: " << dbError << '\n';
    return false;
  }
  for (const auto& variable : state.model) {
    if (!session.model().HasVariable(variable.first)) {
      out << "dcshost: " << path << ": the model has no variable '" << variable.first << "'\n";
      return false;
    }
    session.model().Set(variable.first, variable.second);
  }
  out << "starting from " << path << " after step " << state.step << '\n';
  return true;
}

void RestoreRecord(const RunState& state, Session& session) {
  RecordBuilder& b = session.builder();
  const DCSDataDef* record = b.record();
  for (int32_t i = 0; i < record->CtrlRowCnt && static_cast<size_t>(i) < state.ctrlOutput.size(); ++i) {
    b.ctrl(i).OutputValue = state.ctrlOutput[static_cast<size_t>(i)];
  }
  for (int32_t i = 0; i < record->CtrlRowCnt && static_cast<size_t>(i) < state.ctrlTV1.size(); ++i) {
    b.ctrl(i).TV1Value = state.ctrlTV1[static_cast<size_t>(i)];
  }
  for (int32_t i = 0; i < record->PVImportRowCnt && static_cast<size_t>(i) < state.pvImport.size(); ++i) {
    b.pvImport(i).Value = state.pvImport[static_cast<size_t>(i)];
  }
  // The saved DCS is already in step with the simulation: no initialization cycle.
  b.SetInitCycle(1);
}

bool SaveEnd(const std::string& path, const Case& c, int64_t step, Malfunctions& malfunctions, Session& session,
             std::ostream& out) {
  RunState state;
  state.casePath = c.path;
  state.step = step;
  for (const std::string& name : session.model().Names()) {
    state.model[name] = session.model().Get(name);
  }
  RecordBuilder& b = session.builder();
  const DCSDataDef* record = b.record();
  for (int32_t i = 0; i < record->CtrlRowCnt; ++i) {
    state.ctrlOutput.push_back(b.ctrl(i).OutputValue);
    state.ctrlTV1.push_back(b.ctrl(i).TV1Value);
  }
  for (int32_t i = 0; i < record->PVImportRowCnt; ++i) {
    state.pvImport.push_back(b.pvImport(i).Value);
  }
  state.frozen = malfunctions.Frozen();
  const SimulatedDatabaseApi& db = session.fix().simulated();
  std::string text(db.SaveText(nullptr, 0), '\0');
  db.SaveText(&text[0], text.size());
  text.pop_back();  // the NUL
  state.database = text;
  std::string error;
  if (!SaveState(path, state, error)) {
    out << "dcshost: " << error << '\n';
    return false;
  }
  out << "state after step " << step << " written to " << path << '\n';
  return true;
}

}  // namespace

int RunCase(const Case& c, const RunOptions& options, std::ostream& out, RunResult& result) {
  int status = 0;
  std::unique_ptr<Session> session = Session::Open(c, options, out, status);
  if (!session) {
    return status;
  }
  const int steps = options.steps >= 0 ? options.steps : c.steps;
  const double dt = c.stepSeconds;
  const bool simulated = session->fix().IsSimulated();
  if (!simulated && !options.live) {
    return Fail(out, "this FIX is not the simulated database: `run` would write into it (" +
                         std::to_string(c.pv.size()) + " PV rows at every step, controllers and PV-import rows "
                         "at the start); give --live to consent, or use `check`, which only reads");
  }
  if (!simulated && !c.malfunctions.empty()) {
    return Fail(out, c.path + ": malfunctions act on the simulated database and the model; against this FIX "
                              "they are refused (" + c.malfunctions.front().description + ")");
  }
  if ((!options.saveState.empty() || !options.fromState.empty()) && !simulated) {
    return Fail(out, "a saved state holds the simulated database; against this FIX --save-state and "
                     "--from-state are refused");
  }
  const std::string startState = options.fromState.empty() ? c.initialState : options.fromState;
  RunState start;
  if (!startState.empty() && !LoadStart(startState, *session, start, out)) {
    return 2;
  }
  const int64_t first = start.step;
  if (options.live) {
    SayWhatIsWritten(c, session->fix(), steps, out);
  }
  const std::vector<TraceColumn> columns = TraceColumns(c, session->model());
  PlotRecorder plot;
  std::string error;
  if (!options.plotPath.empty() && !plot.Choose(PlotList(c, options, session->model(), columns), columns, error)) {
    return Fail(out, error);
  }
  Expectations expectations;
  if (!expectations.Bind(c, columns, session->fix(), error)) {
    return Fail(out, error);
  }
  TraceWriter trace;
  if (!options.tracePath.empty() && !trace.Open(options.tracePath, columns, error)) {
    return Fail(out, error);
  }
  if (simulated && session->fix().simulated().SetJournal != nullptr) {
    session->fix().simulated().SetJournal(0);  // the run reads no journal; keep the database fast
  }
  out << "case " << (c.name.empty() ? c.path : c.name) << ": " << c.controllers.size() << " controllers, "
      << c.pv.size() << " PV rows, " << c.pvImport.size() << " PV-import rows, " << steps << " steps\n";

  session->Declare();
  if (!startState.empty()) {
    RestoreRecord(start, *session);
  }
  if (const std::string broken = Broken(*session, "at the start"); !broken.empty()) {
    out << "dcshost: " << broken << ": the run does not start\n";
    return 1;
  }
  result.configured = session->dcs().DCSConfigure(session->record()) == 1;
  out << "DCSConfigure -> " << (result.configured ? 1 : 0) << '\n';
  session->CollectMessages(result, out);
  if (!result.configured) {
    session->End(result, out);
    out << "the case does not bind; `dcshost check` lists every problem\n";
    const int failed = JudgeExpectations(expectations, result, plot, out);
    return c.expectations.empty() || failed > 0 ? 1 : 0;
  }
  result.startResult = session->dcs().DCSStart(session->record());
  out << "DCSStart     -> " << result.startResult << '\n';
  session->CollectMessages(result, out);

  Malfunctions malfunctions(c);
  if (!startState.empty()) {
    malfunctions.Restore(first, dt * static_cast<double>(first), start.frozen, session->fix());
  }
  StepTimes stepTimes;
  StepContext context{malfunctions, plot, stepTimes, result, out};
  std::vector<double> values;
  std::vector<bool> exchanged;
  const StopOnSignal stop;
  const bool progress = options.progress && !options.live && FIXDCS_ISATTY(FIXDCS_FILENO(stderr)) != 0;
  const auto started = std::chrono::steady_clock::now();
  std::string broken;
  int done = 0;
  for (; done < steps && stop.signal() == 0 && broken.empty(); ++done) {
    if (options.live) {
      // Paced in wall time, in short slices so that a stop is taken at once.
      const auto due = started + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                     std::chrono::duration<double>(dt * done));
      while (stop.signal() == 0 && std::chrono::steady_clock::now() < due) {
        const std::chrono::steady_clock::duration left = due - std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(20)));
      }
      if (stop.signal() != 0) {
        break;
      }
    }
    const int64_t step = first + done;
    Step(*session, step, dt, context);
    session->CollectMessages(result, out);
    broken = Broken(*session, "step " + std::to_string(step));
    TraceValues(*session, values, exchanged);
    const double seconds = dt * static_cast<double>(step + 1);
    if (trace.IsOpen()) {
      trace.Write(static_cast<int>(step + 1), seconds, values, exchanged);
    }
    if (!options.plotPath.empty()) {
      plot.Add(seconds, values, exchanged);
    }
    expectations.Sample(step + 1, seconds, values, exchanged);
    if (progress && (done % 64 == 0 || done + 1 == steps)) {
      Progress(done + 1, steps);
    }
  }
  result.steps = done;
  result.medianStepMicros = stepTimes.Percentile(0.5);
  result.p99StepMicros = stepTimes.Percentile(0.99);
  TraceValues(*session, values, exchanged);
  for (size_t k = 0; k < columns.size(); ++k) {
    result.final[columns[k].name] = values[k];
  }
  ReadFinalModes(*session, result);
  const bool saved = options.saveState.empty() || SaveEnd(options.saveState, c, first + done, malfunctions,
                                                          *session, out);
  session->End(result, out);
  if (stop.signal() != 0) {
    out << "stopped by signal " << stop.signal() << " after step " << first + done << ": the driver was reset and "
        << "destroyed, nothing is left in FIX\n";
  }
  if (!broken.empty()) {
    out << "dcshost: " << broken << ": the run stops there\n";
  }
  Summary(c, *session, result, dt, out);
  const int failed = JudgeExpectations(expectations, result, plot, out);
  if (!options.plotPath.empty()) {
    if (!plot.Write(options.plotPath, c.name.empty() ? c.path : c.name, error)) {
      return Fail(out, error);
    }
    out << "plot written to " << options.plotPath << '\n';
  }
  if (!options.tracePath.empty()) {
    out << "trace written to " << options.tracePath << '\n';
  }
  if (!saved) {
    return 2;
  }
  return broken.empty() && failed == 0 ? 0 : 1;
}

}  // namespace host
