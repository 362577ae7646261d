// FMU blocks in whole runs: the tank as an FMU steps as the built-in tank
// does, a first-order FMU's saved state goes on as the unbroken run, a tank
// that cannot save its state refuses --save-state before it runs, a discarded
// step stops the run at that step, an FMU stands beside a tieback case's
// generated loops, and each bad FMU block is refused at its line.
#include <cmath>

#include "dcshost_fixture.h"
#include "plant/fmu_unit.h"

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
  for (const char* key :
       {"area = 2.0", "inflow_max = 0.05", "outflow_coefficient = 0.025", "height = 5.0", "level = 1.0 "}) {
    replace(key, "# " + std::string(key));
  }
  return text + "\n[[block]]\nname = \"TANK\"\nkind = \"fmu\"\n" + block + "\n";
}

const std::string TankBlock = "file = \"" + Fmus +
                              "/tank.fmu\"\ninputs = { valve = \"LIC101.output\" }\n"
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
  EXPECT_NE(saving.output.find("--save-state is refused: FMU block 'TANK': FMU TANK ("), std::string::npos)
      << saving.output;
}

// An FMU that carries only the other word size's binary runs in the other
// word size's worker, started natively, and steps as this word size's does.
TEST_F(DcshostTest, AnFmuOfTheOtherWordSizeRunsInItsWorker) {
#if !defined(FIXDCS_OTHER_FMU_DIR)
  GTEST_SKIP() << "this build makes no worker of the other word size (an instrumented build, or no x86-64 mingw-w64)";
#else
  const std::string other = FIXDCS_OTHER_PLATFORM;
  if (other == "linux32" &&
      (std::getenv("FIXDCS_NO_I686") != nullptr || !std::filesystem::exists("/lib/ld-linux.so.2"))) {
    GTEST_SKIP() << "this machine does not execute i686 programs (or FIXDCS_NO_I686 is set): no linux32 worker runs";
  }
  if (other == "win64" && std::getenv("FIXDCS_WINE_WOW64") == nullptr) {
    GTEST_SKIP() << "this wine runs 32-bit programs only (no wine64 beside it): no win64 worker runs";
  }
  std::string block = TankBlock;
  block.replace(block.find(Fmus), Fmus.size(), FIXDCS_OTHER_FMU_DIR);
  const std::string path = Temp("fmu-other.toml"), trace = Temp("fmu-other.csv"), own = Temp("fmu-own.csv");
  std::ofstream(path, std::ios::binary) << FmuTankCase(block);
  const Outcome run = Dcshost({"run", path, "--trace", trace, "--no-progress"});
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string binary = "binaries/" + other + "/tank" + (other[0] == 'w' ? ".dll" : ".so");
  EXPECT_NE(run.output.find("its native code " + binary + ", SHA-256 "), std::string::npos) << run.output;
  std::ofstream(path, std::ios::binary) << FmuTankCase(TankBlock);
  ASSERT_EQ(Dcshost({"run", path, "--trace", own, "--no-progress"}).status, 0);
  for (const int step : {1, 600, 1200}) {
    EXPECT_NEAR(TraceAt(trace, step).at("TANK.level"), TraceAt(own, step).at("TANK.level"), 1e-9) << step;
  }
#endif
}

// A first-order FMU behind the tank's controller: 300 + 300 steps from a
// saved state give the trace of 600, and a step it discards stops the run.
TEST_F(DcshostTest, AnFmusSavedStateGoesOnAndADiscardStopsTheRun) {
  const std::string block = "file = \"" + Fmus +
                            "/first_order.fmu\"\ninputs = { u = \"LIC101.output\" }\n"
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
  const Outcome resumed =
      Dcshost({"run", path, "--from-state", state, "--steps", "300", "--trace", second, "--no-progress"});
  EXPECT_NE(resumed.output.find("starting from " + state + " after step 300"), std::string::npos) << resumed.output;
  for (const int step : {301, 450, 600}) {
    EXPECT_EQ(TraceAt(second, step).at("TANK.y"), TraceAt(whole, step).at("TANK.y")) << step;
  }
  // A start value of a variable that is neither input nor parameter: y heads
  // for k * u + offset = 2 from y0 = 1 with its time constant of 30 s.
  std::string still = block + " }\nstarts = { offset = 2.0 }";
  still.replace(still.find("k = 4.0"), 7, "k = 0.0");
  std::ofstream(path, std::ios::binary) << firstOrder(FmuTankCase(still));
  const std::string started = Temp("fo-started.csv");
  const Outcome start = Dcshost({"run", path, "--steps", "30", "--trace", started, "--no-progress"});
  ASSERT_EQ(start.status, 1) << start.output;  // its expectations are the tank's
  EXPECT_NEAR(TraceAt(started, 30).at("TANK.y"), 2.0 - std::exp(-1.0), 1e-12);
  std::ofstream(path, std::ios::binary) << firstOrder(FmuTankCase(block + " }"));
  const Outcome logged = Dcshost({"run", path, "--steps", "2", "--fmu-log", "--no-progress"});
  EXPECT_NE(logged.output.find("FMU TANK [logAll] OK: step 2 to 2 s: y = "), std::string::npos) << logged.output;
  EXPECT_EQ(resumed.output.find("[logAll]"), std::string::npos);  // debug categories only with --fmu-log
  std::ofstream(path, std::ios::binary) << firstOrder(FmuTankCase(block + ", discard_at = 120.5 }"));
  const Outcome discarded = Dcshost({"run", path, "--no-progress"});
  EXPECT_EQ(discarded.status, 1);
  EXPECT_NE(discarded.output.find("step 121: FMU TANK (" + Fmus +
                                  "/first_order.fmu): fmi2DoStep returned discard: "
                                  "the model cannot go on beyond 120.5 s"),
            std::string::npos)
      << discarded.output;
}

// A tieback case whose level loop is an FMU: the tiebacks close the flow loop
// alone, expectations over loops judge both, and the file `dcshost tieback`
// writes, named as the model beside the FMU block, runs trace for trace the same.
TEST_F(DcshostTest, AnFmuStandsBesideATiebackCasesGeneratedLoops) {
  const std::string db = Temp("fmu-tieback-db.csv"), path = Temp("fmu-tieback.toml");
  std::ofstream(db, std::ios::binary)
      << "NODE,TAG,TYPE,VALUES\nSCADA1,LT101,AI,F_CV=1.0\n"
         "SCADA1,LIC101,PID,F_CV=50;F_TV1=2.0;A_AUTO=AUTO;F_KP=40;F_TI=90;INPUT=LT101\n"
         "SCADA1,FT102,AI,F_CV=60;F_ELO=0;F_EHI=200\n"
         "SCADA1,FIC102,PID,F_CV=30;F_TV1=60;A_AUTO=AUTO;F_KP=0.25;F_TI=2;INPUT=FT102\n";
  const auto row = [](const char* table, const char* tag, const std::string& more) {
    return std::string("\n[[") + table + "]]\nnode = \"SCADA1\"\ntag = \"" + tag +
           "\"\nfield = \"F_CV\"\nactive = 1\n" + more;
  };
  const std::string body = "\n[[block]]\nname = \"TANK\"\nkind = \"fmu\"\nfile = \"" + Fmus +
                           "/tank.fmu\"\n"
                           "inputs = { valve = \"LIC101.output\" }\nparameters = { level0 = 2.0 }\n" +
                           row("controller", "LIC101", "mode = 1.0\noutput = 0.5\ntv1 = 2.0\n") +
                           row("controller", "FIC102", "mode = 1.0\noutput = 0.3\ntv1 = 60.0\n") +
                           row("pv", "LT101", "from = \"TANK.level\"\n") + row("pv", "FT102", "") +
                           "\n[[event]]\nstep = 100\npoint = \"SCADA1:FIC102.F_TV1\"\nvalue = 80\n"
                           "\n[[expect]]\nloops = \"*\"\nmode = \"AUTO\"\n"
                           "\n[[expect]]\nloops = \"FIC*\"\nsignal = \"deviation\"\nwithin = [-1, 1]\nafter = 200\n"
                           "\n[[expect]]\nsignal = \"TANK.level\"\nwithin = [1.8, 2.1]\nafter = 200\n";
  const std::string head = "[case]\nsteps = 300\ndatabase = '" + db + "'\n\n[model]\n";  // literal: a Windows path
  std::ofstream(path, std::ios::binary) << head << "type = \"tieback\"\n" << body;
  const std::string generated = Temp("fmu-tieback.csv"), written = Temp("fmu-tieback-written.csv");
  const Outcome run = Dcshost({"run", path, "--trace", generated, "--no-progress"});
  EXPECT_EQ(run.status, 0) << run.output;
  for (const char* line :
       {"tiebacks: 1 loops closed (1 by loop key), 0 discrete; 0 ambiguous, 0 unpaired; 0 of 2 PV "
        "rows send their values as written, 1 carry the case's own blocks' outputs",
        "expect PASS  FIC102 ends in AUTO", "expect PASS  LIC101 ends in AUTO", "expectations: 4 passed, 0 failed"}) {
    EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;
  }
  const std::string plant = Temp("fmu-tieback-plant.toml");
  const Outcome tieback = Dcshost({"tieback", path, "-o", plant});
  ASSERT_EQ(tieback.status, 0) << tieback.output;
  std::ifstream file(plant);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("# The case's own [[block]]s (TANK) stay in the case, beside this file's."), std::string::npos);
  EXPECT_EQ(text.find("name = \"TANK\""), std::string::npos) << text;
  std::ofstream(path, std::ios::binary) << head << "type = \"blocks\"\nfile = '" << plant << "'\n" << body;
  ASSERT_EQ(Dcshost({"run", path, "--trace", written, "--no-progress"}).status, 0);
  std::ifstream a(generated), b(written);
  EXPECT_TRUE(std::equal(std::istreambuf_iterator<char>(a), std::istreambuf_iterator<char>(),
                         std::istreambuf_iterator<char>(b), std::istreambuf_iterator<char>()));
}

TEST_F(DcshostTest, BadFmuBlocksAreRefusedAtTheirLine) {
  const std::string file = "file = \"" + Fmus + "/tank.fmu\"\n";
  const std::string fo = "file = \"" + Fmus + "/first_order.fmu\"\n";
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
      {file + "starts = { level = 1.0 }", "'level' has no start value the FMU lets a tool set (it is calculated"},
      {file + "starts = { area = 1.0 }", "'area' is the FMU's parameter: give it in parameters, not starts"},
      {file + "gain = 2", "unknown key 'gain'"},
      {file + "process = \"elsewhere\"", "'process' is \"worker\" (its code runs in a process of its own"},
      {file + "timeout = 0", "'timeout' is the seconds its worker has to answer each call"},
      {fo + "parameters = { T = 0 }",
       "'T' is given 0, outside its range in the FMU (min 0.001)"},  // its declared type's
      {fo + "parameters = { count = 101 }", "'count' is given 101, outside its range in the FMU (min 0, max 100)"},
      {fo + "parameters = { count = 2.7 }", "'count' is given 2.7, but it is an Integer: a whole number"},
      {fo + "parameters = { count = 3e9 }", "but it is an Integer: a whole number from -2147483648 to 2147483647"},
      {fo + "inputs = { u = \"LIC101.output\", hold = 0.5 }", "'hold' is given 0.5, but it is a Boolean: 0 or 1"},
      {fo + "inputs = { note = \"LIC101.output\" }",
       "'note' is a String; dcshost gives Real, Integer and Boolean values (its inputs: u, hold)"},
      {file + "inputs = { valve = \"LIC101.output\" }\n[[pv_import]]\nnode = \"SCADA1\"\ntag = \"TANK\"\n"
              "field = \"level\"",
       "its output 'TANK.level' has the name of PV-import row 1's value ("},
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

// What FMI 2.0 says, as a run keeps it: an FMU that ends the simulation ends
// the run there, cleanly, its last outputs written; a state is saved only from
// a run that reached its last step, with its binary's platform, which another
// platform's binary refuses; units come from declared types; the case's step
// is said when it is not a multiple of the FMU's; a String output plotted is
// refused at the plot's line, saying why.
TEST_F(DcshostTest, AnFmuRunKeepsTheStandardsSemantics) {
  const std::string path = Temp("fmu-semantics.toml"), trace = Temp("fmu-semantics.csv");
  const std::string state = Temp("fmu-semantics.state.toml");
  const auto write = [&path](const std::string& fmu, const std::string& more, const std::string& plot,
                             const std::string& step = "1.0") {
    std::string text = FmuTankCase("file = \"" + Fmus + "/" + fmu + "\"\ninputs = { u = \"LIC101.output\" }\n" + more);
    for (size_t at = text.find("TANK.level"); at != std::string::npos; at = text.find("TANK.level", at)) {
      text.replace(at, 10, "TANK.y");
    }
    // Only what runs before the FMU ends: the tank's later events and expectations left out.
    text.erase(text.find("[[event]]"), text.find("[[block]]") - text.find("[[event]]"));
    const std::string plotted = "plot = [\"TANK.y+LIC101.tv1\"]";
    text.replace(text.find(plotted), plotted.size(), "plot = [\"" + plot + "\"]");
    text.replace(text.find("step_seconds = 1.0"), 18, "step_seconds = " + step);
    std::ofstream(path, std::ios::binary) << text;
  };
  const std::string ends = "parameters = { T = 30.0, discard_at = 120.5 }";
  struct Row {
    std::string fmu, more, plot, step;
    std::vector<std::string> args;
    int status;
    std::vector<std::string> said;
  };
  const std::vector<Row> rows = {
      {"terminates.fmu",
       ends,
       "TANK.y",
       "1.0",
       {"--trace", trace, "--save-state", state},
       0,
       {"step 121: FMU block 'TANK' ended the simulation at 121 s (its step discarded with fmi2Terminated); the run "
        "ends there, judged on what ran",
        "the run did not reach its last step: no state is saved to " + state}},
      {"first_order.fmu",
       ends,
       "TANK.y",
       "1.0",
       {"--save-state", state},
       1,
       {"step 121: FMU TANK (" + Fmus + "/first_order.fmu): fmi2DoStep returned discard",
        "no state is saved to " + state}},
      {"first_order.fmu",
       "",
       "TANK.label",
       "1.0",
       {"--plot", Temp("fmu-semantics.svg")},
       2,
       {path + ":12: plot: no signal named 'TANK.label' in this case's trace: it is a String output of FMU block "
               "'TANK', and dcshost reads Real, Integer and Boolean outputs only"}},
      {"first_order.fmu",
       "",
       "TANK.y",
       "0.75",
       {"--steps", "2"},
       0,
       {"the case's step of 0.75 s is not a multiple of the FMU's default step of 0.5 s (its DefaultExperiment "
        "stepSize)"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fmu + " " + row.plot);
    std::filesystem::remove(state);
    write(row.fmu, row.more, row.plot, row.step);
    std::vector<std::string> args = {"run", path, "--no-progress"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    const Outcome run = Dcshost(args);
    EXPECT_EQ(run.status, row.status) << run.output;
    for (const std::string& line : row.said) {
      EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;
    }
    EXPECT_FALSE(std::filesystem::exists(state));
  }
  EXPECT_EQ(TraceAt(trace, 121).at("TANK.steps"), 121);  // the ending step's outputs, read after its discard
  std::ifstream units(trace);
  std::string header, unitRow;
  std::getline(units, header), std::getline(units, unitRow);
  EXPECT_EQ(unitRow.substr(0, 10), "#unit,s,m,");  // TANK.y's unit, from its declared type

  // The platform of the binary that saved the state goes with it.
  write("first_order.fmu", "", "TANK.y");
  ASSERT_EQ(Dcshost({"run", path, "--steps", "3", "--save-state", state, "--no-progress"}).status, 0);
  std::ifstream saved(state);
  std::string text((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
  const std::string platform = std::string("TANK = \"") + host::FmuPlatform() + "\"";
  ASSERT_NE(text.find("[fmu_platform]\n" + platform), std::string::npos) << text;
  text.replace(text.find(platform), platform.size(), "TANK = \"win64\"");
  std::ofstream(state, std::ios::binary) << text;
  const Outcome other = Dcshost({"run", path, "--steps", "3", "--from-state", state, "--no-progress"});
  EXPECT_EQ(other.status, 2);
  EXPECT_NE(other.output.find("the state of FMU block 'TANK' was written by its win64 binary, and this run runs its " +
                              std::string(host::FmuPlatform()) + " one, which cannot read it"),
            std::string::npos)
      << other.output;
}

}  // namespace
}  // namespace host_tests

namespace host_tests {

// A plant that misbehaves inside its step fails its case, whatever it prints
// and however it ends. In its worker (the default) the run goes on to its
// end at that step, naming the FMU, the step and how the worker ended, and
// writes its evidence; in dcshost's own process (process = "same") dcshost
// test takes verdicts only from the run's own verdict file, and a run that
// did not end as dcshost ends it "ended without a verdict", a hung one at its
// time limit.
TEST_F(OtherFixTest, AMisbehavingPlantNeverPassesItsCase) {
  struct Row {
    int how;             // the misbehaving FMU's offset: what it does past 2.5 s
    bool same;           // in dcshost's own process
    std::string result;  // its case's line in the table, or the run's stop in a worker
  };
#if defined(_WIN32)
  const std::string aborted = "it exited with status 3",
                    nullWrite = "it ended with exception 0xC0000005 (access violation)";
#elif defined(__SANITIZE_ADDRESS__)  // the sanitizer reports the null write and exits 1
  const std::string aborted = "it was ended by signal 6 (SIGABRT)", nullWrite = "it exited with status 1";
#else
  const std::string aborted = "it was ended by signal 6 (SIGABRT)", nullWrite = "it was ended by signal 11 (SIGSEGV)";
#endif
  const std::string worker = "step 3: FMU TANK (" + Fmus + "/misbehaving.fmu): ";
  const std::vector<Row> rows = {
      {1, false, ""},                           // prints verdict-shaped lines: judged by its own verdicts alone
      {2, false, worker + "its worker (pid "},  // ends the process with status 0: dcshost says so, exit 1
      {3, false, worker + "its worker (pid "},  // aborts
      {4, false, worker + "its worker (pid "},  // writes through a null pointer
      {5, false, worker + "did not finish its step within 1 s; its worker (pid "},  // never returns
      {2, true, "FAILED: ended without a verdict (exit 1)"},                        // the run says so, exit 1
      {3, true, "FAILED: ended without a verdict (exit "},
      {5, true, ", ended at its time limit)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.how) + (row.same ? " same" : " worker"));
    const std::string path = Temp("misbehaving-" + std::to_string(row.how) + ".toml");
    std::string text =
        FmuTankCase("file = \"" + Fmus +
                    "/misbehaving.fmu\"\ninputs = { u = \"LIC101.output\" }\n"
                    "parameters = { k = 4.0, T = 30.0, y0 = 1.0, discard_at = 2.5 }\n"
                    "starts = { offset = " +
                    std::to_string(row.how) + ".0 }\ntimeout = 1\n" + (row.same ? "process = \"same\"" : ""));
    for (size_t at = text.find("TANK.level"); at != std::string::npos; at = text.find("TANK.level", at)) {
      text.replace(at, 10, "TANK.y");
    }
    std::ofstream(path, std::ios::binary) << text;
    const std::string junit = Temp("misbehaving.xml");
    const std::string limit = row.how == 5 ? "2" : "120";
    const std::string report = Temp("misbehaving-report");
    const Outcome test = Program({"test", path, "--timeout", limit, "--junit", junit, "--plots", report});
    std::ifstream file(junit);
    const std::string xml((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(xml.find("forged"), std::string::npos) << xml;
    if (row.how != 1) {
      EXPECT_EQ(test.status, 1) << test.output;
    }
    if (row.same) {
      EXPECT_NE(test.output.find(row.result), std::string::npos) << test.output;
      EXPECT_NE(xml.find("<failure message=\"ended without a verdict"), std::string::npos) << xml;
    }
    if (!row.same && row.how != 1) {  // the run ends at the step, judged, its evidence written
      const std::string trace = Temp("misbehaving-trace.csv");
      std::filesystem::remove(trace);
      const Outcome run = Program({"run", path, "--trace", trace, "--no-progress"});
      EXPECT_EQ(run.status, 1) << run.output;
      const std::string how = row.how == 2 ? "it exited with status 0" : row.how == 3 ? aborted : nullWrite;
      EXPECT_NE(run.output.find(row.result), std::string::npos) << run.output;
      EXPECT_NE(run.output.find(row.how == 5 ? ") was killed, not having ended by itself: the run stops there"
                                             : how + ": the run stops there"),
                std::string::npos)
          << run.output;
      EXPECT_NE(run.output.find("expect FAIL  event at step 600"), std::string::npos) << run.output;
      EXPECT_EQ(TraceAt(trace, 3).size(), TraceAt(trace, 2).size());  // written to the failed step, under its name
      EXPECT_NE(test.output.find("FAILED (exit 1)"), std::string::npos) << test.output;
      EXPECT_NE(xml.find("not reached: the run ended after step 3"), std::string::npos) << xml;
    }
    // What the run printed before it aborted is kept, line by line. (After a
    // null write, a sanitizer's or wine's report fills the tail shown.)
    if (row.how == 3 && row.same) {
      EXPECT_NE(test.output.find("DCSStart     -> 1"), std::string::npos) << test.output;
      // A crashed run's trace stays under a name that says so.
      const std::string trace = Temp("misbehaving-trace.csv");
      std::filesystem::remove(trace);
      std::filesystem::remove(trace + ".partial");
      Program({"run", path, "--trace", trace, "--no-progress"});
      EXPECT_TRUE(std::filesystem::exists(trace + ".partial"));
      EXPECT_FALSE(std::filesystem::exists(trace));
    }
#if !defined(_WIN32)
    if (row.how == 5 && row.same) {  // a run stuck in its plant's step still ends on SIGTERM, within seconds, saying so
      host::ChildProcess stuck;
      std::string error;
      ASSERT_TRUE(stuck.Start(Command({"run", path, "--no-progress"}), error)) << error;
      std::this_thread::sleep_for(std::chrono::milliseconds(1000));  // inside its step by then, even emulated
      const auto asked = std::chrono::steady_clock::now();
      const std::atomic<int> stop{SIGTERM};  // SIGTERM now, SIGKILL five seconds later
      EXPECT_EQ(stuck.Wait(&stop), 128 + SIGTERM) << stuck.output();
      EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(5));  // not the 5 s of a kill
      EXPECT_NE(stuck.output().find("did not return within 3 s: the driver could not be reset; exiting with 143"),
                std::string::npos)
          << stuck.output();
    }
#endif
    if (row.how == 1) {  // check reads only: it hashes the FMU's binary and runs none of its code
      const Outcome check = Program({"check", path});
      EXPECT_EQ(check.status, 0) << check.output;
      EXPECT_NE(check.output.find(", is not loaded: check reads only"), std::string::npos) << check.output;
      EXPECT_EQ(check.output.find("loading its native code"), std::string::npos) << check.output;
    }
    if (row.how == 2 && row.same) {
      EXPECT_NE(test.output.find("ended the process from inside its call, so the run did not end; it exits 1"),
                std::string::npos)
          << test.output;
    }
  }
}

}  // namespace host_tests
