// One configured case, run under callgrind: the counts are zeroed before the
// measured calls and dumped right after them, so the dump holds the steps (or
// their floor, or the bindings) and nothing of the set-up. Never times anything.
//   fixdcs_step_probe driver|floor|configure [count] [all|ctrl|pv|pvimport|PERCENT]
// "all" is the full-capacity case; ctrl, pv and pvimport fill one table to its
// capacity and leave the other two empty, to show each table's cost per row; a
// number fills every table to that percent of its capacity. "configure"
// measures DCSReset + DCSConfigure, count times.
#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "eda_trace.h"
#include "full_case.h"
#include "plinth_control.h"

namespace {

bench::CaseRows RowsFor(const char* table) {
  bench::CaseRows rows = bench::RowsAt(100);
  if (std::strcmp(table, "ctrl") == 0) {
    rows.pv = rows.pvImport = 0;
  } else if (std::strcmp(table, "pv") == 0) {
    rows.ctrl = rows.pvImport = 0;
  } else if (std::strcmp(table, "pvimport") == 0) {
    rows.ctrl = rows.pv = 0;
  } else if (table[0] >= '0' && table[0] <= '9') {
    rows = bench::RowsAt(std::atoi(table));
  } else if (std::strcmp(table, "all") != 0) {
    std::fprintf(stderr, "fixdcs_step_probe: no table named %s\n", table);
    std::exit(2);
  }
  return rows;
}

}  // namespace

int main(int argc, char** argv) {
  const bool floor = argc > 1 && std::strcmp(argv[1], "floor") == 0;
  const bool configure = argc > 1 && std::strcmp(argv[1], "configure") == 0;
  const int steps = argc > 2 ? std::atoi(argv[2]) : 10;
  const char* table = argc > 3 ? argv[3] : "all";
  auto bound = std::make_unique<bench::BoundCase>(RowsFor(table));
  DCSDataDef* record = bound->record();
  const auto simulate = bench::Driver().DCSSimulate;
  bench::EdaTrace trace = bench::EdaTrace::Record([&] { simulate(record); });
  simulate(record);  // warm: every lazy binding and first touch done
  trace.Replay();
  const unsigned long allocations = PlinthAllocationCount();
  CALLGRIND_ZERO_STATS;
  for (int step = 0; step < steps; ++step) {
    if (configure) {
      bench::Driver().DCSReset(record);
      bench::Driver().DCSConfigure(record);
    } else if (floor) {
      trace.Replay();
    } else {
      simulate(record);
    }
  }
  CALLGRIND_DUMP_STATS_AT("measured");
  const bench::CaseRows& rows = bound->rows();
  std::printf("steps %d rows %d ctrl %d pv %d pvimport %d eda_calls %zu allocations %lu\n", steps, rows.Total(),
              rows.ctrl, rows.pv, rows.pvImport, trace.size(), PlinthAllocationCount() - allocations);
  bound.reset();
  return 0;
}
