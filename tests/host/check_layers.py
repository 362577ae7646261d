#!/usr/bin/env python3
"""The host's folders depend one way, from the program down:

    dcshost/
    run/
    checkout/  report/     (report/ may use checkout/ to draw its bands)
    plant/     fix/
    case/
    system/

A file may include headers of its own folder and of folders in lower layers
only; nothing includes run/ or dcshost/ but the layers above them; and no
file includes a stand-in's header (what a stand-in offers beyond the real
library is found by name at run time). Inside a folder the units (a header
with its source) stand in floors too: no unit includes one that includes it
back, however far round (a header that a source includes and that includes
the source's own header back is that unit's private part). Prints every include that breaks these and exits 1
if there is one."""
import pathlib
import re
import sys

LAYERS = {
    "dcshost": 5,
    "run": 4,
    "checkout": 3, "report": 3,
    "plant": 2, "fix": 2,
    "case": 1,
    "system": 0,
}
ALLOWED_SIDEWAYS = {("report", "checkout")}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def floor_cycles(host, files):
    """Cycles among the units of one folder: a unit is a header and its source."""
    def included(path):
        return [m.group(1) for m in map(INCLUDE.match, path.read_text(encoding="utf-8").splitlines())
                if m and (host / m.group(1)).exists()]

    uses = {}
    for path in files:
        unit = path.relative_to(host).with_suffix("").as_posix()
        for header in included(path):
            other = header.rsplit(".", 1)[0]
            if other == unit or other.split("/")[0] != unit.split("/")[0]:
                continue
            if path.suffix == ".cpp" and unit + ".h" in included(host / header):
                continue  # the unit's private part
            uses.setdefault(unit, set()).add(other)
    problems, state = [], {}

    def visit(unit, trail):
        state[unit] = "open"
        for other in sorted(uses.get(unit, ())):
            if state.get(other) == "open":
                cycle = trail[trail.index(other):] + [unit, other]
                problems.append("includes go round in a folder: " + " -> ".join(cycle))
            elif other not in state:
                visit(other, trail + [unit])
        state[unit] = "done"

    for unit in sorted(uses):
        if unit not in state:
            visit(unit, [])
    return problems


def main(root):
    host = pathlib.Path(root) / "host"
    standins = {p.name for p in (pathlib.Path(root) / "standins").rglob("*.h")}
    problems = []
    files = sorted(p for p in host.rglob("*") if p.suffix in (".h", ".cpp", ".in"))
    for path in files:
        folder = path.relative_to(host).parts[0]
        if folder not in LAYERS:
            problems.append(f"{path}: the folder '{folder}' has no layer")
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            if match.group(1) in standins:
                problems.append(f"{path}:{number}: includes the stand-in's header {match.group(1)}")
                continue
            target = match.group(1).split("/")[0]
            if "/" not in match.group(1) or target not in LAYERS or not (host / match.group(1)).exists():
                continue  # the driver's headers and generated ones
            if target == folder or LAYERS[target] < LAYERS[folder] or (folder, target) in ALLOWED_SIDEWAYS:
                continue
            problems.append(f"{path}:{number}: {folder}/ includes {match.group(1)}, which is not below it")
    problems += floor_cycles(host, files)
    for problem in problems:
        print(problem)
    print(f"{len(files)} files checked, {len(problems)} includes out of layer")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[2]))
