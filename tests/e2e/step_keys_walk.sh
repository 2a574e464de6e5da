# Walks scene 2 by hand with the stepping keys and checks what the HUD and
# the picture show at each press; shared by the Linux run and the Windows
# program's run under Wine. Sourced after e2e_lib.sh; uses probe and
# timeoutMs.
#
#   walk_by_hand WINDOW AREA_X AREA_Y PICTURE
#
# WINDOW is the X window, AREA_X, AREA_Y where the 1024 x 768 client area
# starts inside it. The walk: F8 loads scene 2 (paused, time 0.00, no impact
# line); . advances one frame: the time changes, no line yet (the scene's
# first impact comes at 0.555 s); , stops at the first impact: the line
# appears and the time changes; , again: the next impact, another line and
# another time; . ends the frame of that impact: the time changes again.
# Every press leaves the picture at rest, and the last one is written to
# PICTURE. Space then runs on: the line goes.

# Part of the client area: X, Y, width and height within it.
part() { echo "$walk_window:$((walk_x + $1)),$((walk_y + $2)),$3,$4"; }

# The time line "Zeit in Sekunden: ..." at the right of the top panel, and
# the impact line right below it.
time_letters() { "$probe" letters "$(part 640 13 384 19)" || fail "cannot read the time line"; }
line_letters() { "$probe" letters "$(part 512 32 512 15)" || fail "cannot read the impact line"; }

# Presses the key and waits for the picture to change and then to rest.
step_key() {
    local key=$1 what=$2 before
    before=$("$probe" hash "$walk_area") || fail "cannot read the window"
    press "$walk_window" "$key"
    "$probe" wait-change "$walk_area" "$before" $timeoutMs || fail "$what: the picture did not change"
    "$probe" wait-stable "$walk_area" 300 $timeoutMs >/dev/null || fail "$what: the picture does not rest (not paused)"
}

walk_by_hand() {
    walk_window=$1 walk_x=$2 walk_y=$3
    walk_area=$(part 0 0 1024 768)
    local picture=$4 t0 t1 t2 t3 l1 l2 l3 before

    step_key F8 "F8"
    t0=$(time_letters)
    [ "$(line_letters | cut -d' ' -f1)" = 0 ] || fail "an impact line before any stepping key"

    step_key period ". from the fresh scene"
    t1=$(time_letters)
    [ "$t1" != "$t0" ] || fail ". did not advance the time"
    l1=$(line_letters)
    [ "${l1%% *}" = 0 ] || fail ". shows an impact line where the frame has no impact"

    step_key comma "the first ,"
    t2=$(time_letters) l2=$(line_letters)
    [ "${l2%% *}" -gt 200 ] || fail "the first , shows no impact line ($l2 white pixels and hash)"
    [ "$t2" != "$t1" ] || fail "the first , did not advance the time"

    step_key comma "the second ,"
    t3=$(time_letters) l3=$(line_letters)
    [ "${l3%% *}" -gt 200 ] || fail "the second , shows no impact line"
    [ "$l3" != "$l2" ] || fail "the second , shows the line of the first"
    [ "$t3" != "$t2" ] || fail "the second , did not advance the time"

    step_key period ". after the second ,"
    [ "$(time_letters)" != "$t3" ] || fail ". after , did not advance the time"
    [ "$(line_letters | cut -d' ' -f1)" -gt 200 ] || fail "the impact line went with ."
    "$probe" dump "$walk_area" "$picture" || fail "cannot read the window"

    before=$("$probe" hash "$walk_area") || fail "cannot read the window"
    press "$walk_window" space
    "$probe" wait-change "$walk_area" "$before" $timeoutMs || fail "Space did not run on"
    press "$walk_window" space
    [ "$(line_letters | cut -d' ' -f1)" = 0 ] || fail "the impact line stays while the simulation runs"
}
