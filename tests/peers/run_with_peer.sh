#!/usr/bin/env bash
# Runs one test program with the UDP test controller beside it:
#   run_with_peer.sh <runner> <program> [args...]
# The controller's ports reach the program as CORVANE_PEER_PORT and
# CORVANE_PEER_CONTROL. Its output goes to a file (shown when the test fails), so it
# never holds ctest's output pipe open; it is stopped when the program ends and stops
# by itself after its lifetime in any case.
set -u
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
python3 "$here/udp_controller.py" --port 0 --port-file "$work/ports" --lifetime 600 \
  >"$work/peer.log" 2>&1 </dev/null &
peer=$!
for _ in $(seq 100); do
  [ -f "$work/ports" ] && break
  sleep 0.05
done
if [ ! -f "$work/ports" ]; then
  echo "run_with_peer: the test controller did not start" >&2
  cat "$work/peer.log" >&2
  kill "$peer" 2>/dev/null
  rm -rf "$work"
  exit 1
fi
CORVANE_PEER_PORT="$(sed -n 's/^PORT=//p' "$work/ports")"
CORVANE_PEER_CONTROL="$(sed -n 's/^CONTROL=//p' "$work/ports")"
CORVANE_PEER_DIR="$work"
export CORVANE_PEER_PORT CORVANE_PEER_CONTROL CORVANE_PEER_DIR
"$@"
rc=$?
kill "$peer" 2>/dev/null
wait "$peer" 2>/dev/null
if [ $rc -ne 0 ]; then
  echo "--- test controller log" >&2
  tail -n 40 "$work/peer.log" >&2
fi
rm -rf "$work"
exit $rc
