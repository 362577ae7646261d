#!/usr/bin/env python3
"""The full-capacity case's 300 loops with a cause-and-effect matrix of 100
causes: the case and its database copied into a scratch folder, 100 of its
indicators given a comparator each, 20 valves each tripped by five of them,
the matrix written and named in the case; then one `dcshost run` of every
loop check and the whole matrix, timed. It must finish, every check passing,
in under a minute.
  python3 bench/trips_suite.py build/bench/bin/dcshost"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

CAUSES, EFFECTS, LIMIT_S = 100, 20, 60.0


def main(dcshost):
    here = os.path.dirname(os.path.abspath(__file__))
    source = os.path.join(here, "..", "examples", "full-capacity")
    folder = tempfile.mkdtemp(prefix="trips-suite-")
    try:
        for name in os.listdir(source):
            if name.endswith((".toml", ".csv")):
                shutil.copy(os.path.join(source, name), folder)
        with open(os.path.join(folder, "pv.csv"), encoding="utf-8") as f:
            rows = [line.strip().split(",") for line in f if line.strip() and not line.startswith("NODE")]
        indicators = [r for r in rows if r[1].startswith("PI")][-CAUSES:]
        logic = []
        header = ",".join(["ID,Description,Tag,Condition,Limit,Group,Vote,Delay"] +
                          ["XV%02d:CLOSED" % e for e in range(EFFECTS)])
        causes = []
        for i, (node, tag, _, _, value) in enumerate(indicators):
            limit = float(value) + 10.0
            logic.append("%s,CMP%03d,CMP,INPUT=%s;F_LIMIT=%g" % (node, i, tag, limit))
            cells = ["X" if e == i % EFFECTS else "" for e in range(EFFECTS)]
            causes.append(",".join(["C%03d" % i, "", tag, ">", "%g" % limit, "", "", ""] + cells))
        node = indicators[0][0]
        for e in range(EFFECTS):
            inputs = "+".join("CMP%03d" % i for i in range(e, CAUSES, EFFECTS))
            logic.append("%s,TRIP%02d,OR,INPUTS=%s" % (node, e, inputs))
            logic.append("%s,XV%02d,DO,INPUT=TRIP%02d;A_STATE=OPEN;A_TRIP=CLOSED" % (node, e, e))
        with open(os.path.join(folder, "full-capacity-db.csv"), "a", encoding="utf-8") as f:
            f.write("\n".join(logic) + "\n")
        with open(os.path.join(folder, "ce.csv"), "w", encoding="utf-8") as f:
            f.write("\n".join([header] + causes) + "\n")
        case = os.path.join(folder, "full-capacity.toml")
        with open(case, encoding="utf-8") as f:
            text = f.read()
        text = text.replace('pv_import = "pv-import.csv"\n', 'pv_import = "pv-import.csv"\nmatrix = "ce.csv"\n', 1)
        with open(case, "w", encoding="utf-8") as f:
            f.write(text)
        started = time.monotonic()
        run = subprocess.run([dcshost, "run", case, "--no-progress"], stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, timeout=600)
        seconds = time.monotonic() - started
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    output = run.stdout.decode(errors="replace")
    summary = [line for line in output.splitlines() if line.startswith(("loop checks:", "matrix checks:", "expectations:"))]
    print("\n".join(summary))
    print("the full-capacity suite with a matrix of %d causes: %.1f s (limit %.0f s)" % (CAUSES, seconds, LIMIT_S))
    if run.returncode != 0 or "expectations:" not in output or " 0 failed" not in output:
        print(output[-3000:])
        print("FAILED: the run exited %d or a check failed" % run.returncode)
        return 1
    if seconds >= LIMIT_S:
        print("FAILED: %.1f s is not under %.0f s" % (seconds, LIMIT_S))
        return 1
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: trips_suite.py DCSHOST")
    sys.exit(main(sys.argv[1]))
