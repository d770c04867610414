#!/bin/sh
# check-reproducible.sh [DIR]: builds the release package a second time and compares it byte for byte
# with the one in the build folder DIR (default build/ci-mingw, where scripts/test.sh runs cpack): the
# ZIP, SHA256SUMS and every file in the ZIP. A difference fails, naming the file and its first
# differing byte. The second build (scripts/package.sh) reuses no output of the first: it starts in
# an empty folder, build/reproducible, and differs from the first as another machine's would:
#  - in its folder, and in its time (it starts later, in a time zone 14 hours east of UTC);
#  - with umask 077, and other USER, LOGNAME, HOME and locale;
#  - run by root (as CI is), as another user (nobody, through util-linux's setpriv) when that user can
#    read the sources, and under another host name (unshare --uts) where root may make one.
# Then `strings` over every file of the ZIP finds no absolute path, nor the names of the users and
# the host that built it.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
first=${1:-build/ci-mingw}
second=build/reproducible
zip_name=$(cd "$first" && ls ManeShade-*-win64.zip) || { echo "check-reproducible: no release ZIP in $first (run cpack there)" >&2; exit 1; }
first_zip=$(cd "$first" && pwd)/$zip_name

rm -rf "$second"
mkdir -p "$second/build" "$second/home" "$second/first" "$second/again"
as_other=""
user=rebuild
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
  other="setpriv --reuid=65534 --regid=65534 --clear-groups"
  # nobody must read the sources and, in a git checkout, the commit's time (the ZIP's dates).
  if $other env GIT_CONFIG_COUNT=1 GIT_CONFIG_KEY_0=safe.directory GIT_CONFIG_VALUE_0='*' \
      sh -c 'cat CMakeLists.txt cmake/*.cmake dist/* >/dev/null && { [ ! -e .git ] || git log -1 --format=%ct >/dev/null; }' 2>/dev/null; then
    chown -R 65534:65534 "$second"
    as_other=$other
    user=nobody
  fi
fi
# Under a host name of its own where root may make one: the build runs as the arguments of the
# UTS namespace's shell.
set --
if [ "$(id -u)" -eq 0 ] && unshare --uts true 2>/dev/null; then
  set -- unshare --uts sh -c 'hostname maneshade-rebuild && exec "$@"' sh
fi
echo "check-reproducible: the first package was made at $(date -r "$first/$zip_name" '+%H:%M:%S'), in $first, by $(id -un) on $(uname -n)"
echo "check-reproducible: building it again at $(date '+%H:%M:%S'), in $second/build, as $user$([ $# -gt 0 ] && echo ' on maneshade-rebuild'), umask 077"
# SOURCE_DATE_EPOCH passes through when the first build had it; else both read the commit's time.
(
  umask 077
  # shellcheck disable=SC2086 # $as_other: a command of several words, or none
  "$@" env -i PATH="$PATH" HOME="$root/$second/home" USER=$user LOGNAME=$user TZ=XST-14 LANG=C.UTF-8 LC_ALL=C.UTF-8 \
    ${SOURCE_DATE_EPOCH:+SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH} \
    GIT_CONFIG_COUNT=1 GIT_CONFIG_KEY_0=safe.directory GIT_CONFIG_VALUE_0='*' \
    $as_other scripts/package.sh "$second/build"
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
