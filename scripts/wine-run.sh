#!/usr/bin/env bash
# Runs one Windows program under Wine (ctest's cross-compiling emulator).
# A crash under Wine may exit 0 or 5 at random, so a test whose stderr reports an
# unhandled exception fails here whatever its exit status.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
unset DISPLAY
corvane_prefix 1
# Its stderr goes to a file, shown afterwards: a process Wine starts on the program's
# behalf (the desktop's explorer.exe, on the first window of a server session) keeps
# the program's stderr for as long as the session lasts, and a pipe read to its end
# would then hold this script long after the program exited.
err="$(mktemp)"
corvane_wine "$@" 2>"$err"
rc=$?
cat "$err" >&2
if grep -qE "Unhandled (exception|page fault)" "$err"; then
  echo "wine-run: the program crashed" >&2
  [ $rc -eq 0 ] && rc=3
fi
rm -f "$err"
exit $rc
