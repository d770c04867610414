#!/bin/sh
# check-reproducible.sh [DIR]: builds the release package a second time and compares it byte for byte
# with the one in the build folder DIR (default build/ci-mingw, where scripts/test.sh runs cpack): the
# ZIP, SHA256SUMS and every file in the ZIP. A difference fails, naming the file and its first
# differing byte. The second build (scripts/package.sh) reuses no output of the first: it starts in
# an empty folder, build/reproducible, and differs from the first as another machine's would:
#  - in its folders: the sources are a copy of the work tree (build/reproducible/src; the ZIP's date,
#    SOURCE_DATE_EPOCH, is the first build's), built in build/reproducible/build;
#  - in its time: it starts later (it says how much later: in scripts/test.sh, the Windows tests run
#    between the two), in a time zone 14 hours east of UTC;
#  - with umask 077, and other USER, LOGNAME and HOME;
#  - in another locale: Turkish (tr_TR.UTF-8, whose letter case and order differ from C's), compiled
#    into the folder by localedef from the locales package, else another installed one; with
#    neither, C.UTF-8, whose order is C's, and it says so;
#  - run by root (as CI is), as another user (nobody, through util-linux's setpriv) when that user can
#    reach the folder, else as root with USER rebuild (it says which), and under another host name
#    (unshare --uts) where root may make one.
# Then `strings` over every file of the ZIP finds no absolute path, nor the names of the users and
# the host that built it.
set -eu
case ${1:-} in
  -h | --help)
    echo "usage: scripts/check-reproducible.sh [BUILD_DIR]"
    sed -n '2,/^set -eu/p' "$0" | sed -e '$d' -e 's/^# \{0,1\}/  /'
    exit 0
    ;;
  -*) echo "usage: scripts/check-reproducible.sh [BUILD_DIR]" >&2; exit 2 ;;
esac
cd "$(dirname "$0")/.."
root=$(pwd)
first=${1:-build/ci-mingw}
second=build/reproducible
zip_name=$(cd "$first" && ls ManeShade-*-win64.zip) || { echo "check-reproducible: no release ZIP in $first (run cpack there)" >&2; exit 1; }
first_zip=$(cd "$first" && pwd)/$zip_name

rm -rf "$second"
mkdir -p "$second/src" "$second/build" "$second/home" "$second/first" "$second/again" "$second/locale"
tar -c --exclude=./build --exclude=./.git -f - . | tar -x -C "$second/src" -f -
# The ZIP's date as cmake/zip_package.cmake takes it for the first build: the environment's, else the
# commit's; with neither, both builds date it alike.
if [ -z "${SOURCE_DATE_EPOCH:-}" ] && [ -e .git ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
fi
# Another locale: one whose letter case and order differ from C's.
locale_name=C.UTF-8
locale_path=""
locale_note="C.UTF-8 (no other locale here: its order is C's; install the locales package)"
if command -v localedef >/dev/null && [ -f /usr/share/i18n/locales/tr_TR ] &&
  localedef -i tr_TR -f UTF-8 "$second/locale/tr_TR.UTF-8" 2>/dev/null; then
  locale_name=tr_TR.UTF-8
  locale_path=$root/$second/locale
  locale_note="tr_TR.UTF-8"
else
  other_locale=$(locale -a 2>/dev/null | grep -v -i -x -E 'C|POSIX|C\.utf-?8' | head -n 1 || true)
  if [ -n "$other_locale" ]; then
    locale_name=$other_locale
    locale_note=$other_locale
  fi
fi
as_other=""
user=rebuild
who="$(id -un), with USER and LOGNAME rebuild"
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
  chown -R 65534:65534 "$second"
  other="setpriv --reuid=65534 --regid=65534 --clear-groups"
  if $other test -r "$root/$second/src/CMakeLists.txt" && $other test -w "$root/$second/build"; then
    as_other=$other
    user=nobody
    who=nobody
  else
    who="root, with USER and LOGNAME rebuild (nobody cannot reach $root/$second)"
  fi
fi
# Under a host name of its own where root may make one: the build runs as the arguments of the
# UTS namespace's shell.
set --
if [ "$(id -u)" -eq 0 ] && unshare --uts true 2>/dev/null; then
  set -- unshare --uts sh -c 'hostname maneshade-rebuild && exec "$@"' sh
fi
made=$first/bin/ManeShade.asi
[ -f "$made" ] || made=$first_zip
echo "check-reproducible: the first package was built by $(date -r "$made" '+%H:%M:%S'), in $first, by $(id -un) on $(uname -n)"
echo "check-reproducible: building it again $(($(date +%s) - $(date -r "$made" +%s))) seconds later, from $second/src in $second/build, as $who$([ $# -gt 0 ] && echo ' on maneshade-rebuild'), umask 077, TZ=XST-14, locale $locale_note"
(
  umask 077
  # shellcheck disable=SC2086 # $as_other: a command of several words, or none
  "$@" env -i PATH="$PATH" HOME="$root/$second/home" USER=$user LOGNAME=$user TZ=XST-14 LANG="$locale_name" LC_ALL="$locale_name" \
    ${locale_path:+LOCPATH=$locale_path} ${SOURCE_DATE_EPOCH:+SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH} \
    $as_other "$second/src/scripts/package.sh" "$second/build"
)

# Compares two files; a difference names the file and the first differing byte.
differences=0
compare() { # NAME FIRST SECOND
  if [ ! -f "$3" ]; then
    echo "check-reproducible: $1 is in the first package and not in the second" >&2
    differences=$((differences + 1))
  elif ! LC_ALL=C cmp -s "$2" "$3"; then
    found=$(LC_ALL=C cmp "$2" "$3" 2>&1 || true)
    byte=$(echo "$found" | sed -n -E 's/.* differ: (byte|char) ([0-9]+),.*/\2/p')
    if [ -n "$byte" ]; then
      echo "check-reproducible: $1 differs between the two builds: first at offset $((byte - 1)) ($(printf '0x%x' $((byte - 1)))), of $(wc -c <"$2") and $(wc -c <"$3") bytes" >&2
    else
      echo "check-reproducible: $1 differs between the two builds: $found" >&2
    fi
    differences=$((differences + 1))
  fi
}
(cd "$second/first" && cmake -E tar xf "$first_zip")
(cd "$second/again" && cmake -E tar xf "$root/$second/build/$zip_name")
for member in $(cd "$second/first" && find . -type f | sed 's#^\./##' | LC_ALL=C sort); do
  compare "$member (in the ZIP)" "$second/first/$member" "$second/again/$member"
done
[ "$(cd "$second/first" && find . -type f | wc -l)" -eq "$(cd "$second/again" && find . -type f | wc -l)" ] ||
  { echo "check-reproducible: the two ZIPs hold different files" >&2; differences=$((differences + 1)); }
compare "$zip_name" "$first_zip" "$second/build/$zip_name"
compare SHA256SUMS "$first/SHA256SUMS" "$second/build/SHA256SUMS"
[ "$differences" -eq 0 ] &&
  echo "check-reproducible: the same bytes: $zip_name, SHA256SUMS and the $(wc -l <"$first/SHA256SUMS") files they name ($(cut -c1-16 "$first/SHA256SUMS" | tail -n 1)... for the ZIP)"

# No trace of the machines: no absolute path (POSIX, or Windows with a drive) in any file, and in the
# built ones (the rest are the repository's texts) no name of the first build's user, home or host,
# nor the second's host name, as whole words of 4 characters or more.
names="$(id -un) $(basename "$HOME") $(uname -n) maneshade-rebuild"
traces=0
for member in $(cd "$second/first" && find . -type f | sed 's#^\./##' | LC_ALL=C sort); do
  text=$( (strings -a "$second/first/$member"; strings -a -el "$second/first/$member") )
  found=$(echo "$text" | grep -E '(^|[^[:alnum:]_.:/-])/[[:alnum:]_.-]{2,}/[[:alnum:]_.-]+|[A-Za-z]:\\[[:alnum:]_.-]' || true)
  for name in $names; do
    case $member in *.exe | *.asi | *.dll) ;; *) break ;; esac
    [ ${#name} -ge 4 ] || continue
    found="$found$(echo "$text" | grep -w -F -- "$name" || true)"
  done
  if [ -n "$found" ]; then
    echo "check-reproducible: $member names the machine that built it: $(echo "$found" | head -n 3 | tr '\n' ' ')" >&2
    traces=$((traces + 1))
  fi
done
[ "$traces" -eq 0 ] &&
  echo "check-reproducible: no absolute path, user or host name in any file of the ZIP (strings, ASCII and UTF-16)"
[ "$differences" -eq 0 ] && [ "$traces" -eq 0 ]
