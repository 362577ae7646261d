#!/usr/bin/env bash
# make test: builds and tests each target given (all three by default), then
# prints one line per target: programs and tests run, passed, failed, skipped.
# A build's output goes to build/PRESET/build.log and is shown only when the
# build fails. Goes on to the next target after a failure, so that every
# target's line is printed; exits non-zero if any target failed, and, where
# this kernel executes i686 programs, if any test was skipped.
set -uo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(linux-x64 linux-x86 windows-x86)

for preset in "${presets[@]}"; do
  dir=build/$preset
  mkdir -p "$dir"
  rm -f "$dir/ctest.log" "$dir/build-failed"
  rm -rf "$dir/test-results"
  echo "== $preset: build"
  if ! scripts/build.sh "$preset"; then
    touch "$dir/build-failed"
    continue
  fi
  echo "== $preset: tests"
  ctest --preset "$preset" 2>&1 | tee "$dir/ctest.log"
done

python3 scripts/test_summary.py "${presets[@]}"
