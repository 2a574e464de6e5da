#!/bin/bash
# The stepping keys in the real program: the walk of step_keys_walk.sh on
# the Linux program, then Escape ends it with status 0. The picture where
# the walk ends goes to PICTURE when one is named.
#
#   step_keys_e2e.sh PROGRAM WINDOW_PROBE [PICTURE]
set -u
program=$1
probe=$2
timeoutMs=10000
mode="stepping keys"
pid=
. "$(dirname "$0")/e2e_lib.sh"
. "$(dirname "$0")/step_keys_walk.sh"
if [ $# -ge 3 ]; then
    picture=$3
else
    picture=$(mktemp)
    trap 'rm -f "$picture"' EXIT
fi

"$program" &
pid=$!

question=$("$probe" find 'Start FullScreen?' $timeoutMs) || fail "no start question"
press "$question" Escape
window=$("$probe" find Prallwerk $timeoutMs) || fail "no window titled Prallwerk"
"$probe" wait-drawn Prallwerk $timeoutMs >/dev/null || fail "nothing drawn"
walk_by_hand "$window" 0 0 "$picture"

press "$window" Escape
await_clean_exit
echo "PASS (stepping keys)"
