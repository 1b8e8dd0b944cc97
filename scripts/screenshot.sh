#!/usr/bin/env bash
# Runs a Windows program under Xvfb inside a Wine desktop and writes a PNG of the
# screen after a while.
# usage: screenshot.sh OUT.png WAIT_SECONDS PROGRAM.exe [ARGS...]
# The run uses its own prefix (the graphics driver is chosen per server session), with
# the Chinese font and Wine's caption-button font installed.
set -uo pipefail
if [ $# -lt 3 ]; then
  echo "usage: $0 OUT.png WAIT_SECONDS PROGRAM.exe [ARGS...]" >&2
  exit 2
fi
out="$1"; wait_s="$2"; exe="$3"; shift 3
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh" shot || exit 1

export CORVANE_WINE_PREFIX="${CORVANE_SHOT_PREFIX:-$root/build/win/wineprefix-shot}"
source "$root/scripts/wine-env.sh"

# A free display number.
disp=77
while [ -e "/tmp/.X11-unix/X$disp" ] || [ -e "/tmp/.X$disp-lock" ]; do disp=$((disp + 1)); done
Xvfb ":$disp" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
wine_pid=""
cleanup() {
  [ -n "$wine_pid" ] && kill "$wine_pid" 2>/dev/null
  DISPLAY=":$disp" "$WINESERVER" -k >/dev/null 2>&1
  kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT
export DISPLAY=":$disp"
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$disp" ] && break; sleep 0.1; done

corvane_prefix 0 || exit 1
fonts="$WINEPREFIX/drive_c/windows/Fonts"
mkdir -p "$fonts"
for f in /usr/share/fonts/truetype/wine/marlett.ttf /usr/share/wine/fonts/marlett.ttf; do
  [ -f "$f" ] && cp -n "$f" "$fonts/"
done
for f in /usr/share/fonts/truetype/wqy/wqy-microhei.ttc; do
  [ -f "$f" ] && cp -n "$f" "$fonts/"
done

# Chinese texts need a font that has them: the dialog and caption fonts of a Chinese
# system fall back to WenQuanYi here (this prefix only).
subst='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
repl='HKCU\Software\Wine\Fonts\Replacements'
corvane_wine reg add "$subst" /v "MS Sans Serif" /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
for name in SimSun NSimSun "宋体" "Microsoft YaHei"; do
  corvane_wine reg add "$repl" /v "$name" /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
done

winexe="$(corvane_wine winepath -w "$(readlink -f "$exe")" 2>/dev/null)"
corvane_wine explorer /desktop=shot,1024x768 "$winexe" "$@" >/dev/null 2>&1 &
wine_pid=$!
sleep "$wait_s"
import -window root -display ":$disp" "$out" || xwd -root -display ":$disp" | convert xwd:- "$out"
echo "screenshot: $out"
