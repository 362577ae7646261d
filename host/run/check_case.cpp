// `check`: whether a case's tag tables bind, with any FIX and read-only. The
// points are checked in dcshost's own groups first, then the driver declares
// and configures the record as a run would, and reports what it finds; the
// case is never started, so nothing is written into FIX.
#include "fix/binding_check.h"
#include "run/case_runner.h"
#include "run/matrix_actions.h"
#include "run/session.h"
#include "run/tiebacks.h"
#include "system/exit_status.h"

namespace host {

int CheckCase(const Case& written, const RunOptions& given, std::ostream& out, RunResult& result) {
  RunOptions options = given;
  options.plantCode = false;  // reading only: no plant's code runs
  std::unique_ptr<Session> session = Session::Open(written, options, out);
  if (!session) {
    return StatusOf(ExitStatus::Refused);
  }
  const Case& c = session->scenario();
  result.problems = BindingProblems(c, session->fix());
  for (const std::string& problem : MatrixProblems(session->fix(), c)) {
    result.problems.push_back(problem);
  }
  for (const std::string& problem : result.problems) {
    out << "problem: " << problem << '\n';
  }
  for (const std::string& warning : SharedWrites(c)) {
    out << "warning: " << warning << '\n';
  }
  for (const std::string& line : StrategyLines(session->fix(), c)) {
    out << "strategy: " << line << '\n';
  }
  for (const std::string& note : MissingSheetFields(c, session->fix())) {
    out << "note: " << note << '\n';
  }
  session->Declare();
  result.configured = session->dcs().DCSConfigure(session->record()) == 1;
  session->CollectMessages(result, out);
  session->End(result, out);
  const bool binds = result.configured && result.problems.empty();
  out << (c.name.empty() ? c.path : c.name) << ": " << c.controllers.size() << " controllers, " << c.pv.size()
      << " PV rows, " << c.pvImport.size() << " PV-import rows: "
      << (binds ? "binds" : "does not bind (" + std::to_string(result.problems.size()) + " problems)");
  // Binding says nothing of a plant's code, which check never runs.
  const std::vector<FmuBlock>& fmus = session->model().Fmus();
  if (!fmus.empty()) {
    out << "; not checked: whether its FMUs (" << fmus.size()
        << ") instantiate (their guid), take their start values and step, which only run finds";
  }
  out << '\n';
  return StatusOf(binds ? ExitStatus::Ok : ExitStatus::Failed);
}

}  // namespace host
