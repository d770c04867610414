#!/bin/sh
# sanitize.sh: builds the native unit tests with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (preset ci-sanitize, in build/ci-sanitize) and runs them with ctest.
# Needs clang and libclang-rt-14-dev (scripts/install-deps.sh).
set -eu
cd "$(dirname "$0")/.."
cmake --preset ci-sanitize
cmake --build --preset ci-sanitize -j2
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --preset ci-sanitize
