// "{}" formatting into a buffer that the caller supplies. Every "{}" takes the next argument's
// default text: strings as they are, integers in decimal, error values by name. Never throws;
// text that does not fit is cut and the buffer marked truncated.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/assert.h"

struct Format_Buffer {
  char *data;
  size_t capacity;
  size_t size;
  bool truncated;
};

inline Format_Buffer format_buffer(char *data, size_t capacity) { return {data, capacity, 0, false}; }

inline std::string_view format_text(const Format_Buffer &buffer) { return {buffer.data, buffer.size}; }

void append_text(Format_Buffer *buffer, std::string_view text) noexcept;
void append_text(Format_Buffer *buffer, const char *text) noexcept;
void append_text(Format_Buffer *buffer, long long value) noexcept;
void append_text(Format_Buffer *buffer, unsigned long long value) noexcept;
inline void append_text(Format_Buffer *buffer, int value) noexcept { append_text(buffer, static_cast<long long>(value)); }
inline void append_text(Format_Buffer *buffer, long value) noexcept { append_text(buffer, static_cast<long long>(value)); }
inline void append_text(Format_Buffer *buffer, unsigned value) noexcept {
  append_text(buffer, static_cast<unsigned long long>(value));
}
inline void append_text(Format_Buffer *buffer, unsigned long value) noexcept {
  append_text(buffer, static_cast<unsigned long long>(value));
}

inline void format_next(Format_Buffer *buffer, std::string_view format) noexcept {
  RUNTIME_ASSERT(format.find("{}") == std::string_view::npos, "format: fewer arguments than {}");
  append_text(buffer, format);
}

template <class First, class... Rest>
void format_next(Format_Buffer *buffer, std::string_view format, const First &first, const Rest &...rest) noexcept {
  size_t at = format.find("{}");
  RUNTIME_ASSERT(at != std::string_view::npos, "format: more arguments than {}");
  append_text(buffer, format.substr(0, at));
  append_text(buffer, first);
  format_next(buffer, format.substr(at + 2), rest...);
}

// Appends the formatted text to `buffer`.
template <class... Args>
void format_to(Format_Buffer *buffer, std::string_view format, const Args &...args) noexcept {
  format_next(buffer, format, args...);
}
