// The minimal FIX's EDA: groups of points over the compiled-in fields, with
// FIX's deferred semantics. A resolve, read or write is started by its call
// and completed by the group's EdaWaitGroup: gets see the last completed
// read, and sets reach the fields at the wait of the next write. Every input
// is checked; no exception leaves a function.
#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "minifix.h"
#include "points.h"

using namespace minifix;

namespace {

struct Value {
  bool present = false;
  float number = 0.0F;
  std::string text;
};

struct Point {
  std::string node;
  std::string tag;
  std::string name;
  Field* field = nullptr;           // set by a completed resolve
  int16_t nameError = NotResolved;  // from the last completed resolve
  int16_t valueError = 0;           // from the last completed read or write
  Value read;                       // from the last completed read
  Value staged;                     // set since the last write started
};

enum class Operation { None, Resolve, Read, Write };

struct Group {
  int32_t capacity = 0;
  std::vector<Point> points;
  Operation pending = Operation::None;
  std::vector<Value> inFlight;  // the snapshot or the values of the pending operation
};

std::map<int32_t, Group>& Groups() {
  static std::map<int32_t, Group> groups;
  return groups;
}

int32_t NextHandle = 1;

Group* FindGroup(int32_t handle) {
  const auto found = Groups().find(handle);
  return found == Groups().end() ? nullptr : &found->second;
}

Point* FindPoint(Group& group, int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= group.points.size()) {
    return nullptr;
  }
  return &group.points[static_cast<std::size_t>(index)];
}

// Runs a call's body; an exception (only an allocation can throw) becomes a
// status, so none crosses into the caller.
template <typename Result, typename Body>
Result Guarded(Result failure, Body body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

// Runs a call on an existing point of an existing group.
template <typename Body>
int16_t OnPoint(int32_t handle, int32_t index, Body body) noexcept {
  return Guarded(OutOfMemory, [&]() -> int16_t {
    Group* group = FindGroup(handle);
    if (group == nullptr) {
      return BadGroup;
    }
    Point* point = FindPoint(*group, index);
    return point == nullptr ? BadPoint : body(*point);
  });
}

// Starts an operation; the group's next wait completes it.
int16_t Start(int32_t handle, Operation operation) noexcept {
  return Guarded(OutOfMemory, [&]() -> int16_t {
    Group* group = FindGroup(handle);
    if (group == nullptr) {
      return BadGroup;
    }
    if (group->pending != Operation::None) {
      return GroupBusy;
    }
    group->inFlight.assign(group->points.size(), Value());
    for (std::size_t i = 0; i < group->points.size(); ++i) {
      Point& point = group->points[i];
      if (operation == Operation::Read && point.field != nullptr) {
        group->inFlight[i] = {true, point.field->number, point.field->text};
      } else if (operation == Operation::Write) {
        group->inFlight[i] = std::move(point.staged);
        point.staged = Value();
      }
    }
    group->pending = operation;
    return 0;
  });
}

void CompleteResolve(Point& point) {
  point.field = nullptr;
  point.nameError = FindField(point.node.c_str(), point.tag.c_str(), point.name.c_str(), &point.field);
  point.valueError = 0;
  point.read = Value();
}

void CompleteWrite(Point& point, const Value& value) {
  point.valueError = 0;
  if (!value.present) {
    return;
  }
  point.valueError =
      IsTextField(point.field->name) ? ApplyText(*point.field, value.text) : ApplyFloat(*point.field, value.number);
}

// A point's value can be fetched once a read of it has completed.
int16_t Readable(const Point& point, bool wantText) {
  if (point.nameError != 0) {
    return point.nameError;
  }
  if (IsTextField(point.field->name) != wantText) {
    return WrongFieldType;
  }
  return point.read.present ? 0 : NotRead;
}

// The length of a text, counted no further than one past the longest a field
// holds, so an unterminated text is never read beyond that.
std::size_t BoundedLength(const char* text) {
  std::size_t size = 0;
  while (size <= MaxTextLength && text[size] != '\0') {
    ++size;
  }
  return size;
}

// A value can be staged on a resolved point of the field's own type.
int16_t Settable(const Point& point, bool isText) {
  if (point.nameError != 0) {
    return point.nameError;
  }
  return IsTextField(point.field->name) == isText ? 0 : WrongFieldType;
}

}  // namespace

extern "C" {

int32_t EdaCreateGroup(int32_t points, int32_t /*reserved*/) {
  return Guarded<int32_t>(0, [&]() -> int32_t {
    if (points < 0 || NextHandle == INT32_MAX) {
      return 0;
    }
    const int32_t handle = NextHandle++;
    Groups()[handle].capacity = points;
    return handle;
  });
}

int16_t EdaDeleteGroup(int32_t group) { return Groups().erase(group) == 1 ? 0 : BadGroup; }

int32_t EdaDefinePoint(int32_t group, const char* node, const char* tag, const char* field, int32_t /*reserved*/) {
  return Guarded<int32_t>(-1, [&]() -> int32_t {
    Group* found = FindGroup(group);
    if (found == nullptr || node == nullptr || tag == nullptr || field == nullptr ||
        found->points.size() >= static_cast<std::size_t>(found->capacity) || found->pending != Operation::None) {
      return -1;
    }
    Point point;
    point.node = node;
    point.tag = tag;
    point.name = field;
    found->points.push_back(std::move(point));
    return static_cast<int32_t>(found->points.size() - 1);
  });
}

int16_t EdaResolveGroup(int32_t group) { return Start(group, Operation::Resolve); }

int16_t EdaReadGroup(int32_t group) { return Start(group, Operation::Read); }

int16_t EdaWriteGroup(int32_t group) { return Start(group, Operation::Write); }

int16_t EdaWaitGroup(int32_t group) {
  return Guarded(OutOfMemory, [&]() -> int16_t {
    Group* found = FindGroup(group);
    if (found == nullptr) {
      return BadGroup;
    }
    for (std::size_t i = 0; i < found->points.size(); ++i) {
      Point& point = found->points[i];
      if (found->pending == Operation::Resolve) {
        CompleteResolve(point);
      } else if (point.nameError == 0 && found->pending == Operation::Read) {
        point.read = std::move(found->inFlight[i]);
        point.valueError = 0;
      } else if (point.nameError == 0 && found->pending == Operation::Write) {
        CompleteWrite(point, found->inFlight[i]);
      }
    }
    found->pending = Operation::None;
    found->inFlight.clear();
    return 0;
  });
}

int16_t EdaPointError(int32_t group, int32_t point) {
  return OnPoint(group, point, [](const Point& p) -> int16_t { return p.nameError != 0 ? p.nameError : p.valueError; });
}

int16_t EdaGetFloat(int32_t group, int32_t point, float* value) {
  return OnPoint(group, point, [&](const Point& p) -> int16_t {
    if (value == nullptr) {
      return BadArgument;
    }
    const int16_t status = Readable(p, false);
    if (status == 0) {
      *value = p.read.number;
    }
    return status;
  });
}

int16_t EdaGetAscii(int32_t group, int32_t point, char* buffer, int32_t length) {
  return OnPoint(group, point, [&](const Point& p) -> int16_t {
    if (buffer == nullptr || length <= 0) {
      return BadArgument;
    }
    const int16_t status = Readable(p, true);
    if (status == 0) {
      const std::size_t count = std::min(p.read.text.size(), static_cast<std::size_t>(length) - 1);
      std::memcpy(buffer, p.read.text.data(), count);
      buffer[count] = '\0';
    }
    return status;
  });
}

int16_t EdaSetFloat(int32_t group, int32_t point, float* value) {
  return OnPoint(group, point, [&](Point& p) -> int16_t {
    if (value == nullptr) {
      return BadArgument;
    }
    const int16_t status = Settable(p, false);
    if (status == 0) {
      p.staged = {true, *value, {}};
    }
    return status;
  });
}

int16_t EdaSetAscii(int32_t group, int32_t point, const char* text) {
  return OnPoint(group, point, [&](Point& p) -> int16_t {
    if (text == nullptr) {
      return BadArgument;
    }
    const int16_t status = Settable(p, true);
    if (status != 0) {
      return status;
    }
    // A longer text could never be stored: refuse it here, not at the write.
    const std::size_t size = BoundedLength(text);
    if (size > MaxTextLength) {
      return ValueRefused;
    }
    p.staged = {true, 0.0F, std::string(text, size)};
    return 0;
  });
}

}  // extern "C"
