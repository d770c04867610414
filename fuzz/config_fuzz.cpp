// Fuzzes the whole path from the bytes of ManeShade.ini to a Config: reader, flattening, conversion.
// Any bytes must come through without a fault, a refusal must leave the Config alone, and an
// installed Config must hold only truth values and tints in 0..255.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

#include "encoding/ini/ini.h"
#include "runtime/context.h"
#include "src/config/schema.h"

namespace {

void fuzz_check(bool condition) {
  if (!condition) std::abort();
}

bool fuzz_is_refusal(const char *message) {
  std::string_view m = message;
  return m == MESSAGE_DUPLICATE_KEY || m == MESSAGE_BAD_VALUE || m == MESSAGE_FAILED_TO_PARSE;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string_view text(reinterpret_cast<const char *>(data), size);
  Section_Map map;
  if (load_map_from_string(&map, text, {";", true}) != INI_OK) return 0;

  Config config;
  std::memset(&config, 0xA5, sizeof config);
  Config before = config;
  try {
    Flat_Key_Table table;
    Config_Status status = config_from_sections(frame_scratch(), map, &table, &config);
    if (!status.ok) {
      fuzz_check(fuzz_is_refusal(status.message));
      fuzz_check(std::memcmp(&config, &before, sizeof config) == 0);
    } else {
      for (const Config_Block &block : CONFIG_BLOCKS) {
        for (const Config_Field &field : CONFIG_FIELDS) {
          int32_t value = (config.*block.block).*field.field;
          if (field.kind == CONFIG_TRUTH) fuzz_check(value == 0 || value == 1);
          if (field.kind == CONFIG_INTEGER) fuzz_check(value >= 0 && value <= 255);
        }
      }
    }
  } catch (const std::bad_alloc &) {
  }
  arena_release(frame_scratch());
  return 0;
}
