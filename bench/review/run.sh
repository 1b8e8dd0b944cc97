#!/usr/bin/env bash
# The reviews' benchmark on a G-code relief of about a million moves (the shared bench
# data generator), in the Windows build under Wine.
#   bench/review/run.sh [file]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null 2>&1
cmake --build build/win -j 4 --target review_bench >/dev/null

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
file="${1:-}"
if [ -z "$file" ]; then
  gen="$root/../shared/bench-data/gen_gcode.py"
  [ -f "$gen" ] || gen="$root/../../shared/bench-data/gen_gcode.py"
  file="$tmp/relief.nc"
  python3 "$gen" relief 1000000 1 > "$file"
fi
(cd "$tmp" && "$root/scripts/wine-run.sh" "$root/build/win/bench/review/review_bench.exe" "$(winepath -w "$file" 2>/dev/null || echo "Z:${file//\//\\}")")
