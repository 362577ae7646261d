#!/usr/bin/env bash
# make package: Release builds of the three targets packed by CPack into
# dist/ (fixdcs-VERSION-TARGET.zip or .tar.gz) with SHA256SUMS over them.
# Each archive is then unpacked and checked: the driver at its top carries the
# version in the archive's name (its binary interface checked too), and the
# unpacked dcshost runs the tank example given a Unix path (Windows under
# wine, where this kernel executes i686 programs; otherwise said so).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}
presets=(linux-x64 linux-x86 windows-x86)
version=$(sed -n 's/^project(fixdcs VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package: no version in CMakeLists.txt" >&2; exit 1; }

rm -rf dist
mkdir -p dist
for preset in "${presets[@]}"; do
  dir=build/release-$preset
  log=$dir/package.log
  mkdir -p "$dir"
  echo "== $preset: Release build and package"
  if ! { cmake --preset "$preset" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON &&
         cmake --build "$dir" -j "$JOBS" --target package_contents &&
         (cd "$dir" && cpack -B "$root/$dir/cpack"); } >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "package: $preset failed (whole log: $log)" >&2
    exit 1
  fi
  cp "$dir"/cpack/fixdcs-"$version"-"$preset".* dist/
done
(cd dist && sha256sum fixdcs-* > SHA256SUMS)

runner=$root/cmake/run-built.sh
check=build/package-check
rm -rf "$check"
for preset in "${presets[@]}"; do
  unpacked=$check/$preset
  mkdir -p "$unpacked"
  case $preset in
    windows-x86) archive=dist/fixdcs-$version-$preset.zip; python3 -m zipfile -e "$archive" "$unpacked"
                 driver=fixdcs.dll; program=dcshost.exe; workers="dcshost-fmu-win32.exe dcshost-fmu-win64.exe" ;;
    *)           archive=dist/fixdcs-$version-$preset.tar.gz; tar -xzf "$archive" -C "$unpacked"
                 driver=libfixdcs.so; program=dcshost; workers="dcshost-fmu-linux32 dcshost-fmu-linux64" ;;
  esac
  for f in "$driver" INSTALL.txt "dcshost/$program" "dcshost/$driver" dcshost/examples/tank/tank.toml \
           $(printf 'dcshost/%s ' $workers); do
    [ -e "$unpacked/$f" ] || { echo "package: $archive lacks $f" >&2; exit 1; }
  done
  python3 tests/binary/check_binary.py --version "$version" "$unpacked/$driver" >"$unpacked.binary.txt" ||
    { cat "$unpacked.binary.txt"; echo "package: $archive: the driver's binary interface or version is wrong" >&2; exit 1; }
  chmod +x "$unpacked/dcshost/$program"
  tank=$root/$unpacked/dcshost/examples/tank/tank.toml
  # The runner keeps wine's prefix beside the program's folder, in the check tree.
  status=0
  "$runner" "$root/$unpacked/dcshost/$program" run "$tank" --no-progress >"$unpacked.run.txt" 2>&1 || status=$?
  if [ "$status" -eq 77 ]; then
    echo "$archive: SKIPPED running $program: $(sed -n 's/^run-built: SKIPPED: //p' "$unpacked.run.txt")"
    continue
  fi
  if [ "$status" -ne 0 ] || ! grep -qE "expectations: [0-9]+ passed, 0 failed" "$unpacked.run.txt"; then
    cat "$unpacked.run.txt"
    echo "package: $archive: the unpacked dcshost did not run the tank example" >&2
    exit 1
  fi
  echo "$archive: the driver carries version $version; the unpacked dcshost ran the tank example and met its expectations"
done
cat dist/SHA256SUMS
