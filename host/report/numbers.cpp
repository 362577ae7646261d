// The numbers of the trace and the plot: the shortest text of a double, 1-2-5
// tick steps and their multiples, and the unit of the time axis. Pure
// functions: nothing here reads or writes a file.
#include "report/numbers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace host {

std::string ShortestText(double value) {
  if (std::isnan(value)) {
    return "nan";
  }
  if (std::isinf(value)) {
    return value > 0 ? "inf" : "-inf";
  }
  // 15 significant digits give back every decimal of 15 digits or fewer, and
  // 17 give back every double.
  char buffer[40];
  for (int digits = 15; digits <= 17; ++digits) {
    std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
    if (std::strtod(buffer, nullptr) == value) {
      break;
    }
  }
  return buffer;
}

double TickStep(double span, int maxIntervals) {
  if (!(span > 0.0) || !std::isfinite(span)) {
    return 1.0;
  }
  const double raw = span / std::max(1, maxIntervals);
  const int exponent = static_cast<int>(std::floor(std::log10(raw)));
  // One power of ten either side, in case log10 rounded across a power.
  for (int e = exponent - 1; e <= exponent + 1; ++e) {
    for (const double mantissa : {1.0, 2.0, 5.0}) {
      // Dividing by an exact power of ten gives the nearest double to 0.002.
      const double step = e < 0 ? mantissa / std::pow(10.0, -e) : mantissa * std::pow(10.0, e);
      if (step >= raw * (1.0 - 1e-9)) {
        return std::isfinite(step) ? step : span;
      }
    }
  }
  return 10.0 * std::pow(10.0, exponent + 1);
}

std::vector<double> Multiples(double lo, double hi, double step) {
  const double first = std::ceil(lo / step - 1e-9);
  const double last = std::floor(hi / step + 1e-9);
  if (!(last - first <= 1000.0) || !(std::fabs(first) < 1e15) || !(std::fabs(last) < 1e15)) {
    return {lo, hi};
  }
  // Below 1 the step is 1/n for a whole n: i / n is the nearest double to the
  // tick, where i * step may be off by an ulp (0.30000000000000004).
  const double per = step < 1.0 ? std::round(1.0 / step) : 0.0;
  std::vector<double> ticks;
  for (long long n = static_cast<long long>(first); n <= static_cast<long long>(last); ++n) {
    const double i = static_cast<double>(n);
    ticks.push_back(n == 0 ? 0.0 : per > 0.0 ? i / per : i * step);
  }
  return ticks;
}

std::vector<double> Ticks(double lo, double hi, int maxIntervals) {
  if (!std::isfinite(lo) || !std::isfinite(hi) || hi < lo) {
    return {};
  }
  if (hi == lo || !std::isfinite(hi - lo)) {
    return hi == lo ? std::vector<double>{lo} : std::vector<double>{lo, hi};
  }
  return Multiples(lo, hi, TickStep(hi - lo, maxIntervals));
}

TimeUnit ChooseTimeUnit(double spanSeconds) {
  if (!(spanSeconds > 600.0)) {
    return TimeUnit{"s", 1.0};
  }
  if (spanSeconds <= 5.0 * 3600.0) {
    return TimeUnit{"min", 60.0};
  }
  return TimeUnit{"h", 3600.0};
}

}  // namespace host
