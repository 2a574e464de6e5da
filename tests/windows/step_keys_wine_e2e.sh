#!/bin/bash
# The stepping keys in the Windows program under Wine: the walk of
# tests/e2e/step_keys_walk.sh, then the same walk in the Linux program on the
# same X server; both end in the same picture, square by square.
#
#   step_keys_wine_e2e.sh PROGRAM.exe WINDOW_PROBE_WIN32.exe WINDOW_PROBE LINUX_PROGRAM
#
# PRALLWERK_GUI_WINEPREFIX names the Wine prefix.
set -u
program=$1 winprobe=$2 probe=$3 linux=$4
timeoutMs=20000
pid=
pictures=$(mktemp -d)
. "$(dirname "$0")/wine_lib.sh"
fresh_wine
trap 'wineserver -k 2>/dev/null; rm -rf "$pictures"' EXIT
label="wine " mode="stepping keys"
. "$(dirname "$0")/../e2e/e2e_lib.sh"
. "$(dirname "$0")/../e2e/step_keys_walk.sh"

wine "$program" &
pid=$!
question=$("$probe" find 'Start FullScreen?' $timeoutMs) || fail "no start question"
press "$question" n  # Wine's box takes Escape as Cancel, which counts as Yes
window=$("$probe" find Prallwerk $timeoutMs) || fail "no window titled Prallwerk"
"$probe" wait-drawn Prallwerk $timeoutMs >/dev/null || fail "nothing drawn"
client=$(wine "$winprobe" area 2>/dev/null | tr -d '\r') || fail "no client area"
IFS=, read -r x y _ <<<"$client"
walk_by_hand "$window" "$x" "$y" "$pictures/windows.ppm"
press "$window" Escape
await_clean_exit 10

"$(dirname "$0")/../e2e/step_keys_e2e.sh" "$linux" "$probe" "$pictures/linux.ppm" >/dev/null ||
    fail "the Linux program's walk failed"
"$probe" compare "$pictures/linux.ppm" "$pictures/windows.ppm" 32 16 || fail "the two walks end in other pictures"
echo "PASS (wine stepping keys)"
