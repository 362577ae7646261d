// Each kind of block against its closed-form answer: a lag's step response at
// several step lengths, a dead time's delay, an integrator's limits, a valve's
// characteristics and stroke, a motor's delays, a switch's hysteresis, a sum,
// a lookup, each source's shape and the noise source's numbers.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <vector>

#include "plant_fixture.h"

namespace plant_tests {

TEST_F(PlantTest, LagFollowsItsExactStepResponseAtAnyStepLength) {
  for (const double dt : {0.1, 1.0, 7.0}) {
    SCOPED_TRACE(dt);
    ASSERT_EQ(Build("[[block]]\nname = \"L\"\nkind = \"lag\"\ninput = 2.0\ngain = 1.5\nbias = 0.5\n"
                    "time_constant = 10.0\nunit = \"degC\"\n",
                    dt),
              "");
    EXPECT_EQ(model.Unit("L"), "degC");
    for (int n = 1; n <= 40; ++n) {
      model.Advance(dt);
      EXPECT_NEAR(At("L"), 3.5 * (1.0 - std::exp(-n * dt / 10.0)), 1e-12) << n;
    }
  }
}

struct DeadtimeRow {
  double delay, dt, initial;
};

// The input is a ramp u(t) = t; the output is u(t - delay), its initial value before.
TEST_F(PlantTest, DeadtimeGivesTheInputDelaySecondsAgo) {
  const DeadtimeRow rows[] = {{3.0, 1.0, 0.0}, {2.5, 1.0, -1.0}, {0.0, 0.5, 0.0}, {0.3, 0.1, 5.0}};
  for (const DeadtimeRow& r : rows) {
    SCOPED_TRACE(r.delay);
    ASSERT_EQ(Build("[[block]]\nname = \"R\"\nkind = \"source\"\nshape = \"ramp\"\nslope = 1.0\n"
                    "[[block]]\nname = \"D\"\nkind = \"deadtime\"\ninput = \"R\"\ndelay = " +
                        std::to_string(r.delay) + "\ninitial = " + std::to_string(r.initial) + "\n",
                    r.dt),
              "");
    for (int n = 1; n <= 30; ++n) {
      model.Advance(r.dt);
      const double t = n * r.dt;
      if (t >= r.delay + r.dt - 1e-9) {
        EXPECT_NEAR(At("D"), t - r.delay, 1e-9) << n;
      } else if (t <= r.delay + 1e-9) {
        EXPECT_EQ(At("D"), r.initial) << n;
      }
    }
  }
}

struct IntegratorRow {
  double input, low, high, initial;
};

TEST_F(PlantTest, IntegratorRisesAtGainTimesInputWithinItsLimits) {
  const IntegratorRow rows[] = {{2.0, 0.0, 3.0, 1.0}, {-2.0, 0.5, 3.0, 2.0}, {0.0, -1.0, 1.0, 0.25}};
  for (const IntegratorRow& r : rows) {
    SCOPED_TRACE(r.input);
    ASSERT_EQ(Build("[[block]]\nname = \"I\"\nkind = \"integrator\"\ngain = 0.5\ninput = " + std::to_string(r.input) +
                    "\nlow = " + std::to_string(r.low) + "\nhigh = " + std::to_string(r.high) +
                    "\ninitial = " + std::to_string(r.initial) + "\n", 0.5),
              "");
    for (int n = 1; n <= 12; ++n) {
      model.Advance(0.5);
      EXPECT_NEAR(At("I"), std::clamp(r.initial + 0.5 * r.input * n * 0.5, r.low, r.high), 1e-12) << n;
    }
  }
}

struct ValveRow {
  const char* keys;  // characteristic, rangeability, dp
  double flow;       // cv 2 at position 0.25
};

TEST_F(PlantTest, ValveFlowFollowsItsCharacteristicAndDp) {
  const ValveRow rows[] = {
      {"", 0.5},
      {"characteristic = \"linear\"\n", 0.5},
      {"characteristic = \"equal-percentage\"\n", 2.0 * std::pow(50.0, -0.75)},
      {"characteristic = \"equal-percentage\"\nrangeability = 20.0\n", 2.0 * std::pow(20.0, -0.75)},
      {"characteristic = \"quick-opening\"\n", 1.0},
      {"dp = 4.0\n", 1.0},
      {"dp = -1.0\n", 0.0},
  };
  for (const ValveRow& r : rows) {
    SCOPED_TRACE(r.keys);
    ASSERT_EQ(Build(std::string("[[block]]\nname = \"V\"\nkind = \"valve\"\ncommand = 0.25\ncv = 2.0\n") + r.keys), "");
    Steps(1);
    EXPECT_NEAR(At("V"), r.flow, 1e-12);
  }
}

TEST_F(PlantTest, ValveStrokesAtItsRateAndTakesItsFailPositionOnABadCommand) {
  ASSERT_EQ(Build("[[block]]\nname = \"V\"\nkind = \"valve\"\ncommand = \"FC1.output\"\nstroke_time = 10.0\n"
                  "fail_position = 0.3\n", 2.0),
            "");
  Input("FC1.output", 1.0);
  for (int n = 1; n <= 7; ++n) {
    model.Advance(2.0);
    EXPECT_NEAR(At("V"), std::min(0.2 * n, 1.0), 1e-12) << n;
  }
  Input("FC1.output", 0.5);
  Steps(1, 2.0);
  EXPECT_NEAR(At("V"), 0.8, 1e-12);  // closing at the same rate
  Input("FC1.output", std::numeric_limits<double>::quiet_NaN());  // toward the fail position, at the same rate
  Steps(1, 2.0);
  EXPECT_NEAR(At("V"), 0.6, 1e-12);
  Steps(2, 2.0);
  EXPECT_NEAR(At("V"), 0.3, 1e-12);
  Input("FC1.output", 7.0);  // beyond fully open: fully open
  Steps(3, 2.0);
  EXPECT_NEAR(At("V"), 0.9, 1e-12);
  Steps(1, 2.0);
  EXPECT_NEAR(At("V"), 1.0, 1e-12);
}

struct MotorRow {
  double startDelay, stopDelay, dt;
  int stepsToRun, stepsToStop;
};

TEST_F(PlantTest, MotorFeedbackFollowsItsCommandAfterItsDelays) {
  const MotorRow rows[] = {{3.0, 2.0, 1.0, 3, 2}, {0.3, 0.2, 0.1, 3, 2}, {0.0, 0.0, 1.0, 1, 1}, {2.5, 1.0, 1.0, 3, 1}};
  for (const MotorRow& r : rows) {
    SCOPED_TRACE(r.startDelay);
    ASSERT_EQ(Build("[[block]]\nname = \"M\"\nkind = \"motor\"\ncommand = \"HS1.output\"\nstart_delay = " +
                        std::to_string(r.startDelay) + "\nstop_delay = " + std::to_string(r.stopDelay) + "\n",
                    r.dt),
              "");
    Input("HS1.output", 0.7);  // at least 0.5: start
    for (int n = 1; n <= r.stepsToRun; ++n) {
      model.Advance(r.dt);
      EXPECT_EQ(At("M"), n == r.stepsToRun ? 1.0 : 0.0) << n;
    }
    Input("HS1.output", 0.2);
    for (int n = 1; n <= r.stepsToStop; ++n) {
      model.Advance(r.dt);
      EXPECT_EQ(At("M"), n == r.stepsToStop ? 0.0 : 1.0) << n;
    }
  }
  // A start command withdrawn before the delay starts the count again.
  ASSERT_EQ(Build("[[block]]\nname = \"M\"\nkind = \"motor\"\ncommand = \"HS1.output\"\nstart_delay = 3.0\n"), "");
  for (const double command : {1.0, 1.0, 0.0, 1.0, 1.0}) {
    Input("HS1.output", command);
    Steps(1);
    EXPECT_EQ(At("M"), 0.0);
  }
  Steps(1);
  EXPECT_EQ(At("M"), 1.0);
}

TEST_F(PlantTest, SwitchTurnsOnAboveOnAndOffBelowOff) {
  ASSERT_EQ(Build("[[block]]\nname = \"S\"\nkind = \"switch\"\ninput = \"LT1.F_CV\"\non = 5.0\noff = 3.0\n"), "");
  const double inputs[] = {4.0, 5.0, 6.0, 4.0, 3.0, 2.0, 4.0, 5.5};
  const double outputs[] = {0.0, 0.0, 1.0, 1.0, 1.0, 0.0, 0.0, 1.0};
  for (size_t k = 0; k < std::size(inputs); ++k) {
    Input("LT1.F_CV", inputs[k]);
    Steps(1);
    EXPECT_EQ(At("S"), outputs[k]) << inputs[k];
  }
}

TEST_F(PlantTest, SumWeighsConstantsBlocksAndExternalInputs) {
  ASSERT_EQ(Build("[[block]]\nname = \"A\"\nkind = \"source\"\nshape = \"constant\"\nvalue = 3.0\n"
                  "[[block]]\nname = \"S\"\nkind = \"sum\"\ninputs = [1.5, \"A\", \"X1.output\"]\n"
                  "weights = [2.0, -1.0, 0.5]\nbias = 1.0\n"),
            "");
  Input("X1.output", 0.4);
  Steps(1);
  EXPECT_NEAR(At("S"), 1.0 + 3.0 - 3.0 + 0.2, 1e-12);
}

TEST_F(PlantTest, LookupInterpolatesAndClampsAtTheEnds) {
  ASSERT_EQ(Build("[[block]]\nname = \"T\"\nkind = \"lookup\"\ninput = \"X1.output\"\nx = [0.0, 1.0, 3.0]\n"
                  "y = [0.0, 10.0, 20.0]\n"),
            "");
  const double inputs[] = {-1.0, 0.0, 0.5, 1.0, 2.0, 3.0, 9.0};
  const double outputs[] = {0.0, 0.0, 5.0, 10.0, 15.0, 20.0, 20.0};
  for (size_t k = 0; k < std::size(inputs); ++k) {
    Input("X1.output", inputs[k]);
    Steps(1);
    EXPECT_NEAR(At("T"), outputs[k], 1e-12) << inputs[k];
  }
}

struct SourceRow {
  const char* keys;
  std::vector<double> values;  // at t = 0, 1, 2, ...
};

TEST_F(PlantTest, SourcesFollowTheirShapesInTime) {
  const double s = std::sqrt(0.5);
  const SourceRow rows[] = {
      {"shape = \"constant\"\nvalue = 4.5\n", {4.5, 4.5, 4.5}},
      {"shape = \"step\"\nat = 2.0\nfrom = 1.0\nto = 4.0\n", {1.0, 1.0, 4.0, 4.0}},
      {"shape = \"step\"\nat = 0.0\nto = 4.0\n", {4.0, 4.0}},
      {"shape = \"ramp\"\nstart = 2.0\nslope = 0.5\nfrom = 1.0\n", {1.0, 1.0, 1.0, 1.5, 2.0}},
      {"shape = \"sine\"\namplitude = 2.0\nperiod = 8.0\noffset = 1.0\n",
       {1.0, 1.0 + 2.0 * s, 3.0, 1.0 + 2.0 * s, 1.0}},
  };
  for (const SourceRow& r : rows) {
    SCOPED_TRACE(r.keys);
    ASSERT_EQ(Build(std::string("[[block]]\nname = \"Q\"\nkind = \"source\"\n") + r.keys), "");
    for (size_t n = 0; n < r.values.size(); ++n) {
      EXPECT_NEAR(At("Q"), r.values[n], 1e-12) << n;
      Steps(1);
    }
  }
}

// The noise is xorshift64* from the seed, the same on every target: each step draws amplitude * (2u - 1).
TEST_F(PlantTest, NoiseRepeatsItsNumbersFromItsSeed) {
  for (const uint64_t seed : {1ULL, 12345ULL}) {
    SCOPED_TRACE(seed);
    ASSERT_EQ(Build("[[block]]\nname = \"N\"\nkind = \"source\"\nshape = \"noise\"\namplitude = 0.5\nseed = " +
                    std::to_string(seed) + "\n"),
              "");
    EXPECT_EQ(At("N"), 0.0);  // no number drawn before the first step
    uint64_t state = seed + 0x9E3779B97F4A7C15ULL;
    for (int n = 1; n <= 100; ++n) {
      state ^= state >> 12;
      state ^= state << 25;
      state ^= state >> 27;
      const double unit = static_cast<double>((state * 0x2545F4914F6CDD1DULL) >> 11) * 0x1.0p-53;
      Steps(1);
      ASSERT_EQ(At("N"), 0.5 * (2.0 * unit - 1.0)) << n;
      ASSERT_LE(std::fabs(At("N")), 0.5);
    }
  }
}

}  // namespace plant_tests
