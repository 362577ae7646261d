// A stop asked for by SIGINT (Ctrl-C) or SIGTERM, taken by the program at its
// next safe point instead of ending it at once.
//
// Two ways to take it, one per kind of program:
// - Caught (a program of one thread): while a StopOnSignal lives the two
//   signals only set its flag; the old handlers come back with its end. A
//   stop that comes while a plant's code is inside its call (ForeignCall)
//   gives it 3 s to return; one that does not ends the process there,
//   saying that the driver could not be reset, with 128 + the signal.
// - Taken (a program that starts threads): the two signals are blocked in the
//   thread that makes the StopOnSignal and in every thread it starts after,
//   and that thread takes them itself in Poll, so that no handler ever
//   interrupts a thread. A handler's return reloads the interrupted thread's
//   own registers from what the emulator or kernel saved; under qemu-i386 the
//   thread register comes back from a table that all threads share, so a
//   handler run in a threaded program could leave a thread believing it was
//   another (a join of a worker then "joins itself" and the program aborts).
//   Signals still pending at its end are taken; the old mask comes back.
#pragma once

#include <atomic>

#if !defined(_WIN32)
#include <csignal>
#endif

namespace host {

// The flag itself, which the platform's handlers set (defined once, in
// stop_signal.cpp; nothing else writes it).
std::atomic<int>& StopFlagOfHandlers();

class StopOnSignal {
 public:
  enum class Mode { Caught, Taken };
  explicit StopOnSignal(Mode mode = Mode::Caught);
  ~StopOnSignal();
  StopOnSignal(const StopOnSignal&) = delete;
  StopOnSignal& operator=(const StopOnSignal&) = delete;
  // The signal that asked to stop, or 0.
  int signal() const { return flag().load(); }
  // Taken: waits up to `milliseconds` for a stop signal and takes it; Caught
  // (and on Windows, where the runtime runs its handler on a thread of its
  // own): waits. The signal that asked to stop, or 0.
  int Poll(int milliseconds) const;
  // The flag itself, for a child process to be stopped with the same signal.
  static const std::atomic<int>& flag();

 private:
  Mode mode_;
  void (*oldInt_)(int) = nullptr;
  void (*oldTerm_)(int) = nullptr;
  void (*oldAlarm_)(int) = nullptr;
#if !defined(_WIN32)
  sigset_t oldMask_{};
#endif
};

}  // namespace host
