// The names the host's record offers: each controller row's "TAG.output" and
// "TAG.tv1", each PV and PV-import row's "TAG.FIELD", each also as
// "NODE:TAG.FIELD". They share one namespace with the model's variables, so
// that a name always means one signal: a block reads a row by either name, a
// model variable never takes a row's name, and the trace names each column
// by the shortest of them that no other column has.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "case/case.h"

namespace host {

struct RecordSignal {
  TableKind table = TableKind::Ctrl;
  size_t row = 0;
  const char* what = "";            // "output", "tv1" or "value"
  bool tv1 = false;                 // a controller's target, which the DCS sends and no block reads
  std::string shortName, fullName;  // "LIC101.output", "N1:LIC101.output"
  Origin origin;
  // A block may read it: a controller's output or a PV-import row's value.
  bool Readable() const { return !tv1 && table != TableKind::PV; }
};

// In the trace's order: each controller row's output and tv1, each PV row's
// value, each PV-import row's value.
std::vector<RecordSignal> RecordSignals(const Case& c);

// Every name of the record, short and full, to its first signal a block may
// read (else its first); `shared` where readable rows on several nodes have
// the short name, which then reads none of them.
struct NamedSignal {
  size_t signal = 0;
  bool shared = false;
};
using RecordNameMap = std::unordered_map<std::string, NamedSignal>;
// False with "file:line: what" where a controller's output and a PV-import
// row's value have one name: a block could not tell which it reads.
bool NameRecord(const std::vector<RecordSignal>& signals, RecordNameMap& named, std::string& error);

// "controller row 3's output (case.toml:12)".
std::string Described(const RecordSignal& s);

// Each signal's trace name: its short name, or its full name when an earlier
// column has the short one, or the full name with its row when that is taken
// too (the same point in two rows). `taken` holds the names before them.
std::vector<std::string> TraceNames(const std::vector<RecordSignal>& signals, const std::vector<std::string>& taken);

}  // namespace host
