// Which PV row closes which controller's loop, for tiebacks generated from the
// tag tables. Rules, in order: explicit (a controller's `drives` named as a PV
// row's `from`); by loop (the tag's leading letters name its function, the
// rest without separators is its loop key, ISA-5.1 style: LIC101 and LT101,
// FIC-2001A and FT-2001A, PDIC_7 and PDT_7); the simulated database's PID
// INPUT. Ambiguous and unpaired rows are listed, never guessed. It reads the
// case only; it builds no block.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "case/case.h"

namespace host {

// A tag read as a loop: its function letters ("LIC", "PDT") and its loop key
// ("101", "2001A"); false for a tag that does not read so (no leading letters,
// or nothing after them). An area or unit prefix before the letters, ended by
// a separator (digits in it, "20-TIC-005", or a dot, "U1.FIC101"), is read off
// and stays part of the key ("20|005"), so that 20-TIC-005 pairs with
// 20-TT-005 and not with 30-TT-005.
struct LoopTag {
  std::string function;
  std::string key;
};
bool ReadLoopTag(const std::string& tag, LoopTag& loop);

// The measured variable of a function: its first letter, with a D, F or Q
// modifier as second letter ("PDIC" -> "PD", "FQI" -> "FQ", "LIC" -> "L").
std::string MeasuredVariable(const std::string& function);

struct LoopPair {
  size_t controller;  // row of the controller table; for a command, of the PV-import table
  size_t pv;          // row of the PV table
  std::string rule;   // "explicit link", "loop key", "PID INPUT"
};

struct LoopPairing {
  std::vector<LoopPair> pairs;
  std::vector<LoopPair> commands;      // discrete loops: a PV-import row on a flag and its feedback
  std::vector<std::string> ambiguous;  // "controller row 3 (file:line) LIC101: PV rows 4, 9 all match by loop key"
  std::vector<std::string> unpaired;   // controllers and commands no rule pairs with a PV row
};

// True for a PV-import row that carries a discrete command: the DCS's yes/no flag.
bool IsCommand(const CasePVRow& row);

// Which rows a pairing looks at: one flag per row of each table.
struct PairedRows {
  std::vector<bool> controllers, pv, pvImport;
};

// The rows the case's own [[block]]s answer (a tieback case may hold an FMU or
// any block beside its tiebacks): PV rows that carry a block's output,
// controllers whose "TAG.output" and PV-import rows whose "TAG.FIELD" a block
// reads. `held` flags those, `free` every other row.
struct HeldRows {
  PairedRows held, free;
};
HeldRows RowsHeldByBlocks(const Case& c);

// Pairs every controller with the PV row of its loop, then every discrete
// command (a PV-import row on A_ROUT) with the feedback PV row of the same
// node and loop key that no controller took. pidInputs maps a controller's
// "NODE:TAG" to the tag its PID reads (the simulated database's INPUT), where
// known. A PV row is paired once at most. With `among`, only the rows it
// flags take part.
LoopPairing PairLoops(const Case& c, const std::unordered_map<std::string, std::string>& pidInputs,
                      const PairedRows* among = nullptr);

}  // namespace host
