#!/bin/sh
# package.sh BUILD_DIR: the release package alone, in the build folder BUILD_DIR (made if missing):
# configures the Windows build as the preset ci-mingw does but without the tests, builds
# ManeShade.asi and maneshade-check.exe, and runs cpack, which leaves the ZIP and SHA256SUMS in
# BUILD_DIR. The same bytes as cpack in the full build of scripts/test.sh: scripts/check-reproducible.sh
# builds the package so and compares, and scripts/reproduce.sh rebuilds a release so. Needs cmake,
# ninja, mingw-w64 and zip.
# The ZIP is dated by SOURCE_DATE_EPOCH when it is set, else by the commit's time (a source tree that
# is no git checkout, such as a release's source archive, needs SOURCE_DATE_EPOCH from the release's
# BUILDINFO). It warns when the package is not the commit's: a work tree that differs from the
# commit, or a SOURCE_DATE_EPOCH that is not the commit's time (cmake/zip_package.cmake).
set -eu
usage() {
  echo "usage: scripts/package.sh BUILD_DIR"
}
case ${1:-} in
  -h | --help)
    usage
    sed -n '2,/^set -eu/p' "$0" | sed -e '$d' -e 's/^# \{0,1\}/  /'
    exit 0
    ;;
  -*) usage >&2; exit 2 ;;
esac
[ $# -eq 1 ] || { usage >&2; exit 2; }
mkdir -p "$1"
dir=$(cd "$1" && pwd)
cd "$(dirname "$0")/.."
# The release needs nothing else built before cpack installs (CMAKE_SKIP_INSTALL_ALL_DEPENDENCY).
cmake --preset ci-mingw -B "$dir" -DMANESHADE_TESTS=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)" --target maneshade_module maneshade-check -- --quiet
# cpack's account goes to a log; the warnings of cmake/zip_package.cmake go to the terminal.
(cd "$dir" && cpack >cpack.log) || { cat "$dir/cpack.log" >&2; exit 1; }
dated=$(sed -n 's/.*zip_package.cmake: .*; dated \([0-9]*\), \(.*\)/\1 (\2)/p' "$dir/cpack.log")
echo "package.sh: $1/$(cd "$dir" && ls ManeShade-*-win64.zip) and $1/SHA256SUMS, dated $dated"
