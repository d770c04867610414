#!/bin/sh
# release-notes.sh VERSION [OWNER/REPO]: prints the notes of the release VERSION (1.2.3): its section
# of CHANGELOG.md (what follows the heading "## [VERSION]" up to the next "## " heading), then what
# the release's files are and how to check them. Fails when CHANGELOG.md has no section for VERSION,
# or an empty one. The release workflow drafts the release with these notes.
set -eu
cd "$(dirname "$0")/.."
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: scripts/release-notes.sh VERSION [OWNER/REPO]" >&2
  exit 2
fi
version=$1
repo=${2:-OWNER/REPO}
section=$(awk -v heading="## [$version]" '
  /^## / { if (found) exit; if (index($0, heading) == 1) { found = 1; next } }
  found { print }' CHANGELOG.md | sed -e '/./,$!d')
if [ -z "$(echo "$section" | tr -d '[:space:]')" ]; then
  echo "release-notes: CHANGELOG.md has no section \"## [$version]\", or an empty one: write what changed first" >&2
  exit 1
fi
zip=ManeShade-$version-win64.zip
cat <<NOTES
$section

### Files

- \`$zip\`: ManeShade.asi, ManeShade.ini, INSTALL.txt, LICENSE.txt, THIRD-PARTY-NOTICES.txt
  (the notices of the compiler's runtime libraries in the programs) and maneshade-check.exe.
- \`SHA256SUMS\`: the SHA-256 of the ZIP and of every file in it. On Windows,
  \`certutil -hashfile ManeShade.asi SHA256\` prints a file's (INSTALL.txt says more).
- \`BUILDINFO\`: the commit, the time and the versions of the Debian packages it was built with.

### Checking where it comes from

- Built by this repository's release workflow, from the tag v$version (the same for SHA256SUMS and
  BUILDINFO):
  \`gh attestation verify $zip -R $repo --signer-workflow $repo/.github/workflows/release.yml --source-ref refs/tags/v$version\`
- Built from the tag's source, bit for bit: in a clone, \`scripts/reproduce.sh v$version\` builds it
  again and compares the result with SHA256SUMS.
- Both speak for your copy only when it has the sums of this SHA256SUMS: check it
  (\`sha256sum --ignore-missing -c SHA256SUMS\` beside the ZIP or the unpacked files).
NOTES
