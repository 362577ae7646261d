#!/usr/bin/env python3
"""Writes a case that grows in one dimension into a folder, for counting what
reading and binding a case costs as it grows:
    bench/reading_case.py FOLDER rows N    N PV rows, and an AI block for each
    bench/reading_case.py FOLDER lags N    a plant of N lags in a chain
    bench/reading_case.py FOLDER loops N   N flow loops closed by tiebacks"""
import pathlib
import sys


def rows_case(out, n):
    with open(out / "db.csv", "w", encoding="ascii") as db:
        db.write("NODE,TAG,TYPE,VALUES\n")
        for i in range(n):
            db.write(f"PLANT,AI{i:06d},AI,F_CV={i % 100}\n")
    with open(out / "pv.csv", "w", encoding="ascii") as pv:
        pv.write("NODE,TAG,FIELD,Active,Value\n")
        for i in range(n):
            pv.write(f"PLANT,AI{i:06d},F_CV,1,{i % 100}.5\n")
    return f'[case]\nname = "{n} PV rows"\nsteps = 3\ndatabase = "db.csv"\npv = "pv.csv"\n'


def lags_case(out, n):
    with open(out / "db.csv", "w", encoding="ascii") as db:
        db.write("NODE,TAG,TYPE,VALUES\nPLANT,LT1,AI,F_CV=0\n")
    with open(out / "plant.toml", "w", encoding="ascii") as plant:
        for i in range(n):
            source = "1.0" if i == 0 else f'"L{i - 1}"'
            plant.write(f'[[block]]\nname = "L{i}"\nkind = "lag"\ninput = {source}\ntime_constant = 5.0\n\n')
    return (f'[case]\nname = "{n} lags"\nsteps = 3\ndatabase = "db.csv"\n\n[model]\ntype = "blocks"\n'
            f'file = "plant.toml"\n\n[[pv]]\nnode = "PLANT"\ntag = "LT1"\nfield = "F_CV"\nfrom = "L{n - 1}"\n')


def loops_case(out, n):
    with open(out / "db.csv", "w", encoding="ascii") as db:
        db.write("NODE,TAG,TYPE,VALUES\n")
        for i in range(n):
            db.write(f"PLANT,FT{i:06d},AI,F_CV=80;F_ELO=0;F_EHI=200\n"
                     f"PLANT,FIC{i:06d},PID,F_CV=40;F_TV1=80;A_AUTO=AUTO;F_KP=0.25;F_TI=2;INPUT=FT{i:06d}\n")
    with open(out / "controllers.csv", "w", encoding="ascii") as controllers:
        controllers.write("NODE,TAG,FIELD,Active,Mode,Output,TV1\n")
        for i in range(n):
            controllers.write(f"PLANT,FIC{i:06d},F_CV,1,1.0,0.4,80\n")
    with open(out / "pv.csv", "w", encoding="ascii") as pv:
        pv.write("NODE,TAG,FIELD,Active,Value\n")
        for i in range(n):
            pv.write(f"PLANT,FT{i:06d},F_CV,1,80\n")
    return (f'[case]\nname = "{n} loops"\nsteps = 3\ndatabase = "db.csv"\ncontrollers = "controllers.csv"\n'
            f'pv = "pv.csv"\n\n[model]\ntype = "tieback"\n')


def main(folder, kind, n):
    out = pathlib.Path(folder)
    out.mkdir(parents=True, exist_ok=True)
    writers = {"rows": rows_case, "lags": lags_case, "loops": loops_case}
    if kind not in writers:
        sys.exit(__doc__)
    text = writers[kind](out, n)
    with open(out / "case.toml", "w", encoding="ascii") as case:
        case.write(text)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], int(sys.argv[3]))
