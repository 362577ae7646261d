#!/usr/bin/env bash
# Runs an i686 Windows test program under wine, with the wine prefix kept in
# the build tree beside the program's folder and wine's own chatter off.
# 32-bit wine needs a kernel that executes i686 programs; where the kernel
# cannot, the test is reported as skipped (exit 77), not as passed.
set -u
exe="$1"
bindir=$(cd "$(dirname "$exe")" && pwd)
export WINEPREFIX="${WINEPREFIX:-$bindir/../wineprefix}"
export WINEDEBUG=-all
export WINEARCH=win32
export WINEDLLOVERRIDES="mscoree,mshtml="

if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo "run-wine: SKIPPED: this kernel cannot execute i686 programs, so 32-bit wine cannot run here" >&2
  exit 77
fi
if ! command -v wine >/dev/null 2>&1; then
  echo "run-wine: wine is not installed (run scripts/setup.sh)" >&2
  exit 1
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init >/dev/null 2>&1
  wineserver -w
fi
cd "$bindir" && exec wine "$@"
