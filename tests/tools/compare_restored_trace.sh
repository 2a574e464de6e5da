#!/bin/sh
# Usage: compare_restored_trace.sh REFERENCE_TOOL CANDIDATE_TOOL CANDIDATE_NAME FRAME TRACE_ARGUMENTS...
# The reference build (the native one) traces from the end of FRAME on and
# writes its snapshot there; the candidate build restores that snapshot and
# traces on from it. Fails unless the two traces are the same bytes, and
# unless the candidate, saving the snapshot it restored, writes the same
# bytes back.
reference="$1"
candidate="$2"
name="$3"
frame="$4"
shift 4
tmp=$(mktemp -d) && trap 'rm -rf "$tmp"' EXIT

"$reference" "$@" --from-frame "$frame" --save-state "$tmp/saved" >"$tmp/reference" ||
    { echo "FAIL: reference tool failed: $*"; exit 1; }
"$candidate" "$@" --from-frame "$frame" --restore-state "$tmp/saved" --save-state "$tmp/again" >"$tmp/candidate" ||
    { echo "FAIL: $name tool failed to go on from the snapshot: $*"; exit 1; }
cmp -s "$tmp/saved" "$tmp/again" ||
    { echo "FAIL: $name wrote the snapshot it restored back as other bytes: $*"; exit 1; }
if cmp -s "$tmp/reference" "$tmp/candidate"; then
    echo "identical from frame $frame: $* ($(wc -l <"$tmp/reference") lines, snapshot of $(wc -c <"$tmp/saved") bytes)"
    exit 0
fi
echo "FAIL: the trace restored from frame $frame differs: $*"
cmp "$tmp/reference" "$tmp/candidate" | head -n 1
diff "$tmp/reference" "$tmp/candidate" | head -n 6
exit 1
