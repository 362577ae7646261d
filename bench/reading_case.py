#!/usr/bin/env python3
"""Writes a case of N PV rows (and a database with an AI block for each) into a
folder, for counting what reading and binding a case costs as it grows:
    bench/reading_case.py FOLDER ROWS"""
import pathlib
import sys


def main(folder, rows):
    out = pathlib.Path(folder)
    out.mkdir(parents=True, exist_ok=True)
    with open(out / "db.csv", "w", encoding="ascii") as db:
        db.write("NODE,TAG,TYPE,VALUES\n")
        for i in range(rows):
            db.write(f"PLANT,AI{i:06d},AI,F_CV={i % 100}\n")
    with open(out / "pv.csv", "w", encoding="ascii") as pv:
        pv.write("NODE,TAG,FIELD,Active,Value\n")
        for i in range(rows):
            pv.write(f"PLANT,AI{i:06d},F_CV,1,{i % 100}.5\n")
    with open(out / "case.toml", "w", encoding="ascii") as case:
        case.write(f'[case]\nname = "{rows} PV rows"\nsteps = 3\ndatabase = "db.csv"\npv = "pv.csv"\n')


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]))
