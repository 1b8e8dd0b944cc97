#!/usr/bin/env bash
# One job end to end through Mardrive.exe: frames/s and segments/s over UDP loopback
# (a carving with about a tag mark a frame, then a stored job with a tag every 100
# records) and over the serial pty with wire-time emulation at 115200 baud, each against
# the link's ceilings measured in the same run, and the time from Start to the first
# frame; then the engine's peak memory planning jobs of 1M and 10M records, the backlog
# in the spill FIFO (some minutes: the processing thread yields 10 ms every 400
# records). Needs the Windows build (cmake --build build/win --target engine_bench).
#   usage: bench/engine/run.sh [udp tags] [serial tags] [records...]
# (udp tags, serial tags: the carving's pockets)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
win="$root/build/win"
driver="$win/tests/e2e/e2e_driver.exe"
engine="$win/bin/Mardrive.exe"
link="$win/bench/link/link_bench.exe"
for f in "$driver" "$engine" "$link"; do
  [ -f "$f" ] || { echo "run.sh: build engine_bench first (cmake --build build/win --target engine_bench)" >&2; exit 1; }
done
udp_tags="${1:-200}"
serial_tags="${2:-60}"
shift $(( $# < 2 ? $# : 2 ))
records=("${@:-1000000 10000000}")
bench=(python3 "$root/bench/engine/engine_bench.py" --driver "$driver" --engine "$engine" --link-bench "$link")
source "$root/scripts/wine-env.sh"
corvane_prefix 1
corvane_server_start
trap corvane_server_stop EXIT
"${bench[@]}" udp --tags "$udp_tags"
"${bench[@]}" udp --job-records 20000
"$root/tests/peers/run_with_serial_peer.sh" --baud 115200 "${bench[@]}" serial --tags "$serial_tags" --baud 115200
"${bench[@]}" memory --records ${records[*]}
