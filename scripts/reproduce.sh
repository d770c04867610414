#!/bin/sh
# reproduce.sh: rebuilds a release from its source and compares the result with what was published.
#
#   scripts/reproduce.sh [--from DIR] [--runner docker|podman|chroot] [--mirror URL] [--keep] REF
#     REF is a release's tag (v1.2.3) or any commit. Builds that commit's release package
#     (scripts/package.sh) in a fresh Debian 12 and compares its checksums with the release's
#     SHA256SUMS, file by file. What makes the build comes from the commit, none of it from the
#     release under test:
#      - where it builds: the container image of the commit's release workflow (the `container:` of
#        .github/workflows/release.yml) with docker or podman when one runs; else, as root, a Debian
#        12 (bookworm) root made by debootstrap from the mirror (kept per mirror in build/reproduce);
#      - what it installs there: the packages that the commit's scripts/release-toolchain.txt names;
#      - the ZIP's date: the commit's time.
#     The release's BUILDINFO gives only the versions of those packages: where it names another
#     commit (or a modified tree), another image, another date, another package, or no version of
#     one, the check fails before it builds, naming each. A tag that is not the commit's version
#     (v9.9.9 on a commit of 1.0.0) fails too: the release workflow releases no such tag.
#     The release's SHA256SUMS, BUILDINFO and ZIP are downloaded from the GitHub release of the tag
#     (gh, or curl from the origin remote), or read from DIR (--from: a folder of downloads, or
#     build/ci-mingw after scripts/test.sh). The release's files at hand (the ZIP, its members, and
#     whichever files that SHA256SUMS names are in DIR) are checked against that SHA256SUMS first: a
#     rebuild speaks for a copy only when the copy has the sums that the rebuild reproduced.
#     --mirror names another Debian mirror (for versions that deb.debian.org no longer carries, a
#     snapshot archive); --keep leaves the build root in place.
#     Exit status 0: reproduced; 1: not (a file's sum differs; or the release's files disagree with
#     each other or with the commit); 2: it could not check (bad arguments, no build).
#
#     Not a sandbox. With docker or podman the whole build runs in a container. The chroot runner
#     installs the packages as root in the Debian root, with this machine's /dev and a /proc
#     mounted; then it runs the commit's build (its scripts and CMake files) as the user nobody with
#     no new privileges, where util-linux's unshare can make them in namespaces of its own (no
#     network, its own processes, mounts, host name and a /dev of five devices), on the same kernel.
#     For a release or a commit you do not trust, use docker or podman, or a throwaway virtual
#     machine.
#
#   scripts/reproduce.sh --record FILE
#     Writes the BUILDINFO of this checkout and machine to FILE: the commit ("(modified tree)" after
#     it when the work tree differs from it), SOURCE_DATE_EPOCH, the image, the toolchain's versions
#     and every installed package's (scripts/test.sh writes build/ci-mingw/BUILDINFO; the release
#     publishes it beside SHA256SUMS). It warns when the package is not the commit's.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
# The earliest time a ZIP entry holds: the ZIP's dates in a tree that is no git checkout.
NO_GIT_EPOCH=315532800
FORMAT="ManeShade-BUILDINFO 1"
TAB=$(printf '\t')
CR=$(printf '\r')

usage() {
  echo "usage: scripts/reproduce.sh [--from DIR] [--runner docker|podman|chroot] [--mirror URL] [--keep] REF"
  echo "       scripts/reproduce.sh --record FILE"
  echo "       scripts/reproduce.sh --help"
}
die() {
  echo "reproduce: $*" >&2
  exit 2
}
bad_usage() {
  usage >&2
  exit 2
}
utc() {
  date -u -d "@$1" '+%Y-%m-%d %H:%M:%S UTC' 2>/dev/null || echo "$1"
}

# The image of the release workflow's job, read from its text at COMMIT (or the work tree's).
release_image() {
  if [ -n "${1:-}" ]; then
    git show "$1:.github/workflows/release.yml" 2>/dev/null || true
  else
    cat .github/workflows/release.yml
  fi | sed -n -E 's/^ +container: *([^ #]+).*/\1/p' | head -n 1
}

# The toolchain's package names, one a line, from scripts/release-toolchain.txt at COMMIT (or the
# work tree's); a commit that predates that file names them in its scripts/reproduce.sh (TOOLCHAIN).
toolchain() {
  if [ -z "${1:-}" ]; then
    cat scripts/release-toolchain.txt
  elif git cat-file -e "$1:scripts/release-toolchain.txt" 2>/dev/null; then
    git show "$1:scripts/release-toolchain.txt"
  else
    git show "$1:scripts/reproduce.sh" 2>/dev/null | sed -n '/^TOOLCHAIN="/,/"$/p' | sed 's/^TOOLCHAIN=//; s/"//g'
  fi | sed 's/#.*//' | tr -s '[:blank:]' '\n' | grep -v '^$' || true
}

case ${1:-} in
  -h | --help)
    usage
    sed -n '2,/^set -eu/p' "$0" | sed -e '$d' -e 's/^# \{0,1\}/  /'
    exit 0
    ;;
esac

if [ "${1:-}" = "--record" ]; then
  [ $# -eq 2 ] || bad_usage
  commit=unknown
  commit_epoch=""
  mark=""
  if [ -e .git ] && head=$(git rev-parse HEAD 2>/dev/null); then
    commit=$head
    commit_epoch=$(git log -1 --format=%ct)
    changes=$(git status --porcelain) || die "git cannot tell whether the work tree differs from commit $commit"
    if [ -n "$changes" ]; then
      mark=" (modified tree)"
      echo "reproduce: warning: the work tree differs from commit $commit ($(echo "$changes" | wc -l) files changed or not in git): BUILDINFO records \"$commit$mark\", and no rebuild of the commit is this package" >&2
    fi
  fi
  if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    epoch=$SOURCE_DATE_EPOCH
    [ -z "$commit_epoch" ] || [ "$epoch" = "$commit_epoch" ] ||
      echo "reproduce: warning: SOURCE_DATE_EPOCH is $epoch in the environment, not the commit's time $commit_epoch: BUILDINFO records $epoch, and no rebuild of the commit is this package" >&2
  elif [ -n "$commit_epoch" ]; then
    epoch=$commit_epoch
  else
    epoch=$NO_GIT_EPOCH
  fi
  pins=""
  for package in $(toolchain); do
    version=$(dpkg-query -W -f='${Version}' "$package" 2>/dev/null) || die "$package is not installed: record the environment that built the package"
    pins="$pins $package=$version"
  done
  {
    echo "Format: $FORMAT"
    echo "Commit: $commit$mark"
    echo "Source-Date-Epoch: $epoch"
    echo "Image: $(release_image)"
    echo "Debian: $(cat /etc/debian_version 2>/dev/null || echo unknown)"
    echo "Toolchain:$pins"
    echo "Installed:"
    dpkg-query -W -f=' ${Package}=${Version}\n' | LC_ALL=C sort
  } >"$2"
  echo "reproduce: $2 written (commit $commit$mark, SOURCE_DATE_EPOCH $epoch)"
  exit 0
fi

from=""
runner=""
mirror=http://deb.debian.org/debian
keep=false
ref=""
while [ $# -gt 0 ]; do
  case $1 in
    --from | --runner | --mirror)
      [ $# -ge 2 ] || bad_usage
      case $1 in
        --from) from=$2 ;;
        --runner) runner=$2 ;;
        --mirror) mirror=$2 ;;
      esac
      shift 2
      ;;
    --keep) keep=true; shift ;;
    -*) bad_usage ;;
    *)
      [ -z "$ref" ] || bad_usage
      ref=$1
      shift
      ;;
  esac
done
[ -n "$ref" ] || bad_usage
case $runner in "" | docker | podman | chroot) ;; *) die "--runner takes docker, podman or chroot" ;; esac
echo "$mirror" | grep -q -E '^https?://[A-Za-z0-9./:_~%+-]+$' || die "--mirror takes an http:// or https:// URL"

# What the build is made of, from the commit.
commit=$(git rev-parse --verify -q "$ref^{commit}") || die "$ref is no commit here (for a tag: git fetch --tags)"
git cat-file -e "$commit:scripts/package.sh" 2>/dev/null || die "$ref predates scripts/package.sh: it was not built to be reproduced"
version=$(git show "$commit:CMakeLists.txt" | sed -n -E 's/^project\(ManeShade VERSION ([0-9.]+).*/\1/p')
image=$(release_image "$commit")
names=$(toolchain "$commit")
toolchain_file=scripts/release-toolchain.txt
git cat-file -e "$commit:$toolchain_file" 2>/dev/null || toolchain_file="TOOLCHAIN of scripts/reproduce.sh"
epoch=$(git log -1 --format=%ct "$commit")
if [ -z "$version" ] || [ -z "$image" ] || [ -z "$names" ]; then
  die "cannot read the version, the release workflow's image or the toolchain at $ref"
fi
echo "$image" | grep -q -E '^[A-Za-z0-9][A-Za-z0-9./:@_-]*$' || die "the release workflow of $ref names no image: '$image'"
for name in $names; do
  echo "$name" | grep -q -E '^[a-z0-9][a-z0-9+.-]+$' || die "the toolchain of $ref names no Debian package: '$name'"
done
zip_name=ManeShade-$version-win64.zip

work=$root/build/reproduce/$commit
chroot_dir=$work/root
# The Debian 12 root has the machine's /dev and a /proc mounted while it installs; never remove through them.
unmount_root() {
  for mounted in "$chroot_dir/dev" "$chroot_dir/proc"; do
    if mountpoint -q "$mounted" 2>/dev/null; then umount "$mounted" || umount -l "$mounted"; fi
  done
}
unmount_root
rm -rf --one-file-system "$work"
mkdir -p "$work/release" "$work/out"

# The published files.
if [ -n "$from" ]; then
  [ -f "$from/SHA256SUMS" ] || die "$from holds no SHA256SUMS"
  cp "$from/SHA256SUMS" "$work/release/"
  [ ! -f "$from/BUILDINFO" ] || cp "$from/BUILDINFO" "$work/release/"
  [ ! -f "$from/$zip_name" ] || cp "$from/$zip_name" "$work/release/"
  release_from=$from
else
  repo=$(git remote get-url origin 2>/dev/null | sed -n -E 's#^(https://|git@|ssh://git@)github\.com[:/]([^/]+/[^/]+)$#\2#p' | sed 's/\.git$//')
  [ -n "$repo" ] || die "the origin remote is not on GitHub: download the release's SHA256SUMS and BUILDINFO and give their folder with --from"
  for name in SHA256SUMS BUILDINFO "$zip_name"; do
    if command -v gh >/dev/null; then
      gh release download "$ref" --repo "$repo" --pattern "$name" --dir "$work/release" || true
    else
      curl -fsSL -o "$work/release/$name" "https://github.com/$repo/releases/download/$ref/$name" || rm -f "$work/release/$name"
    fi
  done
  [ -f "$work/release/SHA256SUMS" ] || die "cannot download SHA256SUMS of the release $ref of $repo"
  release_from="the release $ref of $repo"
fi

# SUMS as "NAME<tab>SUM" lines in byte order of the names, into OUT: the lines' order and their line
# ends (LF or CR LF) aside. A line that is no "SUM  NAME" (sha256sum's form) or a name given twice
# is named, and fails.
parse_sums() { # SUMS OUT
  LC_ALL=C awk -v what="$3" '
    { sub(/\r$/, "") }
    {
      sum = substr($0, 1, 64); mode = substr($0, 65, 2); name = substr($0, 67)
      if (length(sum) != 64 || sum !~ /^[0-9A-Fa-f]+$/ || (mode != "  " && mode != " *") || name == "" || name ~ /\//) {
        printf "reproduce: %s: line %d is no \"SHA-256  NAME\": %s\n", what, NR, $0 > "/dev/stderr"; bad = 1; next
      }
      if (name in seen) { printf "reproduce: %s names %s twice\n", what, name > "/dev/stderr"; bad = 1 }
      seen[name] = 1
      print name "\t" tolower(sum)
    }
    END { exit bad }' "$1" >"$2.unsorted" || return 1
  LC_ALL=C sort "$2.unsorted" >"$2"
}
sum_of() { # NAME SUMS
  awk -F '\t' -v name="$1" '$1 == name { print $2 }' "$2"
}
sha256() {
  sha256sum <"$1" | cut -c 1-64
}
parse_sums "$work/release/SHA256SUMS" "$work/release.sums" "the release's SHA256SUMS" ||
  { echo "reproduce: NOT reproduced: the release's SHA256SUMS is not a list of checksums" >&2; exit 1; }

# The release's files at hand must be the ones its SHA256SUMS names, or no rebuild speaks for them.
: >"$work/mismatches"
checked=""
if [ -f "$work/release/$zip_name" ]; then
  expected=$(sum_of "$zip_name" "$work/release.sums")
  actual=$(sha256 "$work/release/$zip_name")
  if [ -z "$expected" ]; then
    echo "the release's SHA256SUMS names no $zip_name" >>"$work/mismatches"
  elif [ "$actual" != "$expected" ]; then
    echo "$zip_name: its SHA-256 is $actual, the release's SHA256SUMS says $expected" >>"$work/mismatches"
  fi
  mkdir -p "$work/release/unpacked"
  (cd "$work/release/unpacked" && cmake -E tar xf "../$zip_name") ||
    echo "$zip_name cannot be unpacked" >>"$work/mismatches"
  (cd "$work/release/unpacked" && find . -type f | sed 's#^\./##' | LC_ALL=C sort) >"$work/members"
  while IFS= read -r member; do
    expected=$(sum_of "$member" "$work/release.sums")
    actual=$(sha256 "$work/release/unpacked/$member")
    if [ -z "$expected" ]; then
      echo "$member (in $zip_name): the release's SHA256SUMS does not name it" >>"$work/mismatches"
    elif [ "$actual" != "$expected" ]; then
      echo "$member (in $zip_name): its SHA-256 is $actual, the release's SHA256SUMS says $expected" >>"$work/mismatches"
    fi
  done <"$work/members"
  while IFS="$TAB" read -r name expected; do
    [ "$name" = "$zip_name" ] || [ -f "$work/release/unpacked/$name" ] ||
      echo "$name: the release's SHA256SUMS names it, $zip_name does not hold it" >>"$work/mismatches"
  done <"$work/release.sums"
  checked="$zip_name and the $(wc -l <"$work/members") files in it"
fi
if [ -n "$from" ]; then
  loose=0
  while IFS="$TAB" read -r name expected; do
    if [ "$name" = "$zip_name" ] || [ ! -f "$from/$name" ]; then continue; fi
    actual=$(sha256 "$from/$name")
    [ "$actual" = "$expected" ] ||
      echo "$from/$name: its SHA-256 is $actual, the release's SHA256SUMS says $expected" >>"$work/mismatches"
    loose=$((loose + 1))
  done <"$work/release.sums"
  [ "$loose" -eq 0 ] || checked="${checked:+$checked, and }$loose files beside it in $from"
fi
if [ -s "$work/mismatches" ]; then
  echo "reproduce: NOT reproduced: the release's files at hand ($release_from) are not those its SHA256SUMS names:" >&2
  sed 's/^/  /' "$work/mismatches" >&2
  echo "reproduce: no rebuild speaks for these copies: do not use them; download the release again" >&2
  exit 1
fi

# What the release says it was built with: only the versions of the commit's packages are taken
# from BUILDINFO; anything else in it must agree with the commit.
: >"$work/disagreements"
disagree() {
  echo "$*" >>"$work/disagreements"
}
tag=${ref#refs/tags/}
if git show-ref --verify -q "refs/tags/$tag"; then
  case $tag in
    v*) [ "$tag" = "v$version" ] ||
      disagree "the tag $tag is not v$version, the version of its commit (CMakeLists.txt): the release workflow releases no such tag" ;;
  esac
fi
buildinfo=$work/release/BUILDINFO
pins=""
if [ -f "$buildinfo" ]; then
  tr -d '\r' <"$buildinfo" >"$work/buildinfo"
  field() {
    values=$(sed -n "s/^$1: *//p" "$work/buildinfo")
    [ "$(echo "$values" | grep -c .)" -le 1 ] || disagree "BUILDINFO has more than one $1 line"
    echo "$values" | head -n 1
  }
  [ "$(field Format)" = "$FORMAT" ] || disagree "BUILDINFO is not of the format \"$FORMAT\" (Format: $(field Format))"
  recorded=$(field Commit)
  case $recorded in
    "$commit") ;;
    "") disagree "BUILDINFO has no Commit line" ;;
    "$commit "*) disagree "BUILDINFO says the release was built from a modified tree of $commit (\"$recorded\"): it is not that commit's build" ;;
    *) disagree "BUILDINFO names the commit \"$recorded\", not $commit ($ref)" ;;
  esac
  recorded=$(field Source-Date-Epoch)
  if [ -z "$recorded" ]; then
    disagree "BUILDINFO has no Source-Date-Epoch line"
  elif [ "$recorded" != "$epoch" ]; then
    disagree "BUILDINFO dates the ZIP \"$recorded\"$(echo "$recorded" | grep -q -E '^[0-9]+$' && echo " ($(utc "$recorded"))"), not by the commit's time, $epoch ($(utc "$epoch"))"
  fi
  recorded=$(field Image)
  if [ -z "$recorded" ]; then
    disagree "BUILDINFO has no Image line"
  elif [ "$recorded" != "$image" ]; then
    disagree "BUILDINFO names the image \"$recorded\"; the release workflow of $ref runs in $image"
  fi
  # Words of BUILDINFO, never patterns.
  set -f
  seen=" "
  for pin in $(field Toolchain); do
    name=${pin%%=*}
    case $seen in
      *" $name "*) disagree "BUILDINFO's Toolchain names $name twice"; continue ;;
    esac
    seen="$seen$name "
    if [ "$name" = "$pin" ] || ! printf '%s\n' "${pin#*=}" | grep -q -x -E '[0-9][A-Za-z0-9.+~:-]*'; then
      disagree "BUILDINFO's Toolchain has \"$pin\", which is no package=version"
    elif ! printf '%s\n' "$names" | grep -q -x -F -- "$name"; then
      disagree "BUILDINFO's Toolchain adds the package $name, which the toolchain of $ref ($toolchain_file) does not name"
    else
      pins="${pins:+$pins }$pin"
    fi
  done
  set +f
  for name in $names; do
    case $seen in
      *" $name "*) ;;
      *) disagree "BUILDINFO's Toolchain gives no version of $name, which the toolchain of $ref names" ;;
    esac
  done
else
  echo "reproduce: warning: the release has no BUILDINFO: the toolchain is installed at the versions the mirror has today" >&2
  pins=$(echo "$names" | tr '\n' ' ')
fi
if [ -s "$work/disagreements" ]; then
  echo "reproduce: NOT reproduced: the release ($release_from) disagrees with $ref:" >&2
  sed 's/^/  /' "$work/disagreements" >&2
  ! grep -q '^BUILDINFO' "$work/disagreements" ||
    echo "reproduce: the image, the packages and the date come from the commit, never from BUILDINFO: a BUILDINFO that names others is not this commit's release" >&2
  exit 1
fi
echo "reproduce: $ref = $commit, ManeShade $version, SOURCE_DATE_EPOCH $epoch ($(utc "$epoch"), the commit's time)"
echo "reproduce: toolchain: $pins"
[ -z "$checked" ] || echo "reproduce: the release's $checked match its SHA256SUMS"

git archive --format=tar -o "$work/source.tar" "$commit"
# Run as root inside the Debian 12 root, with this folder as /work: installs the toolchain, and
# gives the build a folder of the user nobody. Exit status 10: the mirror could not be read; 11: the
# packages could not be installed.
cat >"$work/install.sh" <<EOF
set -eu
export DEBIAN_FRONTEND=noninteractive
rm -f /etc/apt/sources.list.d/debian.sources
printf '%s\n' "deb $mirror bookworm main" "deb $mirror bookworm-updates main" \
  "deb http://deb.debian.org/debian-security bookworm-security main" >/etc/apt/sources.list
apt-get update -qq --error-on=any >/work/out/apt-update.log 2>&1 || exit 10
apt-get install -y -qq --no-install-recommends -o Dpkg::Use-Pty=0 $pins >/work/out/apt.log 2>&1 || exit 11
dpkg-query -W -f=' \${Package}=\${Version}\n' | LC_ALL=C sort >/work/out/installed
rm -rf /build
mkdir -p /build/home /build/out
chown -R 65534:65534 /build
EOF
# Run as nobody: builds the package from the commit's source in /build. Exit status 12: the build failed.
cat >"$work/build.sh" <<EOF
set -eu
mkdir -p /build/src
tar -x -C /build/src -f /work/source.tar
cd /build/src
SOURCE_DATE_EPOCH=$epoch scripts/package.sh /build/package >/build/out/build.log 2>&1 ||
  { tail -n 30 /build/out/build.log; exit 12; }
cp /build/package/$zip_name /build/package/SHA256SUMS /build/out/
tail -n 1 /build/out/build.log
EOF
as_nobody="setpriv --reuid=65534 --regid=65534 --clear-groups --no-new-privs /usr/bin/env -i HOME=/build/home PATH=/usr/local/bin:/usr/bin:/bin"
# docker and podman: both steps in one container, whose results go to /work/out.
cat >"$work/container.sh" <<EOF
status=0
sh /work/install.sh || status=\$?
[ "\$status" -ne 0 ] || $as_nobody sh /work/build.sh || status=\$?
cp /build/out/* /work/out/ 2>/dev/null
exit \$status
EOF

if [ -z "$runner" ]; then
  if command -v docker >/dev/null && docker info >/dev/null 2>&1; then
    runner=docker
  elif command -v podman >/dev/null && podman info >/dev/null 2>&1; then
    runner=podman
  elif [ "$(id -u)" -eq 0 ]; then
    runner=chroot
  else
    die "needs docker or podman, or root for a debootstrap root"
  fi
elif [ "$runner" != chroot ]; then
  command -v "$runner" >/dev/null || die "--runner $runner: there is no $runner here"
  "$runner" info >/dev/null 2>&1 || die "--runner $runner: '$runner info' fails: is its daemon (or service) running, and may this user use it?"
fi
status=0
case $runner in
  docker | podman)
    echo "reproduce: building in the image $image (the release workflow's) with $runner"
    "$runner" run --rm -v "$work:/work" "$image" sh /work/container.sh || status=$?
    ;;
  chroot)
    [ "$(id -u)" -eq 0 ] || die "a chroot needs root"
    if ! command -v debootstrap >/dev/null; then
      apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
    fi
    # The debootstrap root is kept, per mirror, for the next rebuild.
    key=$(printf '%s' "$mirror" | sha256sum | cut -c 1-12)
    base=$root/build/reproduce/debian12-minbase-$key.tar
    if [ -f "$base" ]; then
      echo "reproduce: building in a Debian 12 (bookworm) root that debootstrap made from $mirror on $(date -u -r "$base" '+%Y-%m-%d') (build/reproduce/${base##*/}, kept; remove it for a new one)"
    else
      echo "reproduce: building in a Debian 12 (bookworm) root that debootstrap makes now from $mirror"
      bootstrap=$root/build/reproduce/debootstrap
      rm -rf "$bootstrap"
      debootstrap --variant=minbase bookworm "$bootstrap" "$mirror" >"$root/build/reproduce/debootstrap.log" 2>&1 ||
        die "debootstrap failed: $mirror cannot be reached or has no bookworm (see build/reproduce/debootstrap.log)"
      tar -C "$bootstrap" -cf "$base.part" . && mv "$base.part" "$base" && rm -rf "$bootstrap"
    fi
    mkdir -p "$chroot_dir"
    tar -C "$chroot_dir" -xf "$base"
    cp /etc/resolv.conf "$chroot_dir/etc/resolv.conf"
    mkdir -p "$chroot_dir/work/out"
    cp "$work/source.tar" "$work/install.sh" "$work/build.sh" "$chroot_dir/work/"
    trap unmount_root EXIT
    trap 'exit 130' INT TERM
    mount -t proc proc "$chroot_dir/proc"
    mount --bind /dev "$chroot_dir/dev"
    chroot "$chroot_dir" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      sh /work/install.sh || status=$?
    unmount_root
    if [ "$status" -eq 0 ]; then
      # The build in namespaces of its own: no network, its own processes (and /proc), mounts, host
      # name and IPC, and a /dev of null, zero, full, random and urandom.
      # shellcheck disable=SC2016 # the script is the namespace's shell's
      isolated='mount -t tmpfs -o mode=755,nosuid,noexec tmpfs "$1/dev" &&
        for device in null zero full random urandom; do : >"$1/dev/$device" && mount --bind "/dev/$device" "$1/dev/$device" || exit 1; done &&
        hostname maneshade-rebuild && shift && exec chroot "$@"'
      if unshare --net --pid --ipc --uts --mount --fork --mount-proc="$chroot_dir/proc" true 2>/dev/null; then
        # shellcheck disable=SC2086 # $as_nobody: a command of several words
        unshare --net --pid --ipc --uts --mount --fork --mount-proc="$chroot_dir/proc" \
          sh -c "$isolated" sh "$chroot_dir" "$chroot_dir" $as_nobody sh /work/build.sh || status=$?
      else
        echo "reproduce: warning: unshare cannot make namespaces here: the build runs as nobody, with this machine's network and processes in view" >&2
        mount -t proc proc "$chroot_dir/proc"
        mount --bind /dev "$chroot_dir/dev"
        # shellcheck disable=SC2086 # $as_nobody: a command of several words
        chroot "$chroot_dir" $as_nobody sh /work/build.sh || status=$?
        unmount_root
      fi
    fi
    cp "$chroot_dir"/work/out/* "$chroot_dir"/build/out/* "$work/out/" 2>/dev/null || true
    [ "$keep" = true ] || rm -rf --one-file-system "$chroot_dir"
    ;;
esac
if [ "$status" -ne 0 ]; then
  where="build/reproduce/$commit/out"
  case $status in
    10)
      tail -n 5 "$work/out/apt-update.log" >&2 2>/dev/null || true
      die "apt-get update failed: the mirror $mirror (or Debian's security archive) cannot be reached or read ($where/apt-update.log)"
      ;;
    11)
      missing=$(sed -n "s/^E: Version '\(.*\)' for '\(.*\)' was not found.*/\2=\1/p" "$work/out/apt.log" 2>/dev/null | tr '\n' ' ')
      [ -z "$missing" ] ||
        die "the mirror $mirror does not carry ${missing% }: the release was built with versions it no longer has; give a snapshot archive of the release's time as --mirror (https://snapshot.debian.org/archive/debian/YYYYMMDDT000000Z/)"
      tail -n 20 "$work/out/apt.log" >&2 2>/dev/null || true
      die "installing the toolchain failed ($where/apt.log)"
      ;;
    12) die "the build of $ref failed ($where/build.log)" ;;
    *)
      if [ "$runner" = chroot ]; then
        die "the Debian 12 root could not run the build (exit status $status)"
      fi
      die "$runner could not run the image $image (exit status $status): is its daemon running, and can it pull the image?"
      ;;
  esac
fi
[ -f "$work/out/SHA256SUMS" ] || die "the build left no SHA256SUMS"

# The packages of the root that the release build had at other versions (the toolchain is pinned).
: >"$work/other-versions"
if [ -f "$buildinfo" ] && [ -f "$work/out/installed" ]; then
  sed -n 's/^ //p' "$work/buildinfo" | LC_ALL=C sort -t = -k 1,1 >"$work/recorded"
  sed 's/^ //' "$work/out/installed" | LC_ALL=C sort -t = -k 1,1 >"$work/installed"
  LC_ALL=C join -t = "$work/recorded" "$work/installed" |
    awk -F = '$2 != $3 {print "  " $1 ": " $2 " in the release build, " $3 " here"}' >"$work/other-versions"
fi

# The sums, file by file.
parse_sums "$work/out/SHA256SUMS" "$work/built.sums" "the built SHA256SUMS" || die "the build's SHA256SUMS is no list of checksums"
LC_ALL=C join -t "$TAB" -a 1 -a 2 -e - -o 0,1.2,2.2 "$work/release.sums" "$work/built.sums" |
  awk -F '\t' '
    $2 == "-" { print "  " $1 ": built here, not named in the release'"'"'s SHA256SUMS"; next }
    $3 == "-" { print "  " $1 ": named in the release'"'"'s SHA256SUMS, not built here"; next }
    $2 != $3 { print "  " $1 ": " $2 " in the release'"'"'s SHA256SUMS, " $3 " built here" }' >"$work/differences"
if [ ! -s "$work/differences" ]; then
  echo "reproduce: reproduced: every file that the release's SHA256SUMS names has the SHA-256 that $commit builds:"
  sed 's/^/  /' "$work/out/SHA256SUMS"
  if ! cmp -s "$work/release/SHA256SUMS" "$work/out/SHA256SUMS"; then
    how=""
    grep -q "$CR" "$work/release/SHA256SUMS" && how="CR LF line ends"
    if [ "$(tr -d '\r' <"$work/release/SHA256SUMS" | LC_ALL=C sort)" = "$(LC_ALL=C sort "$work/out/SHA256SUMS")" ]; then
      [ "$(tr -d '\r' <"$work/release/SHA256SUMS")" = "$(cat "$work/out/SHA256SUMS")" ] ||
        how="${how:+$how and }its lines in another order"
    else
      how="${how:+$how and }other bytes (the letter case of the sums, or the * of binary mode)"
    fi
    echo "reproduce: the release's SHA256SUMS holds these sums with $how: the sums are what counts"
  fi
  [ ! -s "$work/other-versions" ] ||
    echo "reproduce: $(wc -l <"$work/other-versions") other packages of the root had other versions in the release build (build/reproduce/$commit/other-versions)"
  if [ -n "$checked" ]; then
    echo "reproduce: the release's $checked have these sums: they are what $ref builds."
  else
    echo "reproduce: the release's ZIP was not at hand: this speaks for a copy only when the copy has these sums."
  fi
  echo "reproduce: check the files you use against this same SHA256SUMS: beside them, sha256sum --ignore-missing -c SHA256SUMS; on Windows, certutil -hashfile FILE SHA256"
  exit 0
fi
echo "reproduce: NOT reproduced: what $ref builds differs from the release's SHA256SUMS:" >&2
cat "$work/differences" >&2
[ ! -s "$work/other-versions" ] || { echo "reproduce: packages at other versions than in the release build:"; cat "$work/other-versions"; } >&2
# With the release's ZIP at hand: the first differing byte of each file that differs.
if [ -f "$work/release/$zip_name" ] && [ -f "$work/out/$zip_name" ]; then
  mkdir -p "$work/out/unpacked"
  (cd "$work/out/unpacked" && cmake -E tar xf "../$zip_name")
  for file in "$zip_name" $(cd "$work/release/unpacked" && find . -type f | sed 's#^\./#unpacked/#' | LC_ALL=C sort); do
    found=$(LC_ALL=C cmp "$work/release/$file" "$work/out/$file" 2>&1) && continue
    byte=$(echo "$found" | sed -n -E 's/.* differ: (byte|char) ([0-9]+),.*/\2/p')
    if [ -n "$byte" ]; then
      echo "reproduce: ${file#unpacked/}: the first differing byte is at offset $((byte - 1)) ($(printf '0x%x' $((byte - 1))))" >&2
    else
      echo "reproduce: ${file#unpacked/}: $(echo "$found" | sed "s#$work/##g")" >&2
    fi
  done
fi
echo "reproduce: both are in $work (release/, out/)" >&2
exit 1
