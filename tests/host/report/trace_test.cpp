// The trace and the numbers it and the plot are written in: 1-2-5 ticks, the
// time unit, the shortest text of a double, and the trace's header and exact
// values. It draws no plot; the plots are plot_test.cpp's.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "printf_shortest_text.h"
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

// A whole number of any size in 32-bit words, the lowest first, with no
// zero word on top: enough to compare a decimal with a double exactly.
using Whole = std::vector<uint32_t>;

// n * 10^tens * 2^twos.
Whole Scaled(uint64_t n, int tens, int twos) {
  Whole whole;
  for (; n != 0; n >>= 32) {
    whole.push_back(static_cast<uint32_t>(n));
  }
  for (int k = 0; k < tens + twos; ++k) {
    uint64_t carry = 0;
    for (uint32_t& word : whole) {
      carry += static_cast<uint64_t>(word) * (k < tens ? 10 : 2);
      word = static_cast<uint32_t>(carry);
      carry >>= 32;
    }
    if (carry != 0) {
      whole.push_back(static_cast<uint32_t>(carry));
    }
  }
  return whole;
}

int Compare(const Whole& a, const Whole& b) {
  if (a.size() != b.size()) {
    return a.size() < b.size() ? -1 : 1;
  }
  for (size_t k = a.size(); k-- > 0;) {
    if (a[k] != b[k]) {
      return a[k] < b[k] ? -1 : 1;
    }
  }
  return 0;
}

// Whether printf's text reads back to value, decided exactly: it lies within
// half the spacing of the doubles next to value (a quarter below a power of
// two), the ends included when value's last bit is 0, as reading rounds.
bool ReadsBackExactly(const char* text, double value) {
  const bool negative = *text == '-';
  const char* p = text + (negative ? 1 : 0);
  uint64_t digits = 0;
  int q = 0;  // the text is digits * 10^q
  bool point = false;
  for (; *p != '\0' && *p != 'e'; ++p) {
    point = point || *p == '.';
    if (*p != '.') {
      digits = digits * 10 + static_cast<uint64_t>(*p - '0');
      q -= point ? 1 : 0;
    }
  }
  q += *p == 'e' ? std::atoi(p + 1) : 0;
  if (value == 0.0 || digits == 0 || negative != (value < 0)) {
    return value == 0.0 && digits == 0;
  }
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
  const int field = static_cast<int>(bits >> 52 & 0x7ff);
  const uint64_t m = field == 0 ? fraction : fraction | uint64_t{1} << 52;
  const int quarter = (field == 0 ? -1074 : field - 1075) - 2;  // value is 4m quarters of its spacing
  const uint64_t low = fraction == 0 && field > 1 ? 4 * m - 1 : 4 * m - 2;
  const Whole t = Scaled(digits, std::max(q, 0), std::max(-quarter, 0));
  const int below = Compare(t, Scaled(low, std::max(-q, 0), std::max(quarter, 0)));
  const int above = Compare(t, Scaled(4 * m + 2, std::max(-q, 0), std::max(quarter, 0)));
  const bool ends = m % 2 == 0;
  return (below > 0 || (ends && below == 0)) && (above < 0 || (ends && above == 0));
}

using testing_support::PrintfShortestText;
using testing_support::StrtodReadsBack;

// printf's text read back with strtod, as it was; where that is not
// ShortestText's, read back exactly: mingw's strtod misreads some decimals
// next to a power of two (glibc's never does), and the exact reader is slow.
std::string Reference(double value) {
  const std::string text = PrintfShortestText(value, StrtodReadsBack);
  return text == host::ShortestText(value) ? text : PrintfShortestText(value, ReadsBackExactly);
}

double FromBits(uint64_t bits) {
  double value = 0.0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

TEST(ShortestText, IsPrintfsTextAtTheEdgesOfEveryRule) {
  const std::pair<double, const char*> cases[] = {
      {0.0, "0"},
      {-0.0, "-0"},
      {1e-4, "0.0001"},                                   // the last fixed exponent below 1
      {9.9999999999999991e-05, "9.999999999999999e-05"},  // rounds to below 1e-4
      {1e-5, "1e-05"},                                    // two exponent digits at least
      {-1.5e-7, "-1.5e-07"},
      {0.00012345678901234567, "0.00012345678901234567"},
      {-7.0, "-7"},
      {123456789012345.0, "123456789012345"},
      {999999999999999.0, "999999999999999"},  // the largest whole number written as its digits
      {1e15, "1e+15"},  // 16 digits before the point: past %.15g's fixed range
      {1234567890123456.0, "1234567890123456"},
      {12345678901234567.0, "12345678901234568"},
      {1e23, "1e+23"},  // the double nearest 1e23 lies below it
      {1.0 + std::ldexp(1.0, -52), "1.0000000000000002"},
      {100.0 / 3.0, "33.333333333333336"},
      {static_cast<double>(0.1f), "0.10000000149011612"},
      {4.35, "4.35"},
      // A power of two: 16 digits read back from above (5.960464477539063e-08),
      // but the nearest 16 lie below, out of reach, so printf goes to 17.
      {std::ldexp(1.0, -24), "5.9604644775390625e-08"},
      {std::ldexp(1.0, -23), "1.1920928955078125e-07"},
      {std::ldexp(1.0, 60), "1.152921504606847e+18"},
      {std::numeric_limits<double>::min(), "2.2250738585072014e-308"},
      {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
      {-std::numeric_limits<double>::max(), "-1.7976931348623157e+308"},
      // Below the normal range: 15 digits read back, longer than the shortest.
      {std::numeric_limits<double>::denorm_min(), "4.94065645841247e-324"},
      {std::ldexp(3.0, -1074), "1.48219693752374e-323"},
      {std::nextafter(std::numeric_limits<double>::min(), 0.0), "2.225073858507201e-308"},
      {1e-310, "9.99999999999997e-311"},
      {1e-308, "1e-308"},  // rounded to 15 digits: 1.00000000000000e-308
  };
  for (const auto& c : cases) {
    EXPECT_EQ(host::ShortestText(c.first), c.second);
    EXPECT_EQ(PrintfShortestText(c.first, ReadsBackExactly), c.second);
  }
}

// Where the spacing below a double is half that above, and where printf's
// text may be longer than the shortest: every power of two.
TEST(ShortestText, IsPrintfsTextAtEveryPowerOfTwo) {
  for (int e = -1074; e <= 1023; ++e) {
    for (const double sign : {1.0, -1.0}) {
      const double value = sign * std::ldexp(1.0, e);
      EXPECT_EQ(host::ShortestText(value), Reference(value)) << "2^" << e;
    }
  }
}

// The double nearest 10^e, for e from -323 to 308, as strtod reads "1e<e>".
double PowerOfTen(int e) {
  static const std::vector<double> powers = [] {
    std::vector<double> p;
    for (int k = -323; k <= 308; ++k) {
      p.push_back(std::strtod(("1e" + std::to_string(k)).c_str(), nullptr));
    }
    return p;
  }();
  return powers[static_cast<size_t>(e + 323)];
}

double FloatWidened(std::mt19937_64& r) {
  float f = 0.0f;
  const uint32_t bits = static_cast<uint32_t>(r());
  std::memcpy(&f, &bits, sizeof f);
  return static_cast<double>(f);
}

double NearPowerOfTen(std::mt19937_64& r) {
  const double power = PowerOfTen(static_cast<int>(r() % 632) - 323);
  uint64_t bits = 0;
  std::memcpy(&bits, &power, sizeof bits);
  return FromBits(bits + r() % 9 - 4);
}

// m / 10^e or m * 10^e with both exact: the double nearest the decimal.
double DecimalLikeATenth(std::mt19937_64& r) {
  const double m = static_cast<double>(r() % 1000000000000000ULL >> (r() % 50));
  const double power = PowerOfTen(static_cast<int>(r() % 23));
  return r() % 2 == 0 ? m / power : m * power;
}

// Doubles drawn from every corner, compared with printf's text; a fixed seed,
// so that a failure repeats. printf is slower in 32-bit code (and slower
// still under wine): fewer of each family there keep the sweep within two
// seconds.
constexpr int SweepPerFamily = sizeof(void*) == 8 ? 100000 : 20000;

TEST(ShortestText, IsPrintfsTextForRandomDoubles) {
  using Draw = double (*)(std::mt19937_64&);
  const std::pair<const char*, Draw> families[] = {
      {"bit pattern", [](std::mt19937_64& r) { return FromBits(r()); }},
      {"float widened", FloatWidened},
      {"near a power of ten", NearPowerOfTen},
      {"near a power of two", [](std::mt19937_64& r) { return FromBits(((r() % 2046 + 1) << 52) + r() % 9 - 4); }},
      {"subnormal", [](std::mt19937_64& r) { return FromBits(r() % (uint64_t{1} << 52)); }},
      {"integer", [](std::mt19937_64& r) { return static_cast<double>(r() >> (r() % 64)); }},
      {"decimal like 0.1", DecimalLikeATenth},
      // Odd multiples of powers of two: exact decimals, some halfway between
      // two of 16 digits.
      {"dyadic", [](std::mt19937_64& r) { return std::ldexp(static_cast<double>(r() >> (11 + r() % 50) | 1),
                                                              -static_cast<int>(r() % 140)); }},
      {"process value", [](std::mt19937_64& r) { return static_cast<double>(r() >> 11) * 0x1p-53 * 1000.0; }},
  };
  std::mt19937_64 random(20240615);
  for (const auto& [name, draw] : families) {
    int mismatches = 0;
    for (int k = 0; k < SweepPerFamily && mismatches < 10; ++k) {
      const double value = (random() % 2 == 0 ? 1.0 : -1.0) * draw(random);
      const std::string text = host::ShortestText(value);
      const std::string expected = Reference(value);
      if (text != expected || text.size() > static_cast<size_t>(host::ShortestTextMax)) {
        ADD_FAILURE() << name << ": " << text << " where printf gives " << expected;
        ++mismatches;
      }
    }
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

// Steps of every width, the longest texts included, in an order that grows
// the line and shrinks it again: each line is printf's text of its values.
TEST(TraceWriter, WritesEachStepAsPrintfWouldWhateverItsWidth) {
  struct Step {
    int step;
    double seconds;
    std::vector<double> values;
    std::vector<bool> exchanged;
  };
  const double longest = -std::numeric_limits<double>::min();  // "-2.2250738585072014e-308"
  std::mt19937_64 random(7);
  std::vector<double> drawn(6000);
  std::vector<bool> some(6000);
  for (size_t k = 0; k < drawn.size(); ++k) {
    drawn[k] = FromBits(random());
    some[k] = random() % 4 != 0;
  }
  const Step steps[] = {
      {1, 0.5, {0.1, 2.0, -0.0}, {true, true}},  // beyond `exchanged`: written
      {2147483647, -std::numeric_limits<double>::max(), std::vector<double>(5600, longest), {}},
      {-2147483647 - 1, 1e-310, drawn, some},
      {4, 4.0, {}, {}},
      {5, 5e6, {Nan, -Inf, 1e23, 5e-324}, {true, false, true, true}},
  };
  const std::string path = testing::TempDir() + "plot_test-trace-widths.csv";
  host::TraceWriter trace;
  std::string error;
  ASSERT_TRUE(trace.Open(path, {}, error)) << error;
  std::vector<std::string> expected = {"step,time_s", "#unit,s", "#direction,"};
  for (const Step& s : steps) {
    trace.Write(s.step, s.seconds, s.values, s.exchanged);
    std::string line = std::to_string(s.step) + ',' + Reference(s.seconds);
    for (size_t k = 0; k < s.values.size(); ++k) {
      line += ',' + (k >= s.exchanged.size() || s.exchanged[k] ? Reference(s.values[k]) : std::string());
    }
    expected.push_back(line);
  }
  ASSERT_TRUE(trace.Close(error)) << error;
  const std::vector<std::string> lines = Lines(path);
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
