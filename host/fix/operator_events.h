// Operator events: an operator's change at the DCS, made the way an operator
// station makes it, through FIX in a group of dcshost's own (define, resolve,
// set, write, check the point's error, delete), so FIX's own rules apply: a
// write FIX refuses is reported with FIX's text and changes nothing.
#pragma once

#include <string>

#include "case/case.h"
#include "fix/fix_library.h"

namespace host {

struct EventOutcome {
  bool applied = false;
  std::string text;  // "operator sets N:T.F to V", or what FIX said
};

EventOutcome ApplyEvent(const FixLibrary& fix, const CaseEvent& event);

}  // namespace host
