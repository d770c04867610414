#!/bin/sh
# msvc-mode.sh: the project as Visual Studio builds it, on Linux (preset ci-msvc-mode, in
# build/ci-msvc-mode: clang-cl, clang's MSVC driver, over Wine's Windows headers and libc++; see
# cmake/msvc-mode/toolchain.cmake).
#  1. Compiles every source of the build, the module's, the tools', the tests' and GoogleTest's, and
#     every resource, with the flags that the build's MSVC branches give them, warnings as errors.
#     Checks what those branches must do: every object asks for the static C runtime (libcmt, never
#     msvcrt), the module's code is compiled without exceptions, maneshade-check links with
#     /MANIFEST:NO. The flags mirror cl.exe's /W4 where clang can (cmake/msvc-mode/toolchain.cmake),
#     and the C runtime's deprecations (cmake/msvc-mode/wine_ucrt_gaps.h); the module's code silences
#     none of them.
#  2. Plants in copies of sources one fault of each mirrored family that matters most: a local that
#     hides another, a size_t stored in an int, a uint64_t in a uint32_t, std::fopen in a target
#     without _CRT_SECURE_NO_WARNINGS. Each must fail its compile with its warning.
#  3. Links ManeShade.asi with lld-link against Wine's import libraries of kernel32.dll and the UCRT
#     and the host's import library (module/CMakeLists.txt), and checks its tables with the project's
#     PE reader (tests/host/module_tables, built natively in build/ci-linux): exports exactly setup
#     and cleanup, the six decorated names from the host, nothing but kernel32.dll and ucrtbase.dll
#     besides.
#  4. Runs the end-to-end tests of the mingw-w64 build (build/ci-mingw) under Wine with this module
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
# shellcheck disable=SC2086 # one word an object
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
      command=$(ninja -C "$build" -t commands -s "$object")
      case "$command" in */EHs-c-*) ;; *) fail "$object (the module's code) is not compiled with /EHs-c-: the module is built without exceptions" ;; esac
      case "$command" in *_CRT_SECURE_NO_*|*_CRT_NONSTDC_NO_*)
        fail "$object (the module's code) silences the C runtime's deprecations: the module calls none of those functions" ;;
      esac ;;
  esac
done
ninja -C "$build" -t commands -s bin/maneshade-check.exe | grep -q '/MANIFEST:NO' ||
  fail "maneshade-check does not link with /MANIFEST:NO, so the linker's manifest would clash with its own"
[ "$failures" -eq 0 ] || exit 1
echo "msvc-mode: $(echo "$objects" | wc -w) objects and resources compiled; static runtime, no exceptions in the module, one manifest"

echo "-- planted faults: each fails the compile with the warning of its family, as cl.exe /W4 /WX would"
# plant WHAT OBJECT WARNING CODE: a copy of OBJECT's source with CODE added at its end, compiled by
# OBJECT's own command (so with its target's flags and definitions) beside the build. The compile must
# fail with clang's WARNING (as an error) and find nothing wrong but the planted lines. With WARNING
# empty, it must pass.
planted=$root/$build/planted
rm -rf "$planted"
mkdir -p "$planted"
planted_count=0
plant() {
  what=$1 object=$2 warning=$3 code=$4
  if [ -z "$object" ]; then
    fail "no object to plant $what in"
    return
  fi
  command=$(ninja -C "$build" -t commands -s "$object")
  source=${command##* }
  planted_count=$((planted_count + 1))
  copy=$planted/$planted_count-$(basename "$source")
  { cat "$source"; printf '\n%s\n' "$code"; } >"$copy"
  first_planted=$(($(wc -l <"$source") + 1))
  # The copy's own folder is elsewhere: its includes by quotes look in the source's.
  command=$(printf '%s\n' "$command" | sed -e 's# /showIncludes##' -e "s#/Fo[^ ]*#/Fo$copy.obj#" \
    -e "s# -- [^ ]*\$# /I$(dirname "$source") -- $copy#")
  if (cd "$build" && sh -c "$command") >"$copy.log" 2>&1; then
    if [ -n "$warning" ]; then
      fail "$what, planted in $source, compiles: cl.exe /W4 /WX would refuse it"
    else
      echo "msvc-mode: $what ($object): compiles"
    fi
    return
  fi
  if [ -z "$warning" ]; then
    fail "$what, planted in $source, fails to compile (log: $copy.log)"
  elif ! grep -q -F -e "[-Werror,$warning]" "$copy.log"; then
    fail "$what, planted in $source, fails without the warning $warning (log: $copy.log)"
  elif grep ': error:' "$copy.log" | grep -v "^$copy([0-9]*," | grep -q . ||
    grep ': error:' "$copy.log" | sed "s#^$copy(\([0-9]*\),.*#\1#" | awk -v first="$first_planted" '$1 < first { bad = 1 } END { exit !bad }'; then
    fail "$what, planted in $source: the copy fails where nothing was planted (log: $copy.log)"
  else
    echo "msvc-mode: $what ($object): $(grep -m 1 ': error:' "$copy.log" | sed 's#^[^ ]*/##')"
  fi
}
first_object() {
  printf '%s\n' "$objects" | grep -m 1 "^$1.*\.cpp\.obj\$" || true
}
plant "a local that hides another" "$(first_object src/script/)" -Wshadow '
int maneshade_planted_hiding(int count) {
  int total = 0;
  for (int i = 0; i < count; ++i) {
    int total = i;
    count -= total;
  }
  return total;
}'
plant "a size_t stored in an int" "$(first_object tools/check/CMakeFiles/maneshade-check.dir/)" -Wshorten-64-to-32 '
#include <cstring>
int maneshade_planted_length(const char *text) {
  int length = std::strlen(text);
  return length;
}'
plant "a uint64_t stored in a uint32_t" "$(first_object tests/core/)" -Wshorten-64-to-32 '
#include <cstdint>
std::uint32_t maneshade_planted_narrow(std::uint64_t wide) {
  std::uint32_t narrow = wide;
  return narrow;
}'
fopen_plant='
#include <cstdio>
std::FILE *maneshade_planted_open(const char *path) { return std::fopen(path, "rb"); }'
plant "std::fopen where _CRT_SECURE_NO_WARNINGS is not defined" "$(first_object platform/)" \
  -Wdeprecated-declarations "$fopen_plant"
# The same call where the target chose _CRT_SECURE_NO_WARNINGS compiles, as under the UCRT.
secure_no_warnings=""
for object in $objects; do
  case "$object" in *.cpp.obj) ;; *) continue ;; esac
  case "$(ninja -C "$build" -t commands -s "$object")" in *-D_CRT_SECURE_NO_WARNINGS*) secure_no_warnings=$object && break ;; esac
done
plant "std::fopen where _CRT_SECURE_NO_WARNINGS is defined" "$secure_no_warnings" "" "$fopen_plant"
[ "$failures" -eq 0 ] || exit 1

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
