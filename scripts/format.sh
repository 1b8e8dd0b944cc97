#!/usr/bin/env bash
# Formats the C++ sources with the tree's .clang-format; --check only reports the files
# that differ and fails when there are any.
#   format.sh [--check] [FILE...]   (default: every tracked .cpp and .h)
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
check=0
if [ "${1:-}" = "--check" ]; then check=1; shift; fi
if [ $# -eq 0 ]; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
else
  files=("$@")
fi
command -v clang-format >/dev/null || { echo "format: clang-format is missing" >&2; exit 1; }
if [ $check -eq 0 ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
bad=0
for f in "${files[@]}"; do
  if ! clang-format --dry-run -Werror "$f" >/dev/null 2>&1; then
    echo "format: $f is not formatted (scripts/format.sh $f)"
    bad=1
  fi
done
exit $bad
