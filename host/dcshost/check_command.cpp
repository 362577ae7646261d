// `dcshost check CASE`: whether the case's tag tables bind, with any FIX. It
// only reads: it never sets a value in FIX or writes a group.
#include "dcshost/commands.h"

namespace host {

CLI::App* AddCheckCommand(CLI::App& app, CaseCommand& command) {
  CLI::App* check = app.add_subcommand("check", "load and configure a case, and list every problem (reads only)");
  check->add_option("case", command.casePath, "the case file (TOML)")->required();
  AddLibraryOptions(*check, command.options);
  return check;
}

void AddLibraryOptions(CLI::App& subcommand, RunOptions& options) {
  subcommand.add_option("--driver", options.driverPath, "the driver library (default: the one beside dcshost)");
  subcommand.add_option("--fix", options.fixFolder,
                        "the folder that holds FIX's EDA and FIXTOOLS (default: the simulated database beside "
                        "dcshost)");
}

int CheckCaseCommand(const CaseCommand& command, std::ostream& out) {
  Case c;
  RunResult result;
  const int status = LoadCaseFile(command.casePath, c, out);
  return status != 0 ? status : CheckCase(c, command.options, out, result);
}

int LoadCaseFile(const std::string& path, Case& c, std::ostream& out) {
  std::string error;
  if (!LoadCase(path, c, error)) {
    out << "dcshost: " << error << '\n';
    return 2;
  }
  return 0;
}

}  // namespace host
