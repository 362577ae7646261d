#!/usr/bin/env python3
# Reads the JSON of one benchmark run (and of the trace's, when given) and
# prints the medians, the driver/floor ratios, the rows scaling, the
# allocation counts and the trace's cost per value; exits 1 when a limit is
# broken (step over 1.15 times its floor, an allocation in a step, the
# full-capacity plant costlier than DCSSimulate per step, or the trace over
# 100 ns per value written). Only reads the JSON.
import json
import statistics
import sys

STEP_RATIO_LIMIT = 1.15
TRACE_NS_PER_VALUE_LIMIT = 100.0
PLANT_RATIO_LIMIT = 1.0
FMU_STEP_US_LIMIT = 1.0
FMU_WORKER_STEP_US_LIMIT = 50.0  # the same step through the FMU's worker process, wall time
SCAN_RATIO_LIMIT = 1.2


# How far a time at 50 % lies off the straight line through the times at 10 %
# and 100 %: near 0 for a linear cost, -44 % for a cost quadratic in rows.
def Midpoint(points):
    """How far the 50 % time lies off the line through the 10 % and 100 % times."""
    (n10, t10), (n50, t50), (n100, t100) = points[10], points[50], points[100]
    line = t10 + (t100 - t10) * (n50 - n10) / (n100 - n10)
    return t50 / line - 1.0


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


# The trace: TraceWriter::Write per value beside the printf writing it
# replaced, and the full-capacity example with and without --trace.
def trace_report(path, failures):
    _, runs = load(path)
    values = runs["BM_TraceWrite"][0]["values"]
    now = median_us(runs, "BM_TraceWrite") * 1e3 / values
    before = median_us(runs, "BM_TraceWritePrintf") * 1e3 / values
    allocations = max(b["allocs_per_call"] for name in ("BM_TraceWrite",) for b in runs[name])
    print(f"The trace: TraceWriter::Write of one line of {int(values)} values (realistic magnitudes) to a "
          f"temporary file, CPU time per value written:")
    print(f"  {now:.1f} ns (limit {TRACE_NS_PER_VALUE_LIMIT:g}); with printf, as it was: {before:.1f} ns; "
          f"{before / now:.1f} times faster")
    print(f"  allocations per line (largest over every repetition): {allocations:g}")
    if now > TRACE_NS_PER_VALUE_LIMIT:
        failures.append(f"the trace costs {now:.1f} ns per value written (limit {TRACE_NS_PER_VALUE_LIMIT:g})")
    if allocations != 0:
        failures.append(f"{allocations:g} allocations per line of the trace")
    run = next(name for name in runs if name.startswith("BM_RunWithAndWithoutTrace"))
    plain = statistics.median(b["plain_s"] for b in runs[run])
    traced = statistics.median(b["traced_s"] for b in runs[run])
    ratio = statistics.median(b["ratio"] for b in runs[run])
    written = runs[run][0]["values"]
    print(f"The full-capacity example, `dcshost run` in-process, wall time (medians of {len(runs[run])} pairs, "
          f"alternating):")
    print(f"  without --trace {plain:.2f} s, with {traced:.2f} s: with/without {ratio:.2f}; "
          f"{(traced - plain) * 1e9 / written:.1f} ns more per value written ({int(written)} values, the "
          f"flush to the disk included)")


# The full-capacity plant (its tiebacks) per step beside DCSSimulate at full
# capacity, paired step by step in the same run.
def plant_report(runs, failures):
    paired = runs["BM_PlantPaired"]
    plant = statistics.median(b["plant_us"] for b in paired)
    driver = statistics.median(b["driver_us"] for b in paired)
    ratio = statistics.median(b["ratio"] for b in paired)
    blocks = runs["BM_PlantStep"][0]["blocks"]
    allocations = max(b["allocs_per_call"] for b in runs["BM_PlantStep"])
    print(f"The full-capacity plant ({int(blocks)} tieback blocks) per step, paired with DCSSimulate at 100 %:")
    print(f"  plant {plant:.2f} us, DCSSimulate {driver:.2f} us: plant/DCSSimulate {ratio:.3f} "
          f"(limit {PLANT_RATIO_LIMIT:g}); alone {median_us(runs, 'BM_PlantStep'):.2f} us")
    print(f"  allocations per plant step (largest over every repetition): {allocations:g}")
    if ratio > PLANT_RATIO_LIMIT:
        failures.append(f"the plant costs {ratio:.3f} times DCSSimulate per step (limit {PLANT_RATIO_LIMIT:g})")
    if allocations != 0:
        failures.append(f"{allocations:g} allocations per plant step")


# dcshost's cost around one FMU step of ten variables (with the FMU's own).
def fmu_report(runs, failures):
    step = median_us(runs, "BM_FmuStep")
    allocations = max(b["allocs_per_call"] for b in runs["BM_FmuStep"])
    print("One FMU step of ten variables (five set, fmi2DoStep, five read), the test first-order FMU's own "
          "step included:")
    print(f"  {step:.3f} us (limit {FMU_STEP_US_LIMIT:g}); allocations per step: {allocations:g}")
    if step > FMU_STEP_US_LIMIT:
        failures.append(f"an FMU step costs {step:.3f} us (limit {FMU_STEP_US_LIMIT:g})")
    if allocations != 0:
        failures.append(f"{allocations:g} allocations per FMU step")
    # Through the worker the call and its answer cross to another process:
    # wall time, since dcshost waits for the answer.
    worker = median_us(runs, "BM_FmuStepInWorker", "real_time")
    allocations = max(b["allocs_per_call"] for b in runs["BM_FmuStepInWorker"])
    print(f"  through its worker process (the default): {worker:.2f} us wall time (limit "
          f"{FMU_WORKER_STEP_US_LIMIT:g}); allocations per step in dcshost: {allocations:g}")
    if worker > FMU_WORKER_STEP_US_LIMIT:
        failures.append(f"an FMU step through its worker costs {worker:.2f} us (limit {FMU_WORKER_STEP_US_LIMIT:g})")
    if allocations != 0:
        failures.append(f"{allocations:g} allocations per FMU step through its worker")


# One scan of the simulated database (300 PIDs), a third of its loops in
# strategies against none, from the same run's medians.
def scan_report(path, failures):
    _, runs = load(path)
    plain = median_us(runs, "BM_Scan/strategies:0")
    strategies = median_us(runs, "BM_Scan/strategies:1")
    allocations = max(b["allocs_per_call"] for name in runs for b in runs[name])
    ratio = strategies / plain
    print("One scan of the simulated database, 300 PIDs in AUTO (CPU time):")
    print(f"  on their own {plain:.2f} us, a third in cascades, ratio stations and split ranges {strategies:.2f} us: "
          f"{ratio:.3f} (limit {SCAN_RATIO_LIMIT:g}); allocations per scan: {allocations:g}")
    if ratio > SCAN_RATIO_LIMIT:
        failures.append(f"a scan with strategies costs {ratio:.3f} times one without (limit {SCAN_RATIO_LIMIT:g})")
    if allocations != 0:
        failures.append(f"{allocations:g} allocations per scan")


def main(path, trace_path=None, scan_path=None):
    context, runs = load(path)
    failures = []
    print(f"machine: {context.get('host_name', '?')}, {context.get('num_cpus')} x "
          f"{context.get('mhz_per_cpu')} MHz, load {context.get('load_avg')}; "
          f"{len(next(iter(runs.values())))} repetitions, interleaved at random")
    print()
    print("DCSSimulate per step, paired with its floor step by step (medians of single steps,")
    print("then the median over the repetitions):")
    print("                        driver (us)   floor (us)   driver/floor   per row (ns) driver  floor")
    step = {}
    for share in (10, 50, 100):
        paired = runs[f"BM_SimulatePaired/{share}"]
        driver = statistics.median(b["driver_us"] for b in paired)
        floor = statistics.median(b["floor_us"] for b in paired)
        ratio = statistics.median(b["ratio"] for b in paired)
        rows = paired[0]["rows"]
        step[share] = (rows, driver)
        print(f"  {share:3d} % ({int(rows):5d} rows) {driver:12.2f} {floor:12.2f} {ratio:14.3f}"
              f"{driver * 1e3 / rows:18.2f} {floor * 1e3 / rows:6.2f}")
        if share == 100 and ratio > STEP_RATIO_LIMIT:
            failures.append(f"DCSSimulate at full capacity costs {ratio:.3f} times its floor "
                            f"(limit {STEP_RATIO_LIMIT})")
    print(f"  50 % point off the line through 10 % and 100 %: {Midpoint(step):+.1%}")
    print("DCSSimulate and floor benchmarked apart (CPU time; real time ratio in brackets):")
    for share in (10, 50, 100):
        driver = median_us(runs, f"BM_Simulate/{share}")
        floor = median_us(runs, f"BM_SimulateFloor/{share}")
        real_ratio = (median_us(runs, f"BM_Simulate/{share}", "real_time") /
                      median_us(runs, f"BM_SimulateFloor/{share}", "real_time"))
        print(f"  {share:3d} %                {driver:12.2f} {floor:12.2f} {driver / floor:8.3f} ({real_ratio:.3f})")
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
    off = Midpoint({share: (runs[f"BM_ConfigureReset/{share}"][0]["rows"],
                            median_us(runs, f"BM_ConfigureReset/{share}")) for share in (10, 50, 100)})
    print(f"  per-row time at 100 % / at 10 %: {growth:.2f}; 50 % point off the line through 10 % and "
          f"100 %: {off:+.1%}")
    print("  (time per row grows as the simulated database outgrows the caches; whether the work is")
    print("  linear in rows is decided by the instruction counts below, which no load disturbs)")

    print()
    plant_report(runs, failures)
    fmu_report(runs, failures)

    if trace_path:
        print()
        trace_report(trace_path, failures)
    if scan_path:
        print()
        scan_report(scan_path, failures)

    print()
    if failures:
        for failure in failures:
            print(f"FAILED: {failure}")
        return 1
    print("PASSED: step within 1.15 times its floor, the plant within DCSSimulate's cost, no allocation per step" +
          (f", the trace within {TRACE_NS_PER_VALUE_LIMIT:g} ns per value" if trace_path else "") +
          (f", a scan with strategies within {SCAN_RATIO_LIMIT:g} times one without" if scan_path else ""))
    return 0


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3, 4):
        sys.exit("usage: report.py RESULTS.json [TRACE-RESULTS.json [SCAN-RESULTS.json]]")
    sys.exit(main(*sys.argv[1:]))
