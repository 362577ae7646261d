// The stop flag: set by the signal handler, read by the program's loop.
#include "system/stop_signal.h"

#include <csignal>

namespace host {
namespace {

// Lock-free, so a signal handler may set it.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the stop flag is set from a signal handler");

extern "C" void AskToStop(int signal) { stopSignal.store(signal); }

}  // namespace

const std::atomic<int>& StopOnSignal::flag() { return stopSignal; }

StopOnSignal::StopOnSignal() {
  stopSignal.store(0);
  oldInt_ = std::signal(SIGINT, AskToStop);
  oldTerm_ = std::signal(SIGTERM, AskToStop);
}

StopOnSignal::~StopOnSignal() {
  std::signal(SIGINT, oldInt_ == SIG_ERR || oldInt_ == nullptr ? SIG_DFL : oldInt_);
  std::signal(SIGTERM, oldTerm_ == SIG_ERR || oldTerm_ == nullptr ? SIG_DFL : oldTerm_);
}

}  // namespace host
