#!/bin/bash
# Runs the Windows program under Wine on the X display of the environment
# (xvfb-run gives one) and drives it as a user would, with xdotool.
#
#   program_wine_e2e.sh MODE PROGRAM.exe WINDOW_PROBE_WIN32.exe WINDOW_PROBE
#
# windowed (1280 x 1024): No to the start question (the N key: Wine's box
# takes Escape as Cancel, which counts as Yes); a framed window with a
# 1024 x 768 client area; a lone Alt opens no window menu that would eat the
# next key, so F8 then loads the next scene; Space let go while Alt is held
# comes up, so the next Space stops the scene again; Space sets it moving,
# and the picture then shows the grid, the lit bodies, both panels, the
# white texts and the seven coloured rows of the body table; Escape ends the
# program with status 0.
# fullscreen_refused (1280 x 1024, which Xvfb cannot leave): Yes; the
# mode-switch message comes before any window, and after OK the program runs
# in a framed window of 1024 x 768 outside; Escape, status 0.
# fullscreen (1024 x 768): Yes; no message, a borderless window covering the
# screen, not kept above other programs' windows; Escape, status 0.
# toggle (1024 x 768): Yes; scene 2 set moving and paused in full-screen;
# another program posts toggleScreenMode: a framed window (which Windows
# keeps inside the screen, so its client area is smaller than 1024 x 768);
# the second toggle brings a full-screen window again that shows exactly the
# paused picture of before; Space moves it; the third toggle brings a framed
# window in which the scene goes on moving. Escape, status 0.
# focus (1280 x 1024, the program in a Wine desktop of that size, where a
# mode switch is real): Yes; the display runs at 1024 x 768 under the
# full-screen window; Space held starts the scene, and before it is let go
# another program takes the foreground: the display is back at 1280 x 1024
# and the program minimised. Space comes up there; the taskbar's restore
# brings back 1024 x 768 and the window covering it, the scene moving; Space
# stops it, which it could not if it had stayed down. Escape, status 0.
# scene_file (1280 x 1024, SCENE_FILE given): the program started with a
# copy of SCENE_FILE whose name holds letters beyond ASCII (Windows path,
# passed through the wide command line); No; the file's scene paused, no
# message; Space sets it moving and the picture shows the scene and the HUD;
# R brings back exactly the picture it started with. Escape, status 0.
#
#   program_wine_e2e.sh scene_file PROGRAM.exe WINDOW_PROBE_WIN32.exe WINDOW_PROBE SCENE_FILE
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

. "$(dirname "$0")/wine_lib.sh"
fresh_wine
trap 'wineserver -k 2>/dev/null' EXIT
if [ "$mode" = focus ]; then
    # Every program of the prefix runs in the desktop "Default" of the
    # screen's size until the run ends.
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1 &&
        wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 ||
        { echo "FAIL (wine focus): cannot make a Wine desktop" >&2; exit 1; }
    # The desktop that came up with the server for reg is the screen's own:
    # a new server makes the program's.
    wineserver -k 2>/dev/null
    wineserver -w
    trap "wine reg delete 'HKCU\\Software\\Wine\\Explorer' /v Desktop /f >/dev/null 2>&1; wineserver -k 2>/dev/null" EXIT
fi

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

# Waits up to ten seconds until the probe's COMMAND prints VALUE.
await_win() {
    for _ in $(seq 50); do
        [ "$(win "$1")" = "$2" ] && return 0
        sleep 0.2
    done
    return 1
}

# Waits for a window titled Prallwerk other than the X window given.
new_window() {
    for _ in $(seq 400); do
        w=$("$probe" find Prallwerk 0) && [ "$w" != "$1" ] && { echo "$w"; return 0; }
        sleep 0.05
    done
    return 1
}

arguments=()
if [ "$mode" = scene_file ]; then
    scratch=$(mktemp -d)
    trap 'wineserver -k 2>/dev/null; rm -rf "$scratch"' EXIT
    sceneCopy="$scratch/Kugel auf WÃ¼rfel â¬.json"
    sceneCopy=$(printf '%b' "$sceneCopy")
    cp "$5" "$sceneCopy" || fail "cannot copy $5"
    # Wine turns the Unix command line into the wide one by the locale.
    export LC_ALL=C.UTF-8
    arguments=("$(winepath -w "$sceneCopy" 2>/dev/null)")
fi

wine "$program" "${arguments[@]}" &
pid=$!

question=$("$probe" find 'Start FullScreen?' $timeoutMs) || fail "no start question"

case $mode in
windowed | scene_file)
    press "$question" n
    ;;
fullscreen | toggle | focus)
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
windowed | scene_file)
    [ "$(win style)" = overlapped ] || fail "the window is not framed"
    [ "$(win client)" = 1024x768 ] || fail "client area is $(win client), not 1024x768"
    ;;
fullscreen | toggle | focus)
    "$probe" find Error 0 >/dev/null && fail "the mode switch was refused"
    [ "$(win style)" = popup ] || fail "the full-screen window is $(win style), not a borderless one beside others"
    [ "$(win screen)" = covers ] || fail "the full-screen window does not cover the screen"
    [ "$(win mode)" = 1024x768 ] || fail "the display runs at $(win mode), not 1024x768"
    ;;
fullscreen_refused)
    [ "$(win style)" = overlapped ] || fail "the window is not framed"
    [ "$("$probe" size "$window")" = 1024x768 ] || fail "the window is $("$probe" size "$window") outside, not 1024x768"
    ;;
esac

if [ "$mode" = windowed ]; then
    before=$("$probe" hash "$area") || fail "cannot read the window"
    press "$window" Alt_L
    press "$window" F8
    "$probe" wait-change "$area" "$before" $timeoutMs || fail "F8 after a lone Alt did not change the scene"
    paused=$("$probe" hash "$area")
    sleep 0.3
    [ "$("$probe" hash "$area")" = "$paused" ] || fail "the scene moves before Space"
    xdotool keydown space && sleep 0.2 && xdotool keydown Alt_L && xdotool keyup space && xdotool keyup Alt_L
    "$probe" wait-change "$area" "$paused" $timeoutMs || fail "Space did not start the simulation"
    measure_quiet "$area"
    press "$window" space
    paused=$("$probe" wait-stable "$area" "$quiet_ms" $timeoutMs) ||
        fail "Space did not stop the scene: the Space let go while Alt was held stayed down"
    press "$window" space
    "$probe" wait-change "$area" "$paused" $timeoutMs || fail "Space did not start the simulation"
    "$probe" check-scene "$area" || fail "the scene or the HUD is not drawn"
fi

if [ "$mode" = scene_file ]; then
    "$probe" find Error 0 >/dev/null && fail "the scene file was refused"
    first=$("$probe" wait-stable "$area" 300 $timeoutMs) || fail "the file's scene moves before Space"
    press "$window" space
    "$probe" wait-change "$area" "$first" $timeoutMs || fail "Space did not start the file's scene"
    measure_quiet "$area"
    "$probe" check-scene "$area" || fail "the scene or the HUD is not drawn"
    press "$window" r
    reloaded=$("$probe" wait-stable "$area" "$quiet_ms" $timeoutMs) || fail "R did not stop the scene"
    [ "$reloaded" = "$first" ] || fail "R did not bring back the picture the file's scene started with"
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

if [ "$mode" = focus ]; then
    paused=$("$probe" hash "$area") || fail "cannot read the window"
    timeout 5 xdotool windowfocus --sync "$window" || fail "cannot focus the window"
    xdotool keydown space
    "$probe" wait-change "$area" "$paused" $timeoutMs || fail "Space did not start the scene"
    wine "$winprobe" take-focus 30000 >/dev/null 2>&1 &
    other=$!
    await_win state minimised || fail "the full-screen window did not give way to another program"
    [ "$(win mode)" = 1280x1024 ] || fail "the display stays at $(win mode) behind another program"
    xdotool keyup space
    win restore || fail "cannot restore the window"
    await_win state shown || fail "the taskbar's restore did not restore the window"
    [ "$(win mode)" = 1024x768 ] || fail "the restored window has the display at $(win mode), not 1024x768"
    [ "$(win screen)" = covers ] || fail "the restored window does not cover the screen"
    find_window
    measure_quiet "$area"
    press "$window" space
    "$probe" wait-stable "$area" "$quiet_ms" $timeoutMs >/dev/null ||
        fail "Space did not stop the scene: it stayed down after the focus moved away"
    kill "$other" 2>/dev/null
fi

press "$window" Escape
await_clean_exit 10
echo "PASS (wine $mode)"
