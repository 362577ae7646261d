#!/usr/bin/env bash
# Counts the instructions of reading and binding a case as it grows, under
# callgrind (no timing, so the figure does not depend on the machine's load),
# in three ways: its PV rows (read, bound and run three steps), the lags of
# its plant (sorted into their order), and its loops (paired, closed by
# tiebacks and grouped for their checks). Each is judged linear: four times
# the size may cost at most 4.5 times the instructions (exit 1 otherwise).
# Builds only in build/bench.
#   scripts/callgrind_reading.sh
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build/bench/reading
cmake --preset bench >/dev/null
cmake --build build/bench -j 2 --target dcshost fixdcs EDA FIXTOOLS >/dev/null
mkdir -p "$dir"
status=0
# kind, the smaller size, what the command does with it
for measure in "rows 25000 run" "lags 10000 check" "loops 2500 check"; do
  read -r kind small command <<<"$measure"
  declare -A counts=()
  for n in "$small" $((small * 4)); do
    python3 bench/reading_case.py "$dir/$kind-$n" "$kind" "$n"
    args=("$command" "$dir/$kind-$n/case.toml")
    [ "$command" = run ] && args+=(--no-progress)
    valgrind --tool=callgrind --callgrind-out-file="$dir/$kind-$n.out" build/bench/bin/dcshost "${args[@]}" \
      >"$dir/$kind-$n.txt" 2>"$dir/$kind-$n.log" || true
    counts[$n]=$(grep -E '^(summary|totals):' "$dir/$kind-$n.out" | head -1 | awk '{print $2}')
    echo "$command of a case of $n $kind: ${counts[$n]} instructions"
  done
  python3 - "$kind" "$small" "${counts[$small]}" "${counts[$((small * 4))]}" <<'PY' || status=1
import sys
kind, n, small, large = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
ratio = large / small
print(f"  per {kind[:-1]}: {small / n:.0f} and {large / (4 * n):.0f} instructions; four times the {kind}: "
      f"{ratio:.2f} times the instructions (at most 4.5)")
if ratio > 4.5:
    sys.exit(f"callgrind_reading: a case's cost is not linear in its {kind}")
PY
done
exit "$status"
