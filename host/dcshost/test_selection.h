// Which of the cases found `dcshost test` runs: those a --filter pattern
// matches, then this job's stable share of them (--shard K/N, or --shard auto
// from the CI engine's parallel-job variables). It only chooses; it runs nothing.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "dcshost/test_options.h"

namespace host {

// This job's shard, K of N (K from 1).
struct Shard {
  int index = 1;
  int count = 1;
};

// Reads --shard: "K/N" with 1 <= K <= N, or "auto": CI_NODE_INDEX and
// CI_NODE_TOTAL (1-based, GitLab's parallel jobs), else JOB_COMPLETION_INDEX
// (0-based, Kubernetes indexed jobs) with shardCount (--shard-count) as N.
// `environment` gives a variable's value, empty when unset. False with a message.
bool ReadShard(const std::string& text, int shardCount, const std::function<std::string(const char*)>& environment,
               Shard& shard, std::string& error);

// The cases the filter matches (all for an empty filter), then every N-th of
// them from the K-th: the shards of one list are apart and together are the list.
std::vector<std::string> SelectCases(const std::vector<std::string>& cases, const std::string& filter,
                                     const Shard& shard);

// The cases a `dcshost test` runs: found under its paths (or, with
// --rerun-failed, those that failed in a report), filtered and sharded;
// the exit status when the command ends here (refused, --list printed, or
// nothing failed to run again), else nothing.
std::optional<int> ChooseCases(const TestOptions& options, std::vector<std::string>& cases, std::ostream& out);

}  // namespace host
