// The dcshost command line: the commands' options, parsed once, and the
// command chosen. The only place of the host program that lets an exception
// through: the argument parser's, turned into usage and status 2.
#include "dcshost/cli.h"

#include <sstream>

#include "dcshost/commands.h"
#include "dcshost/test_command.h"

namespace host {
namespace {

// The test command's options; its behaviour lives in test_command.cpp.
CLI::App* AddTestCommand(CLI::App& app, TestOptions& testOptions) {
  CLI::App* test = app.add_subcommand("test", "run every case under the paths, each in its own process, and judge "
                                              "their expectations");
  test->add_option("paths", testOptions.paths, "case files, or folders searched for *.toml")->required();
  test->add_option("--jobs,-j", testOptions.jobs, "cases run at once")->check(CLI::Range(1, 64));
  test->add_option("--junit", testOptions.junitPath, "write the results as JUnit XML to this file");
  test->add_option("--plots", testOptions.plotFolder, "the folder for the plots of failing cases");
  test->add_option("--fix", testOptions.fixFolder, "the FIX folder each case runs against");
  test->add_option("--driver", testOptions.driverPath, "the driver library each case loads");
  return test;
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
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    std::ostringstream usage;
    std::ostringstream problem;
    const int code = app.exit(e, usage, problem);
    out << usage.str() << problem.str();
    return code == 0 ? 0 : 2;
  }
  if (test->parsed()) {
    return RunTests(testOptions, out);
  }
  if (check->parsed()) {
    return CheckCommand(checkCommand, out);
  }
  if (!run->parsed()) {
    runCommand = CaseCommand();  // the built-in example
  }
  return RunCommand(runCommand, out);
}

}  // namespace host
