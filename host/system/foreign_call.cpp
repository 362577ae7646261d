// The exit handler, registered with the first foreign call: it acts only
// while one is under way.
#include "system/foreign_call.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "system/exit_status.h"

namespace host {
namespace {

// The code being called, or null; plain atomics, nothing to construct.
std::atomic<const std::string*> calling{nullptr};
std::atomic<bool> registered{false};

extern "C" void ExitFromForeignCode() {
  const std::string* who = calling.load();
  if (who == nullptr) {
    return;  // dcshost's own end
  }
  (void)std::fprintf(stdout, "dcshost: %s ended the process from inside its call, so the run did not end; it exits 1\n",
                     who->c_str());
  (void)std::fflush(stdout);
  std::_Exit(StatusOf(ExitStatus::Failed));
}

}  // namespace

const std::string* ForeignCallUnderWay() { return calling.load(); }

void LetForeignExitsThrough() { registered.store(true); }

ForeignCall::ForeignCall(const std::string& who) : outer_(calling.exchange(&who)) {
  if (!registered.exchange(true)) {
    (void)std::atexit(ExitFromForeignCode);
  }
}

ForeignCall::~ForeignCall() { calling.store(outer_); }

}  // namespace host
