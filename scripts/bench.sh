#!/usr/bin/env bash
# `make bench`: builds the optimised benchmark preset (build/bench, two jobs at
# most), runs the benchmarks with repetitions interleaved at random and
# reports medians, driver/floor ratios and the trace's cost per value, times
# the full-capacity suite with a matrix of 100 causes (under a minute), then
# counts one step's instructions under callgrind. Builds nowhere but
# build/bench; x86-64 Linux only.
#   BENCH_REPETITIONS=12 BENCH_MIN_TIME=0.2 scripts/bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."

repetitions=${BENCH_REPETITIONS:-12}
min_time=${BENCH_MIN_TIME:-0.2}
results=build/bench/results.json
trace_results=build/bench/trace-results.json
scan_results=build/bench/scan-results.json

if [[ "$(uname -s)-$(uname -m)" != "Linux-x86_64" ]]; then
  echo "bench: the benchmarks run on x86-64 Linux only" >&2
  exit 2
fi

cmake --preset bench >/dev/null
cmake --build build/bench -j 2 --target fixdcs_bench fixdcs_step_probe fixdcs_trace_bench fixdcs_scan_bench dcshost

build/bench/bin/fixdcs_bench \
  --benchmark_repetitions="$repetitions" \
  --benchmark_min_time="$min_time" \
  --benchmark_enable_random_interleaving=true \
  --benchmark_display_aggregates_only=true \
  --benchmark_out="$results" --benchmark_out_format=json

build/bench/bin/fixdcs_trace_bench \
  --benchmark_repetitions="$repetitions" \
  --benchmark_min_time="$min_time" \
  --benchmark_enable_random_interleaving=true \
  --benchmark_display_aggregates_only=true \
  --benchmark_out="$trace_results" --benchmark_out_format=json

build/bench/bin/fixdcs_scan_bench \
  --benchmark_repetitions="$repetitions" \
  --benchmark_min_time="$min_time" \
  --benchmark_enable_random_interleaving=true \
  --benchmark_display_aggregates_only=true \
  --benchmark_out="$scan_results" --benchmark_out_format=json

echo
status=0
python3 bench/report.py "$results" "$trace_results" "$scan_results" || status=$?
echo
echo "The full-capacity suite with a cause-and-effect matrix of 100 causes:"
python3 bench/trips_suite.py build/bench/bin/dcshost || status=$?
echo
echo "Instructions of one full-capacity step and of a binding (callgrind):"
scripts/callgrind_step.sh || status=$?
exit "$status"
