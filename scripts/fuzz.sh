#!/bin/sh
# fuzz.sh: builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# (preset fuzz, in build/fuzz), then runs each from its seed corpus for a bounded time. Fails on any finding.
# FUZZ_SECONDS (default 90) is the time for all targets together. Needs clang and libclang-rt-dev.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzz"
total=${FUZZ_SECONDS:-90}
targets="ini_fuzz config_fuzz reload_fuzz check_fuzz pe_fuzz reference_fuzz"

cd "$root"
cmake --preset fuzz
# shellcheck disable=SC2086 # one word a target
cmake --build "$build" -j2 --target $targets

count=$(echo "$targets" | wc -w)
seconds=$((total / count))
[ "$seconds" -ge 1 ] || seconds=1
status=0
for target in $targets; do
  area=${target%_fuzz}
  seeds="$root/fuzz/corpus/$area"
  work="$build/corpus/$area"
  artifacts="$build/artifacts/$area"
  mkdir -p "$work" "$artifacts"
  # Inputs up to 8 KiB, a settings file's size many times over; the validator's up to past the
  # 1 MiB bound on what the module reads (CONFIG_FILE_MAX_BYTES), where one input may take seconds.
  max_len=8192
  timeout=10
  if [ "$target" = check_fuzz ]; then
    max_len=$((1024 * 1024 + 4096))
    timeout=60
  fi
  echo "fuzz: $target for ${seconds}s"
  # New inputs go to the work corpus; the checked-in seeds are only read.
  if ! "$build/fuzz/$target" -max_total_time="$seconds" -timeout="$timeout" -rss_limit_mb=2048 -max_len="$max_len" \
      -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "$seeds"; then
    echo "fuzz: $target found a fault; the input is in $artifacts" >&2
    status=1
  fi
done
exit $status
