#!/usr/bin/env python3
"""The closing lines of `make test`: one per target, then the total.

Reads, for each preset given, the ctest output that scripts/test.sh kept
(build/PRESET/ctest.log) and the GoogleTest XML results the test programs
wrote (build/PRESET/test-results/*.xml). A program without XML (a script, a
plain program, one that was skipped or crashed) counts as one test with the
program's own result.

Exits 1 when a build or a test failed, when a target ran no test, or when a
test was skipped although i686 programs run natively here (then nothing needs
skipping: wine and the i686 programs run). Whether they do is the runner's
answer (cmake/run-built.sh), which FIXDCS_NO_I686=1 turns to no.
"""
import glob
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

CTEST_LINE = re.compile(r"Test\s+#\d+: (\S+) \.*\s*(?:\*\*\*)?([A-Za-z][A-Za-z ]*?)(?::.*?)?\s+[\d.]+ sec")
RUNNER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cmake", "run-built.sh")


def no_i686_reason():
    """Why the Windows programs are skipped here, as the runner says it; empty where they run."""
    probe = subprocess.run([RUNNER, "--i686-native"], stdout=subprocess.PIPE, universal_newlines=True)
    if probe.returncode == 0:
        return ""
    return "%s, so 32-bit wine cannot run here and the i686 programs run under qemu-i386" % probe.stdout.strip()


def gtest_counts(path):
    """(passed, failed, skipped) of one GoogleTest XML file, or None if unreadable."""
    try:
        root = ET.parse(path).getroot()
    except (ET.ParseError, OSError):
        return None
    passed = failed = skipped = 0
    # dcshost test's own report (the examples) marks a waived failure, a known
    # deficiency the example means to show, as skipped: the example passes with it.
    waivers = root.get("name") == "dcshost test"
    for case in root.iter("testcase"):
        if case.find("failure") is not None or case.find("error") is not None:
            failed += 1
        elif not waivers and (case.get("result") == "skipped" or case.find("skipped") is not None or
                              case.get("status") == "notrun"):
            skipped += 1
        else:
            passed += 1
    return passed, failed, skipped


def summarise(preset, reason):
    """(line, failed?, skipped count) for one target."""
    folder = os.path.join("build", preset)
    if os.path.exists(os.path.join(folder, "build-failed")):
        return "%s: build failed (see %s/build.log)" % (preset, folder), True, (0, 0, 0)
    try:
        with open(os.path.join(folder, "ctest.log"), encoding="utf-8", errors="replace") as f:
            programs = CTEST_LINE.findall(f.read())
    except OSError:
        return "%s: no test was run" % preset, True, (0, 0, 0)
    results = {os.path.splitext(os.path.basename(p))[0]: gtest_counts(p)
               for p in glob.glob(os.path.join(folder, "test-results", "*.xml"))}
    passed = failed = skipped = 0
    program_counts = {"Passed": 0, "Failed": 0, "Skipped": 0}
    for name, status in programs:
        kind = status if status in ("Passed", "Skipped") else "Failed"
        program_counts[kind] += 1
        counts = results.get(name)
        if counts is None or kind == "Skipped":
            counts = (kind == "Passed", kind == "Failed", kind == "Skipped")
        elif kind == "Failed" and counts[1] == 0:
            counts = (counts[0], 1, counts[2])  # the program failed after its tests passed
        passed, failed, skipped = passed + counts[0], failed + counts[1], skipped + counts[2]
    line = "%s: %d programs (%d passed, %d failed, %d skipped), %d tests: %d passed, %d failed, %d skipped" % (
        preset, len(programs), program_counts["Passed"], program_counts["Failed"], program_counts["Skipped"],
        passed + failed + skipped, passed, failed, skipped)
    if skipped and reason:
        line += " (skipped: %s)" % reason
    return line, failed > 0 or not programs, (passed, failed, skipped)


def main():
    presets = sys.argv[1:]
    reason = no_i686_reason()
    runs_i686 = not reason
    print("\n== summary (%s)" % ("this kernel executes i686 programs: nothing may be skipped" if runs_i686
                                 else reason))
    bad = False
    total = [0, 0, 0]
    for preset in presets:
        line, failed, counts = summarise(preset, reason)
        print(line)
        if counts[2] and runs_i686:
            print("%s: %d skipped although this kernel executes i686 programs: that fails the run" %
                  (preset, counts[2]))
            failed = True
        bad = bad or failed
        total = [t + c for t, c in zip(total, counts)]
    print("total: %d passed, %d failed, %d skipped" % tuple(total))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
