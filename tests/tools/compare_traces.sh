#!/bin/sh
# Usage: compare_traces.sh REFERENCE_TOOL CANDIDATE_TOOL CANDIDATE_NAME
#                          [--sources REF_OPTION REF_VALUE CAND_OPTION CAND_VALUE] TRACE_ARGUMENTS...
# Runs one trace with two builds of prallwerk-trace (the native one and a
# cross-build's, under Wine or Node) and fails unless the outputs are the same
# bytes, showing the first line where they part. With --sources, each tool
# takes its bodies from its own option ("--scene 2" for the reference,
# "--scene-file scene2.json" for the candidate) before the arguments both share.
reference="$1"
candidate="$2"
name="$3"
shift 3
if [ "${1:-}" = "--sources" ]; then
    ref_option=$2 ref_value=$3 cand_option=$4 cand_value=$5
    shift 5
else
    ref_option="" cand_option=""
fi
run() {  # TOOL OPTION VALUE ARGUMENTS...
    tool=$1 option=$2 value=$3
    shift 3
    if [ -n "$option" ]; then "$tool" "$option" "$value" "$@"; else "$tool" "$@"; fi
}
tmp=$(mktemp -d) && trap 'rm -rf "$tmp"' EXIT

run "$reference" "$ref_option" "${ref_value:-}" "$@" >"$tmp/reference" ||
    { echo "FAIL: reference tool failed: $ref_option ${ref_value:-} $*"; exit 1; }
run "$candidate" "$cand_option" "${cand_value:-}" "$@" >"$tmp/candidate" ||
    { echo "FAIL: $name tool failed: $cand_option ${cand_value:-} $*"; exit 1; }
if [ -n "$ref_option" ]; then
    set -- "$ref_option ${ref_value:-} against $cand_option ${cand_value:-}:" "$@"
fi
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
