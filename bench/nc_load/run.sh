#!/usr/bin/env bash
# The NC load benchmark on its five inputs, each file in a process of its own (so that the
# memory figure is that file's peak): the Windows nc_load under Wine, then the host one
# (build/host-bench: optimised, without the sanitizers).
#
# usage: bench/nc_load/run.sh [RUNS]
#   RUNS: timed rounds per file (default 5); the figures are medians.
# Inputs go to build/bench: gen_gcode.py relief 1000000, contour 300000, cycles 200000 and
# hpgl 1000000 (from the shared folder beside the tree), gen_cam.py 500000.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
runs="${1:-5}"
work="$root/build/bench"
mkdir -p "$work"

gen=""
for dir in "$root/.." "$root/../.."; do
  if [ -f "$dir/shared/bench-data/gen_gcode.py" ]; then gen="$dir/shared/bench-data/gen_gcode.py"; break; fi
done
[ -n "$gen" ] || { echo "run.sh: shared/bench-data/gen_gcode.py not found" >&2; exit 1; }

files=()
for input in "relief 1000000" "contour 300000" "cycles 200000" "hpgl 1000000"; do
  set -- $input
  file="$work/$1-$2.nc"
  [ -s "$file" ] || python3 "$gen" "$1" "$2" > "$file"
  files+=("$file")
done
cam="$work/cam-500000.cf"
[ -s "$cam" ] || python3 "$root/bench/nc_load/gen_cam.py" 500000 > "$cam"
files+=("$cam")

cmake --build "$root/build/win" --target nc_load >/dev/null
cmake -S "$root" -B "$root/build/host-bench" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_SANITIZE=OFF >/dev/null
cmake --build "$root/build/host-bench" --target nc_load >/dev/null
source "$root/scripts/wine-env.sh"
unset DISPLAY
corvane_prefix 1
corvane_server_start || true  # one may be running already
trap corvane_server_stop EXIT

echo "== Windows build under Wine"
for file in "${files[@]}"; do
  "$root/scripts/wine-run.sh" "$root/build/win/bench/nc_load/nc_load.exe" --runs "$runs" "Z:$(echo "$file" | tr / '\\')"
done
echo "== host build"
for file in "${files[@]}"; do
  "$root/build/host-bench/bench/nc_load/nc_load" --runs "$runs" "$file"
done
