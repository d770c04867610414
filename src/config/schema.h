// From the INI reader's Section_Map to a Config: the sections and keys the file must hold
// (keys.h), the flattening of the block sections into full keys, and the conversion of every
// expected key.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "encoding/ini/ini.h"
#include "src/config/config.h"
#include "src/config/config_status.h"
#include "src/config/keys.h"

struct Arena;

// The reader options the configuration file is read with: ";" starts a comment line, keys are
// lowercased.
constexpr Ini_Options CONFIG_FILE_INI_OPTIONS = {";", /*lowercase_keys=*/true};

// The Config that `sections` describe. `sections` must have been read with lowercase_keys, as
// CONFIG_FILE_INI_OPTIONS reads it (lowercasing is idempotent, so its keys are their own lowercase).
// The sections whose names lowercase to "corvin" or "mael" are the blocks; every expected key is
// looked up in its block (the full key "<section>.<key>", both lowercased), its value cut at the
// first ";" and trimmed, and converted, in the order of CONFIG_KEYS; then the tints are
// normalised. The first failure ends it: CONFIG_DUPLICATE_KEY when two sections of one block (names
// that differ only in letter case) hold the same key, whatever key; CONFIG_MISSING_KEY,
// _NOT_A_TRUTH_VALUE or _NOT_AN_INTEGER with the expected key's index in CONFIG_KEYS as the
// status's key_index; FAILURE_OUT_OF_MEMORY. Logs each failure as the reloader's records name it.
// Temporaries go to `scratch`. Other sections and keys cost nothing beyond a look at their names.
using Config_Result = Result<Config, Config_Status>;
Config_Result config_from_map(Arena *scratch, const Section_Map &sections) noexcept;

// The expected key CONFIG_KEYS[index] alone, looked up and converted as config_from_map does (no
// duplicate check, no normalisation): into `*value` on success, with `*text` the value text it
// converted (cut at ";" and trimmed; empty when the key is missing); else CONFIG_MISSING_KEY,
// _NOT_A_TRUTH_VALUE or _NOT_AN_INTEGER with `index`, or FAILURE_OUT_OF_MEMORY. Logs as
// config_from_map does. For the validator, which reports every key and not only the first failure.
// In a block written in several sections, the first of them that holds the key counts.
Config_Status config_convert_key(Arena *scratch, const Section_Map &sections, size_t index, int32_t *value,
                                 std::string_view *text) noexcept;

// The Config of a settings file's text: read as CONFIG_FILE_INI_OPTIONS reads it, then
// config_from_map; the map is released before it returns. Fails as those two do.
Config_Result config_from_text(Arena *scratch, std::string_view text) noexcept;

// The absolute value of `tint` modulo 256; the smallest 32-bit value gives 0.
int32_t normalise_tint(int32_t tint) noexcept;
