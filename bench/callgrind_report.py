#!/usr/bin/env python3
# Reads the callgrind dumps of the step probe (scripts/callgrind_step.sh) and
# prints the instructions of one full-capacity step: the driver's own (its
# library only, no stand-in, no C library), per row, per function and per
# table, and the floor's. Only reads the dumps; changes nothing.
import re
import subprocess
import sys

LINE = re.compile(r"^\s*([\d,]+)\s+\(\s*[\d.]+%\)\s+(.*?):(.*)\s+\[(.*)\]\s*$")


def self_costs(dump):
    """(function, object) -> self instructions, and the program total."""
    text = subprocess.run(["callgrind_annotate", "--inclusive=no", "--threshold=100", dump],
                          check=True, capture_output=True, text=True).stdout
    costs, total = {}, 0
    for line in text.splitlines():
        if "PROGRAM TOTALS" in line:
            total = int(line.split()[0].replace(",", ""))
            continue
        match = LINE.match(line)
        if match:
            costs[(match.group(3).strip(), match.group(4))] = int(match.group(1).replace(",", ""))
    return costs, total


def probe_facts(path):
    with open(path) as f:
        words = f.read().split()
    return {words[i]: int(words[i + 1]) for i in range(0, len(words) - 1, 2)}


def own_costs(costs):
    """The driver library's own self costs, by function."""
    return {fn: ir for (fn, obj), ir in costs.items() if obj.endswith("/libfixdcs.so")}


# A binding is linear in rows when its instructions per row at full capacity
# stay within this share of those at 10 %.
CONFIGURE_PER_ROW_LIMIT = 0.10


def main(folder):
    facts = probe_facts(f"{folder}/driver-all.txt")
    steps, rows, calls = facts["steps"], facts["rows"], facts["eda_calls"]
    driver, driver_total = self_costs(f"{folder}/driver-all.out.1")
    floor, floor_total = self_costs(f"{folder}/floor-all.out.1")
    own = own_costs(driver)
    own_total = sum(own.values())
    replay = sum(ir for (fn, obj), ir in floor.items() if "EdaTrace::Replay" in fn)
    interface = floor_total - replay
    print(f"one step at full capacity: {rows} rows ({facts['ctrl']} controllers, {facts['pv']} PV, "
          f"{facts['pvimport']} PV import), {calls} EDA calls, {facts['allocations']} allocations "
          f"in {steps} steps")
    print(f"  whole step, driver run:      {driver_total / steps:12,.0f} instructions")
    print(f"  whole step, floor run:       {floor_total / steps:12,.0f} instructions "
          f"(bare loop {replay / steps:,.0f}, interface {interface / steps:,.0f})")
    print(f"  interface (stand-in) per EDA call: {interface / steps / calls:.1f}")
    print(f"  floor loop per EDA call:           {replay / steps / calls:.1f}")
    print(f"  driver's own per step:       {own_total / steps:12,.0f} instructions = "
          f"{own_total / steps / rows:.1f} per row")
    print("  where the driver's own instructions go (per step, per row of all tables):")
    for fn, ir in sorted(own.items(), key=lambda item: -item[1]):
        if ir / steps >= 1:
            print(f"    {ir / steps:10,.0f}  {ir / steps / rows:6.2f}  {fn}")
    # The C library's work that the driver itself asks for (a text compare,
    # say) shows as the C library's instructions beyond the floor run's.
    libc_driver = sum(ir for (fn, obj), ir in driver.items() if "/libc.so" in obj and "below main" not in fn
                      and "libc_start" not in fn)
    libc_floor = sum(ir for (fn, obj), ir in floor.items() if "/libc.so" in obj and "below main" not in fn
                     and "libc_start" not in fn)
    print(f"  C library work beyond the floor's: {(libc_driver - libc_floor) / steps:,.0f} per step = "
          f"{(libc_driver - libc_floor) / steps / rows:.1f} per row")
    print(f"  instruction ratio driver run / floor run: {driver_total / floor_total:.3f}")
    print("  the driver's own per row of one table, that table alone at capacity:")
    for table, key, label in (("ctrl", "ctrl", "controller"), ("pv", "pv", "PV"),
                              ("pvimport", "pvimport", "PV import")):
        table_facts = probe_facts(f"{folder}/driver-{table}.txt")
        costs, _ = self_costs(f"{folder}/driver-{table}.out.1")
        table_own = sum(own_costs(costs).values()) / table_facts["steps"]
        print(f"    {label:10s} {table_facts[key]:5d} rows: {table_own:10,.0f} per step = "
              f"{table_own / table_facts[key]:5.1f} per row")
    print("DCSReset + DCSConfigure, instructions per binding:")
    per_row = {}
    for share in (10, 50, 100):
        share_facts = probe_facts(f"{folder}/configure-{share}.txt")
        costs, total = self_costs(f"{folder}/configure-{share}.out.1")
        count, share_rows = share_facts["steps"], share_facts["rows"]
        share_own = sum(own_costs(costs).values()) / count
        per_row[share] = total / count / share_rows
        print(f"  {share:3d} % ({share_rows:5d} rows): {total / count:12,.0f} in all = {per_row[share]:6.1f} per row;"
              f" the driver's own {share_own:10,.0f} = {share_own / share_rows:5.1f} per row")
    growth = per_row[100] / per_row[10] - 1.0
    print(f"  per row at 100 % against 10 %: {growth:+.1%} (limit {CONFIGURE_PER_ROW_LIMIT:.0%})")
    if abs(growth) > CONFIGURE_PER_ROW_LIMIT:
        print("FAILED: DCSConfigure is not linear in rows")
        return 1
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: callgrind_report.py FOLDER (of scripts/callgrind_step.sh)")
    sys.exit(main(sys.argv[1]))
