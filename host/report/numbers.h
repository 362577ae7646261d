// The numbers of the trace and the plot: values written as the shortest text
// that reads back exactly, and round 1-2-5 axis ticks and time units. Pure
// functions: nothing here reads or writes a file.
#pragma once

#include <string>
#include <vector>

namespace host {

// The shortest text that reads back (as strtod reads, correctly rounded) to
// the same double: "0.1", not "0.10000000000000001"; 17 digits only where
// fewer do not give back the same double; "nan", "inf" and "-inf" for the
// values that are not finite. It is printf's "%.15g", or "%.16g" or "%.17g"
// where fewer digits do not read back: 15 digits at least, so that 2e6 is
// "2000000", not "2e+06". The same text on every target.
std::string ShortestText(double value);

// The most characters ShortestText gives: "-2.2250738585072014e-308".
inline constexpr int ShortestTextMax = 24;

// ShortestText written at out, which has room for ShortestTextMax characters;
// the end of the text (no terminating zero). Allocates nothing.
char* WriteShortestText(double value, char* out);

// The 1-2-5 tick step (1, 2 or 5 times a power of ten) that divides span into
// at most maxIntervals intervals; 1 for a span that is not positive and finite.
double TickStep(double span, int maxIntervals);

// The multiples of step from lo to hi (inclusive); lo and hi alone when there
// would be more than a thousand, or the step is lost in the range's rounding.
std::vector<double> Multiples(double lo, double hi, double step);

// The multiples of TickStep(hi - lo, maxIntervals) that lie from lo to hi
// (inclusive); none when hi < lo or either is not finite.
std::vector<double> Ticks(double lo, double hi, int maxIntervals);

// The unit the time axis is labelled in: s up to 10 min, min up to 5 h, h
// beyond; seconds is the length of one unit in seconds.
struct TimeUnit {
  std::string name;
  double seconds;
};
TimeUnit ChooseTimeUnit(double spanSeconds);

}  // namespace host
