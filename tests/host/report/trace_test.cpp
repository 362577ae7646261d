// The trace and the numbers it and the plot are written in: 1-2-5 ticks, the
// time unit, the shortest text of a double, and the trace's header and exact
// values. It draws no plot; the plots are plot_test.cpp's.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "report/numbers.h"
#include "report/trace_writer.h"

namespace {

const double Nan = std::numeric_limits<double>::quiet_NaN();
const double Inf = std::numeric_limits<double>::infinity();

// ---------------------------------------------------------------------------
// Numbers.

TEST(TickStep, IsOneTwoOrFiveTimesAPowerOfTenWithinTheIntervals) {
  struct Case {
    double span;
    int intervals;
    double step;
  };
  const Case cases[] = {
      {10, 5, 2},      {1, 5, 0.2},    {7, 5, 2},       {100, 10, 10},    {95, 10, 10},  {11, 10, 2},
      {0.003, 5, 1e-3}, {0.7, 5, 0.2}, {1199, 10, 200}, {2e6, 10, 2e5},   {3, 3, 1},     {2.5e-7, 5, 5e-8},
      {1e12, 4, 5e11}, {0, 5, 1},      {-1, 5, 1},      {Nan, 5, 1},      {Inf, 5, 1},   {10, 0, 10},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(host::TickStep(c.span, c.intervals), c.step) << c.span << " in " << c.intervals;
  }
}

TEST(Ticks, AreTheStepsMultiplesFromLoToHi) {
  struct Case {
    double lo;
    double hi;
    int intervals;
    std::vector<double> ticks;
  };
  const Case cases[] = {
      {0, 1, 5, {0, 0.2, 0.4, 0.6, 0.8, 1}},  // exactly 0.6, not 0.6000000000000001
      {0.95, 2.05, 5, {1, 1.5, 2}},
      {-3, 7, 5, {-2, 0, 2, 4, 6}},
      {1, 1200, 6, {200, 400, 600, 800, 1000, 1200}},  // a time axis starting at its first sample
      {0.1, 0.3, 2, {0.1, 0.2, 0.3}},
      {5, 5, 5, {5}},
      {2, 1, 5, {}},
      {Nan, 1, 5, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(host::Ticks(c.lo, c.hi, c.intervals), c.ticks) << c.lo << " to " << c.hi;
  }
}

TEST(ChooseTimeUnit, FitsTheRunsLength) {
  const std::pair<double, const char*> cases[] = {
      {0, "s"},   {59, "s"},       {600, "s"}, {601, "min"}, {1199, "min"},
      {18000, "min"}, {18001, "h"}, {2e6, "h"}, {Nan, "s"},
  };
  for (const auto& c : cases) {
    const host::TimeUnit unit = host::ChooseTimeUnit(c.first);
    EXPECT_EQ(unit.name, c.second) << c.first;
    EXPECT_EQ(unit.seconds, unit.name == "s" ? 1.0 : unit.name == "min" ? 60.0 : 3600.0);
  }
}

TEST(ShortestText, IsTheShortestTextThatReadsBackTheSameDouble) {
  const std::pair<double, const char*> cases[] = {
      {0.1, "0.1"},
      {1.0, "1"},
      {2.5, "2.5"},
      {0.1 + 0.2, "0.30000000000000004"},
      {1.0 / 3.0, "0.3333333333333333"},
      {0.025222221374511723, "0.025222221374511723"},
      {static_cast<double>(42.5f), "42.5"},
      {2e6, "2000000"},
      {1234567.5, "1234567.5"},
      {1e-300, "1e-300"},
      {-0.0, "-0"},
      {Nan, "nan"},
      {Inf, "inf"},
      {-Inf, "-inf"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(host::ShortestText(c.first), c.second);
  }
  // Doubles from every corner of the range, and floats as FIX hands them over.
  std::mt19937_64 random(12);
  for (int k = 0; k < 20000; ++k) {
    const uint64_t bits = random();
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    if (k % 2 == 1) {
      value = static_cast<double>(static_cast<float>(static_cast<double>(bits % 2000000) / 7.0));
    }
    if (!std::isfinite(value)) {
      continue;
    }
    const std::string text = host::ShortestText(value);
    ASSERT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
    ASSERT_LE(text.size(), 24U) << text;
  }
}

// ---------------------------------------------------------------------------
// The trace file.

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    lines.push_back(line);
  }
  return lines;
}

TEST(TraceWriter, NamesOnTheFirstLineThenUnitsAndDirectionsThenExactValues) {
  const std::string path = testing::TempDir() + "plot_test-trace.csv";
  host::TraceWriter trace;
  std::string error;
  ASSERT_TRUE(trace.Open(path,
                         {{"level", "m", "model", false},
                          {"LIC101.output", "0-1", "from DCS", false},
                          {"odd,\"name\"", "", "to DCS", true}},
                         error))
      << error;
  trace.Write(1, 0.1, {0.1, 1.0 / 3.0, Nan}, {true, false, true});
  trace.Write(2, 1234567.5, {static_cast<double>(0.025222222f), 2.0, -Inf}, {});
  trace.Write(3, 3e7, {}, {});
  ASSERT_TRUE(trace.IsOpen());
  ASSERT_TRUE(trace.Close(error)) << error;
  const std::vector<std::string> expected = {
      "step,time_s,level,LIC101.output,\"odd,\"\"name\"\"\"",
      "#unit,s,m,0-1,",
      "#direction,,model,from DCS,to DCS",
      "1,0.1,0.1,,nan",                           // not exchanged: an empty cell
      "2,1234567.5,0.02522222138941288,2,-inf",  // a float read back exactly
      "3,30000000",
  };
  std::vector<std::string> lines = Lines(path);
  ASSERT_EQ(lines.size(), expected.size());
  for (size_t k = 0; k < expected.size(); ++k) {
    EXPECT_EQ(lines[k], expected[k]) << "line " << k + 1;
  }
}

TEST(TraceWriter, RefusesAPathItCannotWrite) {
  host::TraceWriter trace;
  std::string error;
  EXPECT_FALSE(trace.Open(testing::TempDir(), {}, error));
  // a folder: the reason follows the file and what it is
  EXPECT_EQ(error.rfind(testing::TempDir() + ": cannot write the trace: ", 0), 0U) << error;
  EXPECT_FALSE(trace.IsOpen());
}

}  // namespace
