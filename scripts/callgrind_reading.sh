#!/usr/bin/env bash
# Counts the instructions of reading, binding and running three steps of a
# case of 25,000 and of 100,000 PV rows under callgrind (no timing, so the
# figure does not depend on the machine's load), and judges that the cost is
# linear in rows: four times the rows may cost at most 4.5 times the
# instructions (exit 1 otherwise). Builds only in build/bench.
#   scripts/callgrind_reading.sh
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build/bench/reading
cmake --preset bench >/dev/null
cmake --build build/bench -j 2 --target dcshost fixdcs EDA FIXTOOLS >/dev/null
mkdir -p "$dir"
declare -A counts
for rows in 25000 100000; do
  python3 bench/reading_case.py "$dir/$rows" "$rows"
  valgrind --tool=callgrind --callgrind-out-file="$dir/$rows.out" \
    build/bench/bin/dcshost run "$dir/$rows/case.toml" --no-progress >"$dir/$rows.txt" 2>"$dir/$rows.log"
  counts[$rows]=$(grep -E '^(summary|totals):' "$dir/$rows.out" | head -1 | awk '{print $2}')
  echo "reading, binding and 3 steps of $rows PV rows: ${counts[$rows]} instructions"
done
python3 - "${counts[25000]}" "${counts[100000]}" <<'PY'
import sys
small, large = int(sys.argv[1]), int(sys.argv[2])
ratio = large / small
print(f"per row: {small / 25000:.0f} and {large / 100000:.0f} instructions; "
      f"100,000 rows against 25,000: {ratio:.2f} times the instructions (at most 4.5)")
if ratio > 4.5:
    sys.exit("callgrind_reading: reading a case is not linear in its rows")
PY
