#!/usr/bin/env bash
# Writes examples/fmu-tank/tank.fmu: the test tank FMU's binaries from the
# three targets' builds (run `make build` first), stripped, beside its model
# description, zipped as a tool exports an FMU. Rerun it when tests/fmu/tank
# changes; the test example_fmu_test says when the example's FMU is stale.
set -euo pipefail
cd "$(dirname "$0")/.."
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp tests/fmu/tank/modelDescription.xml "$stage/"
for target in linux-x64:linux64:so:strip linux-x86:linux32:so:strip windows-x86:win32:dll:i686-w64-mingw32-strip; do
  IFS=: read -r preset platform extension strip <<<"$target"
  built="build/$preset/fmu/tank/binaries/$platform/tank.$extension"
  [ -f "$built" ] || { echo "example-fmu: no $built: build $preset first (make build)" >&2; exit 1; }
  mkdir -p "$stage/binaries/$platform"
  cp "$built" "$stage/binaries/$platform/"
  "$strip" "$stage/binaries/$platform/tank.$extension"
done
out="$PWD/examples/fmu-tank/tank.fmu"
(cd "$stage" && cmake -E tar cf "$out" --format=zip modelDescription.xml binaries)
echo "example-fmu: wrote $out"
