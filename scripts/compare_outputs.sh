#!/usr/bin/env bash
# Compares what two builds of dcshost leave behind for every example and test
# case: stdout of run, check, a resumed run, the built-in example and
# `dcshost test examples`, and the traces, plots, saved states and JUnit
# files, with step times, durations and the outputs' folder masked. For a
# change that must not change what dcshost writes: no output, exit 0.
#   scripts/compare_outputs.sh BEFORE_BIN_DIR AFTER_BIN_DIR
set -uo pipefail
cd "$(dirname "$0")/.."
src=$PWD

outputs() {
  local bin=$1 out=$2 c n
  for c in "$src"/examples/*/*.toml "$src"/tests/host/*.toml "$src"/tests/host/checkout/*.toml; do
    n=$(basename "$(dirname "$c")")-$(basename "$c" .toml)
    (cd "$bin" && ./dcshost run "$c" --trace "$out/$n.csv" --plot "$out/$n.svg" --save-state "$out/$n.state.toml" \
       --no-progress >"$out/$n.out" 2>&1; echo "rc=$?" >>"$out/$n.out")
    (cd "$bin" && ./dcshost check "$c" >"$out/$n.check" 2>&1; echo "rc=$?" >>"$out/$n.check")
    if [ -f "$out/$n.state.toml" ]; then
      (cd "$bin" && ./dcshost run "$c" --from-state "$out/$n.state.toml" --steps 5 --trace "$out/$n.resumed.csv" \
         --no-progress >"$out/$n.resumed.out" 2>&1; echo "rc=$?" >>"$out/$n.resumed.out")
    fi
  done
  (cd "$bin" && ./dcshost >"$out/builtin.out" 2>&1; echo "rc=$?" >>"$out/builtin.out")
  (cd "$bin" && ./dcshost test "$src/examples" --jobs 2 --junit "$out/junit.xml" --plots "$out/plots" \
     >"$out/test.out" 2>&1; echo "rc=$?" >>"$out/test.out")
  for f in "$out"/*.out "$out"/*.check; do
    sed -i -E 's/median [0-9.]+ us, 99th percentile [0-9.]+ us/median X us, 99th percentile X us/;
               s#/[^ ,]*/bin/#BIN/#g; s/[0-9]+\.[0-9]+ ?s\b/T s/g' "$f"
  done
  sed -i -E 's/time="[0-9.]+"/time="T"/g' "$out/junit.xml"
  for f in "$out"/*.out "$out"/*.check "$out"/*.state.toml "$out"/*.xml; do
    [ -f "$f" ] && sed -i "s#$out#OUT#g" "$f"
  done
}

before=$(mktemp -d) after=$(mktemp -d)
trap 'rm -rf "$before" "$after"' EXIT
outputs "$(cd "$1" && pwd)" "$before"
outputs "$(cd "$2" && pwd)" "$after"
diff -r "$before" "$after"
