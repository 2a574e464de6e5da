#!/bin/sh
# Usage: tests/npm/run.sh PACKAGE_DIR NATIVE_TRACE SCENE_FILES [TEST_FILE...]
# Packs the staged npm package (npm pack), installs the tarball into a fresh
# folder as a user would (a local tarball without dependencies: no network)
# and runs the package's tests there with Node's own runner, so that they see
# exactly what the tarball holds.
set -eu
package=$1 native=$2 scenes=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d) && trap 'rm -rf "$tmp"' EXIT
tarball=$(cd "$package" && npm pack --silent --pack-destination "$tmp")
mkdir "$tmp/user"
cd "$tmp/user"
echo '{"name": "prallwerk-npm-tests", "private": true, "type": "module"}' >package.json
npm install --silent --no-audit --no-fund --offline "$tmp/$tarball"
cp "$here"/*.js .
[ $# -gt 0 ] || set -- *.test.js
PRALLWERK_TRACE=$native PRALLWERK_SCENES=$scenes node --test "$@"
