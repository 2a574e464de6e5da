#!/bin/bash
# The stepping keys in the Windows program under Wine: the walk of
# tests/e2e/step_keys_walk.sh, with its checks at every press, first on the
# Windows program and then on the Linux program on the same X server. The
# engine and the HUD's text are the same on both, so the pictures where the
# walk ends (a frame boundary after two impacts) match square by square.
#
#   step_keys_wine_e2e.sh PROGRAM.exe WINDOW_PROBE_WIN32.exe WINDOW_PROBE LINUX_PROGRAM
#
# PRALLWERK_GUI_WINEPREFIX names the Wine prefix.
set -u
program=$1
winprobe=$2
probe=$3
linux=$4
timeoutMs=20000
pid=
pictures=$(mktemp -d)

export WINEDEBUG=-all
[ -n "${PRALLWERK_GUI_WINEPREFIX:-}" ] && export WINEPREFIX="$PRALLWERK_GUI_WINEPREFIX"
wineserver -k 2>/dev/null
trap 'wineserver -k 2>/dev/null; rm -rf "$pictures"' EXIT

label="wine "
mode="stepping keys"
. "$(dirname "$0")/../e2e/e2e_lib.sh"
. "$(dirname "$0")/../e2e/step_keys_walk.sh"

wine "$program" &
pid=$!
question=$("$probe" find 'Start FullScreen?' $timeoutMs) || fail "no start question"
press "$question" n  # Wine's box takes Escape as Cancel, which counts as Yes
window=$("$probe" find Prallwerk $timeoutMs) || fail "no window titled Prallwerk"
"$probe" wait-drawn Prallwerk $timeoutMs >/dev/null || fail "nothing drawn"
# Where the client area sits inside Wine's own frame.
client=$(wine "$winprobe" area 2>/dev/null | tr -d '\r') || fail "no client area"
walk_by_hand "$window" "${client%%,*}" "$(echo "$client" | cut -d, -f2)" "$pictures/windows.ppm"
press "$window" Escape
await_clean_exit 10

"$(dirname "$0")/../e2e/step_keys_e2e.sh" "$linux" "$probe" "$pictures/linux.ppm" >/dev/null ||
    fail "the Linux program's walk failed"

"$probe" compare "$pictures/linux.ppm" "$pictures/windows.ppm" 32 16 ||
    fail "the Windows program's walk ends in another picture than the Linux program's"
echo "PASS (wine stepping keys)"
