#!/usr/bin/env bash
# Runs one test program with the serial test controller on a pty pair beside it:
#   run_with_serial_peer.sh [--preload LIB] [--baud N] <runner> <program> [args...]
# The controller's end is ttyB; ttyA becomes a free COM port (COM5..COM20) of the Wine
# prefix, named to the program as CORVANE_SERIAL_PORT. The controller's control port
# is CORVANE_PEER_CONTROL. With --preload the modem-line library answers the modem
# ioctls of the Wine process from the file CORVANE_MODEM_LINES ("CTS DSR" at start).
# The controller's output goes to a file (shown when the test fails).
set -u
here="$(cd "$(dirname "$0")" && pwd)"
preload=""
baud=0
while [ $# -gt 0 ]; do
  case "$1" in
    --preload) preload="$2"; shift 2 ;;
    --baud) baud="$2"; shift 2 ;;
    *) break ;;
  esac
done
source "$here/../../scripts/wine-env.sh"
corvane_prefix 1 || exit 1
work="$(mktemp -d)"
cleanup() {
  [ -n "${peer:-}" ] && kill "$peer" 2>/dev/null && wait "$peer" 2>/dev/null
  [ -n "${com:-}" ] && rm -f "$WINEPREFIX/dosdevices/$com"
  rm -rf "$work"
}
trap cleanup EXIT

# A COM number no other test holds: a lock per number, released when this script ends.
com=""
for n in $(seq 5 20); do
  exec {lockfd}>"$WINEPREFIX/.corvane-com$n.lock"
  if flock -n "$lockfd"; then
    com="com$n"
    break
  fi
  exec {lockfd}>&-
done
if [ -z "$com" ]; then
  echo "run_with_serial_peer: no free COM number" >&2
  exit 1
fi

python3 "$here/serial_controller.py" --dir "$work" --port-file "$work/ports" --baud "$baud" --lifetime 900 \
  --lines "$work/lines" \
  >"$work/peer.log" 2>&1 </dev/null &
peer=$!
for _ in $(seq 200); do
  [ -f "$work/ports" ] && break
  sleep 0.05
done
if [ ! -f "$work/ports" ]; then
  echo "run_with_serial_peer: the serial controller did not start" >&2
  cat "$work/peer.log" >&2
  exit 1
fi
echo "CTS DSR" >"$work/lines"
ln -sfn "$work/ttyA" "$WINEPREFIX/dosdevices/$com"
CORVANE_PEER_CONTROL="$(sed -n 's/^CONTROL=//p' "$work/ports")"
CORVANE_SERIAL_PORT="$(echo "$com" | tr a-z A-Z)"
CORVANE_MODEM_LINES="$work/lines"
CORVANE_PEER_DIR="$work"
export CORVANE_PEER_CONTROL CORVANE_SERIAL_PORT CORVANE_MODEM_LINES CORVANE_PEER_DIR
if [ -n "$preload" ]; then
  CORVANE_MODEM_PRELOAD=1 LD_PRELOAD="$preload" "$@"
else
  "$@"
fi
rc=$?
if [ $rc -ne 0 ]; then
  echo "--- serial controller log" >&2
  tail -n 40 "$work/peer.log" >&2
fi
exit $rc
