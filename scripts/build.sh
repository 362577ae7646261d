#!/usr/bin/env bash
# Configures and builds one preset quietly: the output goes to
# build/PRESET/build.log, and only a failure shows it (its last 60 lines).
set -uo pipefail
cd "$(dirname "$0")/.."
preset=$1
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}
dir=build/$preset
mkdir -p "$dir"
log=$dir/build.log
started=$(date +%s)
if cmake --preset "$preset" >"$log" 2>&1 && cmake --build --preset "$preset" -j "$JOBS" >>"$log" 2>&1; then
  echo "built $preset in $(( $(date +%s) - started )) s (log: $log)"
  exit 0
fi
tail -n 60 "$log" >&2
echo "build of $preset failed (whole log: $log)" >&2
exit 1
