#!/bin/sh
# coverage.sh: installs whatever is missing (gcovr too), builds the native code with gcov's
# instrumentation (preset coverage: Debug, --coverage, in build/coverage), runs the native tests,
# and prints the line, function and branch coverage of each file of the module's folders. Fails
# when a branch that the tests do not reach is not named, with its reason, in
# tests/coverage/uncovered.txt, or when an entry there names no such branch. No threshold: the list
# is the measure. build/coverage/html/index.html shows every file line by line.
#
# What counts as a branch (gcovr's options):
#   - Only the module's folders, and only their own lines: the standard library's code that the
#     module instantiates is counted at its own lines, in the system headers, which are left out
#     (and at -O0 none of it is inlined into the module's lines).
#   - --exclude-throw-branches: the module is built without exceptions; a throw edge can come only
#     from a test's instantiation of a module template, and is the test's, not the module's.
#   - --exclude-unreachable-branches: branches that gcc puts on lines without code of their own
#     (a closing brace) are not the source's.
#   - The branches of RUNTIME_ASSERT lines: the failing side stops the process (abort), and a process
#     that aborts writes no coverage; those sides are broken preconditions, not behaviour.
set -eu
cd "$(dirname "$0")/.."

scripts/install-deps.sh gcovr

cmake --preset coverage
cmake --build --preset coverage -j2
build=build/coverage
find "$build" -name '*.gcda' -delete
ctest --preset coverage

folders="runtime platform encoding src host module"
filter="^($(echo "$folders" | tr ' ' '|'))/"
mkdir -p "$build/html"
gcovr --root . --object-directory "$build" --exclude-directories "$build/CMakeFiles" --filter "$filter" \
  --exclude-throw-branches --exclude-unreachable-branches \
  --exclude-branches-by-pattern '.*\bRUNTIME_ASSERT\(' \
  --json "$build/coverage.json" --html-details "$build/html/index.html" "$build"
# shellcheck disable=SC2086 # one word a folder
python3 scripts/coverage_check.py "$build/coverage.json" tests/coverage/uncovered.txt $folders
