// Runs a case against the loaded driver: the host's calling order, with the
// operator events, the simulated database's scan and the process model
// between the steps. A run stops at a step boundary when a model value is not
// finite or FIX could not hold it, and when a signal asks it to.
#include "run/case_runner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <memory>
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

#include "case/run_state.h"
#include "checkout/alarm_checks.h"
#include "checkout/expectations.h"
#include "checkout/loop_checks.h"
#include "checkout/malfunctions.h"
#include "checkout/matrix_checks.h"
#include "report/html_report.h"
#include "report/plot.h"
#include "report/trace_writer.h"
#include "run/alarm_actions.h"
#include "run/loop_actions.h"
#include "run/matrix_actions.h"
#include "run/outputs.h"
#include "run/run_report.h"
#include "run/run_summary.h"
#include "run/session.h"
#include "run/signals.h"
#include "run/start_state.h"
#include "run/step.h"
#include "run/step_times.h"
#include "run/verdict_file.h"
#include "system/exit_status.h"
#include "system/output_file.h"
#include "system/paths.h"
#include "system/stop_signal.h"

namespace host {
namespace {

// One run of a case, phase by phase: prepared (the start state, the signals,
// the plot, the expectations and the trace), bound (the record declared,
// configured and started), stepped, and finished (saved, released, summed up
// and judged).
class Run {
 public:
  Run(const Case& c, const RunOptions& options, std::ostream& out, RunResult& result, Session& session)
      : c_(c), options_(options), out_(out), result_(result), session_(session), malfunctions_(c) {}

  // Each phase returns false when the run ends there, having said why;
  // status() is then how it ends. Finish always ends it.
  bool Prepare();
  bool Bind();
  void Loop();
  void Finish();
  // After a run that did not bind: its trace and report, as far as it went.
  void Unbound();
  int status() const { return status_; }
  const std::vector<Verdict>& verdicts() const { return verdicts_; }

 private:
  // False, having said why, for a run dcshost refuses against this FIX.
  bool Allowed();
  // Puts the trace in place, or says why it could not be written.
  bool CloseTrace();
  // Writes the report when one is asked for; false when it could not be written.
  bool Report();
  // Ends the run here with a refusal: says why, and returns false.
  bool Refuse(const std::string& why);
  // Waits, in short slices so that a stop is taken at once, until the step is due.
  void Pace(int done, std::chrono::steady_clock::time_point started) const;
  // After a step: the trace, the plot, the expectations, the loop checks and the progress bar.
  void Record(int64_t step, int done);
  // The loop checks, the alarm checks and the matrix planned, one after
  // another, and the run made as long as they need.
  bool PlanChecks();
  // The report folder cleared of an earlier report and marked with this one's files.
  bool BeginReport();
  // The checks that began at this step boundary, marked on the plot.
  void MarkLoopChecks(int64_t step);

  const Case& c_;
  const RunOptions& options_;
  std::ostream& out_;
  RunResult& result_;
  Session& session_;
  int steps_ = 0;
  double dt_ = 0.0;
  std::string startState_;
  RunState start_;
  std::vector<TraceColumn> columns_;
  PlotRecorder plot_;
  Expectations expectations_;
  TraceWriter trace_;
  Malfunctions malfunctions_;
  LoopChecks checks_;
  AlarmChecks alarms_;                        // after the loop checks
  std::unique_ptr<AlarmStates> alarmStates_;  // made with them
  MatrixChecks matrix_;                       // after the alarm checks
  std::unique_ptr<MatrixStates> matrixStates_;
  std::vector<LoopAction> due_;              // the loop checks' actions of a step boundary
  std::vector<LoopColumns> checkedColumns_;  // each checked loop's signals among the columns, for its markers
  std::vector<SheetFacts> found_, left_;     // what FIX holds of each checked loop before and after, for the report
  std::vector<Verdict> verdicts_;            // every verdict, once judged
  ReportFolder report_;
  StepTimes stepTimes_;
  std::vector<double> values_;
  std::vector<bool> exchanged_;
  StopOnSignal stop_;
  bool progress_ = false;
  std::string broken_;
  int done_ = 0;
  bool ranToEnd_ = false;  // every step taken, and what is due after the last
  int status_ = StatusOf(ExitStatus::Ok);
};

bool Run::Refuse(const std::string& why) {
  status_ = host::Refuse(out_, why);
  return false;
}

// The runs dcshost refuses against a FIX other than the simulated database.
bool Run::Allowed() {
  if (session_.fix().IsSimulated()) {
    return true;
  }
  if (!options_.live) {
    std::string resets;
    for (const std::string& reset : c_.matrix.reset) {
      resets += (resets.empty() ? "" : ", ") + reset;
    }
    return Refuse("this FIX is not the simulated database: `run` would write into it (" + std::to_string(c_.pv.size()) +
                  " PV rows at every step, controllers and PV-import rows at the start" +
                  (resets.empty() ? std::string() : ", the matrix's reset commands " + resets + " after each cause") +
                  "); give --live to consent, or use `check`, which only reads");
  }
  if (!c_.malfunctions.empty()) {
    return Refuse(c_.path +
                  ": malfunctions act on the simulated database and the model; against this FIX "
                  "they are refused (" +
                  c_.malfunctions.front().description + ")");
  }
  if (!options_.saveState.empty() || !options_.fromState.empty()) {
    return Refuse(
        "a saved state holds the simulated database; against this FIX --save-state and "
        "--from-state are refused");
  }
  return true;
}

bool Run::Prepare() {
  steps_ = options_.steps >= 0 ? options_.steps : c_.steps;
  dt_ = c_.stepSeconds;
  if (!Allowed()) {
    return false;
  }
  startState_ = options_.fromState.empty() ? c_.initialState : options_.fromState;
  if ((!startState_.empty() && !LoadStart(startState_, session_, start_, out_)) ||
      !BeginModel(session_, start_.step, !options_.saveState.empty(), out_)) {
    status_ = StatusOf(ExitStatus::Refused);  // said where it was found
    return false;
  }
  if (options_.live) {
    SayWhatIsWritten(c_, session_.fix(), steps_, out_);
  }
  columns_ = TraceColumns(c_, session_.model());
  // Expectations over loops and the default plot see the controllers' loops.
  std::vector<CheckedLoop> pid;
  std::copy_if(session_.loops().begin(), session_.loops().end(), std::back_inserter(pid),
               [](const CheckedLoop& loop) { return !loop.discrete; });
  const std::vector<LoopColumns> paired = LoopSignalColumns(c_, session_.model(), pid);
  std::string error;
  if (!options_.plotPath.empty() &&
      !plot_.Choose(PlotList(c_, options_, session_.model(), paired, columns_, out_), columns_, error)) {
    return Refuse(PlotRefusal(c_, options_, session_.model(), error));
  }
  if (!expectations_.Bind(c_, paired, SignalNames(columns_), SignalsFromFix(columns_), session_.fix(), error)) {
    return Refuse(error);
  }
  if (!options_.tracePath.empty() && !trace_.Open(options_.tracePath, columns_, error)) {
    return Refuse(error);
  }
  if (!PlanChecks() || !BeginReport()) {
    return false;
  }
  if (session_.fix().IsSimulated() && session_.fix().simulated().SetJournal != nullptr) {
    session_.fix().simulated().SetJournal(0);  // the run reads no journal; keep the database fast
  }
  out_ << "case " << (c_.name.empty() ? c_.path : c_.name) << ": " << c_.controllers.size() << " controllers, "
       << c_.pv.size() << " PV rows, " << c_.pvImport.size() << " PV-import rows, " << steps_ << " steps\n";
  return true;
}

void Run::MarkLoopChecks(int64_t step) {
  for (const LoopAction& action : due_) {
    if (action.begins != nullptr && !options_.plotPath.empty()) {
      const std::string& tag = CheckedTag(c_, checks_.Loops()[action.loop]);
      // On the loop's own panels: its target's and its output's.
      const LoopColumns& loop = checkedColumns_[action.loop];
      plot_.Mark(PlotMarker{dt_ * static_cast<double>(step),
                            tag + " " + action.begins,
                            {columns_[loop.target].name, columns_[loop.output].name}});
    }
  }
}

bool Run::BeginReport() {
  if (options_.reportFolder.empty()) {
    return true;
  }
  const bool plot = !options_.plotPath.empty() && SameFile(options_.plotPath, options_.reportFolder + "/plot.svg");
  std::string error;
  return report_.Begin(options_.reportFolder,
                       CaseReportEntries(LoopSheetFiles(c_, checks_), plot, !c_.matrix.path.empty()), error) ||
         Refuse(error);
}

bool Run::PlanChecks() {
  if (const std::string unmatched = LoopChecks::Unmatched(c_, session_.loops()); !unmatched.empty()) {
    return Refuse(unmatched);
  }
  if (const std::string unmatched = AlarmChecks::Unmatched(c_); !unmatched.empty()) {
    return Refuse(unmatched);
  }
  checks_.Plan(c_, session_.loops(), dt_);
  const bool matrix = !c_.matrix.path.empty();
  if (checks_.Empty() && c_.alarmChecks.empty() && !matrix) {
    return true;
  }
  // Loop checks fail transmitters and switch modes, which only the simulated
  // database may have done to it; alarm checks and the matrix write nothing
  // but the PV rows and the reset commands the consent named.
  if (!session_.fix().IsSimulated() && !checks_.Empty()) {
    return Refuse(c_.path +
                  ": loop checks act on the simulated database and the model; against this FIX they are refused");
  }
  if (!checks_.Empty()) {
    due_.reserve(checks_.Loops().size() * 6);  // the most actions a loop takes at one step
    checkedColumns_ = LoopSignalColumns(c_, session_.model(), checks_.Loops());
    if (!options_.reportFolder.empty()) {
      found_ = ReadSheetFacts(session_.fix(), c_, checks_);  // as found, before the run
    }
  }
  if (!c_.alarmChecks.empty()) {
    alarms_.Plan(c_, ReadAlarmPoints(session_.fix(), c_), dt_, checks_.Empty() ? 0 : checks_.StepsNeeded());
    alarmStates_ = std::make_unique<AlarmStates>(session_.fix(), c_, alarms_.Points());
  }
  const int64_t alarmsEnd = std::max(checks_.Empty() ? 0 : checks_.StepsNeeded(), alarms_.StepsNeeded());
  if (matrix) {
    matrix_.Plan(c_, ReadMatrixFacts(session_.fix(), c_), dt_, alarmsEnd);
    matrixStates_ = std::make_unique<MatrixStates>(session_.fix(), c_);
  }
  const int64_t needed = std::max(alarmsEnd, matrix_.StepsNeeded());
  if (options_.steps < 0 && steps_ < needed) {
    steps_ = static_cast<int>(std::min<int64_t>(needed, MaxSteps));
  }
  for (const CaseEvent& event : c_.events) {
    if (event.step > steps_) {
      return Refuse(Where(event.origin) + ": event step " + std::to_string(event.step) + " lies outside the run of " +
                    std::to_string(steps_) + " steps");
    }
  }
  const std::string taken = steps_ < needed ? " (the run takes " + std::to_string(steps_) + ")" : "";
  if (!checks_.Empty()) {
    out_ << "loop checks: " << checks_.Count() << " checks of " << checks_.Loops().size() << " loops, which need "
         << checks_.StepsNeeded() << " steps" << taken << '\n';
  }
  if (!c_.alarmChecks.empty()) {
    out_ << "alarm checks: " << alarms_.Count() << " limits of " << alarms_.Points().size() << " points, from step "
         << (checks_.Empty() ? 0 : checks_.StepsNeeded()) << " to " << alarmsEnd << taken << '\n';
  }
  if (matrix) {
    out_ << "matrix checks: " << c_.matrix.causes.size() << " causes and " << c_.matrix.effects.size() << " effects in "
         << matrix_.Count() << " forcings, from step " << alarmsEnd << " to " << needed << taken << '\n';
  }
  return true;
}

bool Run::Bind() {
  session_.Declare();
  if (!startState_.empty()) {
    RestoreRecord(start_, session_);
  }
  if (const std::string broken = Broken(session_, -1); !broken.empty()) {
    Say(out_, broken + ": the run does not start");
    status_ = StatusOf(ExitStatus::Failed);
    return false;
  }
  result_.configured = session_.dcs().DCSConfigure(session_.record()) == 1;
  out_ << "DCSConfigure -> " << (result_.configured ? 1 : 0) << '\n';
  session_.CollectMessages(result_, out_);
  if (!result_.configured) {
    session_.End(result_, out_);
    out_ << "the case does not bind; `dcshost check` lists every problem\n";
    const int failed = JudgeExpectations(expectations_, result_, plot_, out_, {}, &verdicts_);
    status_ = StatusOf(c_.expectations.empty() || failed > 0 ? ExitStatus::Failed : ExitStatus::Ok);
    return false;
  }
  result_.startResult = session_.dcs().DCSStart(session_.record());
  out_ << "DCSStart     -> " << result_.startResult << '\n';
  session_.CollectMessages(result_, out_);
  if (!startState_.empty()) {
    malfunctions_.Restore(start_.step, dt_ * static_cast<double>(start_.step), start_.frozen, session_.fix());
  }
  return true;
}

void Run::Pace(int done, std::chrono::steady_clock::time_point started) const {
  const auto due = started + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                 std::chrono::duration<double>(dt_ * done));
  while (stop_.signal() == 0 && std::chrono::steady_clock::now() < due) {
    const std::chrono::steady_clock::duration left = due - std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(20)));
  }
}

void Run::Record(int64_t step, int done) {
  SampleSignals(session_, values_, exchanged_);
  const double seconds = dt_ * static_cast<double>(step + 1);
  if (trace_.IsOpen()) {
    trace_.Write(static_cast<int>(step + 1), seconds, values_, exchanged_);
  }
  if (!options_.plotPath.empty()) {
    plot_.Add(seconds, values_, exchanged_);
  }
  expectations_.Sample(step + 1, seconds, values_, exchanged_);
  if (!checks_.Empty()) {
    checks_.Sample(done, RecordSignals(session_.builder()));
  }
  if (alarms_.Active(done)) {
    alarmStates_->Sample(alarms_, done);
  }
  if (matrix_.Active(done)) {
    matrixStates_->Sample(matrix_, done);
  }
  if (progress_ && (done % 64 == 0 || done + 1 == steps_)) {
    Progress(done + 1, steps_);
  }
}

void Run::Loop() {
  StepContext context{malfunctions_, plot_, stepTimes_, result_, out_, {}};
  progress_ = options_.progress && !options_.live && FIXDCS_ISATTY(FIXDCS_FILENO(stderr)) != 0;
  const auto started = std::chrono::steady_clock::now();
  for (; done_ < steps_ && stop_.signal() == 0 && broken_.empty() && session_.model().Ended().empty(); ++done_) {
    if (options_.live) {
      Pace(done_, started);
      if (stop_.signal() != 0) {
        break;
      }
    }
    const int64_t step = start_.step + done_;
    if (!checks_.Empty()) {
      DoLoopActions(session_, checks_, malfunctions_, done_, due_);
      MarkLoopChecks(step);
    }
    if (alarms_.Active(done_)) {
      alarmStates_->Drive(alarms_, malfunctions_, done_);
    }
    if (matrix_.Active(done_)) {
      matrixStates_->Drive(matrix_, malfunctions_, done_);
    }
    Step(session_, step, dt_, context);
    session_.CollectMessages(result_, out_);
    broken_ = Broken(session_, step);
    Record(step, done_);
  }
  ranToEnd_ = done_ == steps_ && stop_.signal() == 0 && broken_.empty();
  if (ranToEnd_) {
    // What is due after the last step still happens: an event there is seen
    // by the final reading of FIX.
    const int64_t last = start_.step + done_;
    AtStepBoundary(session_, last, dt_ * static_cast<double>(last), context);
  }
  result_.steps = done_;
  result_.medianStepMicros = stepTimes_.Percentile(0.5);
  result_.p99StepMicros = stepTimes_.Percentile(0.99);
}

void Run::Finish() {
  SampleSignals(session_, values_, exchanged_);
  for (size_t k = 0; k < columns_.size(); ++k) {
    result_.final[columns_[k].name] = values_[k];
  }
  ReadFinalModes(session_, result_);
  if (!found_.empty()) {
    left_ = ReadSheetFacts(session_.fix(), c_, checks_);  // as left, before the driver lets go
  }
  const int64_t last = start_.step + done_;
  // A state is saved only from a run that reached its last step: one that
  // stopped before could not go on as the run would have (and the state it
  // started from, where that is the file, is kept as it was).
  if (!ranToEnd_ && !options_.saveState.empty()) {
    if (!startState_.empty() && SameFile(options_.saveState, startState_)) {
      out_ << "the run did not end: " << options_.saveState << " is kept as it was\n";
    } else {
      out_ << "the run did not reach its last step: no state is saved to " << options_.saveState << '\n';
    }
  }
  const bool saved =
      options_.saveState.empty() || !ranToEnd_ || SaveEnd(options_.saveState, last, malfunctions_, session_, out_);
  session_.End(result_, out_);
  if (stop_.signal() != 0) {
    out_ << "stopped by signal " << stop_.signal() << " after step " << last << ": the driver was reset and "
         << "destroyed, nothing is left in FIX; the run did not end, so it exits with "
         << StoppedBySignal(stop_.signal()) << '\n';
  }
  if (!broken_.empty()) {
    Say(out_, broken_ + ": the run stops there");
  } else if (!session_.model().Ended().empty()) {
    out_ << "step " << last << ": " << session_.model().Ended() << "; the run ends there, judged on what ran\n";
  }
  // What the run did not reach fails it: a check or an event never made passes nothing.
  const std::string why = "the run ended after step " + std::to_string(last);
  std::vector<Verdict> more = checks_.Judge(c_);
  for (const std::vector<Verdict>& also : {checks_.NotReached(c_, why), alarms_.Judge(c_), alarms_.NotReached(c_, why),
                                           matrix_.Judge(c_), matrix_.NotReached(c_, why)}) {
    more.insert(more.end(), also.begin(), also.end());
  }
  for (const CaseEvent& event : c_.events) {
    if (event.step > last || (event.step == last && !ranToEnd_)) {
      Verdict v;
      v.description = "event at step " + std::to_string(event.step) + ", " +
                      PointText(event.node, event.tag, event.field) + " (" + Where(event.origin) + ")";
      v.measured = "not reached: " + why;
      more.push_back(v);
    }
  }
  Summary(session_, result_, dt_, out_);
  const int failed = JudgeExpectations(expectations_, result_, plot_, out_, more, &verdicts_);
  bool written = true;
  if (!options_.plotPath.empty()) {
    std::string error;
    if (plot_.Write(options_.plotPath, c_.name.empty() ? c_.path : c_.name, error)) {
      out_ << "plot written to " << options_.plotPath << '\n';
    } else {
      written = false;
      Say(out_, error);
    }
  }
  written = CloseTrace() && written;
  written = Report() && written;
  if (stop_.signal() != 0) {
    status_ = StoppedBySignal(stop_.signal());
  } else if (!saved || !written) {
    status_ = StatusOf(ExitStatus::Refused);
  } else {
    status_ = StatusOf(broken_.empty() && failed == 0 ? ExitStatus::Ok : ExitStatus::Failed);
  }
}

void Run::Unbound() {
  const bool written = CloseTrace() && Report();
  if (!written && status_ < StoppedBySignal(0)) {
    status_ = StatusOf(ExitStatus::Refused);
  }
}

bool Run::Report() {
  if (options_.reportFolder.empty()) {
    return true;
  }
  std::string error;
  if (!WriteRunReport(session_, options_, checks_, alarms_, matrix_, found_, left_, verdicts_, result_, report_,
                      error)) {
    Say(out_, error);
    return false;
  }
  out_ << "report written to " << options_.reportFolder << "/index.html\n";
  return true;
}

bool Run::CloseTrace() {
  if (!trace_.IsOpen()) {
    return true;
  }
  std::string error;
  if (!trace_.Close(error)) {
    Say(out_, error);
    return false;
  }
  out_ << "trace written to " << options_.tracePath << '\n';
  return true;
}

}  // namespace

namespace {

// The run once its outputs are planned: its exit status, and its verdicts as judged.
int RunPlanned(const Case& c, const RunOptions& options, std::ostream& out, RunResult& result,
               std::vector<Verdict>& verdicts) {
  std::unique_ptr<Session> session = Session::Open(c, options, out);
  if (!session) {
    return StatusOf(ExitStatus::Refused);
  }
  // The run lives on the heap: its plot and step buffers are large.
  auto run = std::make_unique<Run>(session->scenario(), options, out, result, *session);
  if (!run->Prepare()) {
    return run->status();
  }
  if (run->Bind()) {
    run->Loop();
    run->Finish();
  } else {
    run->Unbound();
  }
  verdicts = run->verdicts();
  return run->status();
}

}  // namespace

int RunCase(const Case& c, const RunOptions& given, std::ostream& out, RunResult& result) {
  RunOptions options = given;
  if (!options.reportFolder.empty()) {
    if (options.plotPath.empty()) {
      options.plotPath = options.reportFolder + "/plot.svg";  // the report shows the run's plot
    }
  }
  if (std::string refused; !RunOutputs(c, options).Check(refused)) {
    return Refuse(out, refused);
  }
  std::vector<Verdict> verdicts;
  const int status = RunPlanned(c, options, out, result, verdicts);
  std::string error;
  // The end, for dcshost test, is written last: a run that gets here ended as dcshost ends it.
  if (!options.verdictsPath.empty() &&
      !WriteVerdictFile(options.verdictsPath, VerdictFile{Recorded(verdicts), status}, error)) {
    return Refuse(out, error);
  }
  return status;
}

}  // namespace host
