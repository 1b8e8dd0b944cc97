#!/usr/bin/env bash
# Builds both builds and runs every test:
#  - build/host: the portable modules with the host compiler under ASan/UBSan;
#  - build/win:  the Windows programs and all tests, run under Wine (code page 936).
# Installs what is missing with apt-get first.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
jobs="$(nproc 2>/dev/null || echo 2)"

"$root/scripts/deps.sh" test || exit 1
"$root/scripts/format.sh" --check || exit 1

cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
cmake --build build/host -j "$jobs" || exit 1
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null || exit 1
cmake --build build/win -j "$jobs" || exit 1

echo "== host tests (ASan/UBSan)"
ASAN_OPTIONS=detect_leaks=0 ctest --test-dir build/host --output-on-failure -j "$jobs"
host_rc=$?

echo "== Windows tests (Wine)"
source "$root/scripts/wine-env.sh"
unset DISPLAY
corvane_prefix 1
corvane_server_start
trap corvane_server_stop EXIT
ctest --test-dir build/win --output-on-failure -j "$jobs"
win_rc=$?

[ $host_rc -eq 0 ] && [ $win_rc -eq 0 ]
