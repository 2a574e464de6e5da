# Walks scene 2 by hand; sourced after e2e_lib.sh by the Linux and the Wine
# run, with probe and timeoutMs set.
#
#   walk_by_hand WINDOW CLIENT_X CLIENT_Y PICTURE
#
# CLIENT_X, CLIENT_Y: where the 1024 x 768 client area starts in the X
# window. F8 loads scene 2, whose first impact comes at 0.555 s; . changes
# the time and shows no impact line; each of two , changes the time and
# shows another impact line; . ends the frame and changes the time again.
# Each press leaves the picture at rest; the last is written to PICTURE.
part() { echo "$walk_window:$((walk_x + $1)),$((walk_y + $2)),$3,$4"; }
# The time line at the right of the top panel, and the impact line below it.
time_text() { "$probe" letters "$(part 640 13 384 19)" || fail "cannot read the window"; }
line_text() { "$probe" letters "$(part 512 32 512 15)" || fail "cannot read the window"; }

# Presses the key; the picture must change and then rest, and the time
# change; prints the impact line.
step_key() {
    local before time
    before=$("$probe" hash "$walk_area") time=$(time_text)
    press "$walk_window" "$1"
    "$probe" wait-change "$walk_area" "$before" $timeoutMs || fail "$1 did not change the picture"
    "$probe" wait-stable "$walk_area" 300 $timeoutMs >/dev/null || fail "the picture does not rest after $1"
    [ "$(time_text)" != "$time" ] || fail "$1 did not change the time"
    line_text
}

walk_by_hand() {
    walk_window=$1 walk_x=$2 walk_y=$3
    walk_area=$(part 0 0 1024 768)
    press "$walk_window" F8
    "$probe" wait-stable "$walk_area" 300 $timeoutMs >/dev/null || fail "no rest after F8"
    local none first second
    none=$(line_text)
    [ "$(step_key period)" = "$none" ] || fail ". showed an impact line before the first impact"
    first=$(step_key comma)
    [ "$first" != "$none" ] || fail ", showed no impact line"
    second=$(step_key comma)
    [ "$second" != "$none" ] && [ "$second" != "$first" ] || fail "the second , showed no new impact line"
    [ "$(step_key period)" != "$none" ] || fail "the impact line went with ."
    "$probe" dump "$walk_area" "$4" || fail "cannot read the window"
}
