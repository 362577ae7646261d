#!/usr/bin/env bash
# Mutation testing of the driver: one small change at a time to a copy of
# dcs/ (an operator, a constant, a condition negated, a statement deleted),
# each built (linux-x64 settings, in build/mutate) and run against the suite.
# Prints one line per mutant and the share killed; the table is left in
# build/mutate/results.tsv. Exit status 1 below 95 % killed. Not part of CI:
# it builds once per mutant: about 4 s each, half an hour for 420 on two cores.
#   scripts/mutate.sh [--list] [--only FILE[:LINE]] [--again RESULTS] [--resume] [--limit N]
#   (MUTANTS=420, JOBS=2; MUTATE_RESULTS names the table in build/mutate)
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 scripts/mutate.py "$@"
