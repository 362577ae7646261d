// The trace's numbers as dcshost first wrote them: printf's "%.15g", then 16
// and 17 digits, until the text reads back to the same double. The reference
// the trace's own writer must match byte for byte (its test) and the cost it
// is measured against (its benchmark).
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace testing_support {

inline bool StrtodReadsBack(const char* text, double value) { return std::strtod(text, nullptr) == value; }

inline std::string PrintfShortestText(double value, bool (*readsBack)(const char*, double) = StrtodReadsBack) {
  if (std::isnan(value)) {
    return "nan";
  }
  if (std::isinf(value)) {
    return value > 0 ? "inf" : "-inf";
  }
  char buffer[40];
  for (int digits = 15; digits <= 17; ++digits) {
    std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
    if (readsBack(buffer, value)) {
      break;
    }
  }
  return buffer;
}

}  // namespace testing_support
