// The plant's cost per step at full capacity beside the driver's own: the
// full-capacity example's tiebacks (300 loops, 625 discrete feedbacks) given
// their inputs and advanced one step, timed alone and paired step by step
// with one DCSSimulate at full capacity, with the allocations per step.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "case/case.h"
#include "full_case.h"
#include "new_count.h"
#include "plant/process_model.h"
#include "plant/tieback.h"

namespace {

// The full-capacity example's plant, built once, and a value for each of its inputs.
struct Plant {
  host::ProcessModel model;
  std::vector<double> inputs;
  double phase = 0.0;

  Plant() {
    host::Case c;
    host::Tiebacks tiebacks;
    std::string error;
    std::ostringstream log;
    if (!host::LoadCase(FIXDCS_EXAMPLES "/full-capacity/full-capacity.toml", c, error) ||
        !host::BuildTiebacks(c, host::LoopFacts(), tiebacks, error) || !host::CloseLoops(c, tiebacks, error) ||
        !model.Configure(c.model, 1.0, log, error)) {
      std::fprintf(stderr, "bench: the full-capacity plant: %s\n", error.c_str());
      std::exit(2);
    }
    inputs.assign(model.ExternalInputs().size(), 0.4);
  }
  // What a host step does for the plant: every input set by index, then one step.
  void Step() {
    phase = phase > 0.5 ? 0.0 : phase + 0.01;  // the outputs move, so the blocks do work
    for (size_t k = 0; k < inputs.size(); ++k) {
      model.SetInput(k, inputs[k] + phase);
    }
    model.Advance(1.0);
  }
};

Plant& FullPlant() {
  static Plant plant;
  return plant;
}

void BM_PlantStep(benchmark::State& state) {
  Plant& plant = FullPlant();
  const unsigned long before = bench::NewCount();
  for (auto _ : state) {
    plant.Step();
    benchmark::ClobberMemory();
  }
  state.counters["allocs_per_call"] =
      benchmark::Counter(static_cast<double>(bench::NewCount() - before), benchmark::Counter::kAvgIterations);
  state.counters["blocks"] = static_cast<double>(plant.model.Names().size());
}

// One plant step and one DCSSimulate at full capacity per iteration, each
// timed alone, in alternating order; the ratio of the medians is the plant's
// cost over the driver's.
void BM_PlantPaired(benchmark::State& state) {
  Plant& plant = FullPlant();
  DCSDataDef* record = bench::CaseAt(100).record();
  const auto simulate = bench::Driver().DCSSimulate;
  std::vector<double> plantTimes, driverTimes;
  plantTimes.reserve(1 << 16);
  driverTimes.reserve(1 << 16);
  bool plantFirst = true;
  using Clock = std::chrono::steady_clock;
  for (auto _ : state) {
    for (int half = 0; half < 2; ++half) {
      const bool plantNow = (half == 0) == plantFirst;
      const Clock::time_point begin = Clock::now();
      if (plantNow) {
        plant.Step();
      } else {
        benchmark::DoNotOptimize(simulate(record));
      }
      benchmark::ClobberMemory();
      (plantNow ? plantTimes : driverTimes).push_back(std::chrono::duration<double>(Clock::now() - begin).count());
    }
    plantFirst = !plantFirst;
  }
  const auto median = [](std::vector<double>& v) {
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
  };
  const double plantMedian = median(plantTimes);
  const double driverMedian = median(driverTimes);
  state.counters["plant_us"] = plantMedian * 1e6;
  state.counters["driver_us"] = driverMedian * 1e6;
  state.counters["ratio"] = driverMedian > 0.0 ? plantMedian / driverMedian : 0.0;
}

BENCHMARK(BM_PlantStep)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlantPaired)->Unit(benchmark::kMicrosecond);

}  // namespace
