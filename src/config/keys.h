// The configuration file's keys: each of the 32 expected keys once, as a row. The conversion, the
// validator and the dumps all loop over this table; a new key or value form is a row (and, for a
// new form, one converter in values.h).
#pragma once
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "src/config/config.h"
#include "src/config/values.h"

// Converts the value text of `key` into `*destination`, which it writes only on success; temporaries
// go to `scratch`.
using Config_Converter = Config_Status (*)(Arena *scratch, int32_t *destination, std::string_view key,
                                    std::string_view value) noexcept;

// What happens to a converted value once every key has converted.
enum Config_After : uint8_t {
  CONFIG_AS_READ,  // kept as converted
  CONFIG_TINT,     // normalised to 0..255 (normalise_tint)
};

struct Config_Key {
  std::string_view full_key;  // "<section>.<field>": the block's section, then the field, in lower case
  Character_Config Config::*block;
  int32_t Character_Config::*field;
  Config_Converter convert;
  Config_After after;

  constexpr std::string_view section() const { return full_key.substr(0, full_key.find('.')); }
  constexpr std::string_view field_name() const { return full_key.substr(full_key.find('.') + 1); }
};

// In the order of conversion: the first key that fails ends it.
constexpr Config_Key CONFIG_KEYS[] = {
    {"corvin.enabled", &Config::corvin, &Character_Config::enabled, parse_b32, CONFIG_AS_READ},
    {"corvin.hair_primary", &Config::corvin, &Character_Config::hair_primary, parse_i32, CONFIG_TINT},
    {"corvin.hair_secondary", &Config::corvin, &Character_Config::hair_secondary, parse_i32, CONFIG_TINT},
    {"corvin.hair_tertiary", &Config::corvin, &Character_Config::hair_tertiary, parse_i32, CONFIG_TINT},
    {"corvin.chin_primary", &Config::corvin, &Character_Config::chin_primary, parse_i32, CONFIG_TINT},
    {"corvin.chin_secondary", &Config::corvin, &Character_Config::chin_secondary, parse_i32, CONFIG_TINT},
    {"corvin.chin_tertiary", &Config::corvin, &Character_Config::chin_tertiary, parse_i32, CONFIG_TINT},
    {"corvin.chops_primary", &Config::corvin, &Character_Config::chops_primary, parse_i32, CONFIG_TINT},
    {"corvin.chops_secondary", &Config::corvin, &Character_Config::chops_secondary, parse_i32, CONFIG_TINT},
    {"corvin.chops_tertiary", &Config::corvin, &Character_Config::chops_tertiary, parse_i32, CONFIG_TINT},
    {"corvin.stache_primary", &Config::corvin, &Character_Config::stache_primary, parse_i32, CONFIG_TINT},
    {"corvin.stache_secondary", &Config::corvin, &Character_Config::stache_secondary, parse_i32, CONFIG_TINT},
    {"corvin.stache_tertiary", &Config::corvin, &Character_Config::stache_tertiary, parse_i32, CONFIG_TINT},
    {"corvin.beard_primary", &Config::corvin, &Character_Config::beard_primary, parse_i32, CONFIG_TINT},
    {"corvin.beard_secondary", &Config::corvin, &Character_Config::beard_secondary, parse_i32, CONFIG_TINT},
    {"corvin.beard_tertiary", &Config::corvin, &Character_Config::beard_tertiary, parse_i32, CONFIG_TINT},
    {"mael.enabled", &Config::mael, &Character_Config::enabled, parse_b32, CONFIG_AS_READ},
    {"mael.hair_primary", &Config::mael, &Character_Config::hair_primary, parse_i32, CONFIG_TINT},
    {"mael.hair_secondary", &Config::mael, &Character_Config::hair_secondary, parse_i32, CONFIG_TINT},
    {"mael.hair_tertiary", &Config::mael, &Character_Config::hair_tertiary, parse_i32, CONFIG_TINT},
    {"mael.chin_primary", &Config::mael, &Character_Config::chin_primary, parse_i32, CONFIG_TINT},
    {"mael.chin_secondary", &Config::mael, &Character_Config::chin_secondary, parse_i32, CONFIG_TINT},
    {"mael.chin_tertiary", &Config::mael, &Character_Config::chin_tertiary, parse_i32, CONFIG_TINT},
    {"mael.chops_primary", &Config::mael, &Character_Config::chops_primary, parse_i32, CONFIG_TINT},
    {"mael.chops_secondary", &Config::mael, &Character_Config::chops_secondary, parse_i32, CONFIG_TINT},
    {"mael.chops_tertiary", &Config::mael, &Character_Config::chops_tertiary, parse_i32, CONFIG_TINT},
    {"mael.stache_primary", &Config::mael, &Character_Config::stache_primary, parse_i32, CONFIG_TINT},
    {"mael.stache_secondary", &Config::mael, &Character_Config::stache_secondary, parse_i32, CONFIG_TINT},
    {"mael.stache_tertiary", &Config::mael, &Character_Config::stache_tertiary, parse_i32, CONFIG_TINT},
    {"mael.beard_primary", &Config::mael, &Character_Config::beard_primary, parse_i32, CONFIG_TINT},
    {"mael.beard_secondary", &Config::mael, &Character_Config::beard_secondary, parse_i32, CONFIG_TINT},
    {"mael.beard_tertiary", &Config::mael, &Character_Config::beard_tertiary, parse_i32, CONFIG_TINT},
};

constexpr size_t CONFIG_KEY_COUNT = std::size(CONFIG_KEYS);
static_assert(CONFIG_KEY_COUNT == 32, "two blocks of sixteen keys");

// The blocks' section names, in lower case, in the order of CONFIG_KEYS.
constexpr std::string_view CONFIG_BLOCKS[] = {"corvin", "mael"};
constexpr size_t CONFIG_BLOCK_COUNT = std::size(CONFIG_BLOCKS);

// The index in CONFIG_BLOCKS of the block named `lowered` (a section name in lower case), or
// CONFIG_BLOCK_COUNT for a section that is none of them.
constexpr size_t config_block_index(std::string_view lowered) {
  for (size_t b = 0; b < CONFIG_BLOCK_COUNT; b++) {
    if (CONFIG_BLOCKS[b] == lowered) return b;
  }
  return CONFIG_BLOCK_COUNT;
}

constexpr bool config_is_block_section(std::string_view lowered) { return config_block_index(lowered) < CONFIG_BLOCK_COUNT; }

// Every key's section is one of the blocks.
constexpr bool config_keys_are_in_blocks() {
  for (const Config_Key &key : CONFIG_KEYS) {
    if (!config_is_block_section(key.section())) return false;
  }
  return true;
}
static_assert(config_keys_are_in_blocks(), "a key of a section that is no block");
