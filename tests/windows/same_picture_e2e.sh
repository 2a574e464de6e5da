#!/bin/bash
# The Linux program under Xvfb and the Windows program under Wine on the same
# X server show the same picture: scene 2 loaded with F8 (its bodies at
# their start, time 0.00), compared square by square over the 1024 x 768
# client area, so that a body in another place or another number in the HUD
# shows, while a few pixels of a letter's edge may differ.
#
#   same_picture_e2e.sh LINUX_PROGRAM PROGRAM.exe WINDOW_PROBE_WIN32.exe WINDOW_PROBE
#
# PRALLWERK_GUI_WINEPREFIX names the Wine prefix.
set -u
linux=$1
program=$2
winprobe=$3
probe=$4
timeoutMs=20000
pid=
pictures=$(mktemp -d)

. "$(dirname "$0")/wine_lib.sh"
fresh_wine
trap 'wineserver -k 2>/dev/null; rm -rf "$pictures"' EXIT

mode="same picture"
. "$(dirname "$0")/../e2e/e2e_lib.sh"

# Runs one program (a command), answers No with the key given, loads scene
# 2 and writes its picture at rest to the file given; the client area is
# found by the command given.
picture() {
    local name=$1 command=$2 no=$3 out=$4 areaOf=$5
    mode="same picture, $name program"
    $command &
    pid=$!
    question=$("$probe" find 'Start FullScreen?' $timeoutMs) || fail "no start question from the $name program"
    press "$question" "$no"
    window=$("$probe" find Prallwerk $timeoutMs) || fail "no window from the $name program"
    "$probe" wait-drawn Prallwerk $timeoutMs >/dev/null || fail "the $name program draws nothing"
    area="$window$($areaOf)"
    "$probe" wait-stable "$area" 300 $timeoutMs >/dev/null || fail "the $name program's picture does not rest"
    press "$window" F8
    "$probe" wait-stable "$area" 500 $timeoutMs >/dev/null || fail "scene 2 does not rest in the $name program"
    "$probe" dump "$area" "$out" || fail "cannot read the $name program's window"
    press "$window" Escape
    await_clean_exit 10
}

whole() { echo ""; }
client() { echo ":$(wine "$winprobe" area 2>/dev/null | tr -d '\r')"; }

picture Linux "$linux" Escape "$pictures/linux.ppm" whole
picture Windows "wine $program" n "$pictures/windows.ppm" client

# Squares of 32 x 32 pixels: one digit more or less in the HUD changes
# about 40 pixels of its square.
"$probe" compare "$pictures/linux.ppm" "$pictures/windows.ppm" 32 16 || fail "the pictures differ"
echo "PASS (same picture)"
