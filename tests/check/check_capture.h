// What the validator's tests share: reading back what a run wrote to a FILE, and whether it is safe
// for a terminal.
#pragma once
#include <cstddef>
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

// Where `text` holds the first byte that a terminal would act on rather than show: one below 0x20
// but the line end, 0x7F, or the start of a C1 control (U+0080..U+009F, C2 80..C2 9F); or, when
// there is none, the end of its valid UTF-8 (a terminal not in UTF-8 mode takes a lone 0x9B for a
// C1 control). npos when `text` is all safe.
inline size_t check_first_unsafe_byte(std::string_view text) {
  for (size_t i = 0; i < text.size(); i++) {
    auto byte = static_cast<unsigned char>(text[i]);
    bool c1 = byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0;
    if ((byte < 0x20 && byte != '\n') || byte == 0x7F || c1) return i;
  }
  return utf8_is_valid(text) ? std::string_view::npos : text.size();
}
