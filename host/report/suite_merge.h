// The shards of a suite joined into one report: each shard's cases copied
// under the merged folder, the summary, results and list of failed cases
// written anew, and the shards' JUnit joined. It only reads what `dcshost
// test --report` wrote.
#pragma once

#include <string>
#include <vector>

namespace host {

// Joins the shards' report folders into `into`; false with a message.
bool MergeReports(const std::vector<std::string>& shards, const std::string& into, const std::string& generator,
                  const std::string& commandLine, std::string& error);

}  // namespace host
