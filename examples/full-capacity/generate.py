#!/usr/bin/env python3
"""Writes the full-capacity case's tables and database: 300 controllers,
2500 PV rows and 2500 PV-import rows with a realistic mix of fields."""
import os

here = os.path.dirname(os.path.abspath(__file__))
ctrl_fields = ["F_CV", "H_DV", "F_TV1"]
import_fields = ["F_CV", "F_AUTO", "A_AUTO", "A_ROUT"]

with open(os.path.join(here, "full-capacity-db.csv"), "w") as db:
    db.write("NODE,TAG,TYPE,VALUES\n")
    for i in range(300):
        db.write("PLANT,TI%03d,AI,F_CV=%d\n" % (i, 50 + i % 7))
        db.write("PLANT,TIC%03d,PID,F_CV=40;F_TV1=%d;A_AUTO=AUTO;F_KP=1.5;F_TI=120;INPUT=TI%03d\n"
                 % (i, 50 + i % 7, i))
    for i in range(2500):
        db.write("PLANT,PT%04d,AI,F_CV=0\n" % i)
    for i in range(2500):
        kind = import_fields[i % 4]
        if kind == "F_CV":
            db.write("PLANT,XV%04d,AO,F_CV=%d\n" % (i, i % 100))
        elif kind == "A_ROUT":
            db.write("PLANT,HS%04d,DI,A_ROUT=%s\n" % (i, "YES" if i % 8 == 3 else "NO"))

with open(os.path.join(here, "controllers.csv"), "w") as f:
    f.write("NODE,TAG,FIELD,Active,Mode,Output,TV1\n")
    for i in range(300):
        f.write("PLANT,TIC%03d,%s,%d,1.0,0.4,%d\n" % (i, ctrl_fields[i % 3], 0 if i % 30 == 27 else 1, 50 + i % 7))

with open(os.path.join(here, "pv.csv"), "w") as f:
    f.write("NODE,TAG,FIELD,Active,Value\n")
    for i in range(2500):
        f.write("PLANT,PT%04d,F_CV,1,%g\n" % (i, i * 0.5))

with open(os.path.join(here, "pv-import.csv"), "w") as f:
    f.write("NODE,TAG,FIELD,Active,Value\n")
    for i in range(2500):
        kind = import_fields[i % 4]
        if kind == "F_CV":
            tag, value = "XV%04d" % i, i % 100
        elif kind == "A_ROUT":
            tag, value = "HS%04d" % i, 1.0
        else:
            tag, value = "TIC%03d" % (i % 300), 2.0
        f.write("PLANT,%s,%s,1,%g\n" % (tag, kind, value))
