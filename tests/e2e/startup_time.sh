#!/bin/bash
# Prints the time from answering the start question to the first frame on
# screen, as a user sees it: the answer is a real key press and the frame is
# the first non-black pixel of the window read back from the X server. Run it
# on a display, for example:
#
#   xvfb-run -a -s "-screen 0 1280x1024x24" tests/e2e/startup_time.sh PROGRAM WINDOW_PROBE [RUNS]
#
# PROGRAM may be a command with arguments (wine prallwerk.exe). ANSWER_KEY
# is the key that answers No (default Escape; n for Wine's box, which takes
# Escape as Cancel).
set -u
program=$1
probe=$2
runs=${3:-5}
for _ in $(seq "$runs"); do
    $program &
    pid=$!
    question=$("$probe" find 'Start FullScreen?' 10000) || { echo "no start question" >&2; kill -9 $pid; exit 1; }
    timeout 5 xdotool windowfocus --sync "$question"
    "$probe" wait-drawn Prallwerk 10000 >"${TMPDIR:-/tmp}/prallwerk_first_frame.$$" &
    watcher=$!
    sleep 0.2  # the watcher is looking before the answer is given
    answered=$(date +%s%3N)
    xdotool key "${ANSWER_KEY:-Escape}"
    wait $watcher || { echo "no frame drawn" >&2; kill -9 $pid; exit 1; }
    drawn=$(cat "${TMPDIR:-/tmp}/prallwerk_first_frame.$$")
    echo "startup $((drawn - answered)) ms from the answer to the first frame on screen"
    window=$("$probe" find Prallwerk 1000)
    timeout 5 xdotool windowfocus --sync "$window"
    xdotool keydown Escape && sleep 0.2 && xdotool keyup Escape
    wait $pid
done
rm -f "${TMPDIR:-/tmp}/prallwerk_first_frame.$$"
