// The benchmarks of the driver's exchange at and below full capacity:
// DCSSimulate per step against its floor (the same EDA calls made by a bare
// loop), DCSStart per cycle against its floor, DCSConfigure + DCSReset per
// binding, with the allocations per call from the host's allocator. Never
// changes the driver or the stand-ins; only calls them.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "eda_trace.h"
#include "fixdb_control.h"
#include "full_case.h"
#include "plinth_control.h"

namespace {

using bench::BoundCase;
using bench::CaseAt;
using bench::Driver;
using bench::EdaTrace;

enum class Entry { Simulate, Start };

// The floor of one entry point in the case bound now, recorded from the
// driver's own call and checked to replay exactly; rebuilt with the case.
EdaTrace& FloorOf(Entry entry, BoundCase& bound) {
  static std::map<std::pair<int, unsigned long>, std::unique_ptr<EdaTrace>> floors;
  const auto key = std::make_pair(static_cast<int>(entry), bound.binding());
  auto& floor = floors[key];
  if (!floor) {
    DCSDataDef* record = bound.record();
    floor = std::make_unique<EdaTrace>(EdaTrace::Record([&] {
      if (entry == Entry::Simulate) {
        Driver().DCSSimulate(record);
      } else {
        Driver().DCSStart(record);
      }
    }));
    std::string difference;
    if (!floor->Verify(difference)) {
      std::fprintf(stderr, "bench: the floor does not replay the driver's calls: %s\n", difference.c_str());
      std::exit(2);
    }
  }
  return *floor;
}

void SetRowCounters(benchmark::State& state, const BoundCase& bound, unsigned long allocations) {
  const double rows = bound.rows().Total();
  state.counters["rows"] = rows;
  state.counters["per_row"] =
      benchmark::Counter(rows, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["allocs_per_call"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}

// DCSSimulate, once per iteration, at range(0) % of capacity.
void BM_Simulate(benchmark::State& state) {
  BoundCase& bound = CaseAt(static_cast<int>(state.range(0)));
  DCSDataDef* record = bound.record();
  const auto simulate = Driver().DCSSimulate;
  const unsigned long before = PlinthAllocationCount();
  for (auto _ : state) {
    benchmark::DoNotOptimize(simulate(record));
  }
  SetRowCounters(state, bound, PlinthAllocationCount() - before);
}

// The same EDA calls as one DCSSimulate, made by the bare loop.
void BM_SimulateFloor(benchmark::State& state) {
  BoundCase& bound = CaseAt(static_cast<int>(state.range(0)));
  EdaTrace& floor = FloorOf(Entry::Simulate, bound);
  const unsigned long before = PlinthAllocationCount();
  for (auto _ : state) {
    floor.Replay();
    benchmark::ClobberMemory();
  }
  SetRowCounters(state, bound, PlinthAllocationCount() - before);
  state.counters["eda_calls"] = static_cast<double>(floor.size());
}

// DCSStart with "Init Cycle" Perform: one whole initialization cycle.
void BM_Start(benchmark::State& state) {
  BoundCase& bound = CaseAt(static_cast<int>(state.range(0)));
  DCSDataDef* record = bound.record();
  const auto start = Driver().DCSStart;
  const unsigned long before = PlinthAllocationCount();
  for (auto _ : state) {
    benchmark::DoNotOptimize(start(record));
  }
  SetRowCounters(state, bound, PlinthAllocationCount() - before);
}

void BM_StartFloor(benchmark::State& state) {
  BoundCase& bound = CaseAt(static_cast<int>(state.range(0)));
  EdaTrace& floor = FloorOf(Entry::Start, bound);
  for (auto _ : state) {
    floor.Replay();
    benchmark::ClobberMemory();
  }
  SetRowCounters(state, bound, 0);
  state.counters["eda_calls"] = static_cast<double>(floor.size());
}

// DCSConfigure followed by DCSReset: one binding made and released.
void BM_ConfigureReset(benchmark::State& state) {
  BoundCase& bound = CaseAt(static_cast<int>(state.range(0)));
  DCSDataDef* record = bound.record();
  const auto& dcs = Driver();
  const unsigned long before = PlinthAllocationCount();
  for (auto _ : state) {
    dcs.DCSReset(record);
    if (dcs.DCSConfigure(record) != 1) {
      state.SkipWithError("DCSConfigure failed");
      break;
    }
  }
  bound.Rebound();
  SetRowCounters(state, bound, PlinthAllocationCount() - before);
}

void ShareArgs(benchmark::internal::Benchmark* b) { b->Arg(10)->Arg(50)->Arg(100); }

BENCHMARK(BM_Simulate)->Apply(ShareArgs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SimulateFloor)->Apply(ShareArgs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Start)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StartFloor)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConfigureReset)->Apply(ShareArgs)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  Driver();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  bench::DropCase();
  return 0;
}
