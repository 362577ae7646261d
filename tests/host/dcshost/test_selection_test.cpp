// Choosing a suite's cases: glob filters, shards read from the command line
// and from CI engines' variables, shards that split a list exactly, and the
// paths of the cases to run again as lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "case/glob.h"
#include "dcshost/test_selection.h"
#include "system/paths.h"

namespace {

TEST(GlobMatch, StarsQuestionMarksAndLiterals) {
  struct Row {
    const char* pattern;
    const char* text;
    bool matches;
  };
  const Row rows[] = {
      {"*", "", true},
      {"*", "examples/tank/tank.toml", true},
      {"*tank*", "examples/tank/tank.toml", true},
      {"*/tank.toml", "examples/tank/tank.toml", true},  // '*' crosses folders
      {"examples/*.toml", "examples/tank/tank.toml", true},
      {"*tank", "examples/tank/tank.toml", false},       // the end must match
      {"tank*", "examples/tank/tank.toml", false},       // so must the start
      {"t?nk", "tank", true},
      {"t?nk", "tnk", false},
      {"a*b*c", "aXbYbZc", true},                        // backtracking past a false start
      {"a*b*c", "aXbYbZ", false},
      {"**a", "bba", true},
      {"", "", true},
      {"", "x", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(host::GlobMatch(row.pattern, row.text), row.matches) << row.pattern << " ~ " << row.text;
  }
}

TEST(ReadShard, FromTheCommandLineAndFromCiEngines) {
  struct Row {
    const char* text;
    int shardCount;
    std::map<std::string, std::string> environment;
    int index, count;   // 0, 0: refused
    const char* error;  // the start of the message when refused
  };
  const Row rows[] = {
      {"1/1", 0, {}, 1, 1, ""},
      {"3/4", 0, {}, 3, 4, ""},
      {"0/4", 0, {}, 0, 0, "--shard 0/4: a shard is K/N with 1 <= K <= N"},
      {"5/4", 0, {}, 0, 0, "--shard 5/4: a shard is K/N"},
      {"2", 0, {}, 0, 0, "--shard 2: a shard is K/N"},
      {"a/b", 0, {}, 0, 0, "--shard a/b: a shard is K/N"},
      {"10000/10000", 0, {}, 10000, 10000, ""},
      {"1/10001", 0, {}, 0, 0, "--shard 1/10001: a suite is cut into 10000 shards at most"},
      {"1/99999999999999999999", 0, {}, 0, 0, "--shard 1/99999999999999999999: a suite is cut into 10000"},
      {"auto", 0, {{"CI_NODE_INDEX", "2"}, {"CI_NODE_TOTAL", "5"}}, 2, 5, ""},          // GitLab: 1-based
      {"auto", 3, {{"JOB_COMPLETION_INDEX", "0"}}, 1, 3, ""},                            // Kubernetes: 0-based
      {"auto", 3, {{"JOB_COMPLETION_INDEX", "2"}}, 3, 3, ""},
      {"auto", 3, {{"JOB_COMPLETION_INDEX", "3"}}, 0, 0, "JOB_COMPLETION_INDEX=3 with --shard-count 3: a shard"},
      {"auto", 0, {{"JOB_COMPLETION_INDEX", "0"}}, 0, 0, "JOB_COMPLETION_INDEX=0 with --shard-count 0"},
      {"auto", 0, {{"CI_NODE_INDEX", "2"}}, 0, 0, "CI_NODE_INDEX=2 and CI_NODE_TOTAL=: a shard"},
      {"auto", 0, {}, 0, 0, "--shard auto: neither CI_NODE_INDEX"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    const auto environment = [&row](const char* name) {
      const auto found = row.environment.find(name);
      return found == row.environment.end() ? std::string() : found->second;
    };
    host::Shard shard;
    std::string error;
    const bool read = host::ReadShard(row.text, row.shardCount, environment, shard, error);
    EXPECT_EQ(read, row.index > 0) << error;
    if (read) {
      EXPECT_EQ(shard.index, row.index);
      EXPECT_EQ(shard.count, row.count);
    } else {
      EXPECT_EQ(error.rfind(row.error, 0), 0U) << error;
    }
  }
}

TEST(SelectCases, ShardsAreApartAndTogetherTheFilteredList) {
  std::vector<std::string> cases;
  for (int i = 0; i < 23; ++i) {
    cases.push_back("suite/case" + std::to_string(i) + (i % 3 == 0 ? "-slow" : "") + ".toml");
  }
  for (const std::string filter : {"", "*-slow*"}) {
    const std::vector<std::string> all = host::SelectCases(cases, filter, host::Shard());
    for (int count : {1, 4, 30}) {  // more shards than cases leaves some empty
      std::vector<std::string> joined;
      for (int k = 1; k <= count; ++k) {
        const std::vector<std::string> share = host::SelectCases(cases, filter, host::Shard{k, count});
        joined.insert(joined.end(), share.begin(), share.end());
      }
      std::sort(joined.begin(), joined.end());
      std::vector<std::string> expected = all;
      std::sort(expected.begin(), expected.end());
      EXPECT_EQ(joined, expected) << filter << " in " << count;
    }
  }
  EXPECT_EQ(host::SelectCases(cases, "*-slow*", host::Shard()).size(), 8U);
}

// A case's path as a line of failed.txt: any name is one line and reads back
// as it was; a '%' without two hexadecimal digits is not such a line.
TEST(NameAsLine, AnyNameIsOneLineAndReadsBack) {
  for (const std::string& name : std::vector<std::string>{"plain.toml", "line\nbreak\r.toml", "tab\there.toml", "50%.toml", "%41.toml",
                                                          std::string("nul\0byte", 8), "\x7f\xc3\xa9.toml"}) {
    const std::string line = host::NameAsLine(name);
    EXPECT_EQ(line.find_first_of("\n\r\t"), std::string::npos) << line;
    std::string back;
    EXPECT_TRUE(host::NameFromLine(line, back)) << line;
    EXPECT_EQ(back, name);
  }
  std::string back;
  for (const char* bad : {"%", "%4", "%G1", "a%1"}) {
    EXPECT_FALSE(host::NameFromLine(bad, back)) << bad;
  }
}

}  // namespace
