// The value forms of the configuration file: truth values and integers. Each converter has the
// shape of Config_Converter (keys.h), so a new form is one converter and the rows that use it.
#pragma once
#include <cstdint>
#include <string_view>

#include "src/config/config_status.h"

struct Arena;

// Reads `text` by the integer syntax: an optional "+" or "-" (not alone), an optional base prefix
// "0b", "0o", "0d", "0z" or "0x" (lowercase letters; base 2, 8, 10, 12, 16) when at least one more
// byte follows it, then digits of the base ("0"-"9", then letters of either case from 10 up) and
// underscores anywhere, which are skipped. Underscores alone read as 0. False when the text does
// not match, or when its magnitude does not fit in 64 bits: a long digit string never wraps into
// some unrelated number. `*value` is written only on success.
bool parse_integer_text(std::string_view text, int64_t *value) noexcept;

// The sign and magnitude that `text` writes by the same syntax, before any wrapping: what a number
// written past 64 bits, or past 32, was meant to be. False exactly when parse_integer_text is false;
// both are written only on success.
bool parse_integer_parts(std::string_view text, bool *negative, uint64_t *magnitude) noexcept;

// "yes" and "true" store 1, "no" and "false" store 0, in any letter case; anything else logs an
// error naming `key` and `value` and fails with CONFIG_NOT_A_TRUTH_VALUE. `*destination` is
// written only on success. The lowercased value goes to `scratch`; FAILURE_OUT_OF_MEMORY when it has no
// room.
Config_Status parse_b32(Arena *scratch, int32_t *destination, std::string_view key, std::string_view value) noexcept;

// An integer by parse_integer_text; its low 32 bits are stored (4294967295 stores -1). Anything
// else logs an error naming `key` and `value` and fails with CONFIG_NOT_AN_INTEGER.
// `*destination` is written only on success. Takes no memory: `scratch` is there for the shape of
// Config_Converter.
Config_Status parse_i32(Arena *scratch, int32_t *destination, std::string_view key, std::string_view value) noexcept;
