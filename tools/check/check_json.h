// The JSON that `maneshade-check --dump` writes: the same file always gives the same bytes.
// Compact, on one line: no white space between tokens. Object keys are sorted by their raw bytes at
// every level. In strings `"` and `\` are written `\"` and `\\`; the controls U+0000..U+001F,
// U+007F and U+0080..U+009F (a C1 control is two bytes in UTF-8) as `\u00nn` (lowercase hex); every
// other valid UTF-8 sequence as itself; and every byte that is not part of a valid UTF-8 sequence
// (always 0x80..0xFF) as `\udcnn`, nn its value: the lone low surrogate U+DC00 + byte, which no valid
// UTF-8 encodes, so that two different byte strings never read as the same text (Python's
// "surrogateescape" gives the bytes back). No other escapes are used.
#pragma once
#include <string>
#include <string_view>

#include "encoding/ini/ini.h"
#include "src/config/config.h"

// Appends `bytes` as a JSON string, quotes included. Throws std::bad_alloc like any string growth.
void check_json_append_string(std::string *out, std::string_view bytes);

// {"config":C,"message":M,"sections":S}, without a line end. S holds every section of `sections`
// with all its keys and values, or is null when `sections` is null (the file was not read); M is
// `message`; C is null when `config` is null, else
// {"corvin":{...},"mael":{...}} with every field of each block by its name, as an integer.
// Throws std::bad_alloc.
std::string check_dump_json(const Section_Map *sections, std::string_view message, const Config *config);
