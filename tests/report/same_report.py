#!/usr/bin/env python3
"""Two reports of one suite, written by dcshost on two platforms, are the same
once what must differ is masked: the dates they were written, the durations,
the program's own path on the command line, and the path and SHA-256 of each
platform's own binaries (the driver and FIX's libraries). Every other byte of
every page, loop sheet, trend, results.json and JUnit file must match.
    same_report.py REFERENCE_FOLDER OTHER_FOLDER"""
import os
import re
import subprocess
import sys

RUNNER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "cmake", "run-built.sh")

MASKS = [
    (re.compile(rb"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ"), b"DATE"),
    (re.compile(rb'time="[0-9.e+-]+"'), b'time="T"'),
    (re.compile(rb"<code>\S+ (test|run) "), rb"<code>DCSHOST \1 "),
    # A case's verdicts go to a file in its suite's private temporary folder.
    (re.compile(rb"--verdicts \S+"), rb"--verdicts VERDICTS"),
    # A platform's own binary: its label kept, its path and hash masked.
    (re.compile(rb'<tr><td>(the driver|FIX: [A-Za-z0-9]+|FMU [^<]*: its binary)</td><td>[^<]*</td>'
                rb'<td class="hash">[0-9a-f]{64}</td></tr>'),
     rb'<tr><td>\1</td><td>BINARY</td><td class="hash">HASH</td></tr>'),
]


def files(folder):
    found = set()
    for root, _, names in os.walk(folder):
        for name in names:
            found.add(os.path.relpath(os.path.join(root, name), folder).replace(os.sep, "/"))
    return found


def masked(path):
    with open(path, "rb") as f:
        data = f.read()
    for pattern, replacement in MASKS:
        data = pattern.sub(replacement, data)
    return data.split(b"\n")


def main(reference, other):
    probe = subprocess.run([RUNNER, "--i686-native"], stdout=subprocess.PIPE, universal_newlines=True)
    if probe.returncode != 0:  # dcshost.exe did not run, so there is no Windows report to compare
        print("same_report: SKIPPED: %s, so 32-bit wine cannot run here" % probe.stdout.strip())
        return 77
    for folder in (reference, other):
        if not os.path.isfile(os.path.join(folder, "index.html")):
            sys.exit("same_report: no report in %s (the other platform's examples_test writes it: "
                     "make test-linux-x64 first)" % folder)
    ours, theirs = files(reference), files(other)
    problems = ["only in %s: %s" % (reference, name) for name in sorted(ours - theirs)]
    problems += ["only in %s: %s" % (other, name) for name in sorted(theirs - ours)]
    for name in sorted(ours & theirs):
        a, b = masked(os.path.join(reference, name)), masked(os.path.join(other, name))
        if a != b:
            line = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
            show = lambda lines: lines[line][:300].decode("utf-8", "replace") if line < len(lines) else "(ended)"
            problems.append("%s:%d differs:\n  %s\n  %s" % (name, line + 1, show(a), show(b)))
    print("compared %d files of %s with %s" % (len(ours & theirs), other, reference))
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
