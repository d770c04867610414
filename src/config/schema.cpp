// The configuration schema and the conversion of a Section_Map into a Config; see schema.h.
#include "src/config/schema.h"

#include "runtime/arena.h"
#include "runtime/format.h"
#include "runtime/log.h"
#include "runtime/text.h"
#include "src/config/values.h"

namespace {

constexpr std::string_view CONFIG_COMMENT_CUT = ";";

bool schema_is_block_section(std::string_view lowered) {
  for (const Config_Block &block : CONFIG_BLOCKS) {
    if (lowered == block.section) return true;
  }
  return false;
}

// The value as the schema reads it: only what comes before the first ";", trimmed.
std::string_view schema_cut_value(std::string_view value) {
  return trim_white_space(value.substr(0, value.find(CONFIG_COMMENT_CUT)));
}

}  // namespace

std::string_view config_full_key(size_t index, char (&out)[CONFIG_FULL_KEY_MAX_BYTES]) noexcept {
  const Config_Block &block = CONFIG_BLOCKS[index / std::size(CONFIG_FIELDS)];
  const Config_Field &field = CONFIG_FIELDS[index % std::size(CONFIG_FIELDS)];
  Format_Buffer buffer = format_buffer(out, sizeof out);
  format_to(&buffer, "{}.{}", block.section, field.name);
  return format_text(buffer);
}

Config_Status flatten_sections(Arena *scratch, const Section_Map &sections, Flat_Key_Table *table) {
  for (const auto &[name, keys] : sections) {
    std::string_view section = lower_from_utf8(scratch, name);
    if (!section.data()) return {false, MESSAGE_FAILED_TO_PARSE};
    if (!schema_is_block_section(section)) continue;
    for (const auto &[key, value] : keys) {
      std::string_view lowered = lower_from_utf8(scratch, key);
      if (!lowered.data()) return {false, MESSAGE_FAILED_TO_PARSE};
      size_t size = section.size() + 1 + lowered.size();
      char *full = static_cast<char *>(arena_push(scratch, size, 1));
      if (!full) return {false, MESSAGE_FAILED_TO_PARSE};
      Format_Buffer buffer = format_buffer(full, size);
      format_to(&buffer, "{}.{}", section, lowered);
      if (!table->emplace(format_text(buffer), schema_cut_value(value)).second) {
        log_error("Duplicate key: {}", key);
        return {false, MESSAGE_DUPLICATE_KEY};
      }
    }
  }
  return {true, ""};
}

bool parse(int32_t *destination, Config_Value_Kind kind, std::string_view full_key, const Flat_Key_Table &table) noexcept {
  auto found = table.find(full_key);
  if (found == table.end()) {
    log_error("Missing expected key: {}", full_key);
    return false;
  }
  if (kind == CONFIG_TRUTH) return parse_b32(destination, full_key, found->second);
  return parse_i32(destination, full_key, found->second);
}

int32_t normalise_tint(int32_t tint) noexcept {
  int64_t magnitude = tint < 0 ? -int64_t{tint} : int64_t{tint};
  return static_cast<int32_t>(magnitude % 256);
}

Config_Status convert_config(const Flat_Key_Table &table, Config *out) noexcept {
  Config fresh{};
  for (size_t i = 0; i < CONFIG_KEY_COUNT; i++) {
    const Config_Block &block = CONFIG_BLOCKS[i / std::size(CONFIG_FIELDS)];
    const Config_Field &field = CONFIG_FIELDS[i % std::size(CONFIG_FIELDS)];
    char key[CONFIG_FULL_KEY_MAX_BYTES];
    if (!parse(&((fresh.*block.block).*field.field), field.kind, config_full_key(i, key), table)) {
      return {false, MESSAGE_BAD_VALUE};
    }
  }
  for (const Config_Block &block : CONFIG_BLOCKS) {
    for (const Config_Field &field : CONFIG_FIELDS) {
      if (field.kind == CONFIG_INTEGER) (fresh.*block.block).*field.field = normalise_tint((fresh.*block.block).*field.field);
    }
  }
  *out = fresh;
  return {true, ""};
}

Config_Status config_from_sections(Arena *scratch, const Section_Map &sections, Flat_Key_Table *table, Config *out) {
  table->clear();
  Config_Status status = flatten_sections(scratch, sections, table);
  if (!status.ok) return status;
  return convert_config(*table, out);
}

Config_Status config_from_text(Arena *scratch, std::string_view text, Section_Map *sections, Flat_Key_Table *table, Config *out) {
  if (load_map_from_string(sections, text, CONFIG_FILE_INI_OPTIONS) != INI_OK) return {false, MESSAGE_FAILED_TO_PARSE};
  return config_from_sections(scratch, *sections, table, out);
}
