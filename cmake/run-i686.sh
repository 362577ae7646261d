#!/usr/bin/env bash
# Runs an i686 Linux program: directly where the kernel executes 32-bit
# programs, otherwise under qemu's user-mode emulator.
set -u
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  exec "$@"
fi
if command -v qemu-i386 >/dev/null 2>&1; then
  # Tells programs that measure the process (resident memory, time) that they
  # measure the emulator too, and programs that start programs of this build
  # (dcshost test, the tests of dcshost as a program) to start them under it.
  export FIXDCS_EMULATED=qemu-i386
  exec qemu-i386 -L / "$@"
fi
echo "run-i686: this machine cannot execute i686 programs and has no qemu-i386" >&2
exit 1
