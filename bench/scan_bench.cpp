// One scan of the simulated database at full capacity: 300 PIDs in AUTO on
// their own, and the same 300 with a third of them in strategies (cascades,
// ratio stations, split ranges). Each database is loaded before its timing;
// the ratio of the two medians is what strategies cost a scan. A program of
// its own: loading a database replaces the one the other benchmarks bind.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fixdb_control.h"
#include "new_count.h"

namespace {

constexpr int Pids = 300;

// 300 flow loops; with strategies, the first 102 (a third) in them, six at a
// time: two cascades (a master and its slave), a controller under a ratio
// station, and a controller whose output is split over two valves.
std::string Database(bool strategies) {
  std::string text = "NODE,TAG,TYPE,VALUES\n";
  char line[256];
  for (int i = 0; i < Pids; ++i) {
    const int role = strategies && i < 102 ? i % 6 : -1;
    (void)std::snprintf(line, sizeof line, "N,FT%03d,AI,F_CV=%d;F_ELO=0;F_EHI=200\n", i, 40 + i % 50);
    text += line;
    std::string links;
    if (role == 1 || role == 5) {  // the slave of the master before it
      (void)std::snprintf(line, sizeof line, ";REMOTE=FIC%03d;A_CASC=YES", i - 1);
      links = line;
    } else if (role == 2) {  // under a ratio station on the wild flow before it
      (void)std::snprintf(line, sizeof line, "N,FFY%03d,RATIO,F_RATIO=0.5;INPUT=FT%03d\n", i, i - 1);
      text += line;
      (void)std::snprintf(line, sizeof line, ";REMOTE=FFY%03d;A_CASC=YES", i);
      links = line;
    }
    (void)std::snprintf(line, sizeof line,
                        "N,FIC%03d,PID,F_CV=40;F_TV1=60;A_AUTO=AUTO;F_KP=0.5;F_TI=10;INPUT=FT%03d%s\n", i, i,
                        links.c_str());
    text += line;
    if (role == 3) {
      (void)std::snprintf(line, sizeof line, "N,FV%03dA,AO,SOURCE=FIC%03d;F_SPLO=0;F_SPHI=50\n", i, i);
      text += line;
      (void)std::snprintf(line, sizeof line, "N,FV%03dB,AO,SOURCE=FIC%03d;F_SPLO=50;F_SPHI=100\n", i, i);
      text += line;
    }
  }
  return text;
}

void BM_Scan(benchmark::State& state) {
  const bool strategies = state.range(0) != 0;
  char error[512] = "";
  if (FixdbLoadText(Database(strategies).c_str(), "scan-bench.csv", error, sizeof error) != 1) {
    std::fprintf(stderr, "bench: %s\n", error);
    std::exit(2);
  }
  const unsigned long before = bench::NewCount();
  for (auto _ : state) {
    FixdbScan(1.0);
    benchmark::ClobberMemory();
  }
  state.counters["allocs_per_call"] =
      benchmark::Counter(static_cast<double>(bench::NewCount() - before), benchmark::Counter::kAvgIterations);
}

BENCHMARK(BM_Scan)->Arg(0)->Arg(1)->ArgName("strategies")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
