# Shared by the end-to-end scripts, which set mode (the name in their
# messages, after an optional label such as "wine ") and pid (the program's
# process, once started) before use.

# Ends the test: the reason, then whatever the script's fail_hook adds; the
# program does not outlive it.
fail() {
    echo "FAIL (${label:-}$mode): $*" >&2
    [ -n "${fail_hook:-}" ] && "$fail_hook"
    [ -n "${pid:-}" ] && kill -9 "$pid" 2>/dev/null
    exit 1
}

# The program polls its keys once per frame: a key is held as a person's
# press is, long enough for a frame or two to see it.
press() {
    timeout 5 xdotool windowfocus --sync "$1" || fail "cannot focus window $1"
    xdotool keydown "$2" && sleep "${3:-0.2}" && xdotool keyup "$2"
}

# Waits up to the seconds given (five unless told) for the program to end
# and fails unless it ends with status 0.
await_clean_exit() {
    local seconds=${1:-5}
    for _ in $(seq $((seconds * 20))); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    if kill -0 "$pid" 2>/dev/null; then
        command -v gdb >/dev/null && gdb -p "$pid" -batch -ex "thread apply all bt" 2>&1 | grep -E '^(#|Thread)' >&2
        fail "still running $seconds s after Escape"
    fi
    wait "$pid"
    local status=$?
    pid=
    [ "$status" = 0 ] || fail "exit status $status"
}

# How long the picture of a paused scene must stay the same to count as at
# rest: well above the gap between two frames of the moving scene, which a
# sanitizer build on a busy machine stretches to hundreds of milliseconds.
# Call while the scene moves; keeps the largest seen so far in quiet_ms.
quiet_ms=300
measure_quiet() {
    local gap
    gap=$("$probe" frame-gap "$1" 10000) || fail "the scene does not move"
    [ $((gap * 4)) -gt "$quiet_ms" ] && quiet_ms=$((gap * 4))
    return 0
}
