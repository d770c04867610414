// Trimming and lowercasing; see text.h. ASCII bytes take a fast path; everything else goes through
// utf8_decode, so an invalid byte is U+FFFD here as everywhere.
#include "runtime/text.h"

#include <cstring>

#include "runtime/arena.h"
#include "runtime/utf8.h"

namespace {

struct Text_Case_Range {
  uint32_t first;
  uint32_t last;
  int32_t offset;
};

struct Text_Case_Single {
  uint32_t code_point;
  int32_t offset;
};

// A run of code points that each lowercase to the next one: first, first + 2, ..., last.
struct Text_Case_Run {
  uint32_t first;
  uint32_t last;
};

// The case table: ranges are looked up first, then single code points, then the +1 runs. Each
// array is sorted by code point.
constexpr Text_Case_Range TEXT_CASE_RANGES[] = {
    {0x0041, 0x005A, 32},   {0x00C0, 0x00D6, 32},   {0x00D8, 0x00DE, 32},   {0x0189, 0x018A, 205},
    {0x018E, 0x018F, 202},  {0x01B1, 0x01B2, 217},  {0x0388, 0x038A, 37},   {0x038E, 0x038F, 63},
    {0x0391, 0x03A1, 32},   {0x03A3, 0x03AB, 32},   {0x0401, 0x040C, 80},   {0x040E, 0x040F, 80},
    {0x0410, 0x042F, 32},   {0x0531, 0x0556, 48},   {0x10A0, 0x10C5, 48},   {0x1F08, 0x1F0F, -8},
    {0x1F18, 0x1F1D, -8},   {0x1F28, 0x1F2F, -8},   {0x1F38, 0x1F3F, -8},   {0x1F48, 0x1F4D, -8},
    {0x1F68, 0x1F6F, -8},   {0x1F88, 0x1F8F, -8},   {0x1F98, 0x1F9F, -8},   {0x1FA8, 0x1FAF, -8},
    {0x1FB8, 0x1FB9, -8},   {0x1FBA, 0x1FBB, -74},  {0x1FC8, 0x1FCB, -86},  {0x1FD8, 0x1FD9, -8},
    {0x1FDA, 0x1FDB, -100}, {0x1FE8, 0x1FE9, -8},   {0x1FEA, 0x1FEB, -112}, {0x1FF8, 0x1FF9, -128},
    {0x1FFA, 0x1FFB, -126}, {0x2160, 0x216F, 16},   {0x24B6, 0x24CF, 26},   {0xFF21, 0xFF3A, 32},
};

constexpr Text_Case_Single TEXT_CASE_SINGLES[] = {
    {0x0130, -199}, {0x0178, -121}, {0x0181, 210}, {0x0186, 206}, {0x0190, 203}, {0x0193, 205},
    {0x0194, 207},  {0x0196, 211},  {0x0197, 209}, {0x019C, 211}, {0x019D, 213}, {0x01A9, 218},
    {0x01AE, 218},  {0x01B7, 219},  {0x01C4, 2},   {0x01C7, 2},   {0x01CA, 2},   {0x01F1, 2},
    {0x0386, 38},   {0x038C, 64},   {0x1F59, -8},  {0x1F5B, -8},  {0x1F5D, -8},  {0x1F5F, -8},
    {0x1FBC, -9},   {0x1FCC, -9},   {0x1FEC, -7},  {0x1FFC, -9},
};

constexpr Text_Case_Run TEXT_CASE_RUNS[] = {
    {0x0100, 0x012E}, {0x0132, 0x0136}, {0x0139, 0x0147}, {0x014A, 0x0176}, {0x0179, 0x017D},
    {0x0182, 0x0184}, {0x0187, 0x0187}, {0x018B, 0x018B}, {0x0191, 0x0191}, {0x0198, 0x0198},
    {0x01A0, 0x01A4}, {0x01A7, 0x01A7}, {0x01AC, 0x01AC}, {0x01AF, 0x01AF}, {0x01B3, 0x01B5},
    {0x01B8, 0x01B8}, {0x01BC, 0x01BC}, {0x01C5, 0x01C5}, {0x01C8, 0x01C8}, {0x01CB, 0x01DB},
    {0x01DE, 0x01EE}, {0x01F2, 0x01F4}, {0x01FA, 0x0216}, {0x03E2, 0x03EE}, {0x0460, 0x0480},
    {0x0490, 0x04BE}, {0x04C1, 0x04C3}, {0x04C7, 0x04C7}, {0x04CB, 0x04CB}, {0x04D0, 0x04EA},
    {0x04EE, 0x04F4}, {0x04F8, 0x04F8}, {0x1E00, 0x1E94}, {0x1EA0, 0x1EF8},
};

// Index of the last entry whose first code point is <= `code_point`, or -1.
template <class Entry, size_t N, class First>
int text_find_floor(const Entry (&table)[N], uint32_t code_point, First first) {
  int lo = 0, hi = static_cast<int>(N) - 1, found = -1;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    if (first(table[mid]) <= code_point) {
      found = mid;
      lo = mid + 1;
    } else {
      hi = mid - 1;
    }
  }
  return found;
}

// Whether trimming keeps `text` whole for certain: it is empty, or starts and ends with a printable
// ASCII byte, as most keys, values and lines do.
bool text_is_trimmed_ascii(std::string_view text) {
  if (text.empty()) return true;
  auto first = static_cast<unsigned char>(text.front());
  auto last = static_cast<unsigned char>(text.back());
  return first > 0x20 && first < 0x7F && last > 0x20 && last < 0x7F;
}

bool text_is_ascii_white_space(unsigned char byte) { return byte == ' ' || (byte >= 0x09 && byte <= 0x0D); }

// Byte count of the white-space code point that ends `text`, or 0. Every white-space code point
// begins with a byte that cannot continue an earlier sequence, and its encoding is valid, so a match
// at the end is exactly the last code point that utf8_decode finds walking forward.
size_t text_white_space_suffix(const unsigned char *begin, const unsigned char *end) {
  size_t n = static_cast<size_t>(end - begin);
  unsigned char last = end[-1];
  if (last < 0x80) return text_is_ascii_white_space(last) ? 1 : 0;
  if (n >= 2 && end[-2] == 0xC2 && (last == 0x85 || last == 0xA0)) return 2;
  if (n < 3) return 0;
  unsigned char b0 = end[-3], b1 = end[-2];
  if (b0 == 0xE1 && b1 == 0x9A && last == 0x80) return 3;  // U+1680
  if (b0 == 0xE3 && b1 == 0x80 && last == 0x80) return 3;  // U+3000
  if (b0 != 0xE2) return 0;
  if (b1 == 0x80 && (last <= 0x8A || last == 0xA8 || last == 0xA9 || last == 0xAF)) return 3;  // last >= 0x80 here
  if (b1 == 0x81 && last == 0x9F) return 3;  // U+205F
  return 0;
}

template <class Sink>
void text_lower_each(std::string_view text, Sink &&sink) {
  const char *at = text.data();
  const char *end = at + text.size();
  char encoded[UTF8_MAX_SEQUENCE_BYTES];
  while (at < end) {
    unsigned char byte = static_cast<unsigned char>(*at);
    if (byte < 0x80) {
      char c = static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + 32 : byte);
      sink(&c, 1);
      at++;
      continue;
    }
    Utf8_Decoded d = utf8_decode(at, end);
    at += d.size;
    size_t n = utf8_encode(lower_code_point(d.code_point), encoded);
    sink(encoded, n);
  }
}

bool text_is_ascii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

void text_lower_ascii(const char *from, size_t size, char *to) {
  for (size_t i = 0; i < size; i++) {
    unsigned char byte = static_cast<unsigned char>(from[i]);
    to[i] = static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + 32 : byte);
  }
}

}  // namespace

bool is_white_space(uint32_t code_point) noexcept {
  uint32_t c = code_point;
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

std::string_view trim_white_space(std::string_view text) noexcept {
  if (text_is_trimmed_ascii(text)) return text;
  const char *at = text.data();
  const char *end = at + text.size();
  while (at < end) {
    unsigned char byte = static_cast<unsigned char>(*at);
    if (byte < 0x80) {
      if (!text_is_ascii_white_space(byte)) break;
      at++;
      continue;
    }
    Utf8_Decoded d = utf8_decode(at, end);
    if (!is_white_space(d.code_point)) break;
    at += d.size;
  }
  const auto *begin = reinterpret_cast<const unsigned char *>(at);
  const auto *stop = reinterpret_cast<const unsigned char *>(end);
  while (stop > begin) {
    size_t n = text_white_space_suffix(begin, stop);
    if (n == 0) break;
    stop -= n;
  }
  return {at, static_cast<size_t>(reinterpret_cast<const char *>(stop) - at)};
}

uint32_t lower_code_point(uint32_t code_point) noexcept {
  uint32_t c = code_point;
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
  if (c < 0xC0 || c > 0xFF3A) return c;

  // The ranges start below 0xC0: some range's first code point is at most `c`.
  static_assert(TEXT_CASE_RANGES[0].first < 0xC0);
  int r = text_find_floor(TEXT_CASE_RANGES, c, [](const Text_Case_Range &e) { return e.first; });
  if (c <= TEXT_CASE_RANGES[r].last) return static_cast<uint32_t>(static_cast<int32_t>(c) + TEXT_CASE_RANGES[r].offset);

  int s = text_find_floor(TEXT_CASE_SINGLES, c, [](const Text_Case_Single &e) { return e.code_point; });
  if (s >= 0 && c == TEXT_CASE_SINGLES[s].code_point) {
    return static_cast<uint32_t>(static_cast<int32_t>(c) + TEXT_CASE_SINGLES[s].offset);
  }

  int u = text_find_floor(TEXT_CASE_RUNS, c, [](const Text_Case_Run &e) { return e.first; });
  if (u >= 0 && c <= TEXT_CASE_RUNS[u].last && (c - TEXT_CASE_RUNS[u].first) % 2 == 0) return c + 1;
  return c;
}

std::string_view lower_from_utf8(Arena *arena, std::string_view text) noexcept {
  if (text_is_ascii(text)) {
    char *out = static_cast<char *>(arena_push(arena, text.size() + 1, 1));
    if (!out) return {};
    text_lower_ascii(text.data(), text.size(), out);
    out[text.size()] = '\0';
    return {out, text.size()};
  }
  if (text.size() > (SIZE_MAX - 1) / LOWER_MAX_GROWTH) return {};
  char *out = static_cast<char *>(arena_push(arena, text.size() * LOWER_MAX_GROWTH + 1, 1));
  if (!out) return {};
  size_t n = 0;
  text_lower_each(text, [&](const char *bytes, size_t size) {
    std::memcpy(out + n, bytes, size);
    n += size;
  });
  out[n] = '\0';
  return {out, n};
}

uint64_t hash_seed_from_address(const void *address) noexcept {
  uint64_t seed = reinterpret_cast<uintptr_t>(address);
  seed ^= seed >> 33;
  seed *= 0xFF51AFD7ED558CCD;
  return seed ^ (seed >> 29);
}
