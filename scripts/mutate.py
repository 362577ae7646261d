#!/usr/bin/env python3
# Mutation testing of the driver (scripts/mutate.sh runs it): makes one small
# change at a time to a copy of dcs/ (an operator, a constant, a condition
# negated, a statement deleted), builds the copy's linux-x64 configuration,
# runs the suite and records whether a test failed (killed) or none did
# (survived). Mutants that do not build are counted apart. Never touches the
# working tree: the copy lives in the mutation build folder.
#   scripts/mutate.py [--list] [--only FILE[:LINE]] [--again RESULTS] [--limit N]
# --again reruns the mutants that survived in an earlier results table.
import argparse
import os
import re
import resource
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORK = os.path.join(ROOT, "build", "mutate")
SRC = os.path.join(WORK, "src")
BUILD = os.path.join(WORK, "build")
RESULTS = os.path.join(WORK, os.environ.get("MUTATE_RESULTS", "results.tsv"))

# The driver's files that every target builds. The Windows-only heap routing
# and the version resource are not built on Linux; math_error.cpp is one call.
SOURCES = [
    "dcs/datadef/access.cpp", "dcs/datadef/access.h", "dcs/datadef/declarations.cpp",
    "dcs/driver/entry_points.cpp", "dcs/driver/row_limits.cpp",
    "dcs/exchange/converters.cpp", "dcs/exchange/converters.h", "dcs/exchange/initialization.cpp",
    "dcs/exchange/simulation_step.cpp", "dcs/fix/configuration.cpp", "dcs/fix/point_errors.cpp",
    "dcs/platform/fix.cpp", "dcs/platform/fix.h", "dcs/platform/host.cpp",
]

# Operators, each a (name, pattern, replacement) applied to one occurrence.
OPERATORS = [
    ("==", r"(?<![=!<>])==(?!=)", "!="),
    ("!=", r"!=", "=="),
    ("<=", r"(?<!<)<=", "<"),
    (">=", r"(?<!>)>=", ">"),
    ("<", r"(?<![<\w:])\s<\s(?!=)", " <= "),
    (">", r"(?<![>\-\w:])\s>\s(?!=)", " >= "),
    ("&&", r"&&", "||"),
    ("||", r"\|\|", "&&"),
    ("+", r"(?<=\w|\))\s\+\s(?=[\w(])", " - "),
    ("-", r"(?<=\w|\))\s-\s(?=[\w(])", " + "),
    ("*", r"(?<=\w|\))\s\*\s(?=[\w(])", " / "),
    ("++", r"\+\+", "--"),
    ("true", r"\btrue\b", "false"),
    ("false", r"\bfalse\b", "true"),
]
INTEGER = re.compile(r"(?<![\w.])(\d+)(?![\w.])")
FLOATING = re.compile(r"(?<![\w.])(\d+\.\d+)(F?)(?![\w.])")
CONDITION = re.compile(r"^(\s*(?:\}\s*else\s+)?if\s*\()(.*)(\)\s*\{?\s*)$")
STATEMENT = re.compile(r"^\s*(?:[\w:.\[\]\->()]+\s*(?:=|\+=|-=)\s*.+|[\w:.\->]+\(.*\)|return\s+.+|continue|break);\s*$")
SKIP = re.compile(r"^\s*(#|//|static_assert|namespace|using|\}|$)")


def code_part(line):
    """The line without a trailing comment, string and character literals
    blanked (same length, so that positions match the line)."""
    out, quote = [], None
    i = 0
    while i < len(line):
        c = line[i]
        if quote is None and line.startswith("//", i):
            break
        if c in "\"'" and (i == 0 or line[i - 1] != "\\"):
            quote = c if quote is None else (None if quote == c else quote)
            out.append(c)
        else:
            out.append(" " if quote is not None else c)
        i += 1
    return "".join(out)


def mutants_of(path, lines):
    """Every mutant of a file: (line number, operator, mutated line)."""
    found = []
    for number, line in enumerate(lines, 1):
        if SKIP.match(line) or "constexpr const char*" in line or "NOLINT" in line or "_KEY(" in line:
            continue
        code = code_part(line)
        for name, pattern, replacement in OPERATORS:
            for match in re.finditer(pattern, code):
                found.append((number, name, line[:match.start()] + replacement + line[match.end():]))
        for match in FLOATING.finditer(code):
            value = float(match.group(1))
            for other in ([1.0] if value == 0.0 else [0.0, value * 10]):
                text = repr(other) + match.group(2)
                found.append((number, "constant", line[:match.start()] + text + line[match.end():]))
        for match in INTEGER.finditer(code):
            if FLOATING.search(code[max(0, match.start() - 8):match.end() + 8]):
                continue
            value = int(match.group(1))
            for other in ([1] if value == 0 else [value - 1, value + 1]):
                found.append((number, "constant", line[:match.start()] + str(other) + line[match.end():]))
        condition = CONDITION.match(line)
        if condition:
            found.append((number, "negate", f"{condition.group(1)}!({condition.group(2)}){condition.group(3)}"))
        if STATEMENT.match(code) and not re.match(r"^\s*(const|int|bool|float|double|auto|char|uint|int\d)", line):
            found.append((number, "delete", ""))
    return found


def limit_memory():
    # A mutant may loop allocating: no test program may take more than 2 GiB.
    resource.setrlimit(resource.RLIMIT_AS, (2 << 30, 2 << 30))


def run(command, cwd, timeout, limited=False):
    """Runs a command in a process group of its own; on timeout the whole
    group (the test program a mutant made loop included) is ended."""
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                               start_new_session=True, preexec_fn=limit_memory if limited else None)
    try:
        out, _ = process.communicate(timeout=timeout)
        return process.returncode, out
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        out, _ = process.communicate()
        return None, out or ""


def prepare(jobs):
    """A copy of the sources and its configured build, built once."""
    if os.path.isdir(SRC):
        shutil.rmtree(SRC)
    shutil.copytree(ROOT, SRC, ignore=shutil.ignore_patterns("build", ".git"))
    # The copy keeps the tree's times; a run ended during a mutant left
    # objects newer than them, built from the mutant. The driver's files are
    # made newer than any object, so that the first build rebuilds them.
    for path in SOURCES:
        os.utime(os.path.join(SRC, path))
    os.makedirs(BUILD, exist_ok=True)
    run(["cmake", "-S", SRC, "-B", BUILD, "-G", "Unix Makefiles", "-DCMAKE_BUILD_TYPE=RelWithDebInfo"], ROOT, 600)
    code, out = run(["cmake", "--build", BUILD, "-j", str(jobs)], ROOT, 1800)
    if code != 0:
        sys.exit("mutate: the unchanged copy does not build:\n" + out[-3000:])
    code, out = suite()
    if code != 0:
        sys.exit("mutate: the suite fails on the unchanged copy:\n" + out[-3000:])


def suite():
    # The whole suite but the soak test, whose 2000 full-capacity steps only
    # add time: every behaviour it checks is checked by a shorter test too.
    # A mutant that makes a test loop is killed after a minute (the suite
    # takes about a second).
    return run(["ctest", "--test-dir", BUILD, "-E", "^soak_short$", "--stop-on-failure"], ROOT, 60,
               limited=True)


def select(candidates, limit):
    """An even spread over the candidates, at most limit of them."""
    if limit <= 0 or len(candidates) <= limit:
        return candidates
    step = len(candidates) / limit
    return [candidates[int(i * step)] for i in range(limit)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--list", action="store_true", help="print the mutants and stop")
    parser.add_argument("--only", help="FILE or FILE:LINE")
    parser.add_argument("--again", help="rerun the survivors of this results table")
    parser.add_argument("--resume", action="store_true", help="keep the results table and run the rest")
    parser.add_argument("--limit", type=int, default=int(os.environ.get("MUTANTS", "420")))
    parser.add_argument("--jobs", type=int, default=int(os.environ.get("JOBS", "2")))
    args = parser.parse_args()

    candidates = []
    for path in SOURCES:
        with open(os.path.join(ROOT, path)) as f:
            lines = f.read().split("\n")
        for number, name, mutated in mutants_of(path, lines):
            candidates.append((path, number, name, lines[number - 1], mutated))
    if args.only:
        path, _, line = args.only.partition(":")
        candidates = [c for c in candidates if c[0] == path and (not line or c[1] == int(line))]
    chosen = select(candidates, args.limit)
    if args.again:
        with open(args.again) as f:
            survived = {tuple(row.split("\t")[1:6:1]) for row in f.read().splitlines()[1:]
                        if row.startswith("survived\t")}
        chosen = [c for c in candidates
                  if (c[0], str(c[1]), c[2], c[3].strip(), c[4].strip()) in survived]
    if args.list:
        for path, number, name, original, mutated in chosen:
            print(f"{path}:{number}: [{name}] {original.strip()}  =>  {mutated.strip() or '(deleted)'}")
        print(f"{len(chosen)} of {len(candidates)} candidates")
        return 0

    started = time.time()
    prepare(args.jobs)
    counts = {"killed": 0, "survived": 0, "no build": 0}
    # Resuming keeps the results of the mutants still chosen (a line that
    # changed since makes other mutants) and runs the rest.
    done, kept = set(), []
    keys = {(c[0], str(c[1]), c[2], c[3].strip(), c[4].strip()) for c in chosen}
    if args.resume and os.path.exists(RESULTS):
        with open(RESULTS) as f:
            for row in f.read().splitlines()[1:]:
                fields = row.split("\t")
                if tuple(fields[1:6]) in keys and tuple(fields[1:6]) not in done:
                    counts[fields[0]] += 1
                    done.add(tuple(fields[1:6]))
                    kept.append(row)
    with open(RESULTS, "w") as results:
        results.write("status\tfile\tline\toperator\toriginal\tmutated\n")
        results.writelines(row + "\n" for row in kept)
        for index, (path, number, name, original, mutated) in enumerate(chosen, 1):
            if (path, str(number), name, original.strip(), mutated.strip()) in done:
                continue
            target = os.path.join(SRC, path)
            with open(target) as f:
                pristine = f.read()
            lines = pristine.split("\n")
            lines[number - 1] = mutated
            with open(target, "w") as f:
                f.write("\n".join(lines))
            try:
                code, _ = run(["cmake", "--build", BUILD, "-j", str(args.jobs)], ROOT, 900)
                if code != 0:
                    status = "no build"
                else:
                    code, _ = suite()
                    status = "survived" if code == 0 else "killed"
            finally:
                with open(target, "w") as f:
                    f.write(pristine)
            counts[status] += 1
            results.write(f"{status}\t{path}\t{number}\t{name}\t{original.strip()}\t{mutated.strip()}\n")
            results.flush()
            print(f"[{index}/{len(chosen)}] {status:8} {path}:{number} [{name}] {mutated.strip() or '(deleted)'}",
                  flush=True)
    # Leave the copy built as it is in the tree.
    run(["cmake", "--build", BUILD, "-j", str(args.jobs)], ROOT, 900)
    built = counts["killed"] + counts["survived"]
    share = 100.0 * counts["killed"] / built if built else 0.0
    minutes = (time.time() - started) / 60
    print(f"mutate: {built} mutants built, {counts['killed']} killed, {counts['survived']} survived "
          f"({share:.1f} % killed), {counts['no build']} did not build; {minutes:.0f} min; {RESULTS}")
    return 0 if share >= 95.0 else 1


if __name__ == "__main__":
    sys.exit(main())
