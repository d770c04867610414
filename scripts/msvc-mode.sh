#!/bin/sh
# msvc-mode.sh: the project as Visual Studio builds it, on Linux (preset ci-msvc-mode, in
# build/ci-msvc-mode: clang-cl, clang's MSVC driver, over Wine's Windows headers and libc++; see
# cmake/msvc-mode/toolchain.cmake).
#  1. Compiles every source of the build, the module's, the tools', the tests' and GoogleTest's, and
#     every resource, with the flags that the build's MSVC branches give them, warnings as errors.
#     Checks what those branches must do: every object asks for the static C runtime (libcmt, never
#     msvcrt), the module's code is compiled without exceptions, maneshade-check links with
#     /MANIFEST:NO.
#  2. Links ManeShade.asi with lld-link against Wine's import libraries of kernel32.dll and the UCRT
#     and the host's import library (module/CMakeLists.txt), and checks its tables with the project's
#     PE reader (tests/host/module_tables, built natively in build/ci-linux): exports exactly setup
#     and cleanup, the six decorated names from the host, nothing but kernel32.dll and ucrtbase.dll
#     besides.
#  3. Runs the end-to-end tests of the mingw-w64 build (build/ci-mingw) under Wine with this module
#     in place of the mingw one: the same scenarios and the same expectations, in build/ci-msvc-mode/e2e.
# Only the module is linked: the tools and the tests need a C++ runtime library that this toolchain
# has not. Needs what scripts/install-deps.sh installs.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
build=build/ci-msvc-mode

echo "-- compile: every source and resource, in MSVC mode"
# --fresh: the toolchain file sets the link flags only when the cache is made; a folder configured by
# an earlier version would keep its old ones.
cmake --preset ci-msvc-mode --fresh
objects=$(ninja -C "$build" -t targets all | sed -n -E 's#^([^:]*\.(obj|res)): .*#\1#p')
[ -n "$objects" ] || { echo "msvc-mode: no objects found in $build" >&2; exit 1; }
ninja -C "$build" -j2 $objects

readobj=$(command -v llvm-readobj || command -v llvm-readobj-14)
failures=0
fail() {
  echo "msvc-mode: $*" >&2
  failures=$((failures + 1))
}
for object in $objects; do
  case "$object" in *.res) continue ;; esac
  directives=$("$readobj" --coff-directives "$build/$object" | sed -n "s/^Directive(s): *//p")
  case "$directives" in
    *msvcrt*) fail "$object asks for the C runtime DLLs: $directives" ;;
    */DEFAULTLIB:libcmt.lib*) ;;
    *) fail "$object does not ask for the static C runtime: $directives" ;;
  esac
  case "$object" in
    runtime/* | platform/* | encoding/ini/* | src/* | host/* | module/*)
      ninja -C "$build" -t commands -s "$object" | grep -q -- '/EHs-c-' ||
        fail "$object (the module's code) is not compiled with /EHs-c-: the module is built without exceptions" ;;
  esac
done
ninja -C "$build" -t commands -s bin/maneshade-check.exe | grep -q '/MANIFEST:NO' ||
  fail "maneshade-check does not link with /MANIFEST:NO, so the linker's manifest would clash with its own"
[ "$failures" -eq 0 ] || exit 1
echo "msvc-mode: $(echo $objects | wc -w) objects and resources compiled; static runtime, no exceptions in the module, one manifest"

echo "-- link: ManeShade.asi, with lld-link, against Wine's import libraries"
ninja -C "$build" bin/ManeShade.asi
module=$build/bin/ManeShade.asi
cmake --preset ci-linux >/dev/null
cmake --build --preset ci-linux -j2 --target module_tables
build/ci-linux/tests/host/module_tables "$module" kernel32.dll ucrtbase.dll

echo "-- end-to-end: the mingw-w64 build's end-to-end tests under Wine, with this ManeShade.asi"
cmake --preset ci-mingw >/dev/null
cmake --build --preset ci-mingw -j2 --target e2e_tests
# The test program finds the game, the host, the validator and the module beside itself, and the
# probe modules in e2e-probe/ there: a folder of copies, with this module in place of the mingw one.
mingw=build/ci-mingw/bin
e2e=$build/e2e
rm -rf "$e2e"
mkdir -p "$e2e/bin/e2e-probe" "$e2e/run"
cp "$mingw/e2e_tests.exe" "$mingw/maneshade-sim.exe" "$mingw/ScriptHookVanta.dll" "$mingw/maneshade-check.exe" "$e2e/bin/"
cp "$mingw"/e2e-probe/*.asi "$e2e/bin/e2e-probe/"
cp "$module" "$e2e/bin/ManeShade.asi"
(cd "$e2e/run" && "$root/cmake/wine-run.sh" "$root/build/ci-mingw/wineprefix" ../bin/e2e_tests.exe) >"$e2e/e2e_tests.log" 2>&1 || {
  cat "$e2e/e2e_tests.log"
  echo "msvc-mode: the end-to-end tests failed with the MSVC-mode ManeShade.asi (log: $e2e/e2e_tests.log)" >&2
  exit 1
}
passed=$(tr -d '\r' <"$e2e/e2e_tests.log" | sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\.$/\1/p')
echo "msvc-mode: all ${passed:-?} end-to-end tests passed with the MSVC-mode ManeShade.asi ($(wc -c <"$module") bytes; the mingw one: $(wc -c <"$mingw/ManeShade.asi"))"
