// The dcshost command line: the commands' options, parsed once, and the
// command chosen. The only place of the host program that lets an exception
// through: the argument parser's, turned into usage and status 2.
#include "dcshost/cli.h"

#include <sstream>

#include "dcshost/commands.h"

namespace host {
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
    return code == 0 ? 0 : 2;
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
