// The command line: the built-in example, arguments and paths a user may get wrong, each refused
// with status 2 and a message.
#include "dcshost_fixture.h"

namespace host_tests {

TEST_F(DcshostTest, BuiltInExampleIsTheTankExample) {
  const Outcome run = Dcshost({});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("running the built-in example: the tank level loop"), std::string::npos);
  EXPECT_NE(run.output.find("LIC101 ends in AUTO"), std::string::npos);
  // Its files lie in a private folder of their own, made afresh and gone when it ends.
  const size_t open = run.output.find("tank level loop (");
  ASSERT_NE(open, std::string::npos) << run.output;
  const std::string casePath = run.output.substr(open + 17, run.output.find(")\n", open) - open - 17);
  EXPECT_EQ(casePath.find("dcshost-builtin-tank/"), std::string::npos) << casePath;  // never a fixed folder
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(casePath).parent_path())) << casePath;
}

// Command lines and paths a user may get wrong: each refused with status 2
// and a message, never an abort.
TEST_F(DcshostTest, BadArgumentsAndPathsAreRefusedWithStatusTwo) {
  const std::string tank = Source + "/examples/tank/tank.toml";
  const std::vector<std::vector<std::string>> refused = {
      {"run", tank, "--steps", "100000001"},      // beyond the longest case
      {"run", "--signals", "level", "valve", tank},  // --signals takes one list, never the case
      {"check", std::string(4096, 'x') + ".toml"},    // a name too long for the file system
      {"check", Source + "/examples"},                // a folder
  };
  for (const std::vector<std::string>& args : refused) {
    SCOPED_TRACE(args.back());
    EXPECT_EQ(Dcshost(args).status, 2);
  }
#if !defined(_WIN32)
  const std::string loop = Temp("dcshost-loop.toml");
  std::remove(loop.c_str());
  ASSERT_EQ(symlink(loop.c_str(), loop.c_str()), 0);  // a link to itself
  const Outcome looped = Dcshost({"check", loop});
  EXPECT_EQ(looped.status, 2);
  EXPECT_NE(looped.output.find(loop + ": cannot read the case file"), std::string::npos) << looped.output;
  std::remove(loop.c_str());
  const char* tmpdir = std::getenv("TMPDIR");
  const std::string saved = tmpdir != nullptr ? tmpdir : "";
  setenv("TMPDIR", "/no/such/folder", 1);
  const Outcome builtin = Dcshost({});
  tmpdir != nullptr ? setenv("TMPDIR", saved.c_str(), 1) : unsetenv("TMPDIR");
  EXPECT_EQ(builtin.status, 2);
  EXPECT_NE(builtin.output.find("no temporary folder"), std::string::npos) << builtin.output;
#endif
}

// Arguments: options are `--name` and `-x` only, so a path that begins with
// '/' is a path on every platform; on Windows a drive path works as well.
TEST_F(DcshostTest, ArgumentsThatBeginWithASlashArePathsAndOptionsAreDashedOnly) {
  const std::string tank = Source + "/examples/tank/tank.toml";
  std::vector<std::string> paths = {tank};
#if defined(_WIN32)
  char full[MAX_PATH] = {};
  ASSERT_GT(GetFullPathNameA(tank.c_str(), MAX_PATH, full, nullptr), 0U);
  std::string drivePath(full);
  std::replace(drivePath.begin(), drivePath.end(), '/', '\\');
  paths.push_back(drivePath);
#endif
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    const Outcome check = Dcshost({"check", path});
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_NE(check.output.find(": binds"), std::string::npos) << check.output;
  }
  const Outcome slashOption = Dcshost({"run", tank, "/steps", "5"});
  EXPECT_EQ(slashOption.status, 2) << slashOption.output;
  const Outcome version = Dcshost({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output, std::string("dcshost ") + FIXDCS_VERSION + "\n");
}

}  // namespace host_tests
