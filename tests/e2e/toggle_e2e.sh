#!/bin/bash
# toggleScreenMode from another program: SIGUSR1 re-creates the window in the
# other screen mode and keeps the simulation as it was.
#
#   toggle_e2e.sh PROGRAM WINDOW_PROBE
#
# On a 1024 x 768 screen: No to the start question; F8 and Space set scene 2
# moving and Space stops it. kill -USR1 brings a new, full-screen window
# (borderless, topmost, covering the screen) showing exactly the picture of
# before: same scene, same time, same bodies, still paused. Space sets it
# moving again; a second kill -USR1 while it moves brings a windowed window
# in which the scene goes on moving with no key pressed. Escape ends the
# program with status 0.
set -u
program=$1
probe=$2
timeoutMs=10000
mode=toggle
pid=
. "$(dirname "$0")/e2e_lib.sh"

# Waits for a window titled Prallwerk other than the one given.
new_window() {
    for _ in $(seq 200); do
        w=$("$probe" find Prallwerk 0) && [ "$w" != "$1" ] && { echo "$w"; return 0; }
        sleep 0.05
    done
    return 1
}

"$program" &
pid=$!

question=$("$probe" find 'Start FullScreen?' $timeoutMs) || fail "no start question"
press "$question" Escape
windowed=$("$probe" find Prallwerk $timeoutMs) || fail "no window titled Prallwerk"
"$probe" wait-drawn Prallwerk $timeoutMs >/dev/null || fail "nothing drawn"
[ "$("$probe" style "$windowed")" = overlapped ] || fail "the first window is not windowed"

press "$windowed" F8
before=$("$probe" wait-stable "$windowed" 300 $timeoutMs) || fail "no rest after F8"
press "$windowed" space
"$probe" wait-change "$windowed" "$before" $timeoutMs || fail "Space did not start the scene"
measure_quiet "$windowed"
press "$windowed" space
paused=$("$probe" wait-stable "$windowed" "$quiet_ms" $timeoutMs) || fail "Space did not stop the scene"

kill -USR1 "$pid"
full=$(new_window "$windowed") || fail "no new window after the first SIGUSR1"
[ "$("$probe" style "$full")" = popup ] || fail "the new window is not full-screen"
[ "$("$probe" size "$full")" = 1024x768 ] || fail "the full-screen window is $("$probe" size "$full")"
"$probe" wait-drawn Prallwerk $timeoutMs >/dev/null || fail "nothing drawn in the full-screen window"
shown=$("$probe" wait-stable "$full" "$quiet_ms" $timeoutMs) || fail "the full-screen window does not come to rest"
[ "$shown" = "$paused" ] || fail "the full-screen window shows another state than before the toggle"

press "$full" space
"$probe" wait-change "$full" "$shown" $timeoutMs || fail "Space did not start the scene in full-screen"
kill -USR1 "$pid"
again=$(new_window "$full") || fail "no new window after the second SIGUSR1"
[ "$("$probe" style "$again")" = overlapped ] || fail "the window after the second toggle is not windowed"
[ "$("$probe" size "$again")" = 1024x768 ] || fail "the windowed client area is $("$probe" size "$again")"
first=$("$probe" hash "$again") || fail "cannot read the window"
"$probe" wait-change "$again" "$first" $timeoutMs || fail "the scene stopped with the toggle"

press "$again" Escape
await_clean_exit
echo "PASS (toggle)"
