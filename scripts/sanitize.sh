#!/bin/sh
# sanitize.sh: builds the native unit tests with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in build/sanitize and runs them with ctest. Needs clang and
# libclang-rt-dev.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/sanitize"

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DMANESHADE_SANITIZE=ON -DMANESHADE_TESTS=ON -DMANESHADE_WERROR=ON
cmake --build "$build" -j2
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
cd "$build" && ctest --output-on-failure -j2
