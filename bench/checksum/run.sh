#!/usr/bin/env bash
# Checksum throughput on one file: an unsanitized host build (beside md5sum and zlib as
# whole processes) and the Windows build under Wine.
#   bench/checksum/run.sh [file]
# Without a file, a G-code relief program of about 60 MB is generated (the shared bench
# data generator), or 64 MB of pseudo-random bytes when the generator is not at hand.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"
jobs=4

cmake -S . -B build/bench-host -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_SANITIZE=OFF >/dev/null
cmake --build build/bench-host -j "$jobs" --target checksum_bench >/dev/null
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null 2>&1
cmake --build build/win -j "$jobs" --target checksum_bench >/dev/null

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
file="${1:-}"
gen="$root/../shared/bench-data/gen_gcode.py"
[ -f "$gen" ] || gen="$root/../../shared/bench-data/gen_gcode.py"
if [ -z "$file" ] && [ -f "$gen" ]; then
  file="$tmp/relief.nc"
  python3 "$gen" relief 2000000 1 > "$file"
fi

echo "== host (Release, no sanitizers)"
(cd "$tmp" && "$root/build/bench-host/bench/checksum/checksum_bench" "${file:--}")
echo "== Windows build under Wine"
(cd "$tmp" && "$root/scripts/wine-run.sh" "$root/build/win/bench/checksum/checksum_bench.exe" "${file:--}")
