#!/bin/bash
# Leak check of the real program over many window generations: runs
# prallwerk-render-bench --generations N (each generation a new window, GL
# context, font and light, ended by the screen-mode toggle; the last one by
# Escape) under valgrind, with the libraries' own lifetime allocations
# suppressed, and fails when anything is still lost. It takes about a minute
# on a software renderer, so it is run by hand, on a display:
#
#   xvfb-run -a -s "-screen 0 1280x1024x24" tests/e2e/generations_leak_check.sh build/tools/prallwerk-render-bench [N]
set -u
bench=$1
generations=${2:-10}
here=$(dirname "$0")
log=$(mktemp)
trap 'rm -f "$log"' EXIT
valgrind --leak-check=full --keep-debuginfo=yes --num-callers=40 --errors-for-leak-kinds=definite,indirect,possible \
    --suppressions="$here/driver_leaks.supp" --log-file="$log" "$bench" --generations "$generations" 2>/dev/null
status=$?
grep -E "definitely lost:|indirectly lost:|possibly lost:|still reachable:|ERROR SUMMARY" "$log" | sed 's/^==[0-9]*== *//'
[ "$status" = 0 ] || { echo "FAIL: exit status $status" >&2; exit 1; }
if grep -qE "(definitely|indirectly|possibly) lost: [1-9]" "$log"; then
    grep -A40 "are definitely lost\|are indirectly lost\|are possibly lost" "$log" >&2
    echo "FAIL: memory lost" >&2
    exit 1
fi
echo "PASS: nothing lost over $generations window generations"
