#!/usr/bin/env bash
# Installs what the three build targets need on a Debian machine: the native and
# multilib compilers, the mingw-w64 cross compiler, wine (32-bit) to run the
# Windows tests, headless Chromium for the report's browser test, and the
# tools the build calls. Installs only what is missing.
#
# It survives a mirror that is syncing: `apt-get update` is retried, an index
# that still cannot be fetched is reported and tolerated, and the 32-bit (i386)
# packages, which must carry the same version as their amd64 twins, fall back to
# the release's own suite when the security suite's i386 index is missing. The
# other packages keep their security updates. A failure that remains names the
# packages that could not be had and apt's reason.
set -euo pipefail

# Installed with the candidates apt picks, security updates included.
need=(cmake make ninja-build g++ gcc-multilib g++-multilib g++-mingw-w64-i686 googletest
      binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 qemu-user python3 clang-tidy clang-format cppcheck
      libcli11-dev libtomlplusplus-dev nlohmann-json3-dev libbenchmark-dev valgrind clang libclang-rt-14-dev gcovr
      librsvg2-bin chromium fonts-dejavu-core)
# Packages with i386 parts: each i386 package must match its amd64 twin's version.
# wine64 beside wine32 makes a prefix that runs 64-bit and 32-bit programs (WoW64).
need_i386=(wine wine32:i386 wine64)

missing_of() {
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      echo "$p"
    fi
  done
}

mapfile -t missing < <(missing_of "${need[@]}")
mapfile -t missing_i386 < <(missing_of "${need_i386[@]}")
[ ${#missing[@]} -eq 0 ] && [ ${#missing_i386[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
trap 'rm -f "$log"' EXIT

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
echo "setup: installing ${missing[*]} ${missing_i386[*]}"

# apt-get update, up to three times; an index that still fails is reported and
# the install goes on with the lists apt has.
update_failed=0
for attempt in 1 2 3; do
  if $SUDO apt-get update -qq >"$log" 2>&1; then
    update_failed=0
    break
  fi
  update_failed=1
  [ "$attempt" -lt 3 ] && sleep $((attempt * 5))
done
if [ "$update_failed" -eq 1 ]; then
  echo "setup: apt-get update failed three times; going on with the package lists apt has." >&2
  grep -E '^(E|W): ' "$log" | grep -v 'Some index files failed' | sed 's/^/setup:   /' >&2 || true
fi

# Installs the given packages with any extra apt options before them; on failure
# apt's own explanation is kept in $log.
install() {
  $SUDO apt-get install -y -qq --no-install-recommends "$@" >"$log" 2>&1
}

# Says which packages could not be had and why, from apt's last output.
report_failure() {
  echo "setup: could not install: $*" >&2
  grep -E '^( [^ ].*: |E: |  +Depends: )' "$log" | sed 's/^/setup:   /' >&2 || true
  exit 100
}

if [ ${#missing[@]} -gt 0 ]; then
  install "${missing[@]}" || report_failure "${missing[@]}"
fi

if [ ${#missing_i386[@]} -gt 0 ] && ! install "${missing_i386[@]}"; then
  # A twin pair split across suites (amd64 from the security suite, i386 only
  # from the release) cannot be resolved: take this group from the release's
  # own suite, where both architectures carry the same versions.
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || report_failure "${missing_i386[@]}"
  echo "setup: ${missing_i386[*]} could not be resolved with the security suite's candidates;" \
       "taking them from $codename, where amd64 and i386 versions match." >&2
  install -t "$codename" "${missing_i386[@]}" || report_failure "${missing_i386[@]}"
fi
echo "setup: done"
