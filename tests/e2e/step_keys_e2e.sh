#!/bin/bash
# The stepping keys: the walk of step_keys_walk.sh in the Linux program, then
# Escape ends it with status 0. Its last picture goes to PICTURE if named.
#
#   step_keys_e2e.sh PROGRAM WINDOW_PROBE [PICTURE]
set -u
program=$1 probe=$2 picture=${3:-/dev/null}
timeoutMs=10000
mode="stepping keys"
pid=
. "$(dirname "$0")/e2e_lib.sh"
. "$(dirname "$0")/step_keys_walk.sh"

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
