// Choosing a suite's cases: a glob filter and a stable round-robin share.
#include "dcshost/test_selection.h"

#include <cstdlib>

#include "case/glob.h"

namespace host {
namespace {

// A whole number from 0 to 10000 written with digits only; -1 otherwise.
int WholeNumber(const std::string& text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) {
    return -1;
  }
  const int n = std::atoi(text.c_str());
  return n <= 10000 ? n : -1;
}

}  // namespace

bool ReadShard(const std::string& text, int shardCount, const std::function<std::string(const char*)>& environment,
               Shard& shard, std::string& error) {
  int k = -1, n = -1;
  std::string from = "--shard " + text;
  if (text == "auto") {
    if (!environment("CI_NODE_INDEX").empty() || !environment("CI_NODE_TOTAL").empty()) {
      k = WholeNumber(environment("CI_NODE_INDEX"));
      n = WholeNumber(environment("CI_NODE_TOTAL"));
      from = "CI_NODE_INDEX=" + environment("CI_NODE_INDEX") + " and CI_NODE_TOTAL=" + environment("CI_NODE_TOTAL");
    } else if (!environment("JOB_COMPLETION_INDEX").empty()) {
      const int index = WholeNumber(environment("JOB_COMPLETION_INDEX"));
      k = index < 0 ? -1 : index + 1;
      n = shardCount;
      from = "JOB_COMPLETION_INDEX=" + environment("JOB_COMPLETION_INDEX") + " with --shard-count " +
             std::to_string(shardCount);
    } else {
      error = "--shard auto: neither CI_NODE_INDEX and CI_NODE_TOTAL (GitLab's parallel jobs) nor "
              "JOB_COMPLETION_INDEX (a Kubernetes indexed job) is set; give --shard K/N";
      return false;
    }
  } else if (const size_t slash = text.find('/'); slash != std::string::npos) {
    k = WholeNumber(text.substr(0, slash));
    n = WholeNumber(text.substr(slash + 1));
  }
  if (k < 1 || n < 1 || k > n) {
    error = from + ": a shard is K/N with 1 <= K <= N (K counts from 1)" +
            (text == "auto" && n < 1 ? std::string("; with JOB_COMPLETION_INDEX give --shard-count N") : "");
    return false;
  }
  shard = Shard{k, n};
  return true;
}

std::vector<std::string> SelectCases(const std::vector<std::string>& cases, const std::string& filter,
                                     const Shard& shard) {
  std::vector<std::string> matched;
  for (const std::string& c : cases) {
    if (filter.empty() || GlobMatch(filter, c)) {
      matched.push_back(c);
    }
  }
  std::vector<std::string> share;
  for (size_t i = static_cast<size_t>(shard.index - 1); i < matched.size(); i += static_cast<size_t>(shard.count)) {
    share.push_back(matched[i]);
  }
  return share;
}

}  // namespace host
