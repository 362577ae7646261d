// Tiebacks through dcshost: `dcshost tieback` lists what it paired and what it
// did not, and the file it writes, named in the case as a model of blocks,
// runs exactly as the generated model; it never replaces a file the case reads.
#include <fstream>
#include <iterator>

#include "dcshost_fixture.h"

namespace host_tests {
namespace {

const std::string TiebackCase = Source + "/examples/tieback/tieback.toml";


}  // namespace

TEST_F(DcshostTest, TiebackFileRunsExactlyAsTheGeneratedModel) {
  const std::string folder = Temp("tieback-file");
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "/tieback-db.csv", std::ios::binary) << ReadFile(Source + "/examples/tieback/tieback-db.csv");
  const Outcome written = Dcshost({"tieback", TiebackCase, "-o", folder + "/plant.toml"});
  ASSERT_EQ(written.status, 0) << written.output;
  EXPECT_NE(written.output.find("tiebacks: 5 loops closed (1 by PID INPUT, 1 by explicit link, 3 by loop key), 1 "
                                "discrete; 1 ambiguous, 1 unpaired; 2 of 8 PV rows send their values as written"),
            std::string::npos)
      << written.output;
  EXPECT_NE(written.output.find("ambiguous: controller row 6"), std::string::npos);
  EXPECT_NE(written.output.find("unpaired: controller row 7"), std::string::npos);
  const std::string plant = ReadFile(folder + "/plant.toml");
  EXPECT_NE(plant.find("# TIC5 -> SCADA1:TE-05.F_CV, paired by PID INPUT; temperature (T): lag of 45 s"),
            std::string::npos)
      << plant;
  EXPECT_EQ(Dcshost({"tieback", TiebackCase}).output, plant);  // without -o it prints the file

  // The same case with the file as its model of blocks.
  std::string text = ReadFile(TiebackCase);
  const size_t model = text.find("\n[model]\n") + 1;
  text.replace(model, text.find("# Controllers") - model, "[model]\ntype = \"blocks\"\nfile = \"plant.toml\"\n\n");
  std::ofstream(folder + "/blocks.toml", std::ios::binary) << text;
  const Outcome generated = Dcshost({"run", TiebackCase, "--trace", folder + "/generated.csv", "--no-progress"});
  const Outcome fromFile = Dcshost({"run", folder + "/blocks.toml", "--trace", folder + "/file.csv", "--no-progress"});
  ASSERT_EQ(generated.status, 0) << generated.output;
  ASSERT_EQ(fromFile.status, 0) << fromFile.output;
  EXPECT_NE(generated.output.find("expectations: 16 passed, 0 failed"), std::string::npos) << generated.output;
  EXPECT_EQ(ReadFile(folder + "/generated.csv"), ReadFile(folder + "/file.csv"));
}

// A range FIX holds as a float is written as the database wrote it, and the
// PV's engineering units are the tieback's unit.
TEST_F(DcshostTest, ATiebackFileCarriesTheDatabasesNumbersAndUnits) {
  const std::string folder = Temp("tieback-numbers");
  std::filesystem::create_directories(folder);
  std::string db = ReadFile(Source + "/examples/tieback/tieback-db.csv");
  db.replace(db.find("PDT_7,AI,F_CV=40"), 16, "PDT_7,AI,F_CV=40;F_ELO=0;F_EHI=80.3;A_EGUDESC=kPa");
  std::ofstream(folder + "/tieback-db.csv", std::ios::binary) << db;
  std::ofstream(folder + "/tieback.toml", std::ios::binary) << ReadFile(TiebackCase);
  const Outcome written = Dcshost({"tieback", folder + "/tieback.toml"});
  ASSERT_EQ(written.status, 0) << written.output;
  EXPECT_NE(written.output.find("bias = 88.18\ngain = -80.3\n"), std::string::npos)  // not 80.30000305175781
      << written.output;
  EXPECT_NE(written.output.find("unit = \"kPa\"\npv = \"SCADA1:PDT_7.F_CV\""), std::string::npos);
}

TEST_F(DcshostTest, TiebackNeverReplacesWhatTheCaseReads) {
  for (const std::string& input : {TiebackCase, Source + "/examples/tieback/tieback-db.csv"}) {
    const std::string before = ReadFile(input);
    const Outcome refused = Dcshost({"tieback", TiebackCase, "-o", input});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.output.find("-o " + input + " names the case"), std::string::npos) << refused.output;
    EXPECT_EQ(ReadFile(input), before);
  }
  const Outcome missing = Dcshost({"tieback", Temp("no-such-case.toml")});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.output.find("no such case file"), std::string::npos);
}

}  // namespace host_tests

namespace host_tests {

// The strategies the database states are paired and named, and closed as the
// plant runs them: a cascade master's level integrates its slave's flow.
TEST_F(DcshostTest, TiebacksCloseTheStrategiesTheDatabaseStates) {
  const std::string strategies = Source + "/tests/host/plant/strategies.toml";
  const Outcome tieback = Dcshost({"tieback", strategies});
  ASSERT_EQ(tieback.status, 0) << tieback.output;
  for (const char* said :
       {"# Loops closed: 4 analog (1 cascade, 1 ratio, 1 split range), 0 discrete",
        "#   cascade: the master of FIC402; its PV follows FT402, the slave's PV, not its own output",
        "#   cascade: the slave of LIC401, its target the master's output while A_CASC is YES",
        "#   ratio: its target from the ratio station FFY502, F_RATIO x FT501 + F_BIAS",
        "#   split range: its output over PV601A, PV601B", "inputs = [\"FT402\"]"}) {
    EXPECT_NE(tieback.output.find(said), std::string::npos) << said << "\n" << tieback.output;
  }
  const Outcome run = Dcshost({"run", strategies, "--no-progress"});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("tiebacks: 4 loops closed (4 by loop key; 1 cascade, 1 ratio, 1 split range)"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("expectations: 5 passed, 0 failed"), std::string::npos) << run.output;
}

}  // namespace host_tests
