// The trace's cost: ns per value of TraceWriter::Write at full capacity (5,600
// values a line, to a temporary file) beside the printf writing it replaced,
// and the full-capacity example run through dcshost with and without --trace.
// Writes nothing but its own temporary files, and removes them.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "dcshost/cli.h"
#include "new_count.h"
#include "printf_shortest_text.h"
#include "report/trace_writer.h"
#include "system/output_file.h"

namespace {

namespace fs = std::filesystem;

constexpr int ValuesPerLine = 300 * 2 + 2500 + 2500;  // controllers x 2, PV, PV-import
constexpr int DistinctLines = 16;                     // written in turn
constexpr int RunSteps = 5000;

std::string TempPath(const std::string& name) {
  return (fs::temp_directory_path() / ("fixdcs-bench-" + name)).string();
}

// Lines of values as a plant at full capacity gives them: a quarter computed
// by the model (every digit: 16 or 17 significant), a quarter floats from FIX
// widened to double, a quarter set points and limits of few digits, a quarter
// modes and flags.
const std::vector<std::vector<double>>& RealisticLines() {
  static const std::vector<std::vector<double>> lines = [] {
    std::mt19937_64 random(ValuesPerLine);
    std::uniform_real_distribution<double> level(-50.0, 250.0);
    std::vector<std::vector<double>> made(DistinctLines, std::vector<double>(ValuesPerLine));
    for (std::vector<double>& line : made) {
      for (size_t k = 0; k < line.size(); ++k) {
        const double v = level(random);
        line[k] = k % 4 == 0   ? v
                  : k % 4 == 1 ? static_cast<double>(static_cast<float>(v))
                  : k % 4 == 2 ? std::round(v * 100.0) / 100.0
                               : static_cast<double>(random() % 4);
      }
    }
    return made;
  }();
  return lines;
}

std::vector<host::TraceColumn> Columns() {
  std::vector<host::TraceColumn> columns(ValuesPerLine);
  for (size_t k = 0; k < columns.size(); ++k) {
    columns[k] = {"TAG" + std::to_string(k) + ".F_CV", "%", "from DCS", false};
  }
  return columns;
}

void SetLineCounters(benchmark::State& state, unsigned long allocated) {
  state.counters["values"] = ValuesPerLine;
  state.counters["allocs_per_call"] =
      benchmark::Counter(static_cast<double>(allocated), benchmark::Counter::kAvgIterations);
}

// One step's line of the trace, once per iteration.
void BM_TraceWrite(benchmark::State& state) {
  const std::string path = TempPath("trace.csv");
  const std::vector<bool> exchanged(ValuesPerLine, true);
  const std::vector<std::vector<double>>& lines = RealisticLines();
  host::TraceWriter trace;
  std::string error;
  if (!trace.Open(path, Columns(), error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  trace.Write(0, 0.0, lines[0], exchanged);  // the line's room made once
  int step = 0;
  const unsigned long before = bench::NewCount();
  for (auto _ : state) {
    ++step;
    trace.Write(step, 0.1 * step, lines[static_cast<size_t>(step % DistinctLines)], exchanged);
  }
  SetLineCounters(state, bench::NewCount() - before);
  trace.Close(error);
  fs::remove(path);
}

void BM_TraceWritePrintf(benchmark::State& state) {
  const std::string path = TempPath("trace-printf.csv");
  const std::vector<bool> exchanged(ValuesPerLine, true);
  const std::vector<std::vector<double>>& lines = RealisticLines();
  host::OutputFile file;
  std::string error;
  if (!file.Open(path, "the trace", error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::string line;
  int step = 0;
  const unsigned long before = bench::NewCount();
  for (auto _ : state) {
    ++step;
    const std::vector<double>& values = lines[static_cast<size_t>(step % DistinctLines)];
    line.clear();
    line += std::to_string(step);
    line += ',';
    line += testing_support::PrintfShortestText(0.1 * step);
    for (size_t k = 0; k < values.size(); ++k) {
      line += ',';
      if (k >= exchanged.size() || exchanged[k]) {
        line += testing_support::PrintfShortestText(values[k]);
      }
    }
    line += '\n';
    file.Write(line);
  }
  SetLineCounters(state, bench::NewCount() - before);
  file.Commit(error);
  fs::remove(path);
}

// The values a trace holds: its cells that are not empty, beyond the step and
// the time, from the fourth line on.
double ValuesWritten(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  double values = 0;
  for (int n = 1; std::getline(file, line); ++n) {
    if (n <= 3) {
      continue;
    }
    for (size_t k = 0; k < line.size(); ++k) {
      values += line[k] != ',' && (k == 0 || line[k - 1] == ',') ? 1 : 0;
    }
    values -= 2;
  }
  return values;
}

// `dcshost run` of the full-capacity example, in this process; its seconds
// of wall time (the trace's flush to the disk included), negative on failure.
double RunSeconds(const std::string& tracePath) {
  std::vector<std::string> args = {"dcshost", "run", FIXDCS_EXAMPLES "/full-capacity/full-capacity.toml",
                                   "--steps", std::to_string(RunSteps), "--no-progress"};
  if (!tracePath.empty()) {
    args.insert(args.end(), {"--trace", tracePath});
  }
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  std::ostringstream out;
  const auto begin = std::chrono::steady_clock::now();
  const int status = host::RunCli(static_cast<int>(argv.size()), argv.data(), out);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  if (status != 0) {
    std::fprintf(stderr, "bench: dcshost run failed (%d):\n%s", status, out.str().c_str());
    return -1.0;
  }
  return seconds;
}

// One run without the trace and one with it per repetition, in an order that
// alternates from one repetition to the next: both see the machine as it is
// within seconds of each other.
void BM_RunWithAndWithoutTrace(benchmark::State& state) {
  static bool plainFirst = true;
  static double values = 0;
  const std::string path = TempPath("run-trace.csv");
  double plain = 0;
  double traced = 0;
  for (auto _ : state) {
    for (int half = 0; half < 2; ++half) {
      const bool withTrace = (half == 0) != plainFirst;
      const double seconds = RunSeconds(withTrace ? path : std::string());
      if (seconds < 0) {
        state.SkipWithError("dcshost run failed");
        return;
      }
      (withTrace ? traced : plain) = seconds;
    }
    plainFirst = !plainFirst;
  }
  if (values == 0) {
    values = ValuesWritten(path);
  }
  fs::remove(path);
  state.counters["plain_s"] = plain;
  state.counters["traced_s"] = traced;
  state.counters["ratio"] = traced / plain;
  state.counters["values"] = values;
}

BENCHMARK(BM_TraceWrite)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TraceWritePrintf)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RunWithAndWithoutTrace)->Iterations(1)->Repetitions(5)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
