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

"$plot" --trace "$trace" --out "$tmp/bad.png" --size 640 --scene 2 --frames 10 --frame-ms 16 2>/dev/null
status=$?
[ $status = 2 ] || fail "--size 640 gave status $status"
[ ! -e "$tmp/bad.png" ] || fail "--size 640 wrote a file"
echo PASS
