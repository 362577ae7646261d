// `dcshost report merge DIR... -o DIR`: the reports that a suite's shards
// wrote (`dcshost test --shard K/N --report DIR`) joined into one: summary,
// cases, results, failed cases and JUnit. It reads the shards and writes only
// the merged folder.
#include "dcshost/commands.h"
#include "report/suite_merge.h"

namespace host {

CLI::App* AddReportCommand(CLI::App& app, MergeOptions& options) {
  CLI::App* report = app.add_subcommand("report", "work with the reports `dcshost test --report` writes");
  report->require_subcommand(1, 1);
  CLI::App* merge = report->add_subcommand("merge", "join the reports of a suite's shards into one");
  merge->add_option("reports", options.shards, "the shards' report folders")->required();
  merge->add_option("-o,--output", options.into, "the folder of the joined report")->required();
  return report;
}

int MergeCommand(const MergeOptions& options, std::ostream& out) {
  std::string error;
  if (!MergeReports(options.shards, options.into, std::string("dcshost ") + FIXDCS_VERSION, options.commandLine,
                    error)) {
    out << "dcshost: " << error << '\n';
    return 2;
  }
  out << options.shards.size() << " reports merged into " << options.into << "/index.html\n";
  return 0;
}

}  // namespace host
