// The dcshost command line. The only place of the host program that lets an
// exception through: the argument parser's, turned into usage and status 2.
#include "dcshost/cli.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>

#include "builtin_example.h"
#include "case_file.h"
#include "case_runner.h"

namespace host {
namespace {

namespace fs = std::filesystem;

// Writes the built-in tank example into a folder of its own; its case path.
std::string WriteBuiltinExample(std::ostream& out) {
  const fs::path folder = fs::temp_directory_path() / "dcshost-builtin-tank";
  std::error_code ignored;
  fs::create_directories(folder, ignored);
  std::ofstream(folder / "tank.toml") << BuiltinTankCase;
  std::ofstream(folder / "tank-db.csv") << BuiltinTankDatabase;
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
  run->add_option("--steps", options.steps, "steps to run instead of the case's own")->check(CLI::NonNegativeNumber);
  run->add_option("--trace", options.tracePath, "write every exchanged value per step to this CSV file");
  run->add_option("--plot", options.plotPath, "draw the chosen signals against time into this SVG file");
  run->add_option("--signals", options.signals, "trace columns to plot (default: the model's variables)")
      ->delimiter(',');
  run->add_option("--driver", options.driverPath, "the driver library (default: the one beside dcshost)");
  run->add_flag("--no-progress", noProgress, "no progress bar");
  CLI::App* check = app.add_subcommand("check", "load and configure a case, and list every problem");
  check->add_option("case", casePath, "the case file (TOML)")->required();
  check->add_option("--driver", options.driverPath, "the driver library (default: the one beside dcshost)");
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
  Case c;
  RunResult result;
  if (check->parsed()) {
    const int status = Load(casePath, c, out);
    return status != 0 ? status : CheckCase(c, options, out, result);
  }
  if (!run->parsed()) {
    casePath = WriteBuiltinExample(out);
    options.tracePath = "dcshost-tank-trace.csv";
    options.plotPath = "dcshost-tank-plot.svg";
    options.progress = true;
  }
  const int status = Load(casePath, c, out);
  return status != 0 ? status : RunCase(c, options, out, result);
}

}  // namespace host
