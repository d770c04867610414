// The configuration file's schema: the sections and keys it must hold, and the steps that turn the
// INI reader's Section_Map into a Config.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>

#include "encoding/ini/ini.h"
#include "src/config/config.h"

struct Arena;

enum Config_Value_Kind : uint8_t { CONFIG_TRUTH, CONFIG_INTEGER };

// One field of a Character_Config as the file names it.
struct Config_Field {
  std::string_view name;
  int32_t Character_Config::*field;
  Config_Value_Kind kind;
};

constexpr Config_Field CONFIG_FIELDS[] = {
    {"enabled", &Character_Config::enabled, CONFIG_TRUTH},
    {"hair_primary", &Character_Config::hair_primary, CONFIG_INTEGER},
    {"hair_secondary", &Character_Config::hair_secondary, CONFIG_INTEGER},
    {"hair_tertiary", &Character_Config::hair_tertiary, CONFIG_INTEGER},
    {"chin_primary", &Character_Config::chin_primary, CONFIG_INTEGER},
    {"chin_secondary", &Character_Config::chin_secondary, CONFIG_INTEGER},
    {"chin_tertiary", &Character_Config::chin_tertiary, CONFIG_INTEGER},
    {"chops_primary", &Character_Config::chops_primary, CONFIG_INTEGER},
    {"chops_secondary", &Character_Config::chops_secondary, CONFIG_INTEGER},
    {"chops_tertiary", &Character_Config::chops_tertiary, CONFIG_INTEGER},
    {"stache_primary", &Character_Config::stache_primary, CONFIG_INTEGER},
    {"stache_secondary", &Character_Config::stache_secondary, CONFIG_INTEGER},
    {"stache_tertiary", &Character_Config::stache_tertiary, CONFIG_INTEGER},
    {"beard_primary", &Character_Config::beard_primary, CONFIG_INTEGER},
    {"beard_secondary", &Character_Config::beard_secondary, CONFIG_INTEGER},
    {"beard_tertiary", &Character_Config::beard_tertiary, CONFIG_INTEGER},
};

// One character block as the file names its section.
struct Config_Block {
  std::string_view section;
  Character_Config Config::*block;
};

constexpr Config_Block CONFIG_BLOCKS[] = {
    {"corvin", &Config::corvin},
    {"mael", &Config::mael},
};

// The expected keys are every field of every block, blocks in the order above, fields in theirs:
// "corvin.enabled", "corvin.hair_primary", ..., "mael.beard_tertiary". All must be present.
constexpr size_t CONFIG_KEY_COUNT = std::size(CONFIG_BLOCKS) * std::size(CONFIG_FIELDS);

// The longest full key, "corvin.stache_secondary", fits with room to spare.
constexpr size_t CONFIG_FULL_KEY_MAX_BYTES = 64;

// Writes "<section>.<field>" of expected key `index` (0 to CONFIG_KEY_COUNT - 1) into `out`.
std::string_view config_full_key(size_t index, char (&out)[CONFIG_FULL_KEY_MAX_BYTES]) noexcept;

// The texts a failed reload shows; constants, so that the frame loop may keep referring to one.
inline constexpr const char *MESSAGE_FAILED_TO_OPEN = "failed to open config file";
inline constexpr const char *MESSAGE_FAILED_TO_PARSE = "failed to parse config file";
inline constexpr const char *MESSAGE_DUPLICATE_KEY = "duplicate key";
inline constexpr const char *MESSAGE_BAD_VALUE = "missing key, or failed to parse value";

// Full key ("<section>.<key>", both lowercased) to value text (cut at its first ";" and trimmed).
// Keys live in the scratch arena, values in the Section_Map it was built from: the table must not
// outlive either.
using Flat_Key_Table = std::unordered_map<std::string_view, std::string_view>;

struct Config_Status {
  bool ok;
  const char *message;  // one of the MESSAGE_ texts when !ok; "" when ok
};

// Adds every pair of the sections named "corvin" or "mael" (in any letter case) to `*table`. Two
// sections whose names differ only in letter case holding the same key fail with
// MESSAGE_DUPLICATE_KEY (and an error log naming the key). Throws std::bad_alloc when the heap
// runs out; returns MESSAGE_FAILED_TO_PARSE when the scratch does.
Config_Status flatten_sections(Arena *scratch, const Section_Map &sections, Flat_Key_Table *table);

// Looks up the expected key `full_key` and converts its value into `*destination` by `kind`. A
// missing key logs an error. `*destination` is written only on success.
bool parse(int32_t *destination, Config_Value_Kind kind, std::string_view full_key, const Flat_Key_Table &table) noexcept;

// Converts every expected key, in order, into a fresh Config; the first failure ends it with
// MESSAGE_BAD_VALUE and `*out` untouched. On success every tint is normalised to its absolute
// value modulo 256 and `*out` receives the whole Config.
Config_Status convert_config(const Flat_Key_Table &table, Config *out) noexcept;

// The absolute value of `tint` modulo 256; the smallest 32-bit value gives 0.
int32_t normalise_tint(int32_t tint) noexcept;

// The reader options the configuration file is read with: ";" starts a comment line, keys are
// lowercased.
constexpr Ini_Options CONFIG_FILE_INI_OPTIONS = {";", /*lowercase_keys=*/true};

// The steps of a reload that follow the INI reader: flatten_sections into `*table` (cleared
// first), then convert_config into `*out`. Stops at the first failure with its message; `*out` is
// written only on success. May throw std::bad_alloc; `*table` must not outlive `sections` or `scratch`.
Config_Status config_from_sections(Arena *scratch, const Section_Map &sections, Flat_Key_Table *table, Config *out);

// The steps of a reload that follow reading the file, on its `text`: load_map_from_string with
// CONFIG_FILE_INI_OPTIONS into `*sections`, flatten_sections into `*table`, convert_config into
// `*out`. Stops at the first failure with its message; `*out` is written only on success. Logs what
// those steps log, and nothing else. Running out of memory in the reader or the scratch gives
// MESSAGE_FAILED_TO_PARSE; flatten_sections may throw std::bad_alloc like on a reload. `*table`
// refers to `*sections` and `scratch`: it must not outlive either.
Config_Status config_from_text(Arena *scratch, std::string_view text, Section_Map *sections, Flat_Key_Table *table, Config *out);
