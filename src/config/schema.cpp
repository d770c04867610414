// The conversion of a Section_Map into a Config; see schema.h.
#include "src/config/schema.h"

#include <unordered_map>

#include "runtime/arena.h"
#include "runtime/format.h"
#include "runtime/log.h"
#include "runtime/text.h"

namespace {

constexpr std::string_view CONFIG_COMMENT_CUT = ";";

// Full key ("<section>.<key>", both lowercased) to value text (cut and trimmed). Keys live in the
// scratch arena, values in the Section_Map it was built from: the table outlives neither.
using Flat_Key_Table = std::unordered_map<std::string_view, std::string_view>;

// The value as the flattening keeps it: only what comes before the first ";", trimmed.
std::string_view config_cut_value(std::string_view value) {
  return trim_white_space(value.substr(0, value.find(CONFIG_COMMENT_CUT)));
}

// Adds every pair of the block sections to `*table`. Throws std::bad_alloc when the heap runs out.
Status config_flatten(Arena *scratch, const Section_Map &sections, Flat_Key_Table *table) {
  for (const auto &[name, keys] : sections) {
    std::string_view section = lower_from_utf8(scratch, name);
    if (!section.data()) return status_fail(FAILURE_OUT_OF_MEMORY);
    if (!config_is_block_section(section)) continue;
    for (const auto &[key, value] : keys) {
      std::string_view full_key = config_full_key(scratch, section, key);
      if (!full_key.data()) return status_fail(FAILURE_OUT_OF_MEMORY);
      if (!table->emplace(full_key, config_cut_value(value)).second) {
        log_error("Duplicate key: {}", key);
        return status_fail(FAILURE_DUPLICATE_KEY);
      }
    }
  }
  return STATUS_OK;
}

// Converts every expected key, in order, into a fresh Config, then normalises the tints.
Result<Config> config_convert(const Flat_Key_Table &table) {
  Config fresh{};
  for (size_t i = 0; i < CONFIG_KEY_COUNT; i++) {
    const Config_Key &key = CONFIG_KEYS[i];
    auto found = table.find(key.full_key);
    auto index = static_cast<int16_t>(i);
    if (found == table.end()) {
      log_error("Missing expected key: {}", key.full_key);
      return status_fail(FAILURE_MISSING_KEY, OS_OK, index);
    }
    Status converted = key.convert(&((fresh.*key.block).*key.field), key.full_key, found->second);
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
  std::string_view lowered = lower_from_utf8(scratch, key);
  if (!lowered.data()) return {};
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
  try {
    Flat_Key_Table table;
    Status flattened = config_flatten(scratch, sections, &table);
    if (!flattened.ok()) return flattened;
    return config_convert(table);
  } catch (...) {
    // Only the flat table's allocations throw (std::bad_alloc).
    return status_fail(FAILURE_OUT_OF_MEMORY);
  }
}

Result<Config> config_from_text(Arena *scratch, std::string_view text) noexcept {
  try {
    Section_Map sections;
    Status read = load_map_from_string(&sections, text, CONFIG_FILE_INI_OPTIONS);
    if (!read.ok()) return read;
    return config_from_map(scratch, sections);
  } catch (...) {
    // An empty map that cannot be made (some standard libraries allocate for one).
    return status_fail(FAILURE_OUT_OF_MEMORY);
  }
}
