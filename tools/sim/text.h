// How the simulated game writes values in its timeline and its events: hex words and addresses,
// models, tints and floats. The JSON around them is tools/json's.
#pragma once
#include <cstdint>
#include <string>

// Paths between UTF-8 (the timeline, the command line) and Windows' UTF-16.
std::string text_utf8_from_wide(const std::wstring &text);
std::wstring text_wide_from_utf8(const std::string &text);

// "0x" and exactly 16 lowercase hexadecimal digits.
std::string text_hex64(uint64_t value);
std::string text_address(const void *address);

// "0x0d7114c9 (corvin)": the hash, with the character's name when it is one.
std::string text_model(uint32_t model);

// "12 4 0".
std::string text_tints(const int32_t tints[3]);

// Nine significant digits give the float back exactly (events); %g reads well (timeline).
std::string text_float_exact(float value);
std::string text_float_short(float value);
