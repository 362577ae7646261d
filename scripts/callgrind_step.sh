#!/usr/bin/env bash
# Counts the instructions of one configured full-capacity step under callgrind,
# the driver's own apart from the stand-ins', and those of its floor. No
# timing, so a regression shows without noise; and the instructions per row of
# a binding at three sizes, which must stay flat (exit 1 otherwise). Builds
# only in build/bench.
#   scripts/callgrind_step.sh [steps]
set -euo pipefail
cd "$(dirname "$0")/.."
steps=${1:-10}
dir=build/bench/callgrind
cmake --preset bench >/dev/null
cmake --build build/bench -j 2 --target fixdcs_step_probe >/dev/null
mkdir -p "$dir"
rm -f "$dir"/*.out*
# The full case with the driver and with its floor, then the driver with one
# table filled at a time, then DCSReset + DCSConfigure at 10, 50 and 100 % of
# capacity. The probe dumps the measured calls as the first dump (".1").
for run in driver:all floor:all driver:ctrl driver:pv driver:pvimport configure:10 configure:50 configure:100; do
  mode=${run%%:*}
  table=${run##*:}
  valgrind --tool=callgrind --callgrind-out-file="$dir/$mode-$table.out" \
    build/bench/bin/fixdcs_step_probe "$mode" "$steps" "$table" >"$dir/$mode-$table.txt" 2>"$dir/$mode-$table.log"
done
python3 bench/callgrind_report.py "$dir"
