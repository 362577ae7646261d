// Tiebacks generated from the tag tables: every loop the pairing rules find is
// closed by blocks (output -> lag or integrator, with a dead time where its
// measured variable has one -> PV; a discrete command -> a motor's delayed
// feedback), each loop starting at rest. It builds block declarations only.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "case/case.h"
#include "plant/loop_pairing.h"

namespace host {

// What the DCS's database says of the loops beside the tag tables.
struct LoopFacts {
  std::unordered_map<std::string, std::string> pidInputs;  // a controller's "NODE:TAG" -> the tag its PID reads
  std::vector<double> low, high;   // per PV row: the range the database states (F_ELO, F_EHI), NaN where none
  std::vector<std::string> units;  // per PV row: its engineering units (A_EGUDESC), empty where none
  std::vector<bool> directAction;  // per controller row: its A_ACTION is DIRECT
  // The strategies the database states (the simulated database's links):
  // a controller's "NODE:TAG" -> the tag its remote target comes from (a
  // master PID or a ratio station); a ratio station's "NODE:TAG" -> its wild
  // flow's tag; a controller's "NODE:TAG" -> the split-range outputs the case
  // imports (PV-import rows' tags, in the case's order).
  std::unordered_map<std::string, std::string> remotes, ratioInputs;
  std::unordered_map<std::string, std::vector<std::string>> splits;
  // A split-range output's "NODE:TAG" -> the part of its controller's output it takes (F_SPLO, F_SPHI).
  std::unordered_map<std::string, std::pair<double, double>> splitParts;
};

// How a tieback answers its controller or command.
struct TiebackDynamics {
  bool integrating = false;
  double timeConstant = 10.0;                // s: a lag's
  double deadTime = 0.0;                     // s
  double fillTime = 300.0;                   // s: integrating, full output above the balance moves the PV over its span
  bool reverse = false;                      // more output, less PV
  double low = 0.0, high = 100.0;            // the PV's span
  double startDelay = 2.0, stopDelay = 2.0;  // s: a discrete loop's feedback after its command
};

// The defaults of a measured variable ("F", "PD", "T"; empty for a discrete loop).
TiebackDynamics DefaultDynamics(const std::string& variable);

struct TiebackLoop {
  bool discrete = false;
  size_t source = 0;     // the controller row, or a discrete command's PV-import row
  size_t pv = 0;         // the PV row it closes
  std::string rule;      // how it was paired
  std::string variable;  // its measured variable ("L"); empty for a discrete loop
  std::string unit;      // its PV's engineering units as the database states them, or empty
  TiebackDynamics dynamics;
  std::vector<std::string> changes;  // where its numbers differ from the defaults, and why
  // The strategy it runs in: "cascade" (on the master's loop), "ratio",
  // "split range", or empty; what the database says of it, in words.
  std::string strategy, strategyText;
  // A cascade master's PV follows its slave's PV (a level integrating its
  // flow, a temperature lagging its steam), not its own output: the block
  // sending the slave's PV, its value at rest (the slave's target) and span.
  std::string fromBlock;
  double fromRest = 0.0, fromSpan = 1.0;
  std::map<std::string, Origin> from;     // where a [tieback] setting gave a number, by its key ("dead_time")
  size_t firstBlock = 0, blockCount = 0;  // its blocks in Tiebacks::blocks
};

struct Tiebacks {
  std::vector<TiebackLoop> loops;
  std::vector<CaseBlock> blocks;  // every loop's, in the order of the loops; each carries its PV row by 'pv'
  std::vector<std::string> ambiguous, unpaired;
  std::vector<size_t> openPv;  // PV rows no loop closes: they send their value as written
  PairedRows held;             // the rows the case's own [[block]]s answer: no tieback touches them
};

// Pairs the case's loops and builds their blocks, with the case's [tieback]
// settings applied; false with "file:line: what" for a setting that names no
// loop, or a span that does not hold the loop's target or makes a block's
// number infinite (at the line that gave the span). Block names are made
// from tags and links as a case may write them.
bool BuildTiebacks(const Case& c, const LoopFacts& facts, Tiebacks& out, std::string& error);

// For each controller row, the row of its cascade's slave (the controller
// whose remote target is this one's output, on its node), or -1.
std::vector<int> CascadeSlaves(const Case& c, const LoopFacts& facts);

// The loops in each strategy, counted: "1 cascade, 1 ratio, 1 split range",
// or empty where none is in one.
std::string StrategyCounts(const Tiebacks& tiebacks);

// Makes a "tieback" case one of blocks: the tiebacks' blocks join the case's
// own and every PV row a loop closes carries its loop's output.
bool CloseLoops(Case& c, const Tiebacks& tiebacks, std::string& error);

}  // namespace host
