#!/bin/bash
# scripts/plot-trace as a user runs it: for each size asked for, a PNG of
# that size in which every one of the seven bodies has a line of its HUD
# colour (the picture read back through gnuplot's PNG reader, pixel by
# pixel); a size it cannot use is refused with status 2 and no file.
#
#   plot_trace_test.sh PLOT_TRACE TRACE
set -u
plot=$1
trace=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
tmp=$(mktemp -d) && trap 'rm -rf "$tmp"' EXIT

colours=("255 255 0" "255 0 0" "0 255 0" "0 0 255" "255 0 255" "0 255 255" "255 128 0")
for size in 640x360 1280x960; do
    png=$tmp/plot-$size.png
    "$plot" --trace "$trace" --out "$png" --size "$size" --scene 2 --frames 625 --frame-ms 16 >/dev/null ||
        fail "$size: plot-trace failed"
    [ -s "$png" ] || fail "$size: no picture"
    file -b "$png" | grep -q "^PNG image data, ${size%x*} x ${size#*x}," || fail "$size: $(file -b "$png")"
    gnuplot -e "set table '$tmp/pixels'; plot '$png' binary filetype=png with rgbimage" 2>/dev/null ||
        fail "$size: gnuplot cannot read the picture"
    for j in "${!colours[@]}"; do
        read -r r g b <<<"${colours[$j]}"
        count=$(awk -v r="$r" -v g="$g" -v b="$b" '$3 == r && $4 == g && $5 == b { n++ } END { print n + 0 }' \
            "$tmp/pixels")
        [ "$count" -ge 30 ] || fail "$size: body $j's colour ($r $g $b) has $count pixels"
    done
done

# A scene file passes through to the trace tool: six bodies, six colours; a
# bad one is the tool's refusal, status 2 and no picture.
files=$(cd "$(dirname "$0")/../../scenes/files" && pwd)
"$plot" --trace "$trace" --out "$tmp/file.png" --size 640x360 --scene-file "$files/materials.json" \
    --frames 300 --frame-ms 16 >"$tmp/file.out" || fail "plot-trace of a scene file failed"
grep -q ', 6 bodies, ' "$tmp/file.out" || fail "the scene file's plot: $(cat "$tmp/file.out")"
gnuplot -e "set table '$tmp/pixels'; plot '$tmp/file.png' binary filetype=png with rgbimage" 2>/dev/null ||
    fail "gnuplot cannot read the scene file's picture"
for j in 0 1 2 3 4 5; do
    read -r r g b <<<"${colours[$j]}"
    count=$(awk -v r="$r" -v g="$g" -v b="$b" '$3 == r && $4 == g && $5 == b { n++ } END { print n + 0 }' \
        "$tmp/pixels")
    [ "$count" -ge 30 ] || fail "scene file: body $j's colour ($r $g $b) has $count pixels"
done
# --speed draws each centre's speed: the sliding crate's line starts at its
# 8 m/s, at the top of the axis, and ends at rest, on the time axis; its
# rows in the plotted data are the trace's speeds.
"$plot" --trace "$trace" --out "$tmp/speed.png" --size 640x360 --speed \
    --scene-file "$files/physical_sliding_crate.json" --frames 120 --frame-ms 16 >"$tmp/speed.out" ||
    fail "plot-trace --speed failed"
grep -q ', 2 bodies, ' "$tmp/speed.out" || fail "the speed plot: $(cat "$tmp/speed.out")"
gnuplot -e "set table '$tmp/pixels'; plot '$tmp/speed.png' binary filetype=png with rgbimage" 2>/dev/null ||
    fail "gnuplot cannot read the speed plot"
read -r r g b <<<"${colours[0]}"
rows=$(awk -v r="$r" -v g="$g" -v b="$b" '$3 == r && $4 == g && $5 == b { print $2 }' "$tmp/pixels" | sort -n | uniq)
top=$(head -1 <<<"$rows")
bottom=$(tail -1 <<<"$rows")
# The crate's line spans most of the plot's height: from 8 m/s down to 0.
[ $((bottom - top)) -ge 150 ] || fail "the crate's speed line spans rows $top to $bottom only"
echo '{"format": "prallwerk-scene"}' >"$tmp/bad.json"
"$plot" --trace "$trace" --out "$tmp/bad.png" --scene-file "$tmp/bad.json" --frames 10 --frame-ms 16 2>"$tmp/err"
status=$?
[ $status = 2 ] || fail "a bad scene file gave status $status"
grep -q 'bad.json: /: missing field "version"' "$tmp/err" || fail "a bad scene file: $(cat "$tmp/err")"
[ ! -e "$tmp/bad.png" ] || fail "a bad scene file gave a picture"

"$plot" --trace "$trace" --out "$tmp/bad.png" --size 640 --scene 2 --frames 10 --frame-ms 16 2>/dev/null
status=$?
[ $status = 2 ] || fail "--size 640 gave status $status"
[ ! -e "$tmp/bad.png" ] || fail "--size 640 wrote a file"
echo PASS
