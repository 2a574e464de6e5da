#!/bin/bash
# The real program with a scene file on its command line, on the X display of
# the environment (xvfb-run gives one), driven with xdotool.
#
#   scene_file_e2e.sh PROGRAM WINDOW_PROBE SCENE_FILE
#
# SCENE_FILE (more than seven bodies): the start question as always, then the
# file's scene paused; Space sets it moving, and the picture shows the grid,
# the lit bodies, both panels, the texts and the seven rows of the table; R
# brings back exactly the picture it started with (the file's bodies again,
# time 0.00); F7 a prepared scene, another picture; Escape ends the program
# with status 0.
# A file that is no scene: after the question, a message titled Error; after
# OK the program runs with its own bodies and ends on Escape with status 0.
# Two files: a message titled Error before any question; after OK the
# program ends with status 2.
set -u
program=$1 probe=$2 sceneFile=$3
timeoutMs=10000
mode="scene file"
pid=
. "$(dirname "$0")/e2e_lib.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

start() {
    "$program" "$@" &
    pid=$!
}
answer_no() {
    question=$("$probe" find 'Start FullScreen?' $timeoutMs) || fail "no start question"
    press "$question" Escape
}
find_window() {
    window=$("$probe" find Prallwerk $timeoutMs) || fail "no window titled Prallwerk"
    "$probe" wait-drawn Prallwerk $timeoutMs >/dev/null || fail "nothing drawn"
}

mode="scene file"
start "$sceneFile"
answer_no
find_window
"$probe" find Error 0 >/dev/null && fail "the scene file was refused"
sleep 0.3
first=$("$probe" wait-stable "$window" 300 $timeoutMs) || fail "the file's scene moves before Space"
press "$window" space
"$probe" wait-change "$window" "$first" $timeoutMs || fail "Space did not start the file's scene"
measure_quiet "$window"
"$probe" check-scene "$window" || fail "the scene or the HUD is not drawn"
press "$window" r
reloaded=$("$probe" wait-stable "$window" "$quiet_ms" $timeoutMs) || fail "R did not stop the scene"
[ "$reloaded" = "$first" ] || fail "R did not bring back the picture the file's scene started with"
press "$window" F7
"$probe" wait-change "$window" "$first" $timeoutMs || fail "F7 did not leave the file's scene"
press "$window" Escape
await_clean_exit

mode="bad scene file"
printf '{"format": "prallwerk-scene", "version": 1, "bodies": [{"kind": "cube"}]}' >"$scratch/bad.json"
start "$scratch/bad.json"
answer_no
box=$("$probe" find Error $timeoutMs) || fail "no message about the bad file"
"$probe" find Prallwerk 0 >/dev/null && fail "window shown before the message was answered"
press "$box" Return
find_window
press "$window" Escape
await_clean_exit

mode="two scene files"
start "$sceneFile" "$sceneFile"
box=$("$probe" find Error $timeoutMs) || fail "no message about the command line"
"$probe" find 'Start FullScreen?' 0 >/dev/null && fail "the question came before the message"
press "$box" Return
for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
done
kill -0 "$pid" 2>/dev/null && fail "still running after the message"
wait "$pid"
status=$?
pid=
[ "$status" = 2 ] || fail "exit status $status, not 2"
echo "PASS (scene file)"
