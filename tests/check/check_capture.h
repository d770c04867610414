// What the validator's tests share: reading back what a run wrote to a FILE, and whether it is safe
// for a terminal.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "runtime/utf8.h"

// The whole of `file` from its start.
inline std::string check_capture_read(FILE *file) {
  std::string text;
  std::rewind(file);
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  return text;
}

// Whether the UTF-8 `text` starts with a character that hides, or reorders the line around it: a
// zero-width or bidirectional format character, the byte-order mark, the soft hyphen.
inline bool check_starts_invisible(std::string_view text) {
  if (text.size() >= 2 && text.substr(0, 2) == "\xC2\xAD") return true;  // U+00AD
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") return true;  // U+FEFF
  if (text.size() < 3 || static_cast<unsigned char>(text[0]) != 0xE2) return false;
  auto second = static_cast<unsigned char>(text[1]), third = static_cast<unsigned char>(text[2]);
  uint32_t low = ((second & 0x3Fu) << 6) | (third & 0x3Fu);  // U+2000 + low
  return low >= 0x0B && (low <= 0x0F || (low >= 0x2A && low <= 0x2E) || (low >= 0x60 && low <= 0x69 && low != 0x65));
}

// Where `text` holds the first byte that a terminal would act on rather than show: one below 0x20
// but the line end, 0x7F, or the start of a C1 control (U+0080..U+009F, C2 80..C2 9F); or, when
// there is none, the end of its valid UTF-8 (a terminal not in UTF-8 mode takes a lone 0x9B for a
// C1 control). npos when `text` is all safe. The --dump JSON keeps to this.
inline size_t check_first_control_byte(std::string_view text) {
  for (size_t i = 0; i < text.size(); i++) {
    auto byte = static_cast<unsigned char>(text[i]);
    bool c1 = byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0;
    if ((byte < 0x20 && byte != '\n') || byte == 0x7F || c1) return i;
  }
  return utf8_is_valid(text) ? std::string_view::npos : text.size();
}

// The same, and the start of an invisible character (check_starts_invisible), which would hide or
// reorder what the player reads: the report keeps to this.
inline size_t check_first_unsafe_byte(std::string_view text) {
  for (size_t i = 0; i < text.size(); i++) {
    if (check_starts_invisible(text.substr(i))) return std::min(i, check_first_control_byte(text));
  }
  return check_first_control_byte(text);
}
