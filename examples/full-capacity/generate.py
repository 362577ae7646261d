#!/usr/bin/env python3
"""Writes the full-capacity case's tables and database: 300 controllers, 2500
PV rows and 2500 PV-import rows. Each controller's input is the PV row of its
own loop (flow, pressure, temperature, level and analysis loops in turn), each
PID tuned for its loop's tieback; 625 pump commands have a running feedback;
the remaining PV rows send constants."""
import os

here = os.path.dirname(os.path.abspath(__file__))
LOOPS, PV_ROWS, IMPORT_ROWS = 300, 2500, 2500

# Per measured variable: its span (None: the tiebacks' default 0..100) and the
# tieback's default dynamics (lag time constant, dead time; level integrates,
# filling its span in 300 s at full output).
VARIABLES = {
    "F": {"span": (0.0, 200.0), "tau": 2.0, "dead": 0.0, "closed": 4.0},
    "P": {"span": (0.0, 10.0), "tau": 10.0, "dead": 0.0, "closed": 10.0},
    "T": {"span": (0.0, 400.0), "tau": 60.0, "dead": 10.0, "closed": 10.0},
    "L": {"span": (0.0, 5.0), "fill": 300.0, "closed": 60.0},
    "A": {"span": None, "tau": 120.0, "dead": 60.0, "closed": 60.0},
}
import_fields = ["F_CV", "F_AUTO", "A_AUTO", "A_ROUT"]


def loop(i):
    """The loop's variable, controller tag, PV tag, span, target and output."""
    x = "FPTLA"[i % 5]
    low, high = VARIABLES[x]["span"] or (0.0, 100.0)
    target = low + (high - low) * (0.4 + 0.01 * (i % 7))
    return x, "%sIC%03d" % (x, i), "%sT%03d" % (x, i), low, high, target, 0.4


def tuning(x, low, high):
    """PI tuning (gain in percent per unit, integral time in s) for the tieback:
    a closed loop of the chosen time constant (SIMC rules)."""
    v = VARIABLES[x]
    per_percent = (high - low) / 100.0
    if "fill" in v:
        gain = 1.0 / (per_percent / v["fill"] * v["closed"])
        return gain, 4.0 * v["closed"]
    gain = v["tau"] / (per_percent * (v["closed"] + v["dead"]))
    return gain, min(v["tau"], 4.0 * (v["closed"] + v["dead"]))


def running(i):
    return i % 8 == 3


with open(os.path.join(here, "full-capacity-db.csv"), "w") as db:
    db.write("NODE,TAG,TYPE,VALUES\n")
    for i in range(LOOPS):
        x, ctrl, pv, low, high, target, output = loop(i)
        span = "" if VARIABLES[x]["span"] is None else ";F_ELO=%g;F_EHI=%g" % (low, high)
        db.write("PLANT,%s,AI,F_CV=%g%s\n" % (pv, target, span))
        gain, ti = tuning(x, low, high)
        db.write("PLANT,%s,PID,F_CV=%g;F_TV1=%g;A_AUTO=AUTO;F_KP=%.6g;F_TI=%g;INPUT=%s\n"
                 % (ctrl, 100 * output, target, gain, ti, pv))
    for i in range(IMPORT_ROWS):
        kind = import_fields[i % 4]
        if kind == "F_CV":
            db.write("PLANT,XV%04d,AO,F_CV=%d\n" % (i, i % 100))
        elif kind == "A_ROUT":
            db.write("PLANT,HS%04d,DI,A_ROUT=%s\n" % (i, "YES" if running(i) else "NO"))
            db.write("PLANT,ZS%04d,DI,F_CV=%d\n" % (i, 1 if running(i) else 0))
    feedbacks = IMPORT_ROWS // 4
    for j in range(PV_ROWS - LOOPS - feedbacks):
        db.write("PLANT,PI%04d,AI,F_CV=0\n" % (5000 + j))

with open(os.path.join(here, "controllers.csv"), "w") as f:
    f.write("NODE,TAG,FIELD,Active,Mode,Output,TV1\n")
    for i in range(LOOPS):
        x, ctrl, pv, low, high, target, output = loop(i)
        f.write("PLANT,%s,F_CV,1,1.0,%g,%g\n" % (ctrl, output, target))

with open(os.path.join(here, "pv.csv"), "w") as f:
    f.write("NODE,TAG,FIELD,Active,Value\n")
    for i in range(LOOPS):
        x, ctrl, pv, low, high, target, output = loop(i)
        f.write("PLANT,%s,F_CV,1,%g\n" % (pv, target))
    for i in range(3, IMPORT_ROWS, 4):
        f.write("PLANT,ZS%04d,F_CV,1,%d\n" % (i, 1 if running(i) else 0))
    for j in range(PV_ROWS - LOOPS - IMPORT_ROWS // 4):
        f.write("PLANT,PI%04d,F_CV,1,%g\n" % (5000 + j, j * 0.5))

with open(os.path.join(here, "pv-import.csv"), "w") as f:
    f.write("NODE,TAG,FIELD,Active,Value\n")
    for i in range(IMPORT_ROWS):
        kind = import_fields[i % 4]
        if kind == "F_CV":
            tag, value = "XV%04d" % i, i % 100
        elif kind == "A_ROUT":
            tag, value = "HS%04d" % i, 0.0 if running(i) else 1.0
        else:
            tag, value = loop(i % LOOPS)[1], 2.0
        f.write("PLANT,%s,%s,1,%g\n" % (tag, kind, value))
