// `dcshost run CASE` and, with no arguments, the built-in tank example: a case
// loaded and run through the driver. It writes into a FIX other than the
// simulated database only when --live says so.
#include <memory>

#include "builtin_example.h"
#include "dcshost/commands.h"
#include "system/exit_status.h"
#include "system/output_file.h"
#include "system/temp_folder.h"

namespace host {
namespace {

// Writes the built-in tank example into a private folder of its own, made
// afresh and removed when the run ends; its case path, or empty with a
// message when it cannot.
std::string WriteBuiltinExample(std::unique_ptr<TempFolder>& folder, std::ostream& out) {
  std::string error;
  folder = TempFolder::Make("dcshost-builtin-tank-", error);
  std::string casePath = folder ? folder->path() + "/tank.toml" : std::string();
  if (!folder || !WriteWholeFile(casePath, "the built-in example", BuiltinTankCase, error) ||
      !WriteWholeFile(folder->path() + "/tank-db.csv", "the built-in example", BuiltinTankDatabase, error)) {
    Say(out, "cannot write the built-in example: " + error + "; set TMPDIR (TEMP on Windows) to a folder that exists");
    return std::string();
  }
  out << "running the built-in example: the tank level loop (" << casePath << ")\n";
  return casePath;
}

}  // namespace

int RunCaseCommand(CaseCommand& command, std::ostream& out) {
  command.options.progress = !command.noProgress;
  std::unique_ptr<TempFolder> builtin;  // the built-in example's files, removed when the run ends
  if (command.casePath.empty()) {
    command.casePath = WriteBuiltinExample(builtin, out);
    if (command.casePath.empty()) {
      return StatusOf(ExitStatus::Refused);
    }
    command.options.tracePath = "dcshost-tank-trace.csv";
    command.options.plotPath = "dcshost-tank-plot.svg";
    command.options.progress = true;
  }
  Case c;
  RunResult result;
  const int status = LoadCaseFile(command.casePath, c, out);
  return status != 0 ? status : RunCase(c, command.options, out, result);
}

}  // namespace host
