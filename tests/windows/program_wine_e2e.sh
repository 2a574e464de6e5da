#!/bin/bash
# Runs the Windows program under Wine on the X display of the environment
# (xvfb-run gives one) and drives it as a user would, with xdotool.
#
#   program_wine_e2e.sh MODE PROGRAM.exe WINDOW_PROBE_WIN32.exe WINDOW_PROBE
#
# windowed (1280 x 1024): No to the start question (the N key: Wine's box
# takes Escape as Cancel, which counts as Yes); a framed window with a
# 1024 x 768 client area; F8 loads the next scene, Space sets it moving, and
# the picture then shows the grid, the lit bodies, both panels, the white
# texts and the seven coloured rows of the body table; Escape ends the
# program with status 0.
# fullscreen_refused (1280 x 1024, which Xvfb cannot leave): Yes; the
# mode-switch message comes before any window, and after OK the program runs
# in a framed window of 1024 x 768 outside; Escape, status 0.
# fullscreen (1024 x 768): Yes; no message, a borderless topmost window
# covering the screen; Escape, status 0.
# toggle (1024 x 768): Yes; scene 2 set moving and paused in full-screen;
# another program posts toggleScreenMode: a framed window (which Windows
# keeps inside the screen, so its client area is smaller than 1024 x 768);
# the second toggle brings a full-screen window again that shows exactly the
# paused picture of before; Space moves it; the third toggle brings a framed
# window in which the scene goes on moving. Escape, status 0.
#
# PRALLWERK_GUI_WINEPREFIX names the Wine prefix; the run has a Wine server
# of its own, on its own display.
set -u
[ -n "${E2E_TRACE:-}" ] && set -x
mode=$1
program=$2
winprobe=$3
probe=$4
timeoutMs=20000
pid=

export WINEDEBUG=-all
[ -n "${PRALLWERK_GUI_WINEPREFIX:-}" ] && export WINEPREFIX="$PRALLWERK_GUI_WINEPREFIX"
wineserver -k 2>/dev/null
trap 'wineserver -k 2>/dev/null' EXIT

label="wine "
. "$(dirname "$0")/../e2e/e2e_lib.sh"

# The program's window as Windows sees it (console output ends in CR LF).
win() { wine "$winprobe" "$@" 2>/dev/null | tr -d '\r'; }

# The X window of the program's window and, for the pixel checks, its client
# area inside Wine's own frame.
find_window() {
    window=$("$probe" find Prallwerk $timeoutMs) || fail "no window titled Prallwerk"
    "$probe" wait-drawn Prallwerk $timeoutMs >/dev/null || fail "nothing drawn"
    area="$window:$(win area)"
}

# Waits for a window titled Prallwerk other than the X window given.
new_window() {
    for _ in $(seq 400); do
        w=$("$probe" find Prallwerk 0) && [ "$w" != "$1" ] && { echo "$w"; return 0; }
        sleep 0.05
    done
    return 1
}

wine "$program" &
pid=$!

question=$("$probe" find 'Start FullScreen?' $timeoutMs) || fail "no start question"

case $mode in
windowed)
    press "$question" n
    ;;
fullscreen | toggle)
    press "$question" y
    ;;
fullscreen_refused)
    press "$question" y
    box=$("$probe" find Error $timeoutMs) || fail "no mode-switch message"
    "$probe" find Prallwerk 0 >/dev/null && fail "window shown before the mode-switch message was answered"
    press "$box" Return
    ;;
*)
    fail "unknown mode"
    ;;
esac

find_window
case $mode in
windowed)
    [ "$(win style)" = overlapped ] || fail "the window is not framed"
    [ "$(win client)" = 1024x768 ] || fail "client area is $(win client), not 1024x768"
    ;;
fullscreen | toggle)
    "$probe" find Error 0 >/dev/null && fail "the mode switch was refused"
    [ "$(win style)" = popup ] || fail "the full-screen window is not borderless and topmost"
    [ "$(win screen)" = covers ] || fail "the full-screen window does not cover the screen"
    ;;
fullscreen_refused)
    [ "$(win style)" = overlapped ] || fail "the window is not framed"
    [ "$("$probe" size "$window")" = 1024x768 ] || fail "the window is $("$probe" size "$window") outside, not 1024x768"
    ;;
esac

if [ "$mode" = windowed ]; then
    before=$("$probe" hash "$area") || fail "cannot read the window"
    press "$window" F8
    "$probe" wait-change "$area" "$before" $timeoutMs || fail "F8 did not change the scene"
    paused=$("$probe" hash "$area")
    sleep 0.3
    [ "$("$probe" hash "$area")" = "$paused" ] || fail "the scene moves before Space"
    press "$window" space
    "$probe" wait-change "$area" "$paused" $timeoutMs || fail "Space did not start the simulation"
    "$probe" check-scene "$area" || fail "the scene or the HUD is not drawn"
fi

if [ "$mode" = toggle ]; then
    press "$window" F8
    before=$("$probe" wait-stable "$area" 300 $timeoutMs) || fail "no rest after F8"
    press "$window" space
    "$probe" wait-change "$area" "$before" $timeoutMs || fail "Space did not start the scene"
    press "$window" space
    paused=$("$probe" wait-stable "$area" 300 $timeoutMs) || fail "Space did not stop the scene"

    win toggle || fail "cannot post toggleScreenMode"
    window=$(new_window "$window") || fail "no new window after the first toggle"
    find_window
    [ "$(win style)" = overlapped ] || fail "the window after the first toggle is not framed"

    win toggle || fail "cannot post the second toggleScreenMode"
    window=$(new_window "$window") || fail "no new window after the second toggle"
    find_window
    [ "$(win style)" = popup ] || fail "the window after the second toggle is not full-screen"
    [ "$(win screen)" = covers ] || fail "the full-screen window does not cover the screen"
    shown=$("$probe" wait-stable "$area" 300 $timeoutMs) || fail "the full-screen window does not come to rest"
    [ "$shown" = "$paused" ] || fail "the full-screen window shows another state than before the toggles"

    press "$window" space
    "$probe" wait-change "$area" "$shown" $timeoutMs || fail "Space did not start the scene again"
    win toggle || fail "cannot post the third toggleScreenMode"
    window=$(new_window "$window") || fail "no new window after the third toggle"
    find_window
    [ "$(win style)" = overlapped ] || fail "the window after the third toggle is not framed"
    first=$("$probe" hash "$area") || fail "cannot read the window"
    "$probe" wait-change "$area" "$first" $timeoutMs || fail "the scene stopped with the toggle"
fi

press "$window" Escape
await_clean_exit 10
echo "PASS (wine $mode)"
