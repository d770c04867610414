// The JSON that `maneshade-check --dump` writes: the same file always gives the same bytes.
// Compact, on one line: no white space between tokens. Object keys are sorted by their raw bytes at
// every level. In strings a valid UTF-8 sequence is written as itself, `"` and `\` as `\"` and `\\`,
// bytes below 0x20 and 0x7F as `\u00nn` (lowercase hex), and every byte that is not part of a valid
// UTF-8 sequence as `\u00nn` with nn its value. No other escapes are used.
#pragma once
#include <string>
#include <string_view>

#include "encoding/ini/ini.h"
#include "src/config/config.h"

// Appends `bytes` as a JSON string, quotes included. Throws std::bad_alloc like any string growth.
void check_json_append_string(std::string *out, std::string_view bytes);

// {"config":C,"message":M,"sections":S}, without a line end. S holds every section of `sections`
// with all its keys and values; M is `message`; C is null when `config` is null, else
// {"corvin":{...},"mael":{...}} with every field of each block by its name, as an integer.
// Throws std::bad_alloc.
std::string check_dump_json(const Section_Map &sections, std::string_view message, const Config *config);
