#!/usr/bin/env bash
# The soak run (make soak): the driver built as shipped for x86-64 Linux, a
# full-capacity case stepped STEPS times (1,000,000 by default); exits
# non-zero unless allocations, live blocks, Text objects, FIX groups and
# resident memory stay flat from the 1000th step to the last.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
STEPS=${STEPS:-1000000}
cmake --preset linux-x64 -B build/h6-soak >/dev/null
cmake --build build/h6-soak -j "${JOBS:-2}" --target soak fixdcs
build/h6-soak/bin/soak "$STEPS"
