#!/usr/bin/env bash
# Static checks of the driver library: clang-tidy over its sources (with the
# linux-x64 build's compile commands) and cppcheck. Exits non-zero on a finding.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/linux-x64
sources=$(find dcs -name '*.cpp' | sort)
clang-tidy -p "$build" --quiet --warnings-as-errors='*' $sources
cppcheck --quiet --error-exitcode=1 --std=c++17 --language=c++ --enable=warning,performance,portability \
  --inline-suppr --suppress=missingIncludeSystem -I dcs $sources
echo "lint: clean"
