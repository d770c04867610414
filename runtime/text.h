// Text operations with a fixed meaning wherever they are used: trimming white space and lowercasing
// through the module's case table. Both work on code points decoded from UTF-8 (utf8.h); a byte that
// is not valid UTF-8 is taken as U+FFFD.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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

// Writes the lowercase of `text` into `out` (room for LOWER_MAX_GROWTH * text.size() bytes) and
// returns the byte count.
size_t lower_utf8_into(std::string_view text, char *out) noexcept;

// The lowercase of `text` in `arena`, NUL-terminated. data() is null when the arena is exhausted.
std::string_view lower_from_utf8(Arena *arena, std::string_view text) noexcept;

// Appends the lowercase of `text` to `out`. Throws std::bad_alloc like any std::string growth.
void lower_append(std::string *out, std::string_view text);
