#!/usr/bin/env bash
# Installs with apt-get what the build, the tests or the GUI run need and is missing.
# usage: deps.sh test|run|shot
set -euo pipefail
want=(cmake ninja-build python3 g++ googletest clang-format g++-mingw-w64-x86-64-posix wine64 locales socat)
case "${1:-test}" in
  test) ;;
  run|shot) want+=(xvfb x11-apps imagemagick fonts-wqy-microhei fonts-wine) ;;
  *) echo "usage: $0 test|run|shot" >&2; exit 2 ;;
esac
missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "deps: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
