#!/usr/bin/env bash
# Builds the Windows programs and starts Corvane under Wine. Without a display it
# starts Xvfb and tells where; look at it with scripts/screenshot.sh.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/scripts/deps.sh" run || exit 1
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null || exit 1
cmake --build build/win -j "$(nproc)" || exit 1
exe="$root/build/win/console/Corvane.exe"
if [ ! -f "$exe" ]; then
  echo "run.sh: Corvane is not built yet; this build holds its foundation and tests only." >&2
  exit 1
fi
export CORVANE_WINE_PREFIX="$root/build/win/wineprefix-gui"
source "$root/scripts/wine-env.sh"
if [ -z "${DISPLAY:-}" ]; then
  Xvfb :77 -screen 0 1280x1024x24 >/dev/null 2>&1 &
  export DISPLAY=:77
  echo "run.sh: no display; Corvane runs on Xvfb $DISPLAY"
fi
corvane_prefix 0
corvane_wine explorer /desktop=Corvane,1200x900 "$exe"
