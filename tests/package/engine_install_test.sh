#!/bin/bash
# The engine as another project gets it: installed into a temporary prefix,
# the four programs of examples/ built against it, once through
# find_package(Prallwerk CONFIG) and once through pkg-config, and their
# output held against prallwerk-trace's for the same runs.
#
#   engine_install_test.sh BUILD_DIR SOURCE_DIR VERSION
#
# Fails when the install holds anything but the engine's libraries, headers
# and package files, when an installed header does not compile on its own
# (it needs a header that was not installed), when either route does not
# build the examples with -Werror or reports another version, when the two
# routes' programs, or the examples built with -O3 -march=native through
# pkg-config, print different bytes, when the headers compile with
# -ffast-math, or when their numbers differ from
# the trace's: the sphere's height every 0.1 s in scene 3, and each second's
# ground and pair impacts of 100 dropped bodies; and seven scenes set up by
# hand through the bodies' public fields, and eleven first experiments set
# up through body definitions under the physical rules, must all behave
# soundly.
set -u
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
version=$3
trace=$build/tools/prallwerk-trace
fail() { echo "FAIL (engine install): $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")
strict=(-Wall -Wextra -Wpedantic -Werror)

cmake --install "$build" --component engine --prefix "$prefix" >"$work/install.log" ||
    { cat "$work/install.log" >&2; fail "cmake --install"; }

# --- what was installed ---
(cd "$prefix" && find . -type f | sort) >"$work/files"
unexpected=$(grep -Ev "^\./(include/prallwerk/(math|core|collision|world|scenes)/[a-z0-9_]+\.h|$libdir/libprallwerk_(math|core|collision|world|scenes)\.a|$libdir/cmake/Prallwerk/[A-Za-z-]+\.cmake|$libdir/pkgconfig/prallwerk\.pc)$" \
    "$work/files")
[ -z "$unexpected" ] || fail "installed files that are not the engine's: $unexpected"
for header in $(cd "$prefix/include" && find prallwerk -name '*.h' | sort); do
    echo "#include <$header>" | g++ -std=c++17 "${strict[@]}" -fsyntax-only -I"$prefix/include" -x c++ - ||
        fail "$header does not compile on its own against the installed headers"
done

# --- the examples, both ways ---
cmake -S "$source/examples" -B "$work/with-cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS="${strict[*]}" >"$work/configure.log" 2>&1 ||
    { cat "$work/configure.log" >&2; fail "the examples do not configure"; }
grep -q "Prallwerk $version from $prefix/$libdir/cmake/Prallwerk" "$work/configure.log" ||
    { cat "$work/configure.log" >&2; fail "find_package did not give version $version from the prefix"; }
cmake --build "$work/with-cmake" >"$work/build.log" 2>&1 ||
    { cat "$work/build.log" >&2; fail "the examples do not build through find_package"; }

export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
[ "$(pkg-config --modversion prallwerk)" = "$version" ] || fail "pkg-config: $(pkg-config --modversion prallwerk 2>&1)"
mkdir -p "$work/with-pkg-config"
for example in sphere_height drop_statistics unprepared_scenes first_experiments; do
    # shellcheck disable=SC2046
    g++ -std=c++17 -O2 "${strict[@]}" $(pkg-config --cflags prallwerk) "$source/examples/$example.cpp" \
        $(pkg-config --libs prallwerk) -o "$work/with-pkg-config/$example" ||
        fail "$example does not build through pkg-config"
done

# A user's flags for speed change nothing: the same through pkg-config with
# -O3 -march=native before the engine's flags (the examples' copies of the
# headers' inline functions may be the ones the linker keeps for the engine).
mkdir -p "$work/with-user-flags"
for example in sphere_height drop_statistics; do
    # shellcheck disable=SC2046
    g++ -std=c++17 -O3 -march=native "${strict[@]}" $(pkg-config --cflags prallwerk) "$source/examples/$example.cpp" \
        $(pkg-config --libs prallwerk) -o "$work/with-user-flags/$example" ||
        fail "$example does not build through pkg-config with -O3 -march=native"
done

for example in sphere_height drop_statistics unprepared_scenes first_experiments; do
    "$work/with-cmake/$example" >"$work/$example.out" || { cat "$work/$example.out" >&2; fail "$example (find_package) failed"; }
    "$work/with-pkg-config/$example" >"$work/$example.pc.out" || fail "$example (pkg-config) failed"
    cmp -s "$work/$example.out" "$work/$example.pc.out" ||
        fail "$example prints other bytes when built through pkg-config"
    [ -x "$work/with-user-flags/$example" ] || continue
    "$work/with-user-flags/$example" >"$work/$example.native.out" || fail "$example (-march=native) failed"
    cmp -s "$work/$example.out" "$work/$example.native.out" ||
        fail "$example prints other bytes when built with -O3 -march=native"
done

# Options that would round otherwise stop a compile that includes the
# engine's headers, with a message that names them.
if echo '#include <prallwerk/world/world.h>' |
    g++ -std=c++17 -ffast-math -fsyntax-only $(pkg-config --cflags prallwerk) -x c++ - 2>"$work/fast-math.log"; then
    fail "the engine's headers compile with -ffast-math"
fi
grep -q -- "-ffast-math" "$work/fast-math.log" || fail "-ffast-math refused without saying so: $(cat "$work/fast-math.log")"

# --- against the trace ---
# The sphere (body 0) of scene 2 after every fifth 20 ms frame; numbers are
# compared as doubles, whatever digits each side prints.
"$trace" --scene 2 --frames 500 --frame-ms 20 |
    awk -F, '$2 == 0 && $1 > 0 && $1 % 5 == 0 { print $1 / 50, $6 }' >"$work/sphere.trace"
[ "$(wc -l <"$work/sphere.trace")" = 100 ] || fail "the trace gave $(wc -l <"$work/sphere.trace") heights"
paste -d' ' "$work/sphere_height.out" "$work/sphere.trace" |
    awk 'NF != 4 || $1 != $3 || $2 != $4 { print "line " NR ": example " $1 " " $2 ", trace " $3 " " $4; bad = 1 }
         END { exit bad }' >&2 ||
    fail "the sphere's heights differ from the trace's"

# Ground impacts (landings among them) and pair impacts per second of the
# drop world, counted from the trace's impacts by the frame they fall in.
"$trace" --drop 100 --frames 500 --frame-ms 20 --events |
    awk -F, 'NR > 1 { s = int(($1 - 1) / 50) + 1; if ($4 == "pair") pair[s]++; else ground[s]++ }
             END { for (s = 1; s <= 10; s++) print s, ground[s] + 0, pair[s] + 0 }' >"$work/drop.trace"
awk 'NR > 1 { print $1, $3 + $4, $5 }' "$work/drop_statistics.out" >"$work/drop.example"
diff "$work/drop.example" "$work/drop.trace" >&2 ||
    fail "the drop world's impacts per second (second ground pair) differ from the trace's"
awk 'NR > 1 { impacts += $3 + $4 + $5; pairs += $6 + $7 } END { exit impacts < 100 || pairs == 0 }' \
    "$work/drop_statistics.out" || fail "100 dropped bodies made too few impacts: $(cat "$work/drop_statistics.out")"

echo "PASS (engine install: $(wc -l <"$work/files") files)"
