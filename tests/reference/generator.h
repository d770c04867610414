// Settings files for the differential tests, drawn from a seed: files a player might save, broken
// in every way the rules speak of. Each draw aims at the rules: every white-space code point at each
// end of a line, key and value, byte-order marks, UTF-16 with and without its mark, invalid UTF-8,
// both quote kinds with every escape and broken ones, " =" against "=" against a quote, the case
// table's ranges and single code points, block sections in several letter cases, duplicates, every
// integer form up to and past 2^64, and truth words in mixed case.
#pragma once
#include <cstdint>
#include <string>

namespace ref {

// A splitmix64 generator: the same seed always draws the same file.
struct Random {
  uint64_t state;
  uint64_t next();
  uint64_t below(uint64_t bound);  // 0 when bound is 0
  bool one_in(uint64_t n);
};

// The bytes of a settings file.
std::string generate_file(Random *random);

// The seed of a run: the day's number, so that every day's CI run draws other files, unless the
// environment names one (MANESHADE_REFERENCE_SEED). The count of draws likewise
// (MANESHADE_REFERENCE_COUNT, else `default_count`).
uint64_t run_seed();
uint64_t run_count(uint64_t default_count);

// Bytes with everything but printable ASCII written as \xHH, for a report.
std::string escaped(const std::string &bytes);

}  // namespace ref
