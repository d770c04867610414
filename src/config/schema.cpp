// The conversion of a Section_Map into a Config; see schema.h.
#include "src/config/schema.h"

#include <cstring>

#include "runtime/arena.h"
#include "runtime/format.h"
#include "runtime/log.h"
#include "runtime/text.h"

namespace {

constexpr std::string_view CONFIG_COMMENT_CUT = ";";

// One full key of the flat key table and its value. An entry whose full key has null data is free.
struct Flat_Entry {
  std::string_view full_key;  // "<section>.<key>", both lowercased, in the scratch
  std::string_view value;     // cut and trimmed: a part of the Section_Map's value
  uint64_t hash;
};

// Full key to value, by open addressing, sized once for every pair it can take: the table never
// grows. Lives in the scratch and outlives neither the scratch nor the Section_Map.
struct Flat_Key_Table {
  Flat_Entry *entries;
  size_t mask;  // entry count - 1, a power of two at least twice the pairs it can take
  uint64_t seed;
};

// The value as the flattening keeps it: only what comes before the first ";", trimmed.
std::string_view config_cut_value(std::string_view value) {
  return trim_white_space(value.substr(0, value.find(CONFIG_COMMENT_CUT)));
}

// The entry that holds `full_key`, or the free entry where it would go.
Flat_Entry *config_flat_find(const Flat_Key_Table &table, std::string_view full_key, uint64_t hash) {
  size_t i = hash & table.mask;
  while (table.entries[i].full_key.data() && !(table.entries[i].hash == hash && table.entries[i].full_key == full_key)) {
    i = (i + 1) & table.mask;
  }
  return &table.entries[i];
}

// A table with room for `pairs` entries, or entries null when the scratch has none.
Flat_Key_Table config_flat_table(Arena *scratch, size_t pairs) {
  Flat_Key_Table table{};
  size_t size = 4;
  while (size < pairs * 2) size *= 2;
  table.entries = arena_push_array<Flat_Entry>(scratch, size);
  if (!table.entries) return table;
  std::memset(static_cast<void *>(table.entries), 0, sizeof(Flat_Entry) * size);
  table.mask = size - 1;
  table.seed = hash_seed_from_address(table.entries);
  return table;
}

// Builds the flat key table of the block sections' pairs into `*table`, in the scratch.
Status config_flatten(Arena *scratch, const Section_Map &sections, Flat_Key_Table *table) {
  // Each section's lowercased name, when it names a block; sized once, and read twice: to size the
  // table, then to fill it.
  auto *blocks = arena_push_array<std::string_view>(scratch, sections.count);
  if (sections.count && !blocks) return status_fail(FAILURE_OUT_OF_MEMORY);
  size_t pairs = 0;
  size_t n = 0;
  for (const Ini_Section *section = sections.first; section; section = section->next, n++) {
    std::string_view lowered = is_lower_ascii(section->name) ? section->name : lower_from_utf8(scratch, section->name);
    if (!lowered.data() && !section->name.empty()) return status_fail(FAILURE_OUT_OF_MEMORY);
    blocks[n] = config_is_block_section(lowered) ? lowered : std::string_view();
    if (!blocks[n].empty()) pairs += section->count;
  }
  *table = config_flat_table(scratch, pairs);
  if (!table->entries) return status_fail(FAILURE_OUT_OF_MEMORY);
  n = 0;
  for (const Ini_Section *section = sections.first; section; section = section->next, n++) {
    if (blocks[n].empty()) continue;
    for (const Ini_Pair *pair = section->first; pair; pair = pair->next) {
      std::string_view full_key = config_full_key(scratch, blocks[n], pair->key);
      if (!full_key.data()) return status_fail(FAILURE_OUT_OF_MEMORY);
      uint64_t hash = text_hash(full_key, table->seed);
      Flat_Entry *entry = config_flat_find(*table, full_key, hash);
      if (entry->full_key.data()) {
        log_error("Duplicate key: {}", pair->key);
        return status_fail(FAILURE_DUPLICATE_KEY);
      }
      *entry = Flat_Entry{full_key, config_cut_value(pair->value), hash};
    }
  }
  return STATUS_OK;
}

// Converts every expected key, in order, into a fresh Config, then normalises the tints.
Result<Config> config_convert(Arena *scratch, const Flat_Key_Table &table) {
  Config fresh{};
  for (size_t i = 0; i < CONFIG_KEY_COUNT; i++) {
    const Config_Key &key = CONFIG_KEYS[i];
    const Flat_Entry *found = config_flat_find(table, key.full_key, text_hash(key.full_key, table.seed));
    auto index = static_cast<int16_t>(i);
    if (!found->full_key.data()) {
      log_error("Missing expected key: {}", key.full_key);
      return status_fail(FAILURE_MISSING_KEY, OS_OK, index);
    }
    Status converted = key.convert(scratch, &((fresh.*key.block).*key.field), key.full_key, found->value);
    if (converted.failure == FAILURE_OUT_OF_MEMORY) return converted;
    if (!converted.ok()) return status_fail(converted.failure, OS_OK, index);
  }
  for (const Config_Key &key : CONFIG_KEYS) {
    int32_t &value = (fresh.*key.block).*key.field;
    if (key.after == CONFIG_TINT) value = normalise_tint(value);
  }
  return fresh;
}

}  // namespace

std::string_view config_full_key(Arena *scratch, std::string_view lowered_section, std::string_view key) noexcept {
  std::string_view lowered = is_lower_ascii(key) ? key : lower_from_utf8(scratch, key);
  if (!lowered.data() && !key.empty()) return {};
  size_t size = lowered_section.size() + 1 + lowered.size();
  char *full = static_cast<char *>(arena_push(scratch, size, 1));
  if (!full) return {};
  Format_Buffer buffer = format_buffer(full, size);
  format_to(&buffer, "{}.{}", lowered_section, lowered);
  return format_text(buffer);
}

int32_t normalise_tint(int32_t tint) noexcept {
  int64_t magnitude = tint < 0 ? -int64_t{tint} : int64_t{tint};
  return static_cast<int32_t>(magnitude % 256);
}

Result<Config> config_from_map(Arena *scratch, const Section_Map &sections) noexcept {
  Flat_Key_Table table{};
  Status flattened = config_flatten(scratch, sections, &table);
  if (!flattened.ok()) return flattened;
  return config_convert(scratch, table);
}

Result<Config> config_from_text(Arena *scratch, std::string_view text) noexcept {
  Section_Map sections{};
  Status read = load_map_from_string(&sections, text, CONFIG_FILE_INI_OPTIONS);
  if (!read.ok()) return read;
  Result<Config> converted = config_from_map(scratch, sections);
  delete_map(&sections);
  return converted;
}
