#!/usr/bin/env bash
# Starts a program this build made, as this machine can run it. Every test,
# script and toolchain that starts a built program starts it through here:
#
#   run-built.sh PROGRAM [ARGS...]   runs PROGRAM with ARGS
#   run-built.sh --i686-native       exits 0 where i686 programs run natively
#                                    (and so 32-bit wine); where they do not,
#                                    prints why and exits 1
#
# The program's own header says what it is:
#   x86-64 Linux (or a script)  run as it is;
#   i686 Linux                  run directly where the kernel executes i686
#                               programs, otherwise under qemu-i386;
#   Windows (PE)                run under wine (32-bit, with a prefix that also
#                               runs 64-bit programs where wine64 is installed),
#                               the prefix kept in the build tree beside the
#                               program's folder and wine's chatter off; where the kernel cannot
#                               execute i686 programs wine cannot start, and the
#                               program is reported as skipped (exit 77).
#
# FIXDCS_NO_I686=1 makes a machine that executes i686 programs behave as one
# that cannot: i686 programs through qemu-i386, Windows programs skipped.
set -u

no_i686_reason() {
  if [ "${FIXDCS_NO_I686:-}" = 1 ]; then
    echo "FIXDCS_NO_I686=1 is set: run as on a machine whose kernel cannot execute i686 programs"
  elif ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    echo "this kernel cannot execute i686 programs"
  fi
}

if [ "${1:-}" = "--i686-native" ]; then
  reason=$(no_i686_reason)
  [ -z "$reason" ] && exit 0
  echo "$reason"
  exit 1
fi
if [ $# -eq 0 ]; then
  echo "usage: run-built.sh PROGRAM [ARGS...] | --i686-native" >&2
  exit 2
fi

program="$1"
magic=$(head -c 5 -- "$program" 2>/dev/null | od -An -tx1 | tr -d ' \n')
case "$magic" in
  7f454c4601)  # ELF, 32-bit
    reason=$(no_i686_reason)
    [ -z "$reason" ] && exec "$@"
    if command -v qemu-i386 >/dev/null 2>&1; then
      # Tells programs that measure the process (resident memory, time) that
      # they measure the emulator too (FIXDCS_EMULATED), and dcshost and the
      # tests that start it to start their children under it (dcshost's own
      # DCSHOST_LAUNCHER, with the emulator's library root in QEMU_LD_PREFIX).
      export FIXDCS_EMULATED=qemu-i386 DCSHOST_LAUNCHER=qemu-i386 QEMU_LD_PREFIX=/
      exec qemu-i386 -L / "$@"
    fi
    echo "run-built: $reason, and qemu-i386 is not installed (run scripts/setup.sh)" >&2
    exit 1
    ;;
  4d5a*)  # MZ: a Windows program
    reason=$(no_i686_reason)
    if [ -n "$reason" ]; then
      echo "run-built: SKIPPED: $reason, so 32-bit wine cannot run here" >&2
      exit 77
    fi
    if ! command -v wine >/dev/null 2>&1; then
      echo "run-built: wine is not installed (run scripts/setup.sh)" >&2
      exit 1
    fi
    bindir=$(cd "$(dirname "$program")" && pwd)
    # With wine64 beside 32-bit wine the prefix runs both word sizes (WoW64),
    # so that dcshost.exe can start the 64-bit FMU worker; the programs say so
    # to the tests through FIXDCS_WINE_WOW64.
    if [ -x /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null 2>&1; then
      export WINEPREFIX="${WINEPREFIX:-$bindir/../wineprefix-wow64}" WINEARCH=win64 FIXDCS_WINE_WOW64=1
    else
      export WINEPREFIX="${WINEPREFIX:-$bindir/../wineprefix}" WINEARCH=win32
    fi
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wineboot --init >/dev/null 2>&1
      wineserver -w
    fi
    shift
    cd "$bindir" && exec wine "$bindir/$(basename "$program")" "$@"
    ;;
  *)
    exec "$@"
    ;;
esac
