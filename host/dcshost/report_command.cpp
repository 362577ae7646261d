// `dcshost report merge DIR... -o DIR`: the reports that a suite's shards
// wrote (`dcshost test --shard K/N --report DIR`) joined into one: summary,
// cases, results, failed cases and JUnit. It reads the shards and writes only
// the merged folder.
#include "dcshost/commands.h"
#include "report/suite_merge.h"
#include "system/exit_status.h"

namespace host {

int MergeCommand(const MergeOptions& options, std::ostream& out) {
  std::string error;
  if (!MergeReports(options.shards, options.rerun, options.into, std::string("dcshost ") + FIXDCS_VERSION,
                    options.commandLine, error)) {
    return Refuse(out, error);
  }
  out << options.shards.size() << " reports merged" << (options.rerun.empty() ? "" : ", with a rerun's,") << " into "
      << options.into << "/index.html\n";
  return 0;
}

}  // namespace host
