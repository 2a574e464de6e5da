#!/bin/sh
# The demo built as scripts/run-demo builds it needs none of the tools' and
# tests' packages and builds nothing but the program and the libraries it is
# made of. Configures the tree with run-demo's options in a temporary folder,
# with the tests' and tools' packages hidden from CMake, and reads the build
# plan of the program without building it.
#
#   demo_build_test.sh SOURCE_DIR
set -eu
source_dir=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# run-demo's configure line, its continuation lines joined.
options=$(sed -e ':a' -e '/\\$/{N;s/\\\n//;ba' -e '}' "$source_dir/scripts/run-demo" |
          sed -n 's/^cmake -S \. -B build-demo -G Ninja //p')
[ -n "$options" ] || { echo "FAIL: scripts/run-demo's cmake line not found" >&2; exit 1; }

# shellcheck disable=SC2086
cmake -S "$source_dir" -B "$out" -G Ninja $options \
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_PNG=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_X11=ON >"$out/configure.log" 2>&1 ||
    { cat "$out/configure.log" >&2; echo "FAIL: the demo's configure needs a test package" >&2; exit 1; }

for needed in OSMESA RSVG GTEST PNG_LIBRARY X11_Xtst; do
    if grep -q "^[A-Z_]*$needed[A-Za-z_]*:[A-Z]*=" "$out/CMakeCache.txt"; then
        echo "FAIL: the demo's configure looked for $needed" >&2
        exit 1
    fi
done

plan=$(ninja -C "$out" -n prallwerk)
echo "$plan" | grep -q "Linking CXX executable app/prallwerk" || { echo "FAIL: no program in the plan" >&2; exit 1; }
if echo "$plan" | grep -E "tests/|tools/|gtest"; then
    echo "FAIL: the demo's build plan builds the above" >&2
    exit 1
fi
echo "the demo builds alone: $(echo "$plan" | grep -c 'Building CXX') sources, no tool or test"
