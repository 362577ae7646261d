// The driver's rules that a host program must mirror to describe what the
// driver will do: the tables' capacities, the three points of a controller
// row (the H_DV rule), FIX's error-text result and the buffer sizes. Stated
// here once; the driver, dcshost, the benchmarks, the soak and the fuzzer all
// include this header. Plain constants and one inline function, no state.
#pragma once

#include <cstdint>
#include <cstring>

namespace dcs {

constexpr int32_t MaxCtrlRows = 300;
constexpr int32_t MaxPVRows = 2500;
constexpr int32_t MaxPVImportRows = 2500;

// FixErrorText's result when the buffer received the code's text.
constexpr int32_t FixErrorTextFound = 11000;
constexpr int32_t ErrorTextLength = 256;  // buffer for the text of an error code
constexpr int32_t AsciiValueLength = 10;  // buffer for a text value fetched from a point

constexpr const char* FieldCV = "F_CV";
constexpr const char* FieldTV1 = "F_TV1";
constexpr const char* FieldMode = "A_AUTO";
constexpr const char* FieldHDV = "H_DV";

// The fields of a controller row's three points: its output on the row's
// FIELD, its second value on F_TV1 and its mode on A_AUTO; a row whose FIELD
// is H_DV has both its output and its second value on F_CV.
struct CtrlPointFields {
  const char* output;
  const char* tv1;
  const char* mode;
};

inline CtrlPointFields CtrlPointFieldsOf(const char* field) {
  const bool hdv = std::strcmp(field, FieldHDV) == 0;
  return CtrlPointFields{hdv ? FieldCV : field, hdv ? FieldCV : FieldTV1, FieldMode};
}

}  // namespace dcs
