#!/bin/bash
# Without a display the program says so in one line and fails at once.
set -u
program=$1
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
timeout 10 env -u DISPLAY -u WAYLAND_DISPLAY "$program" 2>"$errors"
status=$?
[ "$status" -ne 0 ] && [ "$status" -ne 124 ] || { echo "FAIL: exit status $status" >&2; exit 1; }
[ "$(wc -l <"$errors")" -eq 1 ] || { echo "FAIL: expected one line on stderr:" >&2; cat "$errors" >&2; exit 1; }
grep -q '^prallwerk: no display available' "$errors" || { echo "FAIL: unexpected message:" >&2; cat "$errors" >&2; exit 1; }
echo "PASS: $(cat "$errors")"
