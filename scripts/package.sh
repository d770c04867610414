#!/bin/sh
# package.sh DIR: the release package alone, in the build folder DIR (made if missing): configures
# the Windows build as the preset ci-mingw does but without the tests, builds ManeShade.asi and
# maneshade-check.exe, and runs cpack, which leaves the ZIP and SHA256SUMS in DIR. The same bytes
# as cpack in the full build of scripts/test.sh: scripts/check-reproducible.sh builds the package so
# and compares, and scripts/reproduce.sh rebuilds a release so. Needs cmake, ninja, mingw-w64 and zip.
set -eu
[ $# -eq 1 ] || { echo "usage: scripts/package.sh BUILD_DIR" >&2; exit 2; }
mkdir -p "$1"
dir=$(cd "$1" && pwd)
cd "$(dirname "$0")/.."
# The release needs nothing else built before cpack installs (CMAKE_SKIP_INSTALL_ALL_DEPENDENCY).
cmake --preset ci-mingw -B "$dir" -DMANESHADE_TESTS=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)" --target maneshade_module maneshade-check -- --quiet
(cd "$dir" && cpack >/dev/null)
echo "package.sh: $1/$(cd "$dir" && ls ManeShade-*-win64.zip) and $1/SHA256SUMS"
