// Tiebacks generated from tag tables: each measured variable's dynamics
// against its closed form, a loop at rest until its output moves, settings by
// letter, variable and loop, discrete feedback after its delays, and the
// settings refused where they are written.
#include <cmath>
#include <string>
#include <vector>

#include "plant/tieback.h"
#include "plant_fixture.h"

namespace plant_tests {
namespace {

// One loop's rows: a controller at rest (output 0.4, target 50) and its PV row.
std::string Loop(const std::string& controller, const std::string& pv) {
  return "[[controller]]\nnode = \"N\"\ntag = \"" + controller + "\"\nfield = \"F_CV\"\noutput = 0.4\ntv1 = 50.0\n\n" +
         "[[pv]]\nnode = \"N\"\ntag = \"" + pv + "\"\nfield = \"F_CV\"\n\n";
}

const std::string Head = "[case]\nsteps = 1\n\n[model]\ntype = \"tieback\"\n\n";

class TiebackTest : public PlantTest {
 protected:
  // Loads a tieback case, closes its loops with these facts and configures the model.
  std::string Close(const std::string& text, const host::LoopFacts& facts = host::LoopFacts()) {
    std::ofstream(path, std::ios::binary) << text;
    std::string error;
    if (!host::LoadCase(path, c, error) || !host::BuildTiebacks(c, facts, tiebacks, error) ||
        !host::CloseLoops(c, tiebacks, error) || !model.Configure(c.model, 1.0, log_, error)) {
      return error;
    }
    return std::string();
  }
  std::vector<std::string> Kinds(size_t loop) const {
    std::vector<std::string> kinds;
    const host::TiebackLoop& l = tiebacks.loops[loop];
    for (size_t k = l.firstBlock; k < l.firstBlock + l.blockCount; ++k) {
      kinds.push_back(tiebacks.blocks[k].kind);
    }
    return kinds;
  }
  host::Case c;
  host::Tiebacks tiebacks;
};

TEST_F(TiebackTest, EachMeasuredVariableAnswersAsItsDefaultSays) {
  struct Row {
    const char* controller;
    const char* pv;
    std::vector<std::string> kinds;
    double tau, dead;  // a lag's; for integrating rows tau is the fill time
    bool integrating;
  };
  const Row rows[] = {
      {"FIC1", "FT1", {"lag"}, 2.0, 0.0, false},
      {"PIC2", "PT2", {"lag"}, 10.0, 0.0, false},
      {"PDIC3", "PDT3", {"lag"}, 10.0, 0.0, false},
      {"TIC4", "TT4", {"lag", "deadtime"}, 60.0, 10.0, false},
      {"LIC5", "LT5", {"sum", "integrator"}, 300.0, 0.0, true},
      {"AIC6", "AT6", {"lag", "deadtime"}, 120.0, 60.0, false},
      {"SIC7", "ST7", {"lag"}, 10.0, 0.0, false},  // any other variable: medium
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.controller);
    ASSERT_EQ(Close(Head + Loop(row.controller, row.pv)), "");
    ASSERT_EQ(tiebacks.loops.size(), 1U);
    EXPECT_EQ(Kinds(0), row.kinds);
    EXPECT_EQ(c.pv[0].from, row.pv);  // the last block, named for the PV, is what the row sends
    const std::string output = std::string(row.controller) + ".output";
    Input(output, 0.4);
    Steps(100);
    EXPECT_EQ(At(row.pv), 50.0);  // at rest: no bump
    Input(output, 0.5);           // 10 % more output: 10 over the span 0..100
    if (row.integrating) {
      Steps(30);
      EXPECT_NEAR(At(row.pv), 50.0 + 30.0 * 10.0 / row.tau, 1e-9);
    } else {
      Steps(static_cast<int>(row.dead));
      EXPECT_NEAR(At(row.pv), 50.0, 1e-9);  // nothing arrives before the dead time
      Steps(static_cast<int>(row.tau));
      EXPECT_NEAR(At(row.pv), 50.0 + 10.0 * (1.0 - std::exp(-1.0)), 1e-9);
    }
  }
}

TEST_F(TiebackTest, SettingsApplyByLetterThenVariableThenLoopOverTheDatabasesSpan) {
  const std::string settings =
      "[tieback.letter.P]\ntime_constant = 20.0\n[tieback.letter.PD]\ntime_constant = 30.0\n"
      "[tieback.loop.PIC2]\ntime_constant = 40.0\naction = \"reverse\"\n[tieback.loop.LIC4]\ndynamics = \"lag\"\n"
      "dead_time = 5.0\n\n";
  host::LoopFacts facts;
  facts.low = {0.0, 0.0, 0.0, 0.0};
  facts.high = {200.0, NAN, NAN, NAN};  // PT1 states its range; the others take 0..100
  ASSERT_EQ(Close(Head + settings + Loop("PIC1", "PT1") + Loop("PIC2", "PT2") + Loop("PDIC3", "PDT3") +
                  Loop("LIC4", "LT4"), facts), "");
  struct Expected {
    double tau, gain, dead;
    size_t changes;
  };
  const Expected expected[] = {{20.0, 200.0, 0.0, 2}, {40.0, -100.0, 0.0, 2}, {30.0, 100.0, 0.0, 2},
                               {10.0, 100.0, 5.0, 1}};
  ASSERT_EQ(tiebacks.loops.size(), 4U);
  for (size_t k = 0; k < 4; ++k) {
    SCOPED_TRACE(k);
    const host::TiebackDynamics& d = tiebacks.loops[k].dynamics;
    EXPECT_EQ(d.timeConstant, expected[k].tau);
    EXPECT_EQ((d.reverse ? -1.0 : 1.0) * (d.high - d.low), expected[k].gain);
    EXPECT_EQ(d.deadTime, expected[k].dead);
    EXPECT_FALSE(d.integrating);
    EXPECT_EQ(tiebacks.loops[k].changes.size(), expected[k].changes);
  }
  EXPECT_EQ(tiebacks.loops[0].changes[0], "span 0..200 from the database's F_ELO and F_EHI");
  EXPECT_EQ(tiebacks.loops[1].changes[1], "[tieback.loop.PIC2] at " + path + ":11");
}

// A loop whose tag does not say what it measures takes the variable its setting states, and that variable's dynamics.
TEST_F(TiebackTest, ALoopSettingStatesTheMeasuredVariable) {
  ASSERT_EQ(Close(Head + "[tieback.loop.XIC5]\nmeasures = \"T\"\n\n" + Loop("XIC5", "XT5")), "");
  ASSERT_EQ(tiebacks.loops.size(), 1U);
  EXPECT_EQ(tiebacks.loops[0].variable, "T");
  EXPECT_EQ(Kinds(0), (std::vector<std::string>{"lag", "deadtime"}));  // a temperature's lag and dead time
  EXPECT_EQ(tiebacks.loops[0].changes[0], "measures T from [tieback.loop.XIC5]");
  EXPECT_NE(Close(Head + "[tieback.loop.XIC5]\nmeasures = \"t1\"\n\n" + Loop("XIC5", "XT5")).find(
                "measures names a measured variable by its letters"),
            std::string::npos);
}

TEST_F(TiebackTest, ADiscreteCommandRunsItsFeedbackAfterItsDelays) {
  const std::string rows =
      "[tieback.discrete]\nstart_delay = 5.0\nstop_delay = 3.0\n\n"
      "[[pv]]\nnode = \"N\"\ntag = \"ZS401\"\nfield = \"F_CV\"\n\n"
      "[[pv]]\nnode = \"N\"\ntag = \"ZS402\"\nfield = \"A_ROUT\"\n\n"
      "[[pv_import]]\nnode = \"N\"\ntag = \"HS401\"\nfield = \"A_ROUT\"\nvalue = 1.0\n\n"
      "[[pv_import]]\nnode = \"N\"\ntag = \"HS402\"\nfield = \"A_ROUT\"\nvalue = 1.0\n";
  ASSERT_EQ(Close(Head + rows), "");
  ASSERT_EQ(tiebacks.loops.size(), 2U);
  for (const char* command : {"HS401.A_ROUT", "HS402.A_ROUT"}) {
    Input(command, 1.0);  // "NO"
  }
  model.Settle();
  Steps(10);
  EXPECT_EQ(At("ZS401"), 0.0);  // stopped
  EXPECT_EQ(At("ZS402"), 1.0);  // "NO"
  for (const char* command : {"HS401.A_ROUT", "HS402.A_ROUT"}) {
    Input(command, 0.0);  // "YES"
  }
  Steps(4);
  EXPECT_EQ(At("ZS401"), 0.0);
  Steps(1);
  EXPECT_EQ(At("ZS401"), 1.0);  // running 5 s after the command
  EXPECT_EQ(At("ZS402"), 0.0);  // "YES"
  Input("HS401.A_ROUT", 1.0);
  Steps(2);
  EXPECT_EQ(At("ZS401"), 1.0);
  Steps(1);
  EXPECT_EQ(At("ZS401"), 0.0);  // stopped 3 s after
}

TEST_F(TiebackTest, SettingsThatMeanNothingAreRefusedWhereWritten) {
  struct Row {
    std::string text;
    std::string error;  // after "path:"
  };
  const Row rows[] = {
      {Head + "[tieback.loop.FIC9]\ntime_constant = 3.0\n" + Loop("LIC1", "LT1"),
       "7: [tieback.loop.FIC9] names no loop the rules paired"},
      {Head + "[tieback.loop.LIC1]\nlow = 150.0\n" + Loop("LIC1", "LT1"),
       "7: the span of loop LIC1 would run from 150 to 100: low must be below high"},
      {Head + "[tieback.letter.F]\ntime_constant = 0.0\n", "8: 'time_constant' must be above 0 s, not 0"},
      {Head + "[tieback.letter.F]\ndynamics = \"fast\"\n", "8: 'dynamics' must be \"lag\" or \"integrating\""},
      {Head + "[tieback.letter.f]\ndead_time = 1.0\n", "7: [tieback.letter.f]: a measured variable is written in "
                                                      "capital letters"},
      {Head + "[tieback.loop.X1]\nlow = 5.0\nhigh = 1.0\n", "9: 'high' (1) must be above 'low' (5)"},
      {Head + "[tieback.discrete]\ntime_constant = 1.0\n", "8: unknown key 'time_constant' in [tieback.discrete]"},
      {"[case]\nsteps = 1\n\n[model]\ntype = \"none\"\n\n[tieback.letter.F]\ntime_constant = 1.0\n",
       "7: [tieback] sets a model of type \"tieback\", not \"none\""},
      {"[case]\nsteps = 1\n\n[model]\ntype = \"tieback\"\nfile = \"x.toml\"\n", "6: unknown key 'file'"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    const std::string error = Close(row.text);
    EXPECT_EQ(error.rfind(path + ":" + row.error, 0), 0U) << error;
  }
}

}  // namespace
}  // namespace plant_tests
