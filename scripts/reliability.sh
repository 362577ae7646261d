#!/usr/bin/env bash
# The reliability campaign, as CI runs it (make reliability):
#   1. the whole test suite under AddressSanitizer and UBSan (asan preset);
#   2. valgrind memcheck over the end-to-end and fault-injection programs of
#      an x86-64 build (valgrind cannot run i686 programs on these machines);
#   3. the record fuzzer: its seed corpus replayed, then a bounded run
#      (FUZZ_SECONDS, 120 by default) from that corpus; then the same for the
#      FMU fuzzer (.fmu files: zip, deflate, XML; FMU_FUZZ_SECONDS, 30);
#   4. line and branch coverage from the whole suite (coverage preset,
#      gcovr): of dcs/, which must reach 98 % of lines and 96 % of branches,
#      and of host/ (dcshost), which must keep 93 % of lines and 75 % of
#      branches, the figures it had when the gate was set.
# Exits non-zero at the first failure. JOBS (default 2) bounds the builds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

JOBS=${JOBS:-2}
FUZZ_SECONDS=${FUZZ_SECONDS:-120}
FMU_FUZZ_SECONDS=${FMU_FUZZ_SECONDS:-30}
MIN_LINES=98
MIN_BRANCHES=96
MIN_HOST_LINES=93
MIN_HOST_BRANCHES=75
started=$(date +%s)
stage() { printf '\n== %s (%ds) ==\n' "$*" "$(( $(date +%s) - started ))"; }

export ASAN_OPTIONS=abort_on_error=1:halt_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

stage "AddressSanitizer and UBSan: the whole suite"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$JOBS"
ctest --preset asan

# The x86-64 build of `make test`, which CI has built already: built again
# only where the sources changed since.
stage "valgrind memcheck: end-to-end and fault-injection programs (x86-64)"
cmake --preset linux-x64 >/dev/null
cmake --build --preset linux-x64 -j "$JOBS" --target end_to_end_test fault_injection_test fixdcs
for program in end_to_end_test fault_injection_test; do
  valgrind --tool=memcheck --error-exitcode=1 --leak-check=full --show-leak-kinds=definite,indirect \
           --errors-for-leak-kinds=definite,indirect --quiet "build/linux-x64/bin/$program" --gtest_brief=1
done

# A bounded run of one fuzzer from its seed corpus: FUZZER SECONDS CORPUS NAME.
# Its findings land in build/fuzz/artifacts/NAME/, and any finding fails.
fuzz_run() {
  local fuzzer=$1 seconds=$2 corpus=$3 name=$4
  rm -rf "build/fuzz/run-corpus/$name" "build/fuzz/artifacts/$name"
  mkdir -p "build/fuzz/run-corpus/$name" "build/fuzz/artifacts/$name"
  "build/fuzz/bin/$fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=30 -print_final_stats=1 \
    -artifact_prefix="build/fuzz/artifacts/$name/" "build/fuzz/run-corpus/$name" "$corpus" 2>&1 |
    grep -E "^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::|ERROR|SUMMARY|runtime error|$name fuzzer:" || true
  if [ -n "$(ls -A "build/fuzz/artifacts/$name")" ]; then
    echo "reliability: the $name fuzzer found inputs that fail: build/fuzz/artifacts/$name/" >&2
    exit 1
  fi
}

stage "record fuzzer: seed corpus replay and a bounded run of ${FUZZ_SECONDS}s"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$JOBS" --target record_fuzzer fuzz_corpus_replay fmu_fuzzer fmu_corpus_replay
build/fuzz/bin/fuzz_corpus_replay tests/fuzz/corpus
fuzz_run record_fuzzer "$FUZZ_SECONDS" tests/fuzz/corpus record

stage "FMU fuzzer: seed corpus replay and a bounded run of ${FMU_FUZZ_SECONDS}s"
build/fuzz/bin/fmu_corpus_replay tests/fuzz/fmu_corpus
fuzz_run fmu_fuzzer "$FMU_FUZZ_SECONDS" tests/fuzz/fmu_corpus fmu

stage "coverage of dcs/ and host/: the whole suite"
cmake --preset coverage >/dev/null
cmake --build --preset coverage -j "$JOBS"
find build/coverage -name '*.gcda' -delete
ctest --preset coverage
# The coverage of one folder, in text and as a summary, held to its minimum.
coverage() {
  local folder=$1 min_lines=$2 min_branches=$3
  gcovr --root . --filter "$folder/" --exclude-unreachable-branches --exclude-throw-branches \
        --txt "build/coverage/coverage-$folder.txt" --json-summary "build/coverage/coverage-$folder.json" \
        build/coverage >/dev/null
  python3 - "$folder" "$min_lines" "$min_branches" "build/coverage/coverage-$folder.json" <<'PY'
import json, sys
folder, lines_min, branches_min, path = sys.argv[1], float(sys.argv[2]), float(sys.argv[3]), sys.argv[4]
s = json.load(open(path))
lines, branches = s["line_percent"], s["branch_percent"]
print(f"coverage of {folder}/: lines {lines:.1f} % ({s['line_covered']}/{s['line_total']}), "
      f"branches {branches:.1f} % ({s['branch_covered']}/{s['branch_total']})")
if lines < lines_min or branches < branches_min:
    print(f"reliability: coverage of {folder}/ below {lines_min:.0f} % of lines or {branches_min:.0f} % of branches",
          file=sys.stderr)
    sys.exit(1)
PY
}
coverage dcs "$MIN_LINES" "$MIN_BRANCHES"
coverage host "$MIN_HOST_LINES" "$MIN_HOST_BRANCHES"

stage "reliability: all passed"
