// `dcshost report merge DIR... -o DIR`: the reports that a suite's shards
// wrote (`dcshost test --shard K/N --report DIR`) joined into one: summary,
// cases, results, failed cases and JUnit. It reads the shards and writes only
// the merged folder.
#include "dcshost/commands.h"
#include "report/suite_merge.h"

namespace host {

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
