// The "{}" formatter's text forms (format.h), and the assertion facility (assert.h), which writes
// with this formatter and fputs: the C library's printf family would bring a whole formatting
// engine into the module.
#include "runtime/format.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
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

void runtime_assert_fail(const char *file, int line, const char *text) noexcept {
  char buffer[512];
  Format_Buffer out = format_buffer(buffer, sizeof buffer - 1);
  format_to(&out, "{}:{}: runtime assertion: {}\n", file, line, text);
  buffer[out.size] = '\0';
  std::fputs(buffer, stderr);
  std::fflush(stderr);
  std::abort();
}
