// The JSON that `maneshade-check --dump` writes: the same file always gives the same bytes. Written
// by the tools' JSON writer (tools/json), compact, on one line, with strings as text
// (Json_Strings::text: controls escaped, a byte that is not valid UTF-8 as `\udcnn`). Object keys
// are sorted by their raw bytes at every level.
#pragma once
#include <string>
#include <string_view>

#include "encoding/ini/ini.h"
#include "src/config/config.h"

// {"config":C,"message":M,"sections":S}, without a line end. S holds every section of `sections`
// with all its keys and values, or is null when `sections` is null (the file was not read); M is
// `message`; C is null when `config` is null, else
// {"corvin":{...},"mael":{...}} with every field of each block by its name, as an integer.
// Throws std::bad_alloc.
std::string check_dump_json(const Section_Map *sections, std::string_view message, const Config *config);
