#!/bin/bash
# Runs the real program on the X display of the environment (xvfb-run gives
# one) and drives it as a user would, with xdotool.
#
#   program_e2e.sh windowed|fullscreen|fullscreen_refused PROGRAM WINDOW_PROBE
#
# windowed: No to the start question; a 1024 x 768 window titled Prallwerk
# shows the scene; F8 loads the next scene; Space held starts it, the focus
# moves to another window before Space is let go, and when it comes back
# Space stops the scene, which it could not if it had stayed down; Space
# sets it moving again, and a screenshot then shows the grid, the lit
# bodies, both panels, the white texts and the seven coloured rows of the
# body table; Escape ends the program with status 0.
# fullscreen: Yes on a display that offers 1024 x 768 x 32: no message, the
# window covers the display, Escape ends the program with status 0.
# fullscreen_refused: Yes on a display that keeps another mode (Xvfb at
# 1280 x 1024): the mode-switch message comes before any window, and after OK
# the program runs windowed and ends with status 0 on Escape.
set -u
mode=$1
program=$2
probe=$3
timeoutMs=10000
pid=

. "$(dirname "$0")/e2e_lib.sh"

"$program" &
pid=$!

question=$("$probe" find 'Start FullScreen?' $timeoutMs) || fail "no start question"

case $mode in
windowed)
    press "$question" Escape
    ;;
fullscreen)
    press "$question" Return
    ;;
fullscreen_refused)
    press "$question" Return
    box=$("$probe" find Error $timeoutMs) || fail "no mode-switch message"
    "$probe" find Prallwerk 0 >/dev/null && fail "window shown before the mode-switch message was answered"
    press "$box" Return
    ;;
*)
    fail "unknown mode"
    ;;
esac

window=$("$probe" find Prallwerk $timeoutMs) || fail "no window titled Prallwerk"
size=$("$probe" size "$window")
[ "$size" = 1024x768 ] || fail "client area is $size, not 1024x768"
"$probe" wait-drawn Prallwerk $timeoutMs >/dev/null || fail "nothing drawn"
if [ "$mode" = fullscreen ]; then
    "$probe" find Error 0 >/dev/null && fail "the mode switch was refused"
fi

if [ "$mode" = windowed ]; then
    before=$("$probe" hash "$window") || fail "cannot read the window"
    press "$window" F8
    "$probe" wait-change "$window" "$before" $timeoutMs || fail "F8 did not change the scene"
    paused=$("$probe" hash "$window")
    sleep 0.3
    [ "$("$probe" hash "$window")" = "$paused" ] || fail "the scene moves before Space"
    xdotool keydown space
    "$probe" wait-change "$window" "$paused" $timeoutMs || fail "Space did not start the simulation"
    # The X server's root window takes the focus: no window manager, no
    # other program needed. SDL waits a moment before it believes a focus
    # change. With the focus on the root, X gives the keys to the window
    # under the pointer, so the pointer leaves the window first (the screen
    # is larger than it): otherwise Space's release, and whatever a loaded
    # machine holds it down for, still reach the program.
    xdotool mousemove 1279 1023
    xdotool windowfocus "$(xdotool search --maxdepth 0 --name '')"
    sleep 0.5
    xdotool keyup space
    measure_quiet "$window"
    press "$window" space
    paused=$("$probe" wait-stable "$window" "$quiet_ms" $timeoutMs) ||
        fail "Space did not stop the scene: it stayed down after the focus moved away"
    press "$window" space
    "$probe" wait-change "$window" "$paused" $timeoutMs || fail "Space did not start the simulation"
    "$probe" check-scene "$window" || fail "the scene or the HUD is not drawn"
fi

press "$window" Escape
await_clean_exit
echo "PASS ($mode)"
