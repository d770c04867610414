// UTF-8 decoding and encoding; see utf8.h for the rule on invalid bytes.
#include "runtime/utf8.h"

#include "runtime/arena.h"

namespace {

bool utf8_is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

constexpr Utf8_Decoded UTF8_INVALID = {REPLACEMENT_CHARACTER, 1};

}  // namespace

Utf8_Decoded utf8_decode(const char *at, const char *end) noexcept {
  const auto *p = reinterpret_cast<const unsigned char *>(at);
  size_t avail = static_cast<size_t>(end - at);
  unsigned char b0 = p[0];
  if (b0 < 0x80) return {b0, 1};

  // The second byte's range carries the shortest-form, surrogate and upper-bound checks.
  uint32_t size = 0;
  unsigned char lo = 0x80, hi = 0xBF;
  uint32_t value = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    size = 2, value = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    size = 3, value = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    size = 4, value = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return UTF8_INVALID;
  }
  if (avail < size) return UTF8_INVALID;
  if (p[1] < lo || p[1] > hi) return UTF8_INVALID;
  value = (value << 6) | (p[1] & 0x3F);
  for (uint32_t i = 2; i < size; i++) {
    if (!utf8_is_continuation(p[i])) return UTF8_INVALID;
    value = (value << 6) | (p[i] & 0x3F);
  }
  return {value, size};
}

size_t utf8_encode(uint32_t code_point, char *out) noexcept {
  uint32_t c = code_point;
  if ((c >= 0xD800 && c <= 0xDFFF) || c > MAX_CODE_POINT) c = REPLACEMENT_CHARACTER;
  if (c < 0x80) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (c >> 12));
    out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (c >> 18));
  out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (c & 0x3F));
  return 4;
}

bool utf8_is_valid(std::string_view text) noexcept {
  const char *at = text.data();
  const char *end = at + text.size();
  while (at < end) {
    if (static_cast<unsigned char>(*at) < 0x80) {
      at++;
      continue;
    }
    Utf8_Decoded d = utf8_decode(at, end);
    if (d.size == 1) return false;
    at += d.size;
  }
  return true;
}

size_t utf16_length_from_utf8(std::string_view text) noexcept {
  size_t n = 0;
  const char *at = text.data();
  const char *end = at + text.size();
  while (at < end) {
    Utf8_Decoded d = utf8_decode(at, end);
    at += d.size;
    n += d.code_point < 0x10000 ? 1 : 2;
  }
  return n;
}

std::string_view utf8_from_utf16(Arena *arena, std::string_view bytes, Utf16_Order order) noexcept {
  auto unit_at = [&](size_t at) {
    auto first = static_cast<unsigned char>(bytes[at]);
    auto second = static_cast<unsigned char>(bytes[at + 1]);
    return order == Utf16_Order::little_endian ? static_cast<uint32_t>(first | second << 8)
                                               : static_cast<uint32_t>(first << 8 | second);
  };
  auto is_high = [](uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; };
  auto is_low = [](uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; };
  // At most three bytes of UTF-8 for every two bytes of UTF-16 (a pair of four gives four), and
  // three for an odd last byte. No overflow: a text is at most PTRDIFF_MAX bytes, half of SIZE_MAX.
  char *out = static_cast<char *>(arena_push(arena, bytes.size() / 2 * 3 + UTF8_MAX_SEQUENCE_BYTES, 1));
  if (!out) return {};
  size_t n = 0;
  size_t at = 0;
  for (; at + 2 <= bytes.size(); at += 2) {
    uint32_t unit = unit_at(at);
    if (unit < 0x80) {
      out[n++] = static_cast<char>(unit);
      continue;
    }
    if (is_high(unit) && at + 4 <= bytes.size() && is_low(unit_at(at + 2))) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (unit_at(at + 2) - 0xDC00);
      at += 2;
    }
    // utf8_encode writes any surrogate left unpaired as U+FFFD.
    n += utf8_encode(unit, out + n);
  }
  if (at < bytes.size()) n += utf8_encode(REPLACEMENT_CHARACTER, out + n);
  return {out, n};
}
