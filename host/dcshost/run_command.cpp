// `dcshost run CASE` and, with no arguments, the built-in tank example: a case
// loaded and run through the driver. It writes into a FIX other than the
// simulated database only when --live says so.
#include <filesystem>
#include <fstream>

#include "builtin_example.h"
#include "dcshost/commands.h"

namespace host {
namespace {

namespace fs = std::filesystem;

// Writes the built-in tank example into a folder of its own under the
// temporary folder; its case path, or empty with a message when it cannot.
std::string WriteBuiltinExample(std::ostream& out) {
  std::error_code ec;
  fs::path temp = fs::temp_directory_path(ec);
  if (ec) {
    out << "dcshost: there is no temporary folder to write the built-in example into (" << ec.message()
        << "); set TMPDIR (TEMP on Windows) to a folder that exists\n";
    return std::string();
  }
  const fs::path folder = temp / "dcshost-builtin-tank";
  fs::create_directories(folder, ec);
  std::ofstream(folder / "tank.toml") << BuiltinTankCase;
  std::ofstream database(folder / "tank-db.csv");
  database << BuiltinTankDatabase;
  database.close();
  if (ec || !database) {
    out << "dcshost: cannot write the built-in example into " << folder.string() << "\n";
    return std::string();
  }
  out << "running the built-in example: the tank level loop (" << (folder / "tank.toml").string() << ")\n";
  return (folder / "tank.toml").string();
}

}  // namespace

CLI::App* AddRunCommand(CLI::App& app, CaseCommand& command) {
  RunOptions& options = command.options;
  CLI::App* run = app.add_subcommand("run", "load, configure, start, step, reset and destroy a case");
  run->add_option("case", command.casePath, "the case file (TOML)")->required();
  run->add_option("--steps", options.steps, "steps to run instead of the case's own")
      ->check(CLI::Validator(
          [](std::string& text) {
            const bool whole = !text.empty() && text.size() <= 9 &&
                               text.find_first_not_of("0123456789") == std::string::npos &&
                               std::stoll(text) <= MaxSteps;
            return whole ? std::string()
                         : "takes a whole number of steps from 0 to " + std::to_string(MaxSteps) + ", not '" + text +
                               "'";
          },
          "0.." + std::to_string(MaxSteps), "steps"));
  run->add_option("--trace", options.tracePath, "write every exchanged value per step to this CSV file");
  run->add_option("--plot", options.plotPath, "draw the chosen signals against time into this SVG file");
  // One value per --signals (panels separated by ','), so that it never takes the case's path.
  run->add_option("--signals", options.signals, "panels to plot: trace columns, '+' sharing a panel, ',' between "
                                                "panels (default: the model's variables)")
      ->delimiter(',')
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  run->add_flag("--no-progress", command.noProgress, "no progress bar");
  run->add_flag("--fmu-log", options.fmuLog, "FMU blocks log their debug categories too, not only warnings and "
                                           "errors");
  run->add_option("--save-state", options.saveState, "write the model's and the simulated database's state at the "
                                                     "end of the run to this file");
  run->add_option("--from-state", options.fromState, "start from a saved state: its step, its model, its "
                                                     "database (instead of the case's initial_state)");
  run->add_option("--report", options.reportFolder, "write the HTML report of the run into this folder: the case's "
                                                   "page, a loop sheet per checked loop, results.json");
  run->add_flag("--live", options.live,
                "consent to write into a FIX other than the simulated database: paced in wall time, "
                "stopped by Ctrl-C or SIGTERM at a step boundary");
  AddLibraryOptions(*run, options);
  return run;
}

int RunCaseCommand(CaseCommand& command, std::ostream& out) {
  command.options.progress = !command.noProgress;
  if (command.casePath.empty()) {
    command.casePath = WriteBuiltinExample(out);
    if (command.casePath.empty()) {
      return 2;
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
