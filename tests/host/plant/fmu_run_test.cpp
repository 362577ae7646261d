// FMU blocks in whole runs: the tank as an FMU steps as the built-in tank
// does, a first-order FMU's saved state goes on as the unbroken run, a tank
// that cannot save its state refuses --save-state before it runs, a discarded
// step stops the run at that step, and each bad FMU block is refused at its line.
#include "dcshost_fixture.h"

namespace host_tests {
namespace {

const std::string Fmus = FIXDCS_FMU_DIR;

// The tank example with its tank as an FMU block; `block` replaces the block's keys.
std::string FmuTankCase(const std::string& block) {
  std::ifstream tank(Source + "/examples/tank/tank.toml");
  std::string text((std::istreambuf_iterator<char>(tank)), std::istreambuf_iterator<char>());
  const auto replace = [&text](const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
      text.replace(at, from.size(), to);
    }
  };
  replace("tank-db.csv", Source + "/examples/tank/tank-db.csv");
  replace("type = \"tank\"", "type = \"blocks\"");
  replace("drives = \"valve\"", "");
  replace("from = \"level\"", "from = \"TANK.level\"");
  replace("signal = \"level\"", "signal = \"TANK.level\"");
  replace("plot = [\"level+LIC101.tv1\", \"valve\"]", "plot = [\"TANK.level+LIC101.tv1\"]");
  for (const char* key : {"area = 2.0", "inflow_max = 0.05", "outflow_coefficient = 0.025", "height = 5.0",
                          "level = 1.0 "}) {
    replace(key, "# " + std::string(key));
  }
  return text + "\n[[block]]\nname = \"TANK\"\nkind = \"fmu\"\n" + block + "\n";
}

const std::string TankBlock = "file = \"" + Fmus + "/tank.fmu\"\ninputs = { valve = \"LIC101.output\" }\n"
                              "parameters = { area = 2.0, inflow_max = 0.05, level0 = 1.0 }";

TEST_F(DcshostTest, TheTankAsAnFmuStepsAsTheBuiltInTank) {
  const std::string path = Temp("fmu-tank.toml");
  std::ofstream(path, std::ios::binary) << FmuTankCase(TankBlock);
  const std::string fmuTrace = Temp("fmu-tank.csv");
  const std::string tankTrace = Temp("tank.csv");
  const Outcome fmu = Dcshost({"run", path, "--trace", fmuTrace, "--no-progress"});
  ASSERT_EQ(fmu.status, 0) << fmu.output;
  EXPECT_NE(fmu.output.find("FMU " + Fmus + "/tank.fmu (tank): SHA-256 "), std::string::npos) << fmu.output;
  ASSERT_EQ(Dcshost({"run", Source + "/examples/tank/tank.toml", "--trace", tankTrace, "--no-progress"}).status, 0);
  for (const int step : {1, 300, 600, 601, 900, 1200}) {
    EXPECT_EQ(TraceAt(fmuTrace, step).at("TANK.level"), TraceAt(tankTrace, step).at("level")) << step;
  }
  const Outcome saving = Dcshost({"run", path, "--save-state", Temp("fmu-tank.state.toml"), "--no-progress"});
  EXPECT_EQ(saving.status, 2);
  EXPECT_NE(saving.output.find("--save-state is refused: FMU block 'TANK' cannot save its state"), std::string::npos)
      << saving.output;
}

// A first-order FMU behind the tank's controller: 300 + 300 steps from a
// saved state give the trace of 600, and a step it discards stops the run.
TEST_F(DcshostTest, AnFmusSavedStateGoesOnAndADiscardStopsTheRun) {
  const std::string block = "file = \"" + Fmus + "/first_order.fmu\"\ninputs = { u = \"LIC101.output\" }\n"
                            "parameters = { k = 4.0, T = 30.0, y0 = 1.0";
  const std::string path = Temp("fmu-first-order.toml");
  const auto firstOrder = [](std::string text) {
    for (size_t at = text.find("TANK.level"); at != std::string::npos; at = text.find("TANK.level", at)) {
      text.replace(at, 10, "TANK.y");
    }
    return text;
  };
  std::ofstream(path, std::ios::binary) << firstOrder(FmuTankCase(block + " }"));
  const std::string whole = Temp("fo-whole.csv"), second = Temp("fo-second.csv"), state = Temp("fo.state.toml");
  Dcshost({"run", path, "--steps", "600", "--trace", whole, "--no-progress"});
  Dcshost({"run", path, "--steps", "300", "--save-state", state, "--no-progress"});
  const Outcome resumed = Dcshost({"run", path, "--from-state", state, "--steps", "300", "--trace", second,
                                   "--no-progress"});
  EXPECT_NE(resumed.output.find("starting from " + state + " after step 300"), std::string::npos) << resumed.output;
  for (const int step : {301, 450, 600}) {
    EXPECT_EQ(TraceAt(second, step).at("TANK.y"), TraceAt(whole, step).at("TANK.y")) << step;
  }
  const Outcome logged = Dcshost({"run", path, "--steps", "2", "--fmu-log", "--no-progress"});
  EXPECT_NE(logged.output.find("FMU TANK [logAll] OK: step 2 to 2 s: y = "), std::string::npos) << logged.output;
  EXPECT_EQ(resumed.output.find("[logAll]"), std::string::npos);  // debug categories only with --fmu-log
  std::ofstream(path, std::ios::binary) << firstOrder(FmuTankCase(block + ", discard_at = 120.5 }"));
  const Outcome discarded = Dcshost({"run", path, "--no-progress"});
  EXPECT_EQ(discarded.status, 1);
  EXPECT_NE(discarded.output.find("step 120: FMU TANK (" + Fmus + "/first_order.fmu): fmi2DoStep returned discard: "
                                  "the model cannot go on beyond 120.5 s"),
            std::string::npos)
      << discarded.output;
}

TEST_F(DcshostTest, BadFmuBlocksAreRefusedAtTheirLine) {
  const std::string file = "file = \"" + Fmus + "/tank.fmu\"\n";
  struct Row {
    std::string block;
    const char* message;  // on the line "path:line: block 'TANK' (fmu): ..."
  };
  const Row rows[] = {
      {"inputs = { valve = \"LIC101.output\" }", "needs 'file', the .fmu"},
      {"file = \"missing.fmu\"", "missing.fmu: cannot read it"},
      {file + "inputs = { flow = \"LIC101.output\" }", "the FMU has no variable 'flow' (its inputs: valve)"},
      {file + "inputs = { level = \"LIC101.output\" }", "'level' is the FMU's output, not an input"},
      {file + "parameters = { valve = 0.5 }", "'valve' is the FMU's input, not a parameter (its parameters: area"},
      {file + "parameters = { area = \"big\" }", "parameter 'area' must be a number"},
      {file + "inputs = \"LIC101.output\"", "'inputs' must be a table by the FMU's variable names"},
      {file + "gain = 2", "unknown key 'gain'"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.block);
    const std::string path = Temp("bad-fmu.toml");
    std::ofstream(path, std::ios::binary) << FmuTankCase(row.block);
    const Outcome run = Dcshost({"run", path, "--no-progress"});
    EXPECT_EQ(run.status, 2);
    const size_t at = run.output.find(path + ":");
    ASSERT_NE(at, std::string::npos) << run.output;
    const std::string line = run.output.substr(at, run.output.find('\n', at) - at);
    EXPECT_NE(line.find("block 'TANK' (fmu): "), std::string::npos) << line;
    EXPECT_NE(line.find(row.message), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace host_tests
