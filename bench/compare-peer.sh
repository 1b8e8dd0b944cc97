#!/usr/bin/env bash
# G-code load speed against a peer: our loader (the Windows nc_load under Wine) and the
# npm package gcode-toolpath (version 3, under node), each on one core, on the same
# generated programs. Prints lines per second of both and our lead as a ratio.
#
# usage: bench/compare-peer.sh [CORE [RUNS]]
#   CORE: the CPU both run on (default 0).
#   RUNS: runs of each program per file, alternating; the fastest counts (default 3), so
#         that a busy machine disturbs the figures less.
# The inputs (gen_gcode.py relief 1000000, contour 300000, cycles 200000) and the peer
# go to build/bench; the Windows build must exist (scripts/test.sh makes it).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
core="${1:-0}"
runs="${2:-3}"
work="$root/build/bench"
mkdir -p "$work"

# The generator lives in the shared folder beside the tree (or beside the worktrees).
gen=""
for dir in "$root/.." "$root/../.."; do
  if [ -f "$dir/shared/bench-data/gen_gcode.py" ]; then gen="$dir/shared/bench-data/gen_gcode.py"; break; fi
done
[ -n "$gen" ] || { echo "compare-peer: shared/bench-data/gen_gcode.py not found" >&2; exit 1; }

inputs=("relief 1000000" "contour 300000" "cycles 200000")
files=()
for input in "${inputs[@]}"; do
  set -- $input
  file="$work/$1-$2.nc"
  [ -s "$file" ] || python3 "$gen" "$1" "$2" > "$file"
  files+=("$file")
done

# Ours: the Windows program.
cmake --build "$root/build/win" --target nc_load >/dev/null
exe="$root/build/win/bench/nc_load/nc_load.exe"
source "$root/scripts/wine-env.sh"
unset DISPLAY
corvane_prefix 1
corvane_server_start || true  # one may be running already
trap corvane_server_stop EXIT

# The peer, installed into the build folder with npm.
peer="$work/peer"
if [ ! -d "$peer/node_modules/gcode-toolpath" ]; then
  mkdir -p "$peer"
  npm install --prefix "$peer" --no-audit --no-fund --silent gcode-toolpath@3 >/dev/null
fi
cat > "$peer/load.js" <<'EOF'
// Loads each file with loadFromStringSync and counting callbacks; prints seconds.
const fs = require('fs');
const Toolpath = require('gcode-toolpath');
for (const file of process.argv.slice(2)) {
  const text = fs.readFileSync(file, 'utf8');
  let lines = 0, arcs = 0;
  const toolpath = new Toolpath({ addLine: () => { lines++; }, addArcCurve: () => { arcs++; } });
  const start = process.hrtime.bigint();
  toolpath.loadFromStringSync(text, () => {});
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  console.log(`seconds=${seconds.toFixed(3)} moves=${lines} arcs=${arcs}`);
}
EOF

field() { sed -n "s/.*\\b$1=\\([^ ]*\\).*/\\1/p"; }

fastest() { sort -g | head -1; }

printf "%-22s %10s %14s %14s %7s\n" file lines ours_lines_s peer_lines_s ratio
for file in "${files[@]}"; do
  lines=$(wc -l < "$file")
  windows_path="Z:$(echo "$file" | tr / '\\')"
  ours_all=""
  theirs_all=""
  for ((run = 0; run < runs; run++)); do
    ours_all+="$( (taskset -c "$core" "$root/scripts/wine-run.sh" "$exe" "$windows_path" 2>/dev/null || true) | field seconds)"$'\n'
    theirs_all+="$(cd "$peer" && taskset -c "$core" node load.js "$file" | field seconds)"$'\n'
  done
  ours=$(printf "%s" "$ours_all" | fastest)
  theirs=$(printf "%s" "$theirs_all" | fastest)
  awk -v f="$(basename "$file")" -v n="$lines" -v a="$ours" -v b="$theirs" 'BEGIN {
    printf "%-22s %10d %14.0f %14.0f %7.2f\n", f, n, n / a, n / b, b / a }'
done
