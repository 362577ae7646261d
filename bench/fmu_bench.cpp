// dcshost's cost around an FMU's step: five inputs set, fmi2DoStep, five
// outputs read (ten variables of two types) through FmuUnit::Step, with the
// test first-order FMU, whose own step is one exp(). An upper bound on what
// dcshost adds, with the allocations per step.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "new_count.h"
#include "plant/fmu_unit.h"

namespace {

void BM_FmuStep(benchmark::State& state) {
  std::ostringstream log;
  std::string error;
  const auto unit = host::FmuUnit::Open(FIXDCS_FMU_DIR "/first_order.fmu", "FO1", log, error);
  if (!unit) {
    state.SkipWithError(error.c_str());
    return;
  }
  const host::ModelDescription& md = unit->description();
  const host::FmuVariable* u = md.Find("u");
  const host::FmuVariable* hold = md.Find("hold");
  const host::FmuVariable* y = md.Find("y");
  const host::FmuVariable* steps = md.Find("steps");
  unit->Bind({u, hold, u, hold, u}, {y, steps, y, steps, y});
  if (!unit->Start(0.0, {}, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  double in[5] = {1.0, 0.0, 1.0, 0.0, 1.0};
  double out[5] = {};
  double now = 0.0;
  const unsigned long before = bench::NewCount();
  for (auto _ : state) {
    in[0] = in[0] > 1.5 ? 0.5 : in[0] + 0.01;
    if (!unit->Step(now, 1.0, in, out, error)) {
      state.SkipWithError(error.c_str());
      break;
    }
    now += 1.0;
    benchmark::DoNotOptimize(out);
  }
  state.counters["allocs_per_call"] =
      benchmark::Counter(static_cast<double>(bench::NewCount() - before), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_FmuStep);

}  // namespace
