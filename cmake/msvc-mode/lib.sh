#!/bin/sh
# lib.sh: MSVC's lib for the MSVC-mode check (toolchain.cmake), made of LLVM's tools. llvm-lib 14
# archives static libraries as lib does, but cannot make an import library from a .def
# (`lib /def:FILE /machine:x64 /out:LIB`, as host/CMakeLists.txt asks): llvm-dlltool makes that.
set -eu
tool() {
  for name in "$@"; do
    command -v "$name" && return
  done
  echo "lib.sh: none of $* is installed (Debian's llvm-14)" >&2
  exit 2
}
def="" out=""
for arg in "$@"; do
  case "$arg" in
    [/-][dD][eE][fF]:*) def=${arg#*:} ;;
    [/-][oO][uU][tT]:*) out=${arg#*:} ;;
  esac
done
if [ -n "$def" ]; then
  exec "$(tool llvm-dlltool llvm-dlltool-14)" -m i386:x86-64 -d "$def" -l "$out"
fi
exec "$(tool llvm-lib llvm-lib-14)" "$@"
