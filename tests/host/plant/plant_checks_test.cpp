// A plant's wiring and parameters checked when it is bound: a cycle with no
// block whose output is its state refused with its blocks named, one through
// such a block evaluated with its value of the step before, and every class
// of bad block refused with the file and line where it was written.
#include <string>

#include "plant_fixture.h"

namespace plant_tests {

struct Refusal {
  std::string text;   // the blocks (after CaseHead), or a whole case when it begins with "[case]"
  const char* error;  // what follows "<path>:"
};

TEST_F(PlantTest, AlgebraicCycleIsRefusedNamingItsBlocks) {
  const Refusal rows[] = {
      {"[[block]]\nname = \"A\"\nkind = \"sum\"\ninputs = [\"B\"]\n"
       "[[block]]\nname = \"B\"\nkind = \"lookup\"\ninput = \"A\"\nx = [0.0, 1.0]\ny = [0.0, 1.0]\n",
       "6: the blocks A -> B -> A form a cycle with no lag, deadtime, integrator, valve or motor in it"},
      {"[[block]]\nname = \"A\"\nkind = \"sum\"\ninputs = [1.0, \"A\"]\n", "6: the blocks A -> A form a cycle"},
      // A lag in the same loop does not break the cycle of the two sums beside it.
      {"[[block]]\nname = \"L\"\nkind = \"lag\"\ninput = \"S1\"\ntime_constant = 5.0\n"
       "[[block]]\nname = \"S1\"\nkind = \"sum\"\ninputs = [\"S2\", \"L\"]\n"
       "[[block]]\nname = \"S2\"\nkind = \"switch\"\ninput = \"S1\"\non = 1.0\noff = 0.0\n",
       "11: the blocks S1 -> S2 -> S1 form a cycle"},
  };
  for (const Refusal& r : rows) {
    SCOPED_TRACE(r.error);
    EXPECT_EQ(Build(r.text).find(path + ":" + r.error), 0U) << Build(r.text);
  }
}

// I' = 1 - 0.5 I, the integrator reading the sum's value of the step before.
TEST_F(PlantTest, CycleThroughAStatefulBlockIsEvaluatedInOrder) {
  ASSERT_EQ(Build("[[block]]\nname = \"S\"\nkind = \"sum\"\ninputs = [1.0, \"I\"]\nweights = [1.0, -0.5]\n"
                  "[[block]]\nname = \"I\"\nkind = \"integrator\"\ninput = \"S\"\n", 0.5),
            "");
  double i = 0.0;
  for (int n = 1; n <= 20; ++n) {
    i += (1.0 - 0.5 * i) * 0.5;
    model.Advance(0.5);
    EXPECT_NEAR(At("I"), i, 1e-12) << n;
    EXPECT_NEAR(At("S"), 1.0 - 0.5 * i, 1e-12) << n;  // the sum follows the integrator within the step
  }
}

TEST_F(PlantTest, BadBlocksAreRefusedWhereWritten) {
  const std::string lag = "[[block]]\nname = \"B\"\nkind = \"lag\"\ninput = 1.0\n";  // lines 6-9
  const Refusal rows[] = {
      {"[[block]]\nname = \"B\"\nkind = \"pump\"\n", "6: block 'B' (pump): unknown kind (lag, deadtime"},
      {"[[block]]\nkind = \"lag\"\n", "6: missing 'name' in a block"},
      {"[[block]]\nname = \"B.1\"\nkind = \"lag\"\n", "7: block name 'B.1' must hold letters, digits, '_' and '-'"},
      {lag + "time_constant = 1.0\n" + lag + "time_constant = 1.0\n", "11: a second block named 'B' (the first at "},
      {lag + "time_constant = 1.0\ntau = 3.0\n", "11: block 'B' (lag): unknown key 'tau' (it takes name, kind, unit"},
      {lag, "6: block 'B' (lag): needs 'time_constant', above 0 s"},
      {lag + "time_constant = 0.0\n", "10: block 'B' (lag): 'time_constant' must be above 0 s, not 0"},
      {lag + "time_constant = 1.0\ngain = \"big\"\n", "11: block 'B' (lag): 'gain' must be a number"},
      {lag + "time_constant = inf\n", "10: 'time_constant' must be a finite number"},
      {"[[block]]\nname = \"B\"\nkind = \"lag\"\ntime_constant = 1.0\n", "6: block 'B' (lag): needs 'input'"},
      {"[[block]]\nname = \"B\"\nkind = \"lag\"\ntime_constant = 1.0\ninput = [1.0]\n",
       "10: block 'B' (lag): 'input' must be a number or a name, not a list"},
      {"[[block]]\nname = \"B\"\nkind = \"lag\"\ntime_constant = 1.0\ninput = \"NOPE\"\n",
       "10: block 'B' (lag) reads 'NOPE', which names no block"},
      {"[[block]]\nname = \"B\"\nkind = \"deadtime\"\ninput = 1.0\ndelay = -1.0\n",
       "10: block 'B' (deadtime): 'delay' must be at least 0 s, not -1"},
      {"[[block]]\nname = \"B\"\nkind = \"deadtime\"\ninput = 1.0\ndelay = 2e6\n",
       "10: block 'B' (deadtime): 'delay' of 2e+06 s spans more than a million steps of 1 s"},
      {[] {  // ten dead times of a million steps and more: one limit holds for all of them
         std::string text;
         for (int k = 0; k < 11; ++k) {
           text += "[[block]]\nname = \"D" + std::to_string(k) + "\"\nkind = \"deadtime\"\ninput = 1.0\ndelay = 1e6\n";
         }
         return text;
       }(),
       "55: block 'D9' (deadtime): 'delay' of 1e+06 s brings the plant's dead times beyond ten million samples"},
      {"[[block]]\nname = \"B\"\nkind = \"valve\"\ncommand = 1.0\nfail_position = 1.5\n",
       "10: block 'B' (valve): 'fail_position' must be from 0 to 1 (a fraction), not 1.5"},
      {"[[block]]\nname = \"B\"\nkind = \"valve\"\ncommand = 1.0\ncharacteristic = \"fast\"\n",
       "10: block 'B' (valve): 'characteristic' must be one of \"linear\", \"equal-percentage\", \"quick-opening\""},
      {"[[block]]\nname = \"B\"\nkind = \"valve\"\ncommand = 1.0\nrangeability = 1.0\n",
       "10: block 'B' (valve): 'rangeability' must be above 1, not 1"},
      {"[[block]]\nname = \"B\"\nkind = \"motor\"\ncommand = 1.0\ninitial = 0.5\n",
       "10: block 'B' (motor): 'initial' must be 0 or 1"},
      {"[[block]]\nname = \"B\"\nkind = \"switch\"\ninput = 1.0\non = 3.0\noff = 4.0\n",
       "11: block 'B' (switch): 'off' (4) must be at most 'on' (3)"},
      {"[[block]]\nname = \"B\"\nkind = \"integrator\"\ninput = 1.0\nlow = 1.0\nhigh = 2.0\n",
       "6: block 'B' (integrator): 'initial' (0) must lie within low..high"},
      {"[[block]]\nname = \"B\"\nkind = \"integrator\"\ninput = 1.0\nlow = 3.0\nhigh = 2.0\n",
       "10: block 'B' (integrator): 'low' (3) must be at most 'high' (2)"},
      {"[[block]]\nname = \"B\"\nkind = \"sum\"\ninputs = [1.0, 2.0]\nweights = [1.0]\n",
       "10: block 'B' (sum): 'weights' holds 1 numbers, 'inputs' 2"},
      {"[[block]]\nname = \"B\"\nkind = \"sum\"\ninputs = []\n", "9: block 'B' (sum): needs 'inputs'"},
      {"[[block]]\nname = \"B\"\nkind = \"lookup\"\ninput = 1.0\nx = [0.0, 0.0]\ny = [1.0, 2.0]\n",
       "10: block 'B' (lookup): 'x' must be strictly increasing (0 then 0)"},
      {"[[block]]\nname = \"B\"\nkind = \"lookup\"\ninput = 1.0\nx = [0.0, 1.0]\ny = [1.0, 2.0, 3.0]\n",
       "11: block 'B' (lookup): 'x' and 'y' must hold as many numbers each"},
      {"[[block]]\nname = \"B\"\nkind = \"lookup\"\ninput = 1.0\nx = [0.0, \"a\"]\ny = [1.0, 2.0]\n",
       "10: block 'B' (lookup): 'x' must be a list of numbers"},
      {"[[block]]\nname = \"B\"\nkind = \"source\"\nshape = \"square\"\n",
       "9: block 'B' (source): 'shape' must be one of \"constant\", \"step\""},
      {"[[block]]\nname = \"B\"\nkind = \"source\"\nshape = \"constant\"\nat = 1.0\n",
       "10: block 'B' (source): unknown key 'at'"},
      {"[[block]]\nname = \"B\"\nkind = \"source\"\nshape = \"sine\"\namplitude = 1.0\nperiod = 0.0\n",
       "11: block 'B' (source): 'period' must be above 0 s, not 0"},
      {"[[block]]\nname = \"B\"\nkind = \"source\"\nshape = \"noise\"\namplitude = 1.0\nseed = 1.5\n",
       "11: block 'B' (source): 'seed' must be a whole number, not 1.5"},
      {"[case]\nsteps = 1\n\n[model]\ntype = \"blocks\"\n", "4: model \"blocks\" declares no [[block]]"},
      {"[case]\nsteps = 1\n\n[model]\ntype = \"blocks\"\narea = 2.0\n",
       "6: unknown key 'area' in [model] of type \"blocks\""},
      {"[case]\nsteps = 1\n\n[model]\ntype = \"tank\"\n\n" + lag,
       "7: a [[block]] belongs to a model of type \"blocks\" or \"tieback\", not \"tank\""},
  };
  for (const Refusal& r : rows) {
    SCOPED_TRACE(r.error);
    const std::string error = r.text.rfind("[case]", 0) == 0 ? BuildCase(r.text) : Build(r.text);
    EXPECT_EQ(error.find(path + ":" + r.error), 0U) << error;
  }
}

// A model file holds [[block]] tables; its problems are reported against it, and its blocks come first.
TEST_F(PlantTest, ModelFileBlocksComeFirstAndItsProblemsNameIt) {
  const std::string file = testing::TempDir() + "plant-file.toml";
  const std::string withFile = "[case]\nsteps = 1\n\n[model]\ntype = \"blocks\"\nfile = \"plant-file.toml\"\n\n"
                               "[[block]]\nname = \"Y\"\nkind = \"sum\"\ninputs = [\"X\", 1.0]\n";
  std::ofstream(file, std::ios::binary) << "# a plant\n[[block]]\nname = \"X\"\nkind = \"source\"\nshape = "
                                           "\"constant\"\nvalue = 2.0\n";
  ASSERT_EQ(BuildCase(withFile), "");
  ASSERT_EQ(model.Names().size(), 2U);
  EXPECT_EQ(model.Names()[0], "X");
  EXPECT_EQ(At("Y"), 3.0);  // settled at the start
  std::ofstream(file, std::ios::binary) << "[[block]]\nname = \"X\"\nkind = \"lag\"\ninput = 1.0\n";
  EXPECT_EQ(BuildCase(withFile).find(file + ":1: block 'X' (lag): needs 'time_constant'"), 0U) << BuildCase(withFile);
  std::ofstream(file, std::ios::binary) << "[case]\nsteps = 2\n";
  EXPECT_EQ(BuildCase(withFile).find(file + ":1: unknown key 'case' in a model file"), 0U) << BuildCase(withFile);
  std::ofstream(file, std::ios::binary) << "[[block]]\nname = \"X\"\nkind = \"source\"\nshape = \"constant\"\n";
  const std::string twice = BuildCase(withFile + "[[block]]\nname = \"X\"\nkind = \"lag\"\n");
  EXPECT_EQ(twice.find(path + ":12: a second block named 'X' (the first at " + file + ":1)"), 0U) << twice;
}

}  // namespace plant_tests
