#!/bin/sh
# msvc-mode.sh: configures the project as Visual Studio builds it (preset ci-msvc-mode, in
# build/ci-msvc-mode: clang-cl, clang's MSVC driver, over Wine's Windows headers and libc++; see
# cmake/msvc-mode/toolchain.cmake) and compiles every source of the module and the validator with
# the flags that the build's MSVC branches give them, warnings as errors. Then checks what those
# branches must do: every object asks for the static C runtime (libcmt, never msvcrt), the module's
# code is compiled without exceptions, and maneshade-check links with /MANIFEST:NO.
# It compiles only: there are no MSVC libraries to link with. Needs what scripts/install-deps.sh installs.
set -eu
cd "$(dirname "$0")/.."
build=build/ci-msvc-mode

cmake --preset ci-msvc-mode
# Every object and compiled resource of the module's folders and of the validator and its libraries.
objects=$(ninja -C "$build" -t targets all |
  sed -n -E 's#^((runtime|platform|encoding/ini|src|host|module|tools/(check|pe|json))/[^:]*\.(obj|res)): .*#\1#p')
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
    tools/*) ;;
    *) ninja -C "$build" -t commands -s "$object" | grep -q -- '/EHs-c-' ||
         fail "$object (the module's code) is not compiled with /EHs-c-: the module is built without exceptions" ;;
  esac
done
ninja -C "$build" -t commands -s bin/maneshade-check.exe | grep -q '/MANIFEST:NO' ||
  fail "maneshade-check does not link with /MANIFEST:NO, so the linker's manifest would clash with its own"
[ "$failures" -eq 0 ] || exit 1
echo "msvc-mode: $(echo $objects | wc -w) objects and resources compiled; static runtime, no exceptions in the module, one manifest"
