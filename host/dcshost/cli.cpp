// The dcshost command line: every command's options, parsed once, and the
// command chosen. The only file that compiles the argument parser, and the
// only place of the host program that lets an exception through: the
// parser's, turned into usage and status 2.
#include "dcshost/cli.h"

#include <sstream>

#include <CLI/CLI.hpp>

#include "dcshost/commands.h"
#include "dcshost/test_command.h"
#include "system/exit_status.h"

namespace host {
namespace {

// The options both `run` and `check` take: the driver and the FIX folder.
void AddLibraryOptions(CLI::App& subcommand, RunOptions& options) {
  subcommand.add_option("--driver", options.driverPath, "the driver library (default: the one beside dcshost)");
  subcommand.add_option("--fix", options.fixFolder,
                        "the folder that holds FIX's EDA and FIXTOOLS (default: the simulated database beside "
                        "dcshost)");
}

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
            return whole
                       ? std::string()
                       : "takes a whole number of steps from 0 to " + std::to_string(MaxSteps) + ", not '" + text + "'";
          },
          "0.." + std::to_string(MaxSteps), "steps"));
  run->add_option("--trace", options.tracePath, "write every exchanged value per step to this CSV file");
  run->add_option("--plot", options.plotPath, "draw the chosen signals against time into this SVG file");
  // One value per --signals (panels separated by ','), so that it never takes the case's path.
  run->add_option("--signals", options.signals,
                  "panels to plot: trace columns, '+' sharing a panel, ',' between "
                  "panels (default: the model's variables)")
      ->delimiter(',')
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  run->add_flag("--no-progress", command.noProgress, "no progress bar");
  run->add_flag("--fmu-log", options.fmuLog,
                "FMU blocks log their debug categories too, not only warnings and "
                "errors");
  run->add_option("--save-state", options.saveState,
                  "write the model's and the simulated database's state at the "
                  "end of the run to this file");
  run->add_option("--from-state", options.fromState,
                  "start from a saved state: its step, its model, its "
                  "database (instead of the case's initial_state)");
  run->add_option("--report", options.reportFolder,
                  "write the HTML report of the run into this folder: the case's "
                  "page, a loop sheet per checked loop, results.json");
  run->add_option("--verdicts", options.verdictsPath,
                  "write each verdict and, last, the run's exit status to this "
                  "file at the end (dcshost test reads it)");
  run->add_flag("--live", options.live,
                "consent to write into a FIX other than the simulated database: paced in wall time, "
                "stopped by Ctrl-C or SIGTERM at a step boundary");
  AddLibraryOptions(*run, options);
  return run;
}

CLI::App* AddCheckCommand(CLI::App& app, CaseCommand& command) {
  CLI::App* check = app.add_subcommand("check", "load and configure a case, and list every problem (reads only)");
  check->add_option("case", command.casePath, "the case file (TOML)")->required();
  AddLibraryOptions(*check, command.options);
  return check;
}

CLI::App* AddTestCommand(CLI::App& app, TestOptions& testOptions) {
  CLI::App* test = app.add_subcommand("test",
                                      "run every case under the paths, each in its own process, and judge "
                                      "their expectations");
  test->add_option("paths", testOptions.paths, "case files, or folders searched for *.toml");
  test->add_option("--jobs,-j", testOptions.jobs, "cases run at once")->check(CLI::Range(1, 64));
  test->add_option("--junit", testOptions.junitPath, "write the results as JUnit XML to this file");
  test->add_option("--plots", testOptions.plotFolder, "the folder for the plots of failing cases");
  test->add_option("--fix", testOptions.fixFolder, "the FIX folder each case runs against");
  test->add_option("--driver", testOptions.driverPath, "the driver library each case loads");
  test->add_option("--filter", testOptions.filter, "run only the cases whose path matches this glob ('*', '?')");
  test->add_option("--shard", testOptions.shard,
                   "run this job's share of the cases: K/N (K from 1), or auto from "
                   "CI_NODE_INDEX/CI_NODE_TOTAL or JOB_COMPLETION_INDEX");
  test->add_option("--shard-count", testOptions.shardCount, "N for --shard auto with JOB_COMPLETION_INDEX")
      ->check(CLI::Range(1, 10000));
  test->add_option("--timeout", testOptions.timeoutSeconds,
                   "end a case that runs longer than this many seconds, "
                   "as failed (default: no limit)")
      ->check(CLI::Range(0.001, 1e7));
  test->add_flag("--list", testOptions.list, "print the cases chosen and run none");
  test->add_option("--rerun-failed", testOptions.rerunFailed,
                   "run the cases that failed in this suite report's "
                   "folder (its failed.txt) again");
  test->add_option("--report", testOptions.reportFolder,
                   "write the HTML report of the suite into this folder: a "
                   "summary, each case's page and loop sheets, results.json");
  return test;
}

CLI::App* AddTiebackCommand(CLI::App& app, TiebackOptions& options) {
  CLI::App* tieback = app.add_subcommand(
      "tieback", "pair the case's loops and write the tiebacks that close them as a block file (reads only)");
  tieback->add_option("case", options.casePath, "the case file (TOML)")->required();
  tieback->add_option("-o,--output", options.outputPath, "write the block file here (default: print it)");
  tieback->add_option("--fix", options.fixFolder,
                      "the folder that holds FIX's EDA and FIXTOOLS (default: the simulated database beside "
                      "dcshost)");
  return tieback;
}

CLI::App* AddReportCommand(CLI::App& app, MergeOptions& options) {
  CLI::App* report = app.add_subcommand("report", "work with the reports `dcshost test --report` writes");
  report->require_subcommand(1, 1);
  CLI::App* merge = report->add_subcommand("merge", "join the reports of a suite's shards into one");
  merge->add_option("reports", options.shards, "the shards' report folders")->required();
  merge->add_option("-o,--output", options.into, "the folder of the joined report")->required();
  merge->add_option("--rerun", options.rerun,
                    "the report of a rerun (test --rerun-failed --report): its cases' results replace the shards'");
  return report;
}

}  // namespace

int RunCli(int argc, char** argv, std::ostream& out) {
  CLI::App app{"dcshost: runs simulation cases through the fixdcs driver against a simulated FIX database"};
  // Options are `--name` and `-x` only, on every platform: on Windows CLI11
  // would also take `/name`, and then every absolute Unix path given under
  // wine would be read as an unknown option. Subcommands inherit the setting.
  app.allow_windows_style_options(false);
  app.set_version_flag("--version", std::string("dcshost ") + FIXDCS_VERSION);
  app.require_subcommand(0, 1);
  CaseCommand runCommand;
  CaseCommand checkCommand;
  TestOptions testOptions;
  CLI::App* run = AddRunCommand(app, runCommand);
  CLI::App* test = AddTestCommand(app, testOptions);
  CLI::App* check = AddCheckCommand(app, checkCommand);
  TiebackOptions tiebackOptions;
  CLI::App* tieback = AddTiebackCommand(app, tiebackOptions);
  MergeOptions mergeOptions;
  CLI::App* report = AddReportCommand(app, mergeOptions);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    std::ostringstream usage;
    std::ostringstream problem;
    const int code = app.exit(e, usage, problem);
    out << usage.str() << problem.str();
    return StatusOf(code == 0 ? ExitStatus::Ok : ExitStatus::Refused);
  }
  std::string commandLine;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool plain = !arg.empty() && arg.find_first_of(" \t\"'") == std::string::npos;
    commandLine += (i == 0 ? "" : " ") + (plain ? arg : "\"" + arg + "\"");
  }
  runCommand.options.commandLine = commandLine;
  testOptions.commandLine = commandLine;
  mergeOptions.commandLine = commandLine;
  if (report->parsed()) {
    return MergeCommand(mergeOptions, out);
  }
  if (test->parsed()) {
    return RunTests(testOptions, out);
  }
  if (tieback->parsed()) {
    return TiebackCommand(tiebackOptions, out);
  }
  if (check->parsed()) {
    return CheckCaseCommand(checkCommand, out);
  }
  if (!run->parsed()) {
    runCommand = CaseCommand();  // the built-in example
  }
  return RunCaseCommand(runCommand, out);
}

}  // namespace host
