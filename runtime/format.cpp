// The "{}" formatter's text forms (format.h).
#include "runtime/format.h"

#include <charconv>
#include <cstring>

void append_text(Format_Buffer *buffer, std::string_view text) noexcept {
  size_t room = buffer->capacity - buffer->size;
  size_t n = text.size();
  if (n > room) {
    n = room;
    buffer->truncated = true;
  }
  if (n) std::memcpy(buffer->data + buffer->size, text.data(), n);
  buffer->size += n;
}

void append_text(Format_Buffer *buffer, const char *text) noexcept {
  append_text(buffer, text ? std::string_view(text) : std::string_view());
}

void append_text(Format_Buffer *buffer, long long value) noexcept {
  char digits[24];
  auto r = std::to_chars(digits, digits + sizeof digits, value);
  append_text(buffer, std::string_view(digits, static_cast<size_t>(r.ptr - digits)));
}

void append_text(Format_Buffer *buffer, unsigned long long value) noexcept {
  char digits[24];
  auto r = std::to_chars(digits, digits + sizeof digits, value);
  append_text(buffer, std::string_view(digits, static_cast<size_t>(r.ptr - digits)));
}
