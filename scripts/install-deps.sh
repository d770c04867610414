#!/bin/sh
# Installs, from Debian's or Ubuntu's packages, whatever of the build and test tools is missing:
# cmake, ninja and zip, g++ and clang (with the sanitizer and fuzzer runtimes), GoogleTest, Google
# Benchmark, inih and SimpleIni (benchmark comparison only), the mingw-w64 cross compiler, Wine (wine64 with
# the `wine` command, which comes in the package wine), and for the MSVC mode (scripts/msvc-mode.sh)
# clang-cl, lld-link, llvm-lib and llvm-rc, Wine's Windows headers and import libraries and libc++,
# and Node.js, npm and shellcheck for the workflows' lint (scripts/lint-workflows.sh), and the locales'
# sources (locales), from which scripts/check-reproducible.sh compiles the Turkish locale for its second
# build. Packages named as arguments are installed too (scripts/coverage.sh asks for gcovr).
set -eu
packages="cmake ninja-build zip g++ binutils util-linux clang libclang-rt-14-dev libgtest-dev googletest
  libbenchmark-dev libinih-dev libsimpleini-dev pkg-config mingw-w64 wine wine64 ca-certificates
  clang-tools-14 lld-14 llvm-14 libwine-dev libc++-14-dev libc++abi-14-dev shellcheck locales $*"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
done
# Node.js and npm by their commands: a Node.js of another source brings its own npm, which Debian's
# npm package would conflict with.
command -v node >/dev/null && command -v npm >/dev/null || missing="$missing nodejs npm"
[ -z "$missing" ] && exit 0
echo "installing:$missing"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
# shellcheck disable=SC2086 # one word a package
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
