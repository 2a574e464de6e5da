#!/bin/sh
# Usage: compare_traces.sh REFERENCE_TOOL CANDIDATE_TOOL CANDIDATE_NAME TRACE_ARGUMENTS...
# Runs one trace with two builds of prallwerk-trace (the native one and a
# cross-build's, under Wine or Node) and fails unless the outputs are the same
# bytes, showing the first line where they part.
reference="$1"
candidate="$2"
name="$3"
shift 3
tmp=$(mktemp -d) && trap 'rm -rf "$tmp"' EXIT

"$reference" "$@" >"$tmp/reference" || { echo "FAIL: reference tool failed: $*"; exit 1; }
"$candidate" "$@" >"$tmp/candidate" || { echo "FAIL: $name tool failed: $*"; exit 1; }
if cmp -s "$tmp/reference" "$tmp/candidate"; then
    echo "identical: $* ($(wc -l <"$tmp/reference") lines, $(wc -c <"$tmp/reference") bytes)"
    exit 0
fi

echo "FAIL: traces differ: $*"
awk -v ref="$tmp/reference" -v name="$name" '
    function show(r, c) {
        printf "first difference at line %d\n  native: %s\n  %s: %s\n", FNR, r, name, c
        shown = 1
        exit
    }
    {
        if ((getline r < ref) <= 0) show("(end of trace)", $0)
        if (r != $0) show(r, $0)
    }
    END {
        if (shown) exit
        if ((getline r < ref) > 0) { FNR = FNR + 1; show(r, "(end of trace)") }
        print "no line differs: line ends or the last line differ"
    }' "$tmp/candidate"
exit 1
