// Choosing a suite's cases: found under folders (or failed in a report),
// then a glob filter and a stable round-robin share.
#include "dcshost/test_selection.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "case/case.h"
#include "case/glob.h"
#include "dcshost/test_options.h"
#include "system/exit_status.h"
#include "system/paths.h"

namespace host {
namespace {

namespace fs = std::filesystem;

// The most shards a suite is cut into.
constexpr int MostShards = 10000;

// A whole number written with digits only, MostShards + 1 for any beyond
// MostShards; -1 for anything else.
int WholeNumber(const std::string& text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
    return -1;
  }
  const size_t first = std::min(text.find_first_not_of('0'), text.size());
  return text.size() - first > 5 ? MostShards + 1
                                 : std::min(static_cast<int>(std::strtol(text.c_str(), nullptr, 10)), MostShards + 1);
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
      error =
          "--shard auto: neither CI_NODE_INDEX and CI_NODE_TOTAL (GitLab's parallel jobs) nor "
          "JOB_COMPLETION_INDEX (a Kubernetes indexed job) is set; give --shard K/N";
      return false;
    }
  } else if (const size_t slash = text.find('/'); slash != std::string::npos) {
    k = WholeNumber(text.substr(0, slash));
    n = WholeNumber(text.substr(slash + 1));
  }
  if (n > MostShards) {
    error = from + ": a suite is cut into " + std::to_string(MostShards) + " shards at most";
    return false;
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

namespace {

// Every case file (*.toml) under the paths, in order, saved states and model
// files left out; a message for a path that does not exist.
// A saved state is TOML too; it begins with the line SaveState writes.
bool IsSavedState(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::string first;
  std::getline(file, first);
  return first.rfind("# dcshost state after step", 0) == 0;
}

bool FindCases(const std::vector<std::string>& paths, std::vector<std::string>& cases, std::string& error) {
  for (const std::string& path : paths) {
    std::error_code ec;
    const fs::path where = PathOf(path);
    if (fs::is_directory(where, ec)) {
      std::vector<std::string> found;
      for (fs::recursive_directory_iterator it(where, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec) && it->path().extension() == ".toml" && !IsSavedState(GenericName(it->path())) &&
            !IsModelFile(GenericName(it->path()))) {
          found.push_back(GenericName(it->path()));
        }
      }
      if (ec) {
        error = path + ": cannot read the folder: " + ec.message();
        return false;
      }
      std::sort(found.begin(), found.end());
      cases.insert(cases.end(), found.begin(), found.end());
    } else if (fs::is_regular_file(where, ec)) {
      if (IsSavedState(path)) {
        error = path + ": a saved state, not a case: go on from it with `dcshost run CASE --from-state " + path + "`";
        return false;
      }
      if (IsModelFile(path)) {
        error = path + ": a model file, not a case: a case names it in [model] as file = \"...\"";
        return false;
      }
      cases.push_back(path);
    } else {
      error = path + ": no such case file or folder";
      return false;
    }
  }
  return true;
}

// The cases that failed in a suite's report, added to paths.
bool FailedCases(const std::string& folder, std::vector<std::string>& paths, std::string& error) {
  std::ifstream list(PathOf(folder) / "failed.txt", std::ios::binary);
  if (!list) {
    error = folder + ": holds no report of a suite (no failed.txt): give the folder `dcshost test --report` wrote";
    return false;
  }
  for (std::string line; std::getline(list, line);) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    // One path a line, its line breaks and '%' encoded; a line that does not
    // decode is a path as an older dcshost wrote it.
    std::string path;
    if (!line.empty()) {
      paths.push_back(NameFromLine(line, path) ? path : line);
    }
  }
  return true;
}

}  // namespace

std::optional<int> ChooseCases(const TestOptions& options, std::vector<std::string>& cases, std::ostream& out) {
  std::vector<std::string> found;
  std::string error;
  Shard shard;
  const auto environment = [](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value == nullptr ? "" : value);
  };
  std::vector<std::string> paths = options.paths;
  if (!options.rerunFailed.empty() && !FailedCases(options.rerunFailed, paths, error)) {
    return Refuse(out, error);
  }
  if (paths.empty() && options.rerunFailed.empty()) {
    return Refuse(out, "test needs case files or folders");
  }
  if (paths.empty()) {
    out << "no case failed in " << options.rerunFailed << ": nothing to run again\n";
    return StatusOf(ExitStatus::Ok);
  }
  if (!FindCases(paths, found, error) ||
      (!options.shard.empty() && !ReadShard(options.shard, options.shardCount, environment, shard, error))) {
    return Refuse(out, error);
  }
  cases = SelectCases(found, options.filter, shard);
  if (found.empty() || SelectCases(found, options.filter, Shard()).empty()) {
    return Refuse(out, "no case file (*.toml) found" +
                           (found.empty() ? std::string() : " that --filter " + options.filter + " matches"));
  }
  if (options.list || cases.empty()) {
    for (const std::string& c : cases) {
      out << c << '\n';
    }
    out << cases.size() << " cases"
        << (options.shard.empty() ? "" : " in shard " + std::to_string(shard.index) + "/" + std::to_string(shard.count))
        << (options.list ? "" : ": nothing to run; its JUnit and report say so, replacing older ones") << '\n';
  }
  if (options.list) {
    return StatusOf(ExitStatus::Ok);
  }
  return std::nullopt;  // an empty shard still writes its empty JUnit and report
}

}  // namespace host
