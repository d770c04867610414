#!/bin/sh
# test.sh: installs whatever is missing, builds everything and runs every test: the native unit
# tests, their coverage of the module's code (every branch they miss named in
# tests/coverage/uncovered.txt), the same tests under AddressSanitizer and UndefinedBehaviorSanitizer,
# the Windows build's unit and end-to-end tests under Wine (the real ManeShade.asi in the simulated
# game), the MSVC mode (everything compiled as Visual Studio compiles it, with clang-cl, and
# ManeShade.asi linked so and run through the same end-to-end tests), and a bounded fuzz run; and
# first, the GitHub workflows linted. The release package (cpack) is built a second time and must be
# the same bytes (scripts/check-reproducible.sh). Stops at the first failure.
set -eu
cd "$(dirname "$0")/.."

scripts/install-deps.sh

echo "== the GitHub workflows, linted offline"
scripts/lint-workflows.sh

echo "== native build and unit tests"
cmake --preset ci-linux
cmake --build --preset ci-linux -j2
ctest --preset ci-linux

echo "== coverage of the module's code by the native tests"
scripts/coverage.sh

echo "== sanitizers"
scripts/sanitize.sh

echo "== Windows build, unit and end-to-end tests under Wine"
cmake --preset ci-mingw
cmake --build --preset ci-mingw -j2
ctest --preset ci-mingw
(cd build/ci-mingw && cpack >/dev/null && echo "release package: build/ci-mingw/$(ls ManeShade-*-win64.zip)")
# SHA256SUMS names the ZIP and every file in it, each with the sum of what the ZIP holds.
(
  cd build/ci-mingw
  rm -rf sums-check && mkdir sums-check && cd sums-check
  cp ../SHA256SUMS ../ManeShade-*-win64.zip . && cmake -E tar xf ManeShade-*-win64.zip
  sha256sum --quiet --strict -c SHA256SUMS
  [ "$(wc -l <SHA256SUMS)" -eq "$(find . -type f ! -name SHA256SUMS | wc -l)" ] || { echo "SHA256SUMS misses a file" >&2; exit 1; }
  echo "SHA256SUMS: $(wc -l <SHA256SUMS) files, every sum right"
)
# THIRD-PARTY-NOTICES.txt in the ZIP, with a notice for every library the programs hold.
scripts/check-notices.sh build/ci-mingw
scripts/reproduce.sh --record build/ci-mingw/BUILDINFO

echo "== the release package again, in another folder, later, by another user: the same bytes"
scripts/check-reproducible.sh

echo "== MSVC mode: everything compiled as Visual Studio compiles it (clang-cl), ManeShade.asi linked and run end to end"
scripts/msvc-mode.sh

echo "== fuzzing (bounded)"
scripts/fuzz.sh

echo "all tests passed"
