#!/usr/bin/env bash
# Runs one Windows program under Wine (ctest's cross-compiling emulator).
# A crash under Wine may exit 0 or 5 at random, so a test whose stderr reports an
# unhandled exception fails here whatever its exit status.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
unset DISPLAY
corvane_prefix 1
err="$(mktemp)"
corvane_wine "$@" 2> >(tee "$err" >&2)
rc=$?
wait $! 2>/dev/null
if grep -qE "Unhandled (exception|page fault)" "$err"; then
  echo "wine-run: the program crashed" >&2
  [ $rc -eq 0 ] && rc=3
fi
rm -f "$err"
exit $rc
