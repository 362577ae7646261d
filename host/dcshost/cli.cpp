// The dcshost command line. The only place of the host program that lets an
// exception through: the argument parser's, turned into usage and status 2.
#include "dcshost/cli.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>

#include "builtin_example.h"
#include "case/case.h"
#include "run/case_runner.h"
#include "dcshost/test_command.h"

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

int Load(const std::string& path, Case& c, std::ostream& out) {
  std::string error;
  if (!LoadCase(path, c, error)) {
    out << "dcshost: " << error << '\n';
    return 2;
  }
  return 0;
}

}  // namespace

int RunCli(int argc, char** argv, std::ostream& out) {
  CLI::App app{"dcshost: runs simulation cases through the fixdcs driver against a simulated FIX database"};
  RunOptions options;
  std::string casePath;
  bool noProgress = false;
  // Options are `--name` and `-x` only, on every platform: on Windows CLI11
  // would also take `/name`, and then every absolute Unix path given under
  // wine would be read as an unknown option. Subcommands inherit the setting.
  app.allow_windows_style_options(false);
  app.set_version_flag("--version", std::string("dcshost ") + FIXDCS_VERSION);
  app.require_subcommand(0, 1);
  CLI::App* run = app.add_subcommand("run", "load, configure, start, step, reset and destroy a case");
  run->add_option("case", casePath, "the case file (TOML)")->required();
  run->add_option("--steps", options.steps, "steps to run instead of the case's own")
      ->check(CLI::Range(0, static_cast<int>(MaxSteps)));
  run->add_option("--trace", options.tracePath, "write every exchanged value per step to this CSV file");
  run->add_option("--plot", options.plotPath, "draw the chosen signals against time into this SVG file");
  // One value per --signals (panels separated by ','), so that it never takes the case's path.
  run->add_option("--signals", options.signals, "panels to plot: trace columns, '+' sharing a panel, ',' between "
                                                "panels (default: the model's variables)")
      ->delimiter(',')
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  run->add_flag("--no-progress", noProgress, "no progress bar");
  run->add_option("--save-state", options.saveState, "write the model's and the simulated database's state at the "
                                                     "end of the run to this file");
  run->add_option("--from-state", options.fromState, "start from a saved state: its step, its model, its "
                                                     "database (instead of the case's initial_state)");
  run->add_flag("--live", options.live,
                "consent to write into a FIX other than the simulated database: paced in wall time, "
                "stopped by Ctrl-C or SIGTERM at a step boundary");
  TestOptions testOptions;
  CLI::App* test = app.add_subcommand("test", "run every case under the paths, each in its own process, and judge "
                                              "their expectations");
  test->add_option("paths", testOptions.paths, "case files, or folders searched for *.toml")->required();
  test->add_option("--jobs,-j", testOptions.jobs, "cases run at once")->check(CLI::Range(1, 64));
  test->add_option("--junit", testOptions.junitPath, "write the results as JUnit XML to this file");
  test->add_option("--plots", testOptions.plotFolder, "the folder for the plots of failing cases");
  test->add_option("--fix", testOptions.fixFolder, "the FIX folder each case runs against");
  test->add_option("--driver", testOptions.driverPath, "the driver library each case loads");
  CLI::App* check = app.add_subcommand("check", "load and configure a case, and list every problem (reads only)");
  check->add_option("case", casePath, "the case file (TOML)")->required();
  for (CLI::App* command : {run, check}) {
    command->add_option("--driver", options.driverPath, "the driver library (default: the one beside dcshost)");
    command->add_option("--fix", options.fixFolder,
                        "the folder that holds FIX's EDA and FIXTOOLS (default: the simulated database beside "
                        "dcshost)");
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    std::ostringstream usage;
    std::ostringstream problem;
    const int code = app.exit(e, usage, problem);
    out << usage.str() << problem.str();
    return code == 0 ? 0 : 2;
  }
  options.progress = !noProgress;
  if (test->parsed()) {
    return RunTests(testOptions, out);
  }
  Case c;
  RunResult result;
  if (check->parsed()) {
    const int status = Load(casePath, c, out);
    return status != 0 ? status : CheckCase(c, options, out, result);
  }
  if (!run->parsed()) {
    casePath = WriteBuiltinExample(out);
    if (casePath.empty()) {
      return 2;
    }
    options.tracePath = "dcshost-tank-trace.csv";
    options.plotPath = "dcshost-tank-plot.svg";
    options.progress = true;
  }
  const int status = Load(casePath, c, out);
  return status != 0 ? status : RunCase(c, options, out, result);
}

}  // namespace host
