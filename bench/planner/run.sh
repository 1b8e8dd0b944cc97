#!/usr/bin/env bash
# Planner speed on relief (1M lines) and contour programs from the shared bench data
# generator, plus the built-in short-chord and 65,000-segment inputs: an unsanitized
# host build, then the Windows build under Wine.
#   bench/planner/run.sh [FILE...]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"
jobs=4

# Warnings stay warnings here: GCC flags a false restrict overlap in the optimised core.
cmake -S . -B build/bench-host -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_SANITIZE=OFF -DCORVANE_WERROR=OFF >/dev/null
cmake --build build/bench-host -j "$jobs" --target planner_bench >/dev/null
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null 2>&1
cmake --build build/win -j "$jobs" --target planner_bench >/dev/null

work="$root/build/bench"
mkdir -p "$work"
files=("$@")
if [ ${#files[@]} -eq 0 ]; then
  gen=""
  for dir in "$root/.." "$root/../.."; do
    if [ -f "$dir/shared/bench-data/gen_gcode.py" ]; then gen="$dir/shared/bench-data/gen_gcode.py"; break; fi
  done
  if [ -n "$gen" ]; then
    for input in "relief 1000000" "contour 300000"; do
      set -- $input
      file="$work/$1-$2.nc"
      [ -s "$file" ] || python3 "$gen" "$1" "$2" > "$file"
      files+=("$file")
    done
  fi
fi

echo "== host (Release, no sanitizers)"
"$root/build/bench-host/bench/planner/planner_bench" "${files[@]}"
echo "== Windows build under Wine"
winfiles=()
for f in "${files[@]}"; do winfiles+=("Z:$(echo "$f" | tr / '\\')"); done
"$root/scripts/wine-run.sh" "$root/build/win/bench/planner/planner_bench.exe" "${winfiles[@]}"
