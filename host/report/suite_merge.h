// The shards of a suite joined into one report: each shard's cases copied
// under the merged folder, the summary, results and list of failed cases
// written anew, and the shards' JUnit joined. It only reads what `dcshost
// test --report` wrote.
#pragma once

#include <string>
#include <vector>

namespace host {

// Joins the shards' report folders into `into`, in the order of the
// unsharded run; a case in two shards is refused. With a rerun's report, its
// cases' results replace the shards' of the same cases. False with a message.
bool MergeReports(const std::vector<std::string>& shards, const std::string& rerun, const std::string& into,
                  const std::string& generator, const std::string& commandLine, std::string& error);

}  // namespace host
