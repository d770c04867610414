// What the validator's tests share: reading back what a run wrote to a FILE, and whether it is safe
// for a terminal.
#pragma once
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

// The whole of `file` from its start.
inline std::string check_capture_read(FILE *file) {
  std::string text;
  std::rewind(file);
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  return text;
}

// Where `text` holds the first byte that a terminal would act on rather than show: one below 0x20
// but the line end, 0x7F, a C1 control (U+0080..U+009F), or a byte that is not valid UTF-8 (which
// a terminal not in UTF-8 mode takes for a C1 control); npos when there is none.
inline size_t check_first_unsafe_byte(std::string_view text) {
  for (size_t i = 0; i < text.size(); i++) {
    auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '\n' || (byte >= 0x20 && byte < 0x7F)) continue;
    if (byte < 0x80) return i;
    // The length a lead byte announces; the bytes after it must be continuations.
    size_t length = byte >= 0xF0 && byte <= 0xF4 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC2 && byte <= 0xDF ? 2 : 0;
    if (length == 0 || i + length > text.size()) return i;
    for (size_t k = 1; k < length; k++) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return i;
    }
    if (byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) return i;  // C1
    i += length - 1;
  }
  return std::string_view::npos;
}
