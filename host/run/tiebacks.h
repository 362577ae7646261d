// The tiebacks of a "tieback" case against the FIX a run or check uses: what
// the database says of the loops (each PID's input, each PV's range) read in
// a group of dcshost's own, never written, then the loops paired and built.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "case/case.h"
#include "checkout/loop_checks.h"
#include "fix/fix_library.h"
#include "plant/tieback.h"

namespace host {

// Each controller's PID input (the simulated database's INPUT, where it has
// one) and action (A_ACTION), and each PV row's F_ELO..F_EHI range, where
// its point has both.
LoopFacts ReadLoopFacts(const FixLibrary& fix, const Case& c);

// The case's tiebacks against this FIX; false with "file:line: what".
bool GenerateTiebacks(const FixLibrary& fix, const Case& c, Tiebacks& tiebacks, std::string& error);

// The loops loop checks and expectations over loops may reach: a tieback
// case's loops and those its own blocks close, or the loops the pairing rules
// find; each with its PV's span and its controller's action, in one group
// until the session groups them by what its plant joins.
std::vector<CheckedLoop> LoopsToCheck(const Case& c, const LoopFacts& facts, const Tiebacks* tiebacks);

// What the database says of the case's strategies, a line for each
// controller in one: from the simulated database, its links (a master, a
// ratio station and its wild flow, a split range's outputs) and switches;
// from another FIX, whose links between blocks are not read, which
// controllers have a cascade switch (A_CASC).
std::vector<std::string> StrategyLines(const FixLibrary& fix, const Case& c);

// One line of counts, then the ambiguous and unpaired rows (at most `most`
// of each; every one with most < 0).
void SayPairing(const Case& c, const Tiebacks& tiebacks, int most, std::ostream& out);

}  // namespace host
