#!/usr/bin/env python3
"""The example's FMU is the test tank FMU of this tree: its model description
is tests/fmu/tank/modelDescription.xml, byte for byte, and it carries the
binary of each of the three targets (scripts/example-fmu.sh writes it).
    check_example_fmu.py SOURCE_DIR"""
import os
import sys
import zipfile


def main(source):
    fmu = os.path.join(source, "examples", "fmu-tank", "tank.fmu")
    with open(os.path.join(source, "tests", "fmu", "tank", "modelDescription.xml"), "rb") as f:
        described = f.read()
    problems = []
    with zipfile.ZipFile(fmu) as z:
        names = set(z.namelist())
        if z.read("modelDescription.xml") != described:
            problems.append("its modelDescription.xml is not tests/fmu/tank's")
        for binary in ("binaries/linux64/tank.so", "binaries/linux32/tank.so", "binaries/win32/tank.dll"):
            if binary not in names:
                problems.append("it has no " + binary)
    for problem in problems:
        print("%s: %s: rerun scripts/example-fmu.sh" % (fmu, problem))
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
