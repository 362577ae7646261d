// The stop flag, which both platforms' handlers set and the program's loops
// read. Catching and taking the signals is in stop_signal_posix.cpp and
// stop_signal_win32.cpp.
#include "system/stop_signal.h"

namespace host {
namespace {

// Lock-free, so a signal handler may set it.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the stop flag is set from a signal handler");

}  // namespace

std::atomic<int>& StopFlagOfHandlers() { return stopSignal; }

const std::atomic<int>& StopOnSignal::flag() { return stopSignal; }

}  // namespace host
