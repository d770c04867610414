#!/bin/sh
# reproduce.sh: rebuilds a release from its source and compares the result with what was published.
#
#   scripts/reproduce.sh [--from DIR] [--runner docker|podman|chroot] [--mirror URL] [--keep] REF
#     REF is a release's tag (v1.2.3) or any commit. Builds that commit's release package
#     (scripts/package.sh) in a fresh Debian 12: the container image of the release workflow
#     (.github/workflows/release.yml at that commit) with docker or podman when one runs, else, as
#     root, a Debian 12 root made by debootstrap from the same mirror, the image's suites. The
#     toolchain (TOOLCHAIN below) is installed at the versions the release's BUILDINFO names; the ZIP's
#     dates come from the commit. Then the SHA256SUMS made so must be byte for byte the release's.
#     The release's SHA256SUMS and BUILDINFO are downloaded from the GitHub release of the tag (gh, or
#     curl from the origin remote), or read from DIR (--from), e.g. build/ci-mingw after
#     scripts/test.sh, or a folder of downloads; with the release's ZIP in DIR too, a difference
#     is shown down to its first byte. --mirror names another Debian mirror (for versions that
#     deb.debian.org no longer carries, a snapshot archive); --keep leaves the build root in place.
#     Exit status 0: reproduced; 1: the bytes differ; 2: it could not build.
#
#   scripts/reproduce.sh --record FILE
#     Writes the BUILDINFO of this checkout and machine to FILE: the commit, SOURCE_DATE_EPOCH, the
#     image, the toolchain's versions and every installed package's (scripts/test.sh writes
#     build/ci-mingw/BUILDINFO; the release publishes it beside SHA256SUMS).
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
# The Debian packages that make the package's bytes: the compilers, binutils, the Windows headers and
# C runtime, cmake, ninja and zip.
TOOLCHAIN="cmake cmake-data ninja-build zip g++-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-win32
  gcc-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-win32 gcc-mingw-w64-x86-64-posix-runtime
  gcc-mingw-w64-x86-64-win32-runtime gcc-mingw-w64-base binutils-mingw-w64-x86-64 mingw-w64-common
  mingw-w64-x86-64-dev"
# The earliest time a ZIP entry holds: the ZIP's dates in a tree that is no git checkout.
NO_GIT_EPOCH=315532800

die() {
  echo "reproduce: $*" >&2
  exit 2
}

# The image of the release workflow's job, read from its text at COMMIT (or the work tree's).
release_image() {
  if [ -n "${1:-}" ]; then
    git show "$1:.github/workflows/release.yml"
  else
    cat .github/workflows/release.yml
  fi | sed -n -E 's/^ +container: *([^ #]+).*/\1/p' | head -n 1
}

if [ "${1:-}" = "--record" ]; then
  [ $# -eq 2 ] || die "usage: scripts/reproduce.sh --record FILE"
  if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    epoch=$SOURCE_DATE_EPOCH
  elif [ -e .git ]; then
    epoch=$(git log -1 --format=%ct)
  else
    epoch=$NO_GIT_EPOCH
  fi
  commit=$(git rev-parse HEAD 2>/dev/null || echo unknown)
  pins=""
  for package in $TOOLCHAIN; do
    version=$(dpkg-query -W -f='${Version}' "$package" 2>/dev/null) || die "$package is not installed: record the environment that built the package"
    pins="$pins $package=$version"
  done
  {
    echo "Format: ManeShade-BUILDINFO 1"
    echo "Commit: $commit"
    echo "Source-Date-Epoch: $epoch"
    echo "Image: $(release_image)"
    echo "Debian: $(cat /etc/debian_version 2>/dev/null || echo unknown)"
    echo "Toolchain:$pins"
    echo "Installed:"
    dpkg-query -W -f=' ${Package}=${Version}\n' | LC_ALL=C sort
  } >"$2"
  echo "reproduce: $2 written (commit $commit, SOURCE_DATE_EPOCH $epoch)"
  exit 0
fi

from=""
runner=""
mirror=http://deb.debian.org/debian
keep=false
while [ $# -gt 1 ]; do
  case $1 in
    --from) from=$2; shift 2 ;;
    --runner) runner=$2; shift 2 ;;
    --mirror) mirror=$2; shift 2 ;;
    --keep) keep=true; shift ;;
    *) break ;;
  esac
done
if [ $# -ne 1 ] || [ "${1#-}" != "$1" ]; then
  die "usage: scripts/reproduce.sh [--from DIR] [--runner docker|podman|chroot] [--mirror URL] [--keep] REF"
fi
ref=$1
commit=$(git rev-parse --verify -q "$ref^{commit}") || die "$ref is no commit here (for a tag: git fetch --tags)"
git cat-file -e "$commit:scripts/package.sh" 2>/dev/null || die "$ref predates scripts/package.sh: it was not built to be reproduced"
version=$(git show "$commit:CMakeLists.txt" | sed -n -E 's/^project\(ManeShade VERSION ([0-9.]+).*/\1/p')
image=$(release_image "$commit")
if [ -z "$version" ] || [ -z "$image" ]; then die "cannot read the version or the release image at $ref"; fi

work=$root/build/reproduce/$commit
chroot_dir=$work/root
# The Debian 12 root has the machine's /dev and a /proc mounted while it builds; never remove through them.
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
  [ ! -f "$from/ManeShade-$version-win64.zip" ] || cp "$from/ManeShade-$version-win64.zip" "$work/release/"
else
  repo=$(git remote get-url origin 2>/dev/null | sed -n -E 's#^(https://|git@|ssh://git@)github\.com[:/]([^/]+/[^/]+)$#\2#p' | sed 's/\.git$//')
  [ -n "$repo" ] || die "the origin remote is not on GitHub: download the release's SHA256SUMS and BUILDINFO and give their folder with --from"
  for name in SHA256SUMS BUILDINFO "ManeShade-$version-win64.zip"; do
    if command -v gh >/dev/null; then
      gh release download "$ref" --repo "$repo" --pattern "$name" --dir "$work/release" || true
    else
      curl -fsSL -o "$work/release/$name" "https://github.com/$repo/releases/download/$ref/$name" || rm -f "$work/release/$name"
    fi
  done
  [ -f "$work/release/SHA256SUMS" ] || die "cannot download SHA256SUMS of the release $ref of $repo"
fi

# What the release was built with.
epoch=$(git log -1 --format=%ct "$commit")
pins=""
buildinfo=$work/release/BUILDINFO
if [ -f "$buildinfo" ]; then
  recorded_commit=$(sed -n 's/^Commit: //p' "$buildinfo")
  [ "$recorded_commit" = "$commit" ] || [ "$recorded_commit" = unknown ] ||
    echo "reproduce: warning: BUILDINFO was recorded at commit $recorded_commit, not $commit" >&2
  recorded_epoch=$(sed -n 's/^Source-Date-Epoch: //p' "$buildinfo")
  [ -z "$recorded_epoch" ] || epoch=$recorded_epoch
  pins=$(sed -n 's/^Toolchain: *//p' "$buildinfo")
  recorded_image=$(sed -n 's/^Image: //p' "$buildinfo")
  [ -z "$recorded_image" ] || image=$recorded_image
else
  echo "reproduce: warning: no BUILDINFO: the toolchain is installed at the versions the mirror has today" >&2
  # shellcheck disable=SC2086 # one word a package
  pins=$(printf '%s ' $TOOLCHAIN)
fi
# BUILDINFO comes with the release that is being checked: what it says goes into a root shell only
# when it is package=version words, a number and an image name.
for pin in $pins; do
  echo "$pin" | grep -q -E '^[a-z0-9][a-z0-9+.-]*(=[A-Za-z0-9.+~:-]+)?$' || die "BUILDINFO names no package version: '$pin'"
done
echo "$epoch" | grep -q -E '^[0-9]+$' || die "BUILDINFO's Source-Date-Epoch is no number: '$epoch'"
echo "$image" | grep -q -E '^[A-Za-z0-9][A-Za-z0-9./:@_-]*$' || die "BUILDINFO's image is no image name: '$image'"
echo "$mirror" | grep -q -E '^https?://[A-Za-z0-9./:_~%+-]+$' || die "--mirror takes an http:// or https:// URL"
echo "reproduce: $ref = $commit, ManeShade $version, SOURCE_DATE_EPOCH $epoch"
echo "reproduce: toolchain: $pins"

git archive --format=tar -o "$work/source.tar" "$commit"
# Run inside the Debian 12 root, with this folder as /work: installs the toolchain, builds the
# package in a folder of its own and copies it to /work/out.
cat >"$work/inside.sh" <<EOF
set -eu
export DEBIAN_FRONTEND=noninteractive
rm -f /etc/apt/sources.list.d/debian.sources
printf '%s\n' "deb $mirror bookworm main" "deb $mirror bookworm-updates main" \
  "deb http://deb.debian.org/debian-security bookworm-security main" >/etc/apt/sources.list
apt-get update -qq
apt-get install -y -qq --no-install-recommends -o Dpkg::Use-Pty=0 $pins >/work/out/apt.log 2>&1 ||
  { tail -n 20 /work/out/apt.log; exit 1; }
mkdir -p /build/ManeShade
tar -x -C /build/ManeShade -f /work/source.tar
cd /build/ManeShade
SOURCE_DATE_EPOCH=$epoch scripts/package.sh /build/package
cp /build/package/ManeShade-*-win64.zip /build/package/SHA256SUMS /work/out/
dpkg-query -W -f=' \${Package}=\${Version}\n' | LC_ALL=C sort >/work/out/installed
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
fi
echo "reproduce: building in $([ "$runner" = chroot ] && echo "a debootstrap Debian 12 (bookworm) from $mirror" || echo "$image with $runner")"
case $runner in
  docker | podman)
    "$runner" run --rm -v "$work:/work" "$image" sh /work/inside.sh ||
      die "the build in $image failed (a pinned version that the mirror no longer carries? see --mirror)"
    ;;
  chroot)
    [ "$(id -u)" -eq 0 ] || die "a chroot needs root"
    if ! command -v debootstrap >/dev/null; then
      apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
    fi
    base=$root/build/reproduce/debian12-minbase.tar
    if [ ! -f "$base" ]; then
      bootstrap=$root/build/reproduce/debootstrap
      rm -rf "$bootstrap"
      debootstrap --variant=minbase bookworm "$bootstrap" "$mirror" >"$root/build/reproduce/debootstrap.log" 2>&1 ||
        die "debootstrap failed (see build/reproduce/debootstrap.log)"
      tar -C "$bootstrap" -cf "$base" . && rm -rf "$bootstrap"
    fi
    mkdir -p "$chroot_dir"
    tar -C "$chroot_dir" -xf "$base"
    cp /etc/resolv.conf "$chroot_dir/etc/resolv.conf"
    mkdir -p "$chroot_dir/work"
    cp "$work/source.tar" "$work/inside.sh" "$chroot_dir/work/"
    mkdir -p "$chroot_dir/work/out"
    trap unmount_root EXIT
    trap 'exit 130' INT TERM
    mount -t proc proc "$chroot_dir/proc"
    mount --bind /dev "$chroot_dir/dev"
    status=0
    chroot "$chroot_dir" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      sh /work/inside.sh || status=$?
    unmount_root
    cp "$chroot_dir"/work/out/* "$work/out/" 2>/dev/null || true
    [ "$keep" = true ] || rm -rf --one-file-system "$chroot_dir"
    [ "$status" -eq 0 ] || die "the build in the Debian 12 root failed (a pinned version that the mirror no longer carries? see --mirror)"
    ;;
  *) die "unknown runner $runner" ;;
esac

# The packages of the root that the release build had at other versions (the toolchain is pinned).
: >"$work/other-versions"
if [ -f "$buildinfo" ] && [ -f "$work/out/installed" ]; then
  sed -n 's/^ //p' "$buildinfo" | LC_ALL=C sort -t = -k 1,1 >"$work/recorded"
  sed 's/^ //' "$work/out/installed" | LC_ALL=C sort -t = -k 1,1 >"$work/installed"
  LC_ALL=C join -t = "$work/recorded" "$work/installed" |
    awk -F = '$2 != $3 {print "  " $1 ": " $2 " in the release build, " $3 " here"}' >"$work/other-versions"
fi

if cmp -s "$work/release/SHA256SUMS" "$work/out/SHA256SUMS"; then
  echo "reproduce: reproduced: the SHA256SUMS built from $ref is byte for byte the release's:"
  sed 's/^/  /' "$work/out/SHA256SUMS"
  [ ! -s "$work/other-versions" ] ||
    echo "reproduce: $(wc -l <"$work/other-versions") other packages of the root had other versions in the release build (build/reproduce/$commit/other-versions)"
  exit 0
fi
echo "reproduce: NOT reproduced: the SHA256SUMS built from $ref differs from the release's:" >&2
diff "$work/release/SHA256SUMS" "$work/out/SHA256SUMS" >&2 || true
[ ! -s "$work/other-versions" ] || { echo "reproduce: packages at other versions than in the release build:"; cat "$work/other-versions"; } >&2
# With the release's ZIP at hand: the first differing byte of each file that differs.
zip_name=ManeShade-$version-win64.zip
if [ -f "$work/release/$zip_name" ]; then
  mkdir -p "$work/release/unpacked" "$work/out/unpacked"
  (cd "$work/release/unpacked" && cmake -E tar xf "../$zip_name")
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
