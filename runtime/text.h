// Text operations with a fixed meaning wherever they are used: trimming white space and lowercasing
// through the module's case table, both on code points decoded from UTF-8 (utf8.h), where a byte
// that is not valid UTF-8 is taken as U+FFFD; and the hash of the module's hash tables.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#if defined(_MSC_VER) && !defined(__clang__)
#include <xmmintrin.h>  // _mm_prefetch
#endif

struct Arena;

// U+0009..U+000D, U+0020, U+0085, U+00A0, U+1680, U+2000..U+200A, U+2028, U+2029, U+202F, U+205F,
// U+3000. U+FEFF (the byte-order mark) is not white space.
bool is_white_space(uint32_t code_point) noexcept;

// `text` without white space at either end (a view into `text`).
std::string_view trim_white_space(std::string_view text) noexcept;

// The lowercase of one code point by the case table; a code point not in the table is unchanged.
uint32_t lower_code_point(uint32_t code_point) noexcept;

// Lowercasing can grow text: an invalid byte becomes the three bytes of U+FFFD.
constexpr size_t LOWER_MAX_GROWTH = 3;

// The lowercase of `text` in `arena`, NUL-terminated. data() is null when the arena has no room.
std::string_view lower_from_utf8(Arena *arena, std::string_view text) noexcept;

// The last one to seven bytes of a text, at `at`, as one word: two overlapping loads of four, or the
// bytes one by one; what the word holds is fixed by the bytes and their count. For the eight-byte
// loops of is_lower_ascii and text_hash.
inline uint64_t text_tail_word(const char *at, size_t left) noexcept {
  if (left < 4) {
    uint64_t word = 0;
    for (size_t i = 0; i < left; i++) word = (word << 8) | static_cast<unsigned char>(at[i]);
    return word;
  }
  uint32_t head, tail;
  std::memcpy(&head, at, 4);
  std::memcpy(&tail, at + left - 4, 4);
  return (uint64_t{head} << 32) | tail;
}

// Whether every byte of `text` is ASCII and none is an uppercase letter: then lower_from_utf8 would
// give `text` itself, and a caller may keep `text` instead of a copy.
inline bool is_lower_ascii(std::string_view text) noexcept {
  // Eight bytes at a time: no high bit set, and no byte from 'A' to 'Z' (adding 0x80 - 'A' sets the
  // high bit of the bytes from 'A' up, adding 0x80 - 'Z' - 1 that of the bytes past 'Z'; bytes below
  // 0x80 carry nothing into their neighbours).
  constexpr uint64_t ONES = 0x0101010101010101;
  constexpr uint64_t HIGH = 0x8080808080808080;
  auto lower_ascii = [](uint64_t word) {
    return !(word & HIGH) && !((word + ONES * (0x80 - 'A')) & ~(word + ONES * (0x80 - 'Z' - 1)) & HIGH);
  };
  const char *at = text.data();
  size_t left = text.size();
  for (; left >= 8; at += 8, left -= 8) {
    uint64_t word;
    std::memcpy(&word, at, 8);
    if (!lower_ascii(word)) return false;
  }
  return left == 0 || lower_ascii(text_tail_word(at, left));
}

// A 64-bit hash of `text` under `seed`. Tables seed it with something an author of the text cannot
// know in advance, so that no file can be written to make every key collide.
inline uint64_t text_hash(std::string_view text, uint64_t seed) noexcept {
  // Eight bytes at a time, each folded in with a multiplication and a shift that carries its high
  // bits down; the length goes in first, so that texts differing only in trailing NULs differ.
  constexpr uint64_t MULTIPLIER = 0x9E3779B97F4A7C15;
  const char *at = text.data();
  size_t left = text.size();
  uint64_t h = seed ^ (left * MULTIPLIER);
  while (left >= 8) {
    uint64_t word;
    std::memcpy(&word, at, 8);
    h = (h ^ word) * MULTIPLIER;
    h ^= h >> 32;
    at += 8;
    left -= 8;
  }
  if (left) {
    h = (h ^ text_tail_word(at, left)) * MULTIPLIER;
    h ^= h >> 32;
  }
  h *= MULTIPLIER;
  return h ^ (h >> 29);
}

// Asks for the memory at `address` to be brought into the cache ahead of a read; a hint only, which
// changes nothing but time. Hash tables larger than the caches use it a step before their probes.
inline void prefetch_for_read(const void *address) noexcept {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(address);
#elif defined(_MSC_VER)
  _mm_prefetch(static_cast<const char *>(address), _MM_HINT_T0);
#else
  (void)address;
#endif
}

// A seed for text_hash made from the address of a table's memory: heap addresses differ from run to
// run, and the mixing gives nearby addresses unrelated seeds.
uint64_t hash_seed_from_address(const void *address) noexcept;
