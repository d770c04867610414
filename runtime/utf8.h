// UTF-8 decoding and encoding, and UTF-16 from UTF-8, with one rule everywhere: a byte that does not
// begin a valid, complete, shortest-form sequence of a scalar value is taken as U+FFFD on its own.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr uint32_t REPLACEMENT_CHARACTER = 0xFFFD;
constexpr uint32_t MAX_CODE_POINT = 0x10FFFF;
constexpr size_t UTF8_MAX_SEQUENCE_BYTES = 4;

struct Utf8_Decoded {
  uint32_t code_point;
  uint32_t size;  // bytes consumed, 1 to 4; 1 for an invalid byte
};

// Decodes the sequence at `at`; requires at < end.
Utf8_Decoded utf8_decode(const char *at, const char *end) noexcept;

// Writes `code_point` as UTF-8 into `out` (room for UTF8_MAX_SEQUENCE_BYTES) and returns the byte
// count. A surrogate or a value above MAX_CODE_POINT is written as U+FFFD.
size_t utf8_encode(uint32_t code_point, char *out) noexcept;

// True when every byte of `text` is part of a valid UTF-8 sequence.
bool utf8_is_valid(std::string_view text) noexcept;

// Number of UTF-16 code units that utf16_from_utf8 writes for `text` (not counting a terminator).
size_t utf16_length_from_utf8(std::string_view text) noexcept;

// Writes `text` as UTF-16 into `out` (room for utf16_length_from_utf8(text) units) and returns the
// unit count. Unit is char16_t, or wchar_t where that is 16 bits wide (Windows).
template <class Unit>
size_t utf16_from_utf8(std::string_view text, Unit *out) noexcept {
  static_assert(sizeof(Unit) == 2, "UTF-16 code units are 16 bits");
  size_t n = 0;
  const char *at = text.data();
  const char *end = at + text.size();
  while (at < end) {
    Utf8_Decoded d = utf8_decode(at, end);
    at += d.size;
    if (d.code_point < 0x10000) {
      out[n++] = static_cast<Unit>(d.code_point);
      continue;
    }
    uint32_t v = d.code_point - 0x10000;
    out[n++] = static_cast<Unit>(0xD800 + (v >> 10));
    out[n++] = static_cast<Unit>(0xDC00 + (v & 0x3FF));
  }
  return n;
}

enum class Utf16_Order : uint8_t { little_endian, big_endian };

struct Arena;

// The UTF-8 form of the UTF-16 text `bytes` (code units of two bytes in `order`), in `arena`. A
// surrogate pair becomes its code point; an unpaired surrogate, and an odd last byte, each become
// U+FFFD. data() is null when the arena has no room.
std::string_view utf8_from_utf16(Arena *arena, std::string_view bytes, Utf16_Order order) noexcept;
