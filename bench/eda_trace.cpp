// Records the EDA calls of one entry point from the journal and replays them.
// The replay loop is the whole floor: one switch per call, the call itself,
// and the fetched value stored, as the thinnest client of FIX would do.
#include "eda_trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fixdb_control.h"
#include "platform/fix_api.h"

namespace bench {
namespace {

struct CallName {
  const char* prefix;
  EdaCall kind;
};
const CallName CallNames[] = {
    {"EdaReadGroup(", EdaCall::ReadGroup},     {"EdaWriteGroup(", EdaCall::WriteGroup},
    {"EdaWaitGroup(", EdaCall::WaitGroup},     {"EdaResolveGroup(", EdaCall::ResolveGroup},
    {"EdaPointError(", EdaCall::PointError},   {"EdaGetFloat(", EdaCall::GetFloat},
    {"EdaGetAscii(", EdaCall::GetAscii},       {"EdaSetFloat(", EdaCall::SetFloat},
    {"EdaSetAscii(", EdaCall::SetAscii},
};

std::vector<std::string> JournalLines() {
  std::vector<std::string> lines;
  for (size_t i = 0; i < FixdbJournalSize(); ++i) {
    lines.emplace_back(FixdbJournalEntry(i));
  }
  return lines;
}

}  // namespace

EdaTrace EdaTrace::Record(const std::function<void()>& call) {
  EdaTrace trace;
  FixdbClearJournal();
  FixdbSetJournal(1);
  call();
  FixdbSetJournal(0);
  trace.lines_ = JournalLines();
  FixdbClearJournal();
  for (const std::string& line : trace.lines_) {
    if (!trace.Parse(line)) {
      std::fprintf(stderr, "bench: cannot replay the journal line %s\n", line.c_str());
      std::exit(2);
    }
  }
  trace.fetched_.assign(trace.calls_.size(), 0.0F);
  return trace;
}

bool EdaTrace::Parse(const std::string& line) {
  for (const CallName& name : CallNames) {
    const size_t prefix = std::strlen(name.prefix);
    if (line.compare(0, prefix, name.prefix) != 0) {
      continue;
    }
    TracedCall call{name.kind, 0, 0, 0, 0.0F, nullptr};
    const char* args = line.c_str() + prefix;
    char* end = nullptr;
    call.group = static_cast<int32_t>(std::strtol(args, &end, 10));
    switch (name.kind) {
      case EdaCall::ReadGroup:
      case EdaCall::WriteGroup:
      case EdaCall::WaitGroup:
      case EdaCall::ResolveGroup:
        break;
      case EdaCall::PointError:
      case EdaCall::GetFloat:
        call.point = static_cast<int32_t>(std::strtol(end + 1, &end, 10));
        break;
      case EdaCall::GetAscii:
        call.point = static_cast<int32_t>(std::strtol(end + 1, &end, 10));
        call.length = static_cast<int32_t>(std::strtol(end + 1, &end, 10));
        if (call.length < 0 || call.length > static_cast<int32_t>(sizeof ascii_)) {
          return false;
        }
        break;
      case EdaCall::SetFloat:
        call.point = static_cast<int32_t>(std::strtol(end + 1, &end, 10));
        call.value = std::strtof(end + 1, &end);
        break;
      case EdaCall::SetAscii: {
        call.point = static_cast<int32_t>(std::strtol(end + 1, &end, 10));
        const char* open = std::strchr(end, '"');
        const char* close = open == nullptr ? nullptr : std::strchr(open + 1, '"');
        if (close == nullptr) {
          return false;
        }
        texts_.emplace_back(open + 1, close);
        call.text = texts_.back().c_str();
        break;
      }
    }
    calls_.push_back(call);
    return true;
  }
  return false;
}

void EdaTrace::Replay() {
  const size_t count = calls_.size();
  const TracedCall* calls = calls_.data();
  float* fetched = fetched_.data();
  for (size_t i = 0; i < count; ++i) {
    const TracedCall& c = calls[i];
    switch (c.kind) {
      case EdaCall::ReadGroup: (void)EdaReadGroup(c.group); break;
      case EdaCall::WriteGroup: (void)EdaWriteGroup(c.group); break;
      case EdaCall::WaitGroup: (void)EdaWaitGroup(c.group); break;
      case EdaCall::ResolveGroup: (void)EdaResolveGroup(c.group); break;
      case EdaCall::PointError: (void)EdaPointError(c.group, c.point); break;
      case EdaCall::GetFloat: (void)EdaGetFloat(c.group, c.point, &fetched[i]); break;
      case EdaCall::GetAscii: (void)EdaGetAscii(c.group, c.point, ascii_, c.length); break;
      case EdaCall::SetFloat: {
        float value = c.value;
        (void)EdaSetFloat(c.group, c.point, &value);
        break;
      }
      case EdaCall::SetAscii: (void)EdaSetAscii(c.group, c.point, c.text); break;
    }
  }
}

bool EdaTrace::Verify(std::string& difference) {
  FixdbClearJournal();
  FixdbSetJournal(1);
  Replay();
  FixdbSetJournal(0);
  const std::vector<std::string> replayed = JournalLines();
  FixdbClearJournal();
  for (size_t i = 0; i < lines_.size() || i < replayed.size(); ++i) {
    const std::string recorded = i < lines_.size() ? lines_[i] : "(nothing)";
    const std::string made = i < replayed.size() ? replayed[i] : "(nothing)";
    if (recorded != made) {
      difference = "call " + std::to_string(i) + ": driver " + recorded + ", floor " + made;
      return false;
    }
  }
  return true;
}

size_t EdaTrace::PointCalls() const {
  size_t points = 0;
  for (const TracedCall& c : calls_) {
    points += c.point != 0 ? 1 : 0;
  }
  return points;
}

}  // namespace bench
