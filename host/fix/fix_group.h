// A FIX point group of dcshost's own, released when it goes out of scope.
// Every group operation is waited for before the call returns, as the driver
// does, so no operation of dcshost is pending between two of its calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/driver_rules.h"
#include "fix/fix_library.h"

namespace host {

class FixGroup {
 public:
  FixGroup(const FixApi& api, int32_t points);
  ~FixGroup();
  FixGroup(const FixGroup&) = delete;
  FixGroup& operator=(const FixGroup&) = delete;

  // False when FIX gave no group.
  bool created() const { return handle_ != 0; }
  int32_t Define(const std::string& node, const std::string& tag, const std::string& field);
  // Resolve, read and write, each followed by its wait; the first nonzero status.
  int16_t Resolve();
  int16_t Read();
  int16_t Write();
  int16_t PointError(int32_t point) const { return api_.PointError(handle_, point); }
  int16_t GetFloat(int32_t point, float& value) const { return api_.GetFloat(handle_, point, &value); }
  int16_t SetFloat(int32_t point, float value) const { return api_.SetFloat(handle_, point, &value); }
  int16_t SetText(int32_t point, const std::string& text) const { return api_.SetAscii(handle_, point, text.c_str()); }
  // A text value, terminated whatever FIX put into the buffer: of the
  // driver's length (a mode or a flag), or up to LongTextLength (a description).
  int16_t GetText(int32_t point, std::string& text, bool longText = false) const;

 private:
  int16_t Finish(int16_t started);
  const FixApi& api_;
  int32_t handle_ = 0;
};

// The buffer for a long text value: FIX's descriptions and units hold up to 40 characters.
constexpr int32_t LongTextLength = 41;
static_assert(LongTextLength >= dcs::AsciiValueLength, "a long text holds a short one");

struct PointName {
  std::string node, tag, field;
};

// Defines the points in a group of dcshost's own, resolves them and gives
// each point's error code: 0 for a good point, -1 where FIX gave no group or
// no point. Reads and writes nothing.
std::vector<int16_t> PointErrors(const FixApi& api, const std::vector<PointName>& points);

// Reads the points' float values in a group of dcshost's own: NaN for a point
// FIX does not have or could not read. Writes nothing.
std::vector<double> ReadFloats(const FixApi& api, const std::vector<PointName>& points);
// The same for text values: `missing` for a point FIX does not have or could
// not read; `longText` for descriptions and units.
std::vector<std::string> ReadTexts(const FixApi& api, const std::vector<PointName>& points, const std::string& missing,
                                   bool longText = false);

}  // namespace host
