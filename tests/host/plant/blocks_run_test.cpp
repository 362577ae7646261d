// A plant of blocks run through dcshost and the driver: the blocks example's
// loop closed through the simulated database's PID with its units traced, a
// run saved and resumed to the trace of one run, the documented example, and
// names no record row has refused with file:line.
#include <cmath>

#include "dcshost_fixture.h"

namespace host_tests {
namespace {

const std::string BlocksCase = Source + "/examples/blocks/blocks.toml";

// The trace's lines, keyed by their step, '#' lines and the header left out.
std::map<int, std::string> TraceLines(const std::string& path) {
  std::ifstream file(path);
  std::map<int, std::string> lines;
  std::string line;
  std::getline(file, line);
  while (std::getline(file, line)) {
    if (!line.empty() && line[0] != '#') {
      lines[std::atoi(line.c_str())] = line;
    }
  }
  return lines;
}

}  // namespace

TEST_F(DcshostTest, BlocksExampleClosesTheLevelLoopThroughTheDriver) {
  const std::string trace = Temp("blocks-trace.csv");
  const std::string plot = Temp("blocks-plot.svg");
  const Outcome run = Dcshost({"run", BlocksCase, "--trace", trace, "--plot", plot, "--no-progress"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("expectations: 7 passed, 0 failed"), std::string::npos) << run.output;
  std::ifstream file(trace);
  std::string header, units;
  std::getline(file, header);
  std::getline(file, units);
  EXPECT_EQ(header.rfind("step,time_s,FV101,outflow,P101M,ripple,net,level,LT101dead,LT101lag,HS101,LT101noise,"
                         "LT101,", 0),
            0U);
  EXPECT_EQ(units.rfind("#unit,s,m3/s,m3/s,0/1,m3/s,m3/s,m,m,m,0/1,m,m,0-1,,m,", 0), 0U) << units;
  for (const int step : {100, 700, 1200}) {
    SCOPED_TRACE(step);
    const auto at = TraceAt(trace, step);
    const auto before = TraceAt(trace, step - 1);
    EXPECT_EQ(at.at("LT101"), at.at("LT101lag") + at.at("LT101noise"));
    EXPECT_EQ(at.at("LT101.F_CV"), before.at("LT101"));  // what the step began with
    EXPECT_NEAR(at.at("net"), at.at("FV101") - at.at("outflow") - 0.005 * at.at("P101M") + at.at("ripple"), 1e-15);
    EXPECT_NEAR(at.at("ripple"), 0.0005 * std::sin(2.0 * 3.14159265358979323846 * step / 120.0), 1e-15);
    // The valve strokes toward the controller's output at no more than 1/10 per second.
    EXPECT_LE(std::fabs(at.at("FV101") - before.at("FV101")), 0.05 / 10.0 + 1e-12);
  }
  EXPECT_EQ(TraceAt(trace, 700).at("P101.F_CV"), 1.0);  // the operator's start, through the PV-import row
  std::ifstream svg(plot);
  const std::string drawn((std::istreambuf_iterator<char>(svg)), std::istreambuf_iterator<char>());
  EXPECT_NE(drawn.find("FV101 (m3/s)"), std::string::npos);
}

// Every block's state is saved: valve positions, motor timers (the pump is
// starting at step 600), dead-time rings and the noise generator; and the
// sources' clock goes on from the step saved.
TEST_F(DcshostTest, BlocksRunSavedAndResumedGivesTheTraceOfOneRun) {
  const std::string whole = Temp("blocks-whole.csv");
  const std::string state = Temp("blocks-600.state.toml");
  const std::string resumed = Temp("blocks-resumed.csv");
  ASSERT_EQ(Dcshost({"run", BlocksCase, "--trace", whole, "--no-progress"}).status, 0);
  const Outcome first = Dcshost({"run", BlocksCase, "--steps", "600", "--save-state", state, "--no-progress"});
  ASSERT_EQ(first.status, 1) << first.output;  // judged on half a run, some expectations fail
  const Outcome second =
      Dcshost({"run", BlocksCase, "--from-state", state, "--steps", "600", "--trace", resumed, "--no-progress"});
  ASSERT_NE(second.output.find("starting from"), std::string::npos) << second.output;
  std::ifstream saved(state);
  const std::string text((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
  for (const char* kept : {"[plant]\n", "FV101 = [", "P101M = [", "LT101dead = [", "LT101noise = ["}) {
    EXPECT_NE(text.find(kept), std::string::npos) << kept;
  }
  // A state that does not fit its block is refused, naming the block.
  std::string bad = text;
  bad.replace(bad.find("FV101 = ["), 9, "FV101 = [2.0, ");
  const std::string badState = Temp("blocks-bad.state.toml");
  std::ofstream(badState, std::ios::binary) << bad;
  const Outcome refused = Dcshost({"run", BlocksCase, "--from-state", badState, "--steps", "1", "--no-progress"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.output.find(badState + ": the state of block 'FV101' does not fit it"), std::string::npos)
      << refused.output;
  const std::map<int, std::string> all = TraceLines(whole);
  const std::map<int, std::string> after = TraceLines(resumed);
  ASSERT_EQ(after.size(), 600U);
  for (const auto& [step, line] : after) {
    ASSERT_EQ(line, all.at(step)) << "step " << step;
  }
}

// `dcshost test` takes a folder's cases and leaves its model files out; a model file named alone is no case.
TEST_F(DcshostTest, TestCommandLeavesModelFilesOut) {
  const Outcome folder = Dcshost({"test", Source + "/examples/blocks"});
  EXPECT_EQ(folder.status, 0) << folder.output;
  EXPECT_NE(folder.output.find("1 passed, 0 failed"), std::string::npos) << folder.output;
  const Outcome file = Dcshost({"test", Source + "/examples/blocks/plant.toml"});
  EXPECT_EQ(file.status, 2);
  EXPECT_NE(file.output.find("plant.toml: a model file, not a case"), std::string::npos) << file.output;
}

// The documented plant example, with a case and the tank's controller around it, runs the loop.
TEST_F(DcshostTest, TheDocumentedPlantExampleRunsTheLoop) {
  std::ifstream readme(Source + "/docs/case-files.md");
  const std::string text((std::istreambuf_iterator<char>(readme)), std::istreambuf_iterator<char>());
  const size_t begin = text.find("```toml\n", text.find("## Plant models"));
  ASSERT_NE(begin, std::string::npos);
  const size_t end = text.find("```\n", begin + 8);
  const std::string folder = Temp("readme-plant");
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "/case.toml") << "[case]\nsteps = 900\ndatabase = \"tank-db.csv\"\n\n"
                                       << text.substr(begin + 8, end - begin - 8)
                                       << "\n[[controller]]\nnode = \"SCADA1\"\ntag = \"LIC101\"\nfield = \"F_CV\"\n"
                                          "output = 0.5\ntv1 = 2.0\n";
  std::ifstream database(Source + "/examples/tank/tank-db.csv");
  std::ofstream(folder + "/tank-db.csv") << database.rdbuf();
  const Outcome run = Dcshost({"run", folder + "/case.toml", "--trace", folder + "/trace.csv", "--no-progress"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NEAR(TraceAt(folder + "/trace.csv", 900).at("level"), 2.0, 0.05);
}

struct Unbound {
  const char* from;  // a text of the example changed
  const char* to;
  const char* error;  // what follows the case's path and ':'
};

// A case naming what no row or block has is refused before FIX is touched, with status 2.
TEST_F(DcshostTest, BlocksReadingWhatNoRowHasAreRefusedWhereWritten) {
  for (const char* file : {"plant.toml", "blocks-db.csv"}) {  // the files the case names, beside it
    std::ifstream from(Source + "/examples/blocks/" + file, std::ios::binary);
    std::ofstream(Temp(file), std::ios::binary) << from.rdbuf();
  }
  std::ifstream original(BlocksCase);
  const std::string text((std::istreambuf_iterator<char>(original)), std::istreambuf_iterator<char>());
  const Unbound rows[] = {
      {"inputs = [\"LT101lag\", \"LT101noise\"]", "inputs = [\"LT101lag\", \"LIC999.output\"]",
       "30: the model reads 'LIC999.output', which is no controller row's \"TAG.output\""},
      {"inputs = [\"LT101lag\", \"LT101noise\"]", "inputs = [\"LT101lag\", \"P101.F_TV1\"]",
       "30: the model reads 'P101.F_TV1'"},
      {"tv1 = 2.0           # setpoint, m", "tv1 = 2.0\ndrives = \"FV102\"",
       "33: a model of blocks takes no 'drives' but a loop's link, and no block is named 'FV102'"},
      {"from = \"LT101\"", "from = \"LT102\"", "41: the model has no output 'LT102'"},
  };
  for (const Unbound& r : rows) {
    SCOPED_TRACE(r.error);
    std::string changed = text;
    const size_t at = changed.find(r.from);
    ASSERT_NE(at, std::string::npos);
    changed.replace(at, std::string(r.from).size(), r.to);
    const std::string path = Temp("blocks-unbound.toml");
    std::ofstream(path, std::ios::binary) << changed;
    const Outcome check = Dcshost({"check", path});
    EXPECT_EQ(check.status, 2);
    EXPECT_NE(check.output.find("dcshost: " + path + ":" + r.error), std::string::npos) << check.output;
  }
}

}  // namespace host_tests
