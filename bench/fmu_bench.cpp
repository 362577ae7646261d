// dcshost's cost around an FMU's step: five inputs set, fmi2DoStep, five
// outputs read (ten variables of two types), with the test first-order FMU,
// whose own step is one exp(): in dcshost's process (FmuUnit::Step) and
// through a worker process (FmuWorker::Step, a call and its answer over the
// channel). An upper bound on what dcshost adds, with the allocations per step.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

#include "new_count.h"
#include "plant/fmu_unit.h"
#include "plant/fmu_worker.h"

namespace {

template <bool InWorker>
void BM_FmuStep(benchmark::State& state) {
  std::ostringstream log;
  std::string error;
  const auto unit = host::FmuUnit::Open(FIXDCS_FMU_DIR "/first_order.fmu", "FO1", log, error,
                                        InWorker ? host::FmuCode::Worker : host::FmuCode::Here);
  if (!unit) {
    state.SkipWithError(error.c_str());
    return;
  }
  const host::ModelDescription& md = unit->description();
  const host::FmuVariable* u = md.Find("u");
  const host::FmuVariable* hold = md.Find("hold");
  const host::FmuVariable* y = md.Find("y");
  const host::FmuVariable* steps = md.Find("steps");
  const std::vector<const host::FmuVariable*> inputs{u, hold, u, hold, u}, outputs{y, steps, y, steps, y};
  std::unique_ptr<host::FmuWorker> worker;
  if (InWorker) {
    worker = host::FmuWorker::Open(*unit, "FO1", 10.0, nullptr, inputs, outputs, log, error);
  } else {
    unit->Bind(inputs, outputs);
  }
  if ((InWorker && (!worker || !worker->Start(0.0, {}, error))) || (!InWorker && !unit->Start(0.0, {}, error))) {
    state.SkipWithError(error.c_str());
    return;
  }
  double in[5] = {1.0, 0.0, 1.0, 0.0, 1.0};
  double out[5] = {};
  double now = 0.0;
  const unsigned long before = bench::NewCount();
  for (auto _ : state) {
    in[0] = in[0] > 1.5 ? 0.5 : in[0] + 0.01;
    const host::FmuStep step = InWorker ? worker->Step(now, 1.0, in, out, error) : unit->Step(now, 1.0, in, out, error);
    if (step != host::FmuStep::Done) {
      state.SkipWithError(error.c_str());
      break;
    }
    now += 1.0;
    benchmark::DoNotOptimize(out);
  }
  state.counters["allocs_per_call"] =
      benchmark::Counter(static_cast<double>(bench::NewCount() - before), benchmark::Counter::kAvgIterations);
}
BENCHMARK_TEMPLATE(BM_FmuStep, false)->Name("BM_FmuStep");
BENCHMARK_TEMPLATE(BM_FmuStep, true)->Name("BM_FmuStepInWorker");

}  // namespace
