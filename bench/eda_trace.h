// The floor of the benchmarks: the EDA calls that one driver entry point made,
// taken from the simulated database's journal, and a bare loop that makes the
// same calls with the same arguments and in the same order, and nothing else.
// The replay never calls the driver; the journal is on only while recording.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace bench {

enum class EdaCall : uint8_t {
  ReadGroup, WriteGroup, WaitGroup, ResolveGroup, PointError, GetFloat, GetAscii, SetFloat, SetAscii
};

struct TracedCall {
  EdaCall kind;
  int32_t group;
  int32_t point;
  int32_t length;    // EdaGetAscii's buffer length
  float value;       // EdaSetFloat's value
  const char* text;  // EdaSetAscii's text
};

class EdaTrace {
 public:
  // Runs `call` with the journal on and keeps the EDA calls it made; stops
  // the program with a message when a line is not an EDA call it can replay.
  static EdaTrace Record(const std::function<void()>& call);

  // The bare loop: every traced call, in order.
  void Replay();
  // True when a replay, journalled, makes exactly the recorded calls;
  // otherwise the first line that differs.
  bool Verify(std::string& difference);

  size_t size() const { return calls_.size(); }
  // Calls that fetch or set one point (not group operations).
  size_t PointCalls() const;

 private:
  bool Parse(const std::string& line);

  std::vector<TracedCall> calls_;
  std::deque<std::string> texts_;
  std::vector<std::string> lines_;
  std::vector<float> fetched_;  // one slot per call, where fetched floats land
  char ascii_[256] = {};
};

}  // namespace bench
