// The numbers of the trace and the plot: the shortest text of a double, 1-2-5
// tick steps and their multiples, and the unit of the time axis. Pure
// functions: nothing here reads or writes a file.
#include "report/numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

namespace host {

namespace {

// The 'e' of to_chars's scientific text ending at last: "e+20" or "e-308".
char* ExponentMark(char* last) { return last[-5] == 'e' ? last - 5 : last - 4; }

// The significant digits of to_chars's scientific text: "-1.25e-07" has 3.
int SignificantDigits(const char* digits, const char* mark) {
  return mark - digits > 1 ? static_cast<int>(mark - digits - 1) : 1;
}

// Rewrites in place to_chars's scientific text [first, last) of a value
// rounded to its digits, as printf's "%.<precision>g" writes it, where the
// precision is the digits' count and `least` at least: fixed from 1e-4 to
// below 10^precision, else scientific with a sign and two exponent digits at
// least (as to_chars writes them); trailing zeros and a bare point dropped.
// The end of the text, which is never longer than to_chars's.
char* AsPrintfWrites(char* first, char* last, int least) {
  char* const digits = *first == '-' ? first + 1 : first;
  char* const mark = ExponentMark(last);
  char* end = mark;  // of the digits
  if (end - digits > 1) {
    while (end[-1] == '0') {
      --end;
    }
    end -= end[-1] == '.' ? 1 : 0;
  }
  const int count = SignificantDigits(digits, end);
  int x = 0;
  for (const char* p = mark + 2; p < last; ++p) {
    x = x * 10 + (*p - '0');
  }
  x = mark[1] == '-' ? -x : x;
  if (x < -4 || x >= std::max(least, count)) {
    std::memmove(end, mark, static_cast<size_t>(last - mark));
    return end + (last - mark);
  }
  if (x < 0) {  // "D.ddd" to "0.000Dddd"
    const char lead = digits[0];
    if (count > 1) {
      std::memmove(digits + 2 - x, digits + 2, static_cast<size_t>(count - 1));
    }
    digits[1 - x] = lead;
    digits[0] = '0';
    digits[1] = '.';
    std::memset(digits + 2, '0', static_cast<size_t>(-x - 1));
    return digits + 1 - x + count;
  }
  // "D.ddd" to "Dd.dd", or to "Dddd00" when the digits end before the point.
  const int moved = std::min(x, count - 1);
  if (moved > 0) {
    std::memmove(digits + 1, digits + 2, static_cast<size_t>(moved));
  }
  if (count > x + 1) {
    digits[x + 1] = '.';
    return digits + 1 + count;
  }
  std::memset(digits + count, '0', static_cast<size_t>(x + 1 - count));
  return digits + x + 1;
}

bool IsPowerOfTwo(double value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return (bits & ((uint64_t{1} << 52) - 1)) == 0;
}

}  // namespace

// The text is "%.15g", "%.16g" or "%.17g", the first that reads back: the
// value rounded to 15, 16 or 17 digits. It is made from the shortest digits
// that read back (to_chars), without printf and without reading any text back:
// - The shortest has 15 digits or fewer: every such decimal reads back to a
//   double that, rounded to 15 digits, gives the same decimal; so the value
//   rounded to 15 digits is the shortest digits and trailing zeros.
// - It has 16 or 17: fewer do not read back. A double reads back from every
//   decimal within half its spacing on either side, and the value rounded to
//   that many digits is the nearest decimal of that length: as near as the
//   shortest, it reads back too, and it is the shortest (to_chars picks the
//   nearest of the shortest, ties to even as printf rounds).
// - At a power of two the spacing below is half that above: the nearest 16
//   digits may lie below, out of reach, while the shortest lies above. They
//   read back only when they are the shortest; else printf goes to 17.
// - Below the normal range the spacing is wider than 15 digits resolve: the
//   value rounded to 15 digits (or to the shortest's 16 or 17) reads back, as
//   near as the shortest, but is not the shortest.
char* WriteShortestText(double value, char* out) {
  if (std::isnan(value) || std::isinf(value)) {
    const char* const text = std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf";
    const size_t size = std::strlen(text);
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result): the caller ends the text at the pointer returned
    std::memcpy(out, text, size);
    return out + size;
  }
  // A whole number below 10^15 is its digits (0 alone, for -0 keeps its sign).
  if (value != 0.0 && std::fabs(value) < 1e15 && value == std::trunc(value)) {
    return std::to_chars(out, out + ShortestTextMax, static_cast<long long>(value)).ptr;
  }
  const std::chars_format scientific = std::chars_format::scientific;
  char* last = std::to_chars(out, out + ShortestTextMax, value, scientific).ptr;
  const int digits = SignificantDigits(*out == '-' ? out + 1 : out, ExponentMark(last));
  if (value != 0.0 && std::fabs(value) < std::numeric_limits<double>::min()) {
    const int precision = std::max(15, digits);
    last = std::to_chars(out, out + ShortestTextMax, value, scientific, precision - 1).ptr;
    return AsPrintfWrites(out, last, precision);
  }
  if (digits == 16 && IsPowerOfTwo(value)) {
    char rounded[ShortestTextMax];
    const char* const end = std::to_chars(rounded, rounded + ShortestTextMax, value, scientific, 15).ptr;
    if (std::string_view(out, static_cast<size_t>(last - out)) !=
        std::string_view(rounded, static_cast<size_t>(end - rounded))) {
      last = std::to_chars(out, out + ShortestTextMax, value, scientific, 16).ptr;
      return AsPrintfWrites(out, last, 17);
    }
  }
  return AsPrintfWrites(out, last, 15);
}

std::string ShortestText(double value) {
  char text[ShortestTextMax];
  return std::string(text, WriteShortestText(value, text));
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
