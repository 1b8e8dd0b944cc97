#!/usr/bin/env bash
# Frames per second over each link with the frame protocol on top, against the test
# controllers: UDP loopback, then the serial pty with wire-time emulation at 38400 and
# 115200 baud. Needs the Windows build (build/win).
#   usage: bench/link/run.sh [udp frames] [serial frames]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
exe="$root/build/win/bench/link/link_bench.exe"
[ -f "$exe" ] || { echo "run.sh: build link_bench first (cmake --build build/win --target link_bench)" >&2; exit 1; }
udp_frames="${1:-5000}"
serial_frames="${2:-300}"
"$root/tests/peers/run_with_peer.sh" "$root/scripts/wine-run.sh" "$exe" udp "$udp_frames"
for baud in 38400 115200; do
  "$root/tests/peers/run_with_serial_peer.sh" --baud "$baud" "$root/scripts/wine-run.sh" "$exe" serial "$baud" \
    "$serial_frames"
done
