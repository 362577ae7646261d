#!/usr/bin/env bash
# Installs what the three build targets need on a Debian machine: the native and
# multilib compilers, the mingw-w64 cross compiler, wine (32-bit) to run the
# Windows tests, and the tools the build calls. Installs only what is missing.
set -euo pipefail

need=(cmake make ninja-build g++ gcc-multilib g++-multilib g++-mingw-w64-i686 googletest
      binutils-mingw-w64-i686 wine wine32:i386 qemu-user python3 clang-tidy cppcheck
      libcli11-dev libtomlplusplus-dev libbenchmark-dev valgrind clang libclang-rt-14-dev gcovr librsvg2-bin)

missing=()
for p in "${need[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
echo "setup: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
