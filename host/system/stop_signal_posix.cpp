// Stops on Linux: caught by a handler that sets the flag (and gives a plant's
// call that never returns 3 s before the process ends), or taken from the
// blocked signals by the thread that polls for them.
#include "system/stop_signal.h"

#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <ctime>
#include <thread>

#include "system/exit_status.h"
#include "system/foreign_call.h"

namespace host {
namespace {

// How long a stop waits for a plant's call to return before the process ends.
constexpr unsigned StuckSeconds = 3;

// Writes text with write(2) alone, as a signal handler may.
void SayFromHandler(const char* text) {
  size_t length = 0;
  while (text[length] != '\0') {
    ++length;
  }
  (void)!write(STDOUT_FILENO, text, length);
}

// A stop that found a plant inside its call, still there StuckSeconds later:
// the plant will not return, so the process ends here, saying so. Nothing
// else can be done safely from here: the driver cannot be reset.
extern "C" void StuckInPlant(int) {
  const std::string* who = ForeignCallUnderWay();
  const int signal = StopFlagOfHandlers().load();
  if (who == nullptr || signal == 0) {
    return;  // the call returned: the run stops at its next step
  }
  const int code = StoppedBySignal(signal);
  char status[4] = {static_cast<char>('0' + code / 100), static_cast<char>('0' + code / 10 % 10),
                    static_cast<char>('0' + code % 10), '\0'};
  SayFromHandler("\ndcshost: stopped by a signal while ");
  SayFromHandler(who->c_str());
  SayFromHandler(
      " was inside its call, which did not return within 3 s: the driver could not be reset; "
      "exiting with ");
  SayFromHandler(status);
  SayFromHandler("\n");
  _exit(code);
}

extern "C" void AskToStop(int signal) {
  StopFlagOfHandlers().store(signal);
  if (ForeignCallUnderWay() != nullptr) {
    alarm(StuckSeconds);  // a plant's call that never returns must not make the run deaf
  }
}

sigset_t StopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

// Takes one pending stop signal, waiting up to `milliseconds`; it or 0.
int TakeStopSignal(int milliseconds) {
  const sigset_t set = StopSignals();
  timespec wait{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
  const int taken = sigtimedwait(&set, nullptr, &wait);
  return taken > 0 ? taken : 0;
}

// The first signal taken asks to stop; a later one changes nothing.
void Taken(int signal) {
  if (signal != 0 && StopFlagOfHandlers().load() == 0) {
    StopFlagOfHandlers().store(signal);
  }
}

}  // namespace

StopOnSignal::StopOnSignal(Mode mode) : mode_(mode) {
  StopFlagOfHandlers().store(0);
  if (mode_ == Mode::Taken) {
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, &oldMask_);
    return;
  }
  oldInt_ = std::signal(SIGINT, AskToStop);
  oldTerm_ = std::signal(SIGTERM, AskToStop);
  oldAlarm_ = std::signal(SIGALRM, StuckInPlant);
}

StopOnSignal::~StopOnSignal() {
  if (mode_ == Mode::Taken) {
    // A signal that came after the last Poll asked to stop all the same.
    while (const int taken = TakeStopSignal(0)) {
      Taken(taken);
    }
    pthread_sigmask(SIG_SETMASK, &oldMask_, nullptr);
    return;
  }
  (void)std::signal(SIGINT, oldInt_ == SIG_ERR || oldInt_ == nullptr ? SIG_DFL : oldInt_);
  (void)std::signal(SIGTERM, oldTerm_ == SIG_ERR || oldTerm_ == nullptr ? SIG_DFL : oldTerm_);
  alarm(0);
  (void)std::signal(SIGALRM, oldAlarm_ == SIG_ERR || oldAlarm_ == nullptr ? SIG_DFL : oldAlarm_);
}

int StopOnSignal::Poll(int milliseconds) const {
  if (mode_ == Mode::Taken) {
    Taken(TakeStopSignal(milliseconds));
    return signal();
  }
  if (signal() == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
  return signal();
}

}  // namespace host
