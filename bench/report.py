#!/usr/bin/env python3
# Reads the JSON of one benchmark run and prints the medians, the driver/floor
# ratios, the rows scaling and the allocation counts; exits 1 when a limit is
# broken (step over 1.15 times its floor, an allocation in a step, or
# configuration cost per row growing with the rows). Only reads the JSON.
import json
import statistics
import sys

STEP_RATIO_LIMIT = 1.15
# Configuration is linear when its cost per row at full capacity stays within
# this factor of its cost per row at 10 %; a quadratic part would show as 10.
CONFIGURE_PER_ROW_GROWTH_LIMIT = 1.5


def load(path):
    with open(path) as f:
        data = json.load(f)
    runs = {}
    for b in data["benchmarks"]:
        if b.get("run_type") != "iteration" or b.get("error_occurred"):
            continue
        runs.setdefault(b["run_name"], []).append(b)
    return data["context"], runs


def us(b, clock):
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}[b["time_unit"]]
    return b[clock] * scale


# CPU time of the benchmark's thread is the measure: on a machine shared with
# other work, real time also counts the moments another process held the core.
def median_us(runs, name, clock="cpu_time"):
    return statistics.median(us(b, clock) for b in runs[name])


def main(path):
    context, runs = load(path)
    failures = []
    print(f"machine: {context.get('host_name', '?')}, {context.get('num_cpus')} x "
          f"{context.get('mhz_per_cpu')} MHz, load {context.get('load_avg')}; "
          f"{len(next(iter(runs.values())))} repetitions, interleaved at random; medians of CPU time "
          f"(of real time in brackets)")
    print()
    print("DCSSimulate per step     driver (us)   floor (us)   driver/floor (real)   per row (ns) driver  floor")
    for share in (10, 50, 100):
        driver = median_us(runs, f"BM_Simulate/{share}")
        floor = median_us(runs, f"BM_SimulateFloor/{share}")
        real_ratio = (median_us(runs, f"BM_Simulate/{share}", "real_time") /
                      median_us(runs, f"BM_SimulateFloor/{share}", "real_time"))
        rows = runs[f"BM_Simulate/{share}"][0]["rows"]
        ratio = driver / floor
        print(f"  {share:3d} % ({int(rows):5d} rows) {driver:12.2f} {floor:12.2f} {ratio:11.3f} ({real_ratio:.3f})"
              f"{driver * 1e3 / rows:18.2f} {floor * 1e3 / rows:6.2f}")
        if share == 100 and ratio > STEP_RATIO_LIMIT:
            failures.append(f"DCSSimulate at full capacity costs {ratio:.3f} times its floor "
                            f"(limit {STEP_RATIO_LIMIT})")
    allocations = max(b["allocs_per_call"] for name in runs if name.startswith("BM_Simulate/")
                      for b in runs[name])
    print(f"  allocations per step (largest over every repetition): {allocations:g}")
    if allocations != 0:
        failures.append(f"{allocations:g} allocations per step")

    driver = median_us(runs, "BM_Start/100")
    floor = median_us(runs, "BM_StartFloor/100")
    print()
    print(f"DCSStart per cycle at 100 %: driver {driver:.2f} us, floor {floor:.2f} us, "
          f"driver/floor {driver / floor:.3f}")

    print()
    print("DCSConfigure + DCSReset per binding        time (us)   per row (ns)")
    per_row = {}
    for share in (10, 50, 100):
        name = f"BM_ConfigureReset/{share}"
        rows = runs[name][0]["rows"]
        time = median_us(runs, name)
        per_row[share] = time * 1e3 / rows
        print(f"  {share:3d} % ({int(rows):5d} rows)        {time:14.1f} {per_row[share]:14.1f}")
    growth = per_row[100] / per_row[10]
    print(f"  per-row cost at 100 % / at 10 %: {growth:.2f} (linear: near 1; limit "
          f"{CONFIGURE_PER_ROW_GROWTH_LIMIT})")
    if growth > CONFIGURE_PER_ROW_GROWTH_LIMIT:
        failures.append(f"configuration cost per row grows {growth:.2f} times from 10 % to 100 %")

    print()
    if failures:
        for failure in failures:
            print(f"FAILED: {failure}")
        return 1
    print("PASSED: step within 1.15 times its floor, no allocation per step, configuration linear in rows")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: report.py RESULTS.json")
    sys.exit(main(sys.argv[1]))
