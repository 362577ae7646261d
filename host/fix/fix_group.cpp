// dcshost's own FIX groups: for checking a case's points and for operator
// events, through the same EDA functions the driver uses.
#include "fix/fix_group.h"

#include <limits>

namespace host {

FixGroup::FixGroup(const FixApi& api, int32_t points) : api_(api), handle_(api.CreateGroup(points, 0)) {}

FixGroup::~FixGroup() {
  if (handle_ != 0) {
    api_.DeleteGroup(handle_);
  }
}

int32_t FixGroup::Define(const std::string& node, const std::string& tag, const std::string& field) {
  return api_.DefinePoint(handle_, node.c_str(), tag.c_str(), field.c_str(), 0);
}

int16_t FixGroup::Finish(int16_t started) {
  const int16_t waited = api_.WaitGroup(handle_);
  return started != 0 ? started : waited;
}

int16_t FixGroup::Resolve() { return Finish(api_.ResolveGroup(handle_)); }
int16_t FixGroup::Read() { return Finish(api_.ReadGroup(handle_)); }
int16_t FixGroup::Write() { return Finish(api_.WriteGroup(handle_)); }

int16_t FixGroup::GetText(int32_t point, std::string& text, bool longText) const {
  char buffer[LongTextLength] = {};
  const int32_t length = longText ? LongTextLength : dcs::AsciiValueLength;
  const int16_t status = api_.GetAscii(handle_, point, buffer, length);
  buffer[length - 1] = '\0';
  text = buffer;
  return status;
}

namespace {

// Defines the points in a group of dcshost's own, resolves them (and reads
// them when `read`), then hands `take` the group and each point's index and
// handle; nothing when there is no point or FIX gives no group.
template <typename Take>
void WithPoints(const FixApi& api, const std::vector<PointName>& points, bool read, Take take) {
  if (points.empty()) {
    return;
  }
  FixGroup group(api, static_cast<int32_t>(points.size()));
  if (!group.created()) {
    return;
  }
  std::vector<int32_t> handles;
  handles.reserve(points.size());
  for (const PointName& p : points) {
    handles.push_back(group.Define(p.node, p.tag, p.field));
  }
  group.Resolve();
  if (read) {
    group.Read();
  }
  for (size_t k = 0; k < points.size(); ++k) {
    take(group, k, handles[k]);
  }
}

}  // namespace

std::vector<int16_t> PointErrors(const FixApi& api, const std::vector<PointName>& points) {
  std::vector<int16_t> codes(points.size(), -1);
  WithPoints(api, points, false, [&codes](const FixGroup& group, size_t k, int32_t handle) {
    codes[k] = static_cast<int16_t>(handle < 0 ? -1 : group.PointError(handle));
  });
  return codes;
}

std::vector<double> ReadFloats(const FixApi& api, const std::vector<PointName>& points) {
  std::vector<double> values(points.size(), std::numeric_limits<double>::quiet_NaN());
  WithPoints(api, points, true, [&values](const FixGroup& group, size_t k, int32_t handle) {
    float value = 0.0F;
    if (handle >= 0 && group.PointError(handle) == 0 && group.GetFloat(handle, value) == 0) {
      values[k] = static_cast<double>(value);
    }
  });
  return values;
}

std::vector<std::string> ReadTexts(const FixApi& api, const std::vector<PointName>& points, const std::string& missing,
                                   bool longText) {
  std::vector<std::string> values(points.size(), missing);
  WithPoints(api, points, true, [&values, longText](const FixGroup& group, size_t k, int32_t handle) {
    std::string text;
    if (handle >= 0 && group.PointError(handle) == 0 && group.GetText(handle, text, longText) == 0) {
      values[k] = text;
    }
  });
  return values;
}

}  // namespace host
