// A stop asked for by SIGINT (Ctrl-C) or SIGTERM, taken by the program at its
// next safe point instead of ending it at once. While a StopOnSignal lives
// the two signals only set its flag; the old handlers come back with its end.
#pragma once

#include <atomic>

namespace host {

class StopOnSignal {
 public:
  StopOnSignal();
  ~StopOnSignal();
  StopOnSignal(const StopOnSignal&) = delete;
  StopOnSignal& operator=(const StopOnSignal&) = delete;
  // The signal that asked to stop, or 0.
  int signal() const { return flag().load(); }
  // The flag itself, for a child process to be stopped with the same signal.
  static const std::atomic<int>& flag();

 private:
  void (*oldInt_)(int) = nullptr;
  void (*oldTerm_)(int) = nullptr;
};

}  // namespace host
