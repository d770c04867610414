// The fuzz targets' shared pieces; see fuzz_support.h.
#include "fuzz/fuzz_support.h"

#include <cstdlib>
#include <iterator>

namespace {

struct Fuzz_Base {
  uint32_t base;
  std::string_view prefix;
};

// Base 10 twice without a prefix: that is how most numbers are written.
constexpr Fuzz_Base FUZZ_BASES[] = {{10, ""}, {10, ""}, {10, "0d"}, {2, "0b"}, {8, "0o"}, {12, "0z"}, {16, "0x"}};

// Magnitudes at the edges of what the module keeps: the tint range, 32 and 64 bits.
constexpr uint64_t FUZZ_EDGE_MAGNITUDES[] = {0,           1,           255,         256,
                                             257,         0x7FFFFFFF,  0x80000000,  0xFFFFFFFF,
                                             0x100000000, 0x1000000FF, UINT64_MAX,  0x8000000000000000};

constexpr std::string_view FUZZ_TRUE_WORDS[] = {"yes", "true"};
constexpr std::string_view FUZZ_FALSE_WORDS[] = {"no", "false"};

uint64_t fuzz_magnitude(Fuzz_Random *random) {
  switch (fuzz_below(random, 4)) {
    case 0: return fuzz_below(random, 300);
    case 1: return FUZZ_EDGE_MAGNITUDES[fuzz_below(random, std::size(FUZZ_EDGE_MAGNITUDES))];
    case 2: return fuzz_next(random) >> fuzz_below(random, 64);
    default: return fuzz_next(random);
  }
}

// The digits of `magnitude` in `base`, letters in either case, underscores here and there.
std::string fuzz_digits(uint64_t magnitude, uint32_t base, Fuzz_Random *random) {
  constexpr std::string_view DIGITS = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string reversed;
  do {
    char digit = DIGITS[magnitude % base];
    if (digit >= 'a' && fuzz_one_in(random, 2)) digit = static_cast<char>(digit - 'a' + 'A');
    reversed.push_back(digit);
    if (fuzz_one_in(random, 8)) reversed.push_back('_');
    magnitude /= base;
  } while (magnitude > 0);
  return std::string(reversed.rbegin(), reversed.rend());
}

Fuzz_Value fuzz_integer_value(Fuzz_Random *random) {
  uint64_t magnitude = fuzz_magnitude(random);
  bool negative = fuzz_one_in(random, 3);
  const Fuzz_Base &base = FUZZ_BASES[fuzz_below(random, std::size(FUZZ_BASES))];
  std::string text;
  if (negative) text.push_back('-');
  if (!negative && fuzz_one_in(random, 5)) text.push_back('+');
  text.append(base.prefix);
  text.append(fuzz_digits(magnitude, base.base, random));
  return {text, fuzz_tint_of(negative ? 0 - magnitude : magnitude)};
}

Fuzz_Value fuzz_truth_value(Fuzz_Random *random) {
  bool on = fuzz_one_in(random, 2);
  std::string_view word = on ? FUZZ_TRUE_WORDS[fuzz_below(random, 2)] : FUZZ_FALSE_WORDS[fuzz_below(random, 2)];
  return {fuzz_flip_case(word, random), on ? 1 : 0};
}

}  // namespace

void fuzz_check(bool condition) {
  if (!condition) std::abort();
}

Fuzz_Random fuzz_random_from(std::string_view bytes) {
  uint64_t hash = 0xcbf29ce484222325;  // FNV-1a
  for (char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3;
  return {hash};
}

uint64_t fuzz_next(Fuzz_Random *random) {
  uint64_t z = (random->state += 0x9e3779b97f4a7c15);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
  z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
  return z ^ (z >> 31);
}

uint64_t fuzz_below(Fuzz_Random *random, uint64_t bound) { return bound ? fuzz_next(random) % bound : 0; }

bool fuzz_one_in(Fuzz_Random *random, uint64_t n) { return fuzz_below(random, n) == 0; }

std::string fuzz_octal_literal(std::string_view text) {
  std::string literal = "\"";
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    literal.push_back('\\');
    literal.push_back(static_cast<char>('0' + (byte >> 6)));
    literal.push_back(static_cast<char>('0' + ((byte >> 3) & 7)));
    literal.push_back(static_cast<char>('0' + (byte & 7)));
  }
  literal.push_back('"');
  return literal;
}

std::string fuzz_flip_case(std::string_view text, Fuzz_Random *random) {
  std::string out(text);
  for (char &c : out) {
    if (c >= 'a' && c <= 'z' && fuzz_one_in(random, 2)) c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

Fuzz_Value fuzz_good_value(const Config_Key &key, Fuzz_Random *random) {
  Fuzz_Value value = key.after == CONFIG_TINT ? fuzz_integer_value(random) : fuzz_truth_value(random);
  // A note after the value is cut, quotes or not; so is white space inside the quotes.
  if (fuzz_one_in(random, 4)) value.text.append(fuzz_one_in(random, 2) ? " ; a note" : ";");
  if (fuzz_one_in(random, 3)) {
    std::string_view pad = fuzz_one_in(random, 2) ? " " : "";
    char quote = fuzz_one_in(random, 3) ? '\'' : '"';
    value.text = std::string(1, quote) + std::string(pad) + value.text + std::string(pad) + std::string(1, quote);
  }
  return value;
}

int32_t fuzz_tint_of(uint64_t written) {
  auto low = static_cast<int32_t>(static_cast<uint32_t>(written));
  int64_t magnitude = low < 0 ? -int64_t{low} : int64_t{low};
  return static_cast<int32_t>(magnitude % 256);
}

bool fuzz_same_config(const Config &a, const Config &b) {
  for (const Config_Key &key : CONFIG_KEYS) {
    if ((a.*key.block).*key.field != (b.*key.block).*key.field) return false;
  }
  return true;
}

Fuzz_Outcome fuzz_outcome(const Config_Result &result) {
  return {result.status(), result.ok() ? result.value() : Config{}};
}

bool fuzz_same_outcome(const Fuzz_Outcome &a, const Fuzz_Outcome &b) {
  return a.status == b.status && fuzz_same_config(a.config, b.config);
}
