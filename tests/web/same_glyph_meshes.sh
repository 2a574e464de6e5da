#!/bin/sh
# The page's letters (the glyph pack extruded, in WebAssembly under Node) are
# the Linux program's (FreeType and GLU's tessellator), vertex for vertex.
#
#   same_glyph_meshes.sh NATIVE_GLYPH_MESHES PAGE_GLYPH_MESHES.js
set -u
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$1" >"$out/linux.txt" || { echo "FAIL: $1 failed"; exit 1; }
node "$2" >"$out/page.txt" || { echo "FAIL: node $2 failed"; exit 1; }
if ! cmp -s "$out/linux.txt" "$out/page.txt"; then
    echo "FAIL: the page's letters differ from Linux's; first difference:"
    diff "$out/linux.txt" "$out/page.txt" | head -n 6
    exit 1
fi
echo "PASS: $(tail -n 1 "$out/linux.txt") alike in $(grep -c '^code' "$out/linux.txt") codes"
