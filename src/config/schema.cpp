// The conversion of a Section_Map into a Config; see schema.h.
#include "src/config/schema.h"

#include <cstring>

#include "runtime/arena.h"
#include "runtime/log.h"
#include "runtime/text.h"

namespace {

constexpr std::string_view CONFIG_COMMENT_CUT = ";";

constexpr size_t config_longest_block_name() {
  size_t longest = 0;
  for (std::string_view block : CONFIG_BLOCKS) longest = block.size() > longest ? block.size() : longest;
  return longest;
}

// Lowercasing takes no code point to ASCII but the ASCII letters and U+0130 (two bytes, to "i"): a
// name that lowercases to a block's name is at most twice as long as it, and a longer one need not
// be lowercased at all.
constexpr size_t CONFIG_BLOCK_NAME_MAX_BYTES = 2 * config_longest_block_name();

// The sections of one block, in the map's order, linked in the scratch.
struct Config_Block_Section {
  const Ini_Section *section;
  Config_Block_Section *next;
};

struct Config_Blocks {
  Config_Block_Section *first[CONFIG_BLOCK_COUNT];
  Config_Block_Section *last[CONFIG_BLOCK_COUNT];
  size_t sections[CONFIG_BLOCK_COUNT];
  size_t pairs[CONFIG_BLOCK_COUNT];
};

// The value as the flattening keeps it: only what comes before the first ";", trimmed.
std::string_view config_cut_value(std::string_view value) {
  return trim_white_space(value.substr(0, value.find(CONFIG_COMMENT_CUT)));
}

// The block that the section named `name` belongs to (CONFIG_BLOCK_COUNT: none) into `*block`.
Status config_block_of(Arena *scratch, std::string_view name, size_t *block) {
  *block = CONFIG_BLOCK_COUNT;
  if (name.size() > CONFIG_BLOCK_NAME_MAX_BYTES) return STATUS_OK;
  if (is_lower_ascii(name)) {
    *block = config_block_index(name);
    return STATUS_OK;
  }
  Arena_Mark mark = arena_mark(scratch);
  std::string_view lowered = lower_from_utf8(scratch, name);
  if (lowered.data()) *block = config_block_index(lowered);
  arena_pop_to(scratch, mark);
  return lowered.data() ? STATUS_OK : status_fail(FAILURE_OUT_OF_MEMORY);
}

// Sorts the map's sections into the blocks; the others are left out.
Status config_find_blocks(Arena *scratch, const Section_Map &sections, Config_Blocks *blocks) {
  *blocks = {};
  for (const Ini_Section *section = sections.first; section; section = section->next) {
    size_t b;
    Status found = config_block_of(scratch, section->name, &b);
    if (!found.ok()) return found;
    if (b == CONFIG_BLOCK_COUNT) continue;
    auto *link = arena_push_array<Config_Block_Section>(scratch, 1);
    if (!link) return status_fail(FAILURE_OUT_OF_MEMORY);
    *link = {section, nullptr};
    (blocks->last[b] ? blocks->last[b]->next : blocks->first[b]) = link;
    blocks->last[b] = link;
    blocks->sections[b]++;
    blocks->pairs[b] += section->count;
  }
  return STATUS_OK;
}

// CONFIG_DUPLICATE_KEY when two sections of one block hold the same key. Within a section the
// reader keeps every key once, so only a block of several sections (names that differ in letter
// case alone) can hold one twice: their pairs meet in one table in the scratch, by the hash the map
// gave each key.
Config_Status config_check_duplicates(Arena *scratch, const Config_Block_Section *first, size_t pairs) {
  size_t size = 4;
  while (size < pairs * 2) size *= 2;
  Arena_Mark mark = arena_mark(scratch);
  auto *table = arena_push_array<Ini_Slot<const Ini_Pair>>(scratch, size);
  if (!table) return status_fail(FAILURE_OUT_OF_MEMORY);
  std::memset(static_cast<void *>(table), 0, sizeof(Ini_Slot<const Ini_Pair>) * size);
  Config_Status status = CONFIG_STATUS_OK;
  for (const Config_Block_Section *s = first; s && status.ok(); s = s->next) {
    for (const Ini_Pair *pair = s->section->first; pair; pair = pair->next) {
      size_t i = pair->hash & (size - 1);
      while (table[i].entry && !(table[i].hash == pair->hash && table[i].entry->key == pair->key)) i = (i + 1) & (size - 1);
      if (table[i].entry) {
        log_error("Duplicate key: {}", pair->key);
        status = CONFIG_DUPLICATE_KEY;
        break;
      }
      table[i] = {pair->hash, pair};
    }
  }
  arena_pop_to(scratch, mark);
  return status;
}

// The value of the expected `key` in its block (a block without duplicates holds it at most once).
const Ini_Pair *config_find(const Section_Map &sections, const Config_Blocks &blocks, const Config_Key &key) {
  for (const Config_Block_Section *s = blocks.first[config_block_index(key.section())]; s; s = s->next) {
    const Ini_Pair *pair = ini_find_pair(&sections, s->section, key.field_name());
    if (pair) return pair;
  }
  return nullptr;
}

// Looks the expected key CONFIG_KEYS[index] up and converts its value into `*field`.
Config_Status config_convert_one(Arena *scratch, const Section_Map &sections, const Config_Blocks &blocks, size_t index,
                                 int32_t *field, std::string_view *text) {
  const Config_Key &key = CONFIG_KEYS[index];
  const Ini_Pair *found = config_find(sections, blocks, key);
  auto key_index = static_cast<int16_t>(index);
  if (!found) {
    log_error("Missing expected key: {}", key.full_key);
    return Config_Status(CONFIG_MISSING_KEY, key_index);
  }
  *text = config_cut_value(found->value);
  Config_Status converted = key.convert(scratch, field, key.full_key, *text);
  if (converted.content != CONFIG_OK) converted.key_index = key_index;
  return converted;
}

// Converts every expected key, in order, into a fresh Config, then normalises the tints.
Config_Result config_convert(Arena *scratch, const Section_Map &sections, const Config_Blocks &blocks) {
  Config fresh{};
  for (size_t i = 0; i < CONFIG_KEY_COUNT; i++) {
    const Config_Key &key = CONFIG_KEYS[i];
    std::string_view text;
    Config_Status converted = config_convert_one(scratch, sections, blocks, i, &((fresh.*key.block).*key.field), &text);
    if (!converted.ok()) return converted;
  }
  for (const Config_Key &key : CONFIG_KEYS) {
    int32_t &value = (fresh.*key.block).*key.field;
    if (key.after == CONFIG_TINT) value = normalise_tint(value);
  }
  return fresh;
}

}  // namespace

int32_t normalise_tint(int32_t tint) noexcept {
  int64_t magnitude = tint < 0 ? -int64_t{tint} : int64_t{tint};
  return static_cast<int32_t>(magnitude % 256);
}

Config_Status config_convert_key(Arena *scratch, const Section_Map &sections, size_t index, int32_t *value,
                                 std::string_view *text) noexcept {
  RUNTIME_ASSERT(sections.keys_lowercased && index < CONFIG_KEY_COUNT, "config_convert_key takes a key of CONFIG_KEYS");
  *text = {};
  Config_Blocks blocks;
  Status found = config_find_blocks(scratch, sections, &blocks);
  if (!found.ok()) return Config_Status(found);
  return config_convert_one(scratch, sections, blocks, index, value, text);
}

Config_Result config_from_text(Arena *scratch, std::string_view text) noexcept {
  Section_Map sections{};
  Status read = load_map_from_string(&sections, text, CONFIG_FILE_INI_OPTIONS);
  if (!read.ok()) return Config_Status(read);
  Config_Result converted = config_from_map(scratch, sections);
  delete_map(&sections);
  return converted;
}

Config_Result config_from_map(Arena *scratch, const Section_Map &sections) noexcept {
  RUNTIME_ASSERT(sections.keys_lowercased, "config_from_map takes a map read with lowercase_keys");
  Config_Blocks blocks;
  Status found = config_find_blocks(scratch, sections, &blocks);
  if (!found.ok()) return Config_Status(found);
  for (size_t b = 0; b < CONFIG_BLOCK_COUNT; b++) {
    if (blocks.sections[b] < 2) continue;
    Config_Status unique = config_check_duplicates(scratch, blocks.first[b], blocks.pairs[b]);
    if (!unique.ok()) return unique;
  }
  return config_convert(scratch, sections, blocks);
}
