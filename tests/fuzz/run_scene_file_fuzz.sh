#!/bin/sh
# Usage: run_scene_file_fuzz.sh FUZZER SOURCE_DIR SECONDS
# Runs the scene file fuzz target for SECONDS from the shipped scene files,
# the inputs that once crashed it and the corpus of earlier runs (kept beside
# the fuzzer), and fails when an input crashes it: that input is then left in
# crashes/ beside the fuzzer, to be kept in tests/fuzz/scene_file_crashes/.
fuzzer=$1
src=$2
seconds=$3
here=$(dirname "$fuzzer")
mkdir -p "$here/corpus" "$here/crashes"
log="$here/fuzz.log"
"$fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 -dict="$src/tests/fuzz/scene_file.dict" \
    -artifact_prefix="$here/crashes/" "$here/corpus" "$src/scenes/files" "$src/tests/fuzz/scene_file_crashes" \
    >"$log" 2>&1
status=$?
if [ $status -ne 0 ]; then
    tail -n 60 "$log"
    echo "FAIL: the fuzz target crashed (status $status); the input is in $here/crashes/:"
    ls "$here/crashes/"
    exit 1
fi
grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::average_exec_per_sec|Done )' "$log"
echo "no input crashed the scene file reader in $seconds s"
