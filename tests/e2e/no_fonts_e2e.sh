#!/bin/bash
# Message boxes that cannot be shown still reach the user: on an X server
# without its core fonts (started with -fp built-ins) SDL cannot draw a box.
#
#   no_fonts_e2e.sh PROGRAM WINDOW_PROBE
#
# The start question and, with the full-screen mode refused on a 1280 x 1024
# screen, the mode-switch message each come as one line on standard error
# with SDL's reason; the unanswered question counts as Yes, the refused
# switch falls back to a window, and Escape ends the program with status 0.
set -u
program=$1
probe=$2
mode="no fonts"
pid=
err=$(mktemp)
trap 'rm -f "$err"' EXIT
show_stderr() {
    echo "standard error was:" >&2
    cat "$err" >&2
}
fail_hook=show_stderr
. "$(dirname "$0")/e2e_lib.sh"

"$program" 2>"$err" &
pid=$!

window=$("$probe" find Prallwerk 10000) || fail "no window titled Prallwerk"
"$probe" wait-drawn Prallwerk 10000 >/dev/null || fail "nothing drawn"
grep -qx 'prallwerk: Start FullScreen?: Would You Like To Run In Fullscreen Mode? (no message box: .*[^ ].*)' "$err" ||
    fail "the start question was not said on standard error"
grep -qx 'prallwerk: Error: Mode Switch Failed. Running In Windowed Mode. (no message box: .*[^ ].*)' "$err" ||
    fail "the mode-switch message was not said on standard error"
[ "$("$probe" style "$window")" = overlapped ] || fail "the refused full-screen mode did not fall back to a window"

press "$window" Escape 0.1
await_clean_exit
echo "PASS (no fonts)"
