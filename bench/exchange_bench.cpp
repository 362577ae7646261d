// The benchmarks of the driver's exchange at and below full capacity:
// DCSSimulate per step against its floor (the same EDA calls made by a bare
// loop), alone and paired step by step with it, DCSStart per cycle against its floor, DCSConfigure + DCSReset per
// binding, with the allocations per call from the host's allocator. Never
// changes the driver or the stand-ins; only calls them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

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

double MedianOf(std::vector<double>& samples) {
  if (samples.empty()) {
    return 0.0;
  }
  const auto middle = samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 2);
  std::nth_element(samples.begin(), middle, samples.end());
  return *middle;
}

// One DCSSimulate and one floor replay per iteration, each timed alone, in
// alternating order: both see the same load on the machine within
// microseconds of each other, and the medians of the single timings drop the
// ones that another process interrupted. The ratio of those medians is the
// driver's cost over the floor's.
void BM_SimulatePaired(benchmark::State& state) {
  BoundCase& bound = CaseAt(static_cast<int>(state.range(0)));
  DCSDataDef* record = bound.record();
  EdaTrace& floor = FloorOf(Entry::Simulate, bound);
  const auto simulate = Driver().DCSSimulate;
  std::vector<double> driverTimes;
  std::vector<double> floorTimes;
  driverTimes.reserve(1 << 16);
  floorTimes.reserve(1 << 16);
  bool driverFirst = true;
  using Clock = std::chrono::steady_clock;
  for (auto _ : state) {
    for (int half = 0; half < 2; ++half) {
      const bool driver = (half == 0) == driverFirst;
      const Clock::time_point begin = Clock::now();
      if (driver) {
        benchmark::DoNotOptimize(simulate(record));
      } else {
        floor.Replay();
      }
      benchmark::ClobberMemory();
      const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
      (driver ? driverTimes : floorTimes).push_back(seconds);
    }
    driverFirst = !driverFirst;
  }
  const double driverMedian = MedianOf(driverTimes);
  const double floorMedian = MedianOf(floorTimes);
  state.counters["driver_us"] = driverMedian * 1e6;
  state.counters["floor_us"] = floorMedian * 1e6;
  state.counters["ratio"] = floorMedian > 0.0 ? driverMedian / floorMedian : 0.0;
  state.counters["rows"] = bound.rows().Total();
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

BENCHMARK(BM_SimulatePaired)->Apply(ShareArgs)->Unit(benchmark::kMicrosecond);
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
