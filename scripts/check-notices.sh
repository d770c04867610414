#!/bin/sh
# check-notices.sh [BUILD_DIR]: the release ZIP of the mingw-w64 build folder BUILD_DIR (default
# build/ci-mingw, after cpack) holds THIRD-PARTY-NOTICES.txt, and that file has a section for every
# part of the toolchain's libraries that the two shipped programs hold. What they hold is read from
# their link maps (bin/ManeShade.map, bin/maneshade-check.map): every archive member and object the
# linker took from outside the project. A library that the table below does not know fails too:
# its license is to be read, and its notice added to dist/THIRD-PARTY-NOTICES.txt and its name here,
# before it ships.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
dir=${1:-build/ci-mingw}
zip=$(cd "$dir" && ls ManeShade-*-win64.zip) || { echo "check-notices: no release ZIP in $dir (run cpack there)" >&2; exit 1; }
scratch=$dir/notices-check
rm -rf "$scratch"
mkdir -p "$scratch"
(cd "$scratch" && cmake -E tar xf "../$zip")
notices=$scratch/THIRD-PARTY-NOTICES.txt
[ -f "$notices" ] || { echo "check-notices: $zip holds no THIRD-PARTY-NOTICES.txt" >&2; exit 1; }

# The files the linker took from outside the project: "ARCHIVE(MEMBER)" for archive members, the
# path for objects.
linked() { # MAP
  awk '/^Archive member included/ { members = 1; next }
       /^(Discarded input sections|Memory Configuration)/ { members = 0 }
       members && /^\// { sub(/\).*/, ")"); print; next }
       /^LOAD \/.*\.o$/ { print $2 }' "$1" | grep -v -F "$root/" | LC_ALL=C sort -u
}

# The sections of THIRD-PARTY-NOTICES.txt (their headings' first words) that a linked file needs.
section() { # FILE
  case $1 in
    */x86_64-w64-mingw32/lib/libpthread.a\(* | */x86_64-w64-mingw32/lib/libwinpthread.a\(*)
      echo "winpthreads" ;;
    */x86_64-w64-mingw32/lib/libmingwex.a\(*)
      echo "The mingw-w64 runtime"
      case ${1##*/} in
        # The members built from mingw-w64-crt/gdtoa/.
        *-arithchk.o\) | *-dmisc.o\) | *-dtoa.o\) | *-g__fmt.o\) | *-g_dfmt.o\) | *-g_ffmt.o\) | \
          *-g_xfmt.o\) | *-gdtoa.o\) | *-gethex.o\) | *-gmisc.o\) | *-hd_init.o\) | *-hexnan.o\) | \
          *-misc.o\) | *-qnan.o\) | *-smisc.o\) | *-strtodg.o\) | *-strtodnrp.o\) | *-strtof.o\) | \
          *-strtopx.o\) | *-sum.o\) | *-ulp.o\))
          echo "gdtoa" ;;
      esac
      ;;
    # The start-up objects, libmingw32, the C runtime's and every other import library.
    */x86_64-w64-mingw32/lib/*) echo "The mingw-w64 runtime" ;;
    /usr/lib/gcc/x86_64-w64-mingw32/*/libgcc.a\(* | /usr/lib/gcc/x86_64-w64-mingw32/*/libgcc_eh.a\(* | \
      /usr/lib/gcc/x86_64-w64-mingw32/*/libstdc++.a\(* | /usr/lib/gcc/x86_64-w64-mingw32/*/crtbegin.o | \
      /usr/lib/gcc/x86_64-w64-mingw32/*/crtend.o)
      echo "The GCC runtime libraries" ;;
    *) echo "?" ;;
  esac
}

failures=0
for program in ManeShade.asi maneshade-check.exe; do
  map=$dir/bin/${program%.*}.map
  [ -f "$map" ] || { echo "check-notices: no link map $map" >&2; exit 1; }
  linked "$map" >"$scratch/linked"
  [ -s "$scratch/linked" ] || { echo "check-notices: $map names no library: is it a link map?" >&2; exit 1; }
  # "SECTION<tab>FILE" for every file, then the first file of each section.
  while read -r file; do
    section "$file" | sed "s|\$|\t$file|"
  done <"$scratch/linked" | awk -F '\t' '!seen[$1 == "?" ? $2 : $1]++' >"$scratch/sections"
  needed=""
  while IFS="$(printf '\t')" read -r heading file; do
    if [ "$heading" = "?" ]; then
      echo "check-notices: $program holds $file, of a library that this script does not know: read its license, add its notice to dist/THIRD-PARTY-NOTICES.txt and its name here" >&2
      failures=$((failures + 1))
    elif ! grep -q -F "== $heading" "$notices"; then
      echo "check-notices: $program holds $heading (as $file), but THIRD-PARTY-NOTICES.txt has no section \"== $heading\"" >&2
      failures=$((failures + 1))
    fi
    [ "$heading" = "?" ] || needed="${needed:+$needed, }$heading"
  done <"$scratch/sections"
  echo "check-notices: $program holds $(wc -l <"$scratch/linked") files of the toolchain's libraries: $needed"
done
[ "$failures" -eq 0 ] && echo "check-notices: $zip's THIRD-PARTY-NOTICES.txt has a notice for each"
