#!/bin/bash
# Instant key taps reach the program: each `xdotool key space` sends the key
# down and up at once, with no frame in between.
#
#   taps_e2e.sh PROGRAM WINDOW_PROBE TAPS
#
# Answers No to the start question, loads scene 2 with F8, then taps Space
# TAPS times. Every odd tap must set the scene moving (the picture changes)
# and every even one must stop it (the picture comes to rest). A lost tap
# leaves the scene in the wrong state and fails within ten seconds.
# Prints how many taps were sent and how many were lost.
set -u
program=$1
probe=$2
taps=$3
timeoutMs=10000
mode=taps
pid=
. "$(dirname "$0")/e2e_lib.sh"

"$program" &
pid=$!

question=$("$probe" find 'Start FullScreen?' $timeoutMs) || fail "no start question"
timeout 5 xdotool windowfocus --sync "$question" || fail "cannot focus the question"
xdotool key Escape
window=$("$probe" find Prallwerk $timeoutMs) || fail "no window titled Prallwerk"
"$probe" wait-drawn Prallwerk $timeoutMs >/dev/null || fail "nothing drawn"
timeout 5 xdotool windowfocus --sync "$window" || fail "cannot focus the window"
xdotool key F8
paused=$("$probe" wait-stable "$window" 300 $timeoutMs) || fail "the scene does not come to rest after F8"

for tap in $(seq "$taps"); do
    xdotool key space
    if [ $((tap % 2)) = 1 ]; then
        "$probe" wait-change "$window" "$paused" $timeoutMs || fail "tap $tap of $taps lost: Space did not start the scene"
        measure_quiet "$window"
    else
        paused=$("$probe" wait-stable "$window" "$quiet_ms" $timeoutMs) ||
            fail "tap $tap of $taps lost: Space did not stop the scene"
    fi
done

xdotool key Escape
await_clean_exit
echo "PASS (taps): $taps taps sent, 0 lost"
