// Code that is not dcshost's runs inside it: a plant's own binary (an FMU's).
// An exit from inside that code (its `exit`, whatever the status it gives)
// must not pass for dcshost's own end: while a ForeignCall lives, an exit of
// the process says so and ends it with status 1. It allocates nothing, so it
// may stand around every call of a step.
#pragma once

#include <string>

namespace host {

class ForeignCall {
 public:
  // `who` names the code called ("FMU TANK (tank.fmu)"); it must outlive the call.
  explicit ForeignCall(const std::string& who);
  ~ForeignCall();
  ForeignCall(const ForeignCall&) = delete;
  ForeignCall& operator=(const ForeignCall&) = delete;

 private:
  const std::string* outer_;
};

// In a process that runs foreign code for dcshost (an FMU's worker), an exit
// from that code ends the process with its own status, which dcshost reads:
// no handler is registered. Called before any ForeignCall.
void LetForeignExitsThrough();

// The code being called now ("FMU TANK (tank.fmu)"), or null: safe to read
// from a signal handler.
const std::string* ForeignCallUnderWay();

}  // namespace host
