// What the fuzz targets share: the check that stops a run, a generator seeded from the input (so a
// finding replays from its file alone), and ways of writing keys and values whose meaning the
// targets know without asking the module.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/status.h"
#include "src/config/config.h"
#include "src/config/keys.h"
#include "src/config/schema.h"

// Stops the run: libFuzzer keeps the input that got here.
void fuzz_check(bool condition);

// A splitmix64 generator. The same input always draws the same numbers.
struct Fuzz_Random {
  uint64_t state;
};

Fuzz_Random fuzz_random_from(std::string_view bytes);
uint64_t fuzz_next(Fuzz_Random *random);
uint64_t fuzz_below(Fuzz_Random *random, uint64_t bound);  // 0 when bound is 0
bool fuzz_one_in(Fuzz_Random *random, uint64_t n);

// `text` between double quotes with every byte a three-digit octal escape: the reader decodes it
// into exactly these bytes, whatever they are.
std::string fuzz_octal_literal(std::string_view text);

// `text` with some of its ASCII lowercase letters made uppercase; everything else as it is.
std::string fuzz_flip_case(std::string_view text, Fuzz_Random *random);

// A value as a player might write it for `key`, and what the module must make of it: a truth value
// in some letter case, or an integer in one of the bases, signed or not, with underscores, maybe
// quoted, maybe followed by a note. `expected` is the field's value after normalisation, worked out
// here from the number that was written, not by the module's converters.
struct Fuzz_Value {
  std::string text;
  int32_t expected;
};
Fuzz_Value fuzz_good_value(const Config_Key &key, Fuzz_Random *random);

// The tint the module keeps for the 64-bit number `written` (two's complement): its low 32 bits,
// then their absolute value modulo 256.
int32_t fuzz_tint_of(uint64_t written);

bool fuzz_same_config(const Config &a, const Config &b);

// A verdict, comparable: the status, and the Config when it is ok (all zero otherwise).
struct Fuzz_Outcome {
  Config_Status status;
  Config config;
};
Fuzz_Outcome fuzz_outcome(const Config_Result &result);
bool fuzz_same_outcome(const Fuzz_Outcome &a, const Fuzz_Outcome &b);
