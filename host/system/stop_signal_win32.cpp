// Stops on Windows: the C runtime runs a handler for Ctrl-C and SIGTERM on a
// thread of its own, so the handler sets the flag and the program's loops
// find it; there is no signal to block or take.
#include "system/stop_signal.h"

#include <chrono>
#include <csignal>
#include <thread>

namespace host {
namespace {

extern "C" void AskToStop(int signal) { StopFlagOfHandlers().store(signal); }

}  // namespace

StopOnSignal::StopOnSignal(Mode mode) : mode_(mode) {
  StopFlagOfHandlers().store(0);
  oldInt_ = std::signal(SIGINT, AskToStop);
  oldTerm_ = std::signal(SIGTERM, AskToStop);
}

StopOnSignal::~StopOnSignal() {
  (void)std::signal(SIGINT, oldInt_ == SIG_ERR || oldInt_ == nullptr ? SIG_DFL : oldInt_);
  (void)std::signal(SIGTERM, oldTerm_ == SIG_ERR || oldTerm_ == nullptr ? SIG_DFL : oldTerm_);
}

int StopOnSignal::Poll(int milliseconds) const {
  if (signal() == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
  return signal();
}

}  // namespace host
