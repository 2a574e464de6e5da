#!/bin/bash
# The Debian package as a user gets it: packed from the build, checked by
# Debian's validators, unpacked into a temporary root and run from there.
#
#   deb_test.sh BUILD_DIR WINDOW_PROBE
#
# Packs the build's program component with CPack, then fails when lintian
# reports an error, when a dependency is missing (the libraries the programs
# link and the HUD's font), when the package lacks a file it must hold or
# holds the engine's development files, when desktop-file-validate,
# appstreamcli or man complain, when an icon has the wrong size, or when the
# installed trace tool prints other bytes than the build's. Last, the
# installed program runs under Xvfb from a folder outside the build with an
# empty home: the start question, its window, the scene and the HUD drawn
# (the font found by the installed program itself), Escape, status 0.
set -u
build=$(cd "$1" && pwd)
probe=$2
here=$(cd "$(dirname "$0")" && pwd)
mode=deb
pid=
# shellcheck source=SCRIPTDIR/../e2e/e2e_lib.sh
. "$here/../e2e/e2e_lib.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --- pack ---
cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack failed"; }
debs=("$work"/out/prallwerk_*_*.deb)
if [ ${#debs[@]} != 1 ] || [ ! -f "${debs[0]}" ]; then
    fail "expected one prallwerk_<version>_<arch>.deb, got: ${debs[*]}"
fi
deb=${debs[0]}
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# --- dependencies ---
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# Package names alone, one a line, alternatives included.
names=$(awk -v RS='[,|]' '{ print $1 }' <<<"$depends")
for needed in libc6 libstdc++6 libsdl2-2.0-0 libopengl0 libgl1 libglu1-mesa libfreetype6 libfontconfig1 \
              libosmesa6 libpng16-16 fonts-liberation2; do
    grep -qxF "$needed" <<<"$names" || fail "Depends lacks $needed"
done

# --- lintian ---
lintian --fail-on error --display-info "$deb" >"$work/lintian.log" 2>&1
lintian_status=$?
echo "lintian:"; sed 's/^/  /' "$work/lintian.log"
[ $lintian_status = 0 ] || fail "lintian reports an error (status $lintian_status)"

# --- contents ---
root=$work/root
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x failed"
share=$root/usr/share
for file in usr/bin/prallwerk usr/bin/prallwerk-trace usr/bin/prallwerk-snapshot \
            usr/share/applications/prallwerk.desktop usr/share/metainfo/prallwerk.metainfo.xml \
            usr/share/icons/hicolor/scalable/apps/prallwerk.svg \
            usr/share/man/man6/prallwerk.6.gz usr/share/man/man1/prallwerk-trace.1.gz \
            usr/share/man/man1/prallwerk-snapshot.1.gz \
            usr/share/doc/prallwerk/copyright usr/share/doc/prallwerk/changelog.gz; do
    [ -s "$root/$file" ] || fail "package lacks $file"
done
for dev in usr/include usr/lib/pkgconfig usr/lib/cmake usr/lib/x86_64-linux-gnu; do
    [ -e "$root/$dev" ] && fail "package holds the engine's development files ($dev)"
done
for size in 48 128 256; do
    png=$share/icons/hicolor/${size}x${size}/apps/prallwerk.png
    file -b "$png" | grep -q "PNG image data, $size x $size," || fail "icon $png: $(file -b "$png")"
done

# --- validators ---
desktop-file-validate "$share/applications/prallwerk.desktop" >"$work/desktop.log" 2>&1 ||
    { cat "$work/desktop.log" >&2; fail "desktop-file-validate"; }
appstreamcli validate --no-net "$share/metainfo/prallwerk.metainfo.xml" >"$work/appstream.log" 2>&1 ||
    { cat "$work/appstream.log" >&2; fail "appstreamcli validate"; }
for page in "$share"/man/man*/*.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man page $(basename "$page"): $warnings"
done

# --- the installed tools and program, away from the build ---
mkdir -p "$work/home" "$work/cwd"
cd "$work/cwd" || fail "no working folder"
trace_args=(--scene 2 --frames 120 --frame-ms 16 --events)
cmp <("$root/usr/bin/prallwerk-trace" "${trace_args[@]}") <("$build/tools/prallwerk-trace" "${trace_args[@]}") ||
    fail "the installed prallwerk-trace prints other bytes than the build's"
HOME=$work/home XDG_CACHE_HOME=$work/home/.cache xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$here/../e2e/program_e2e.sh" windowed "$root/usr/bin/prallwerk" "$probe" ||
    fail "the installed program's end-to-end run"
echo "PASS (deb)"
