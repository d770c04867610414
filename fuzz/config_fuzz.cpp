// Fuzzes the whole path from the bytes of ManeShade.ini to a Config: reader, flattening, conversion.
// Any bytes must come through without a fault, a refusal must name a known failure (and the key,
// for a key's), and an installed Config must hold only truth values and tints in 0..255.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "encoding/ini/ini.h"
#include "runtime/context.h"
#include "src/config/messages.h"
#include "src/config/schema.h"

namespace {

void fuzz_check(bool condition) {
  if (!condition) std::abort();
}

// A refusal of text that was read: the failures of flattening and conversion, or memory.
bool fuzz_is_refusal(const Status &status) {
  switch (status.failure) {
    case FAILURE_DUPLICATE_KEY: return status.key == STATUS_NO_KEY;
    case FAILURE_MISSING_KEY:
    case FAILURE_NOT_A_TRUTH_VALUE:
    case FAILURE_NOT_AN_INTEGER: return status.key >= 0 && static_cast<size_t>(status.key) < CONFIG_KEY_COUNT;
    case FAILURE_OUT_OF_MEMORY: return true;
    default: return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string_view text(reinterpret_cast<const char *>(data), size);
  Section_Map map;
  if (!load_map_from_string(&map, text, {";", true}).ok()) return 0;

  Result<Config> converted = config_from_map(frame_scratch(), map);
  if (!converted.ok()) {
    fuzz_check(fuzz_is_refusal(converted.status()));
    fuzz_check(*reload_message(converted.status().failure) != '\0');
  } else {
    const Config &config = converted.value();
    for (const Config_Key &key : CONFIG_KEYS) {
      int32_t value = (config.*key.block).*key.field;
      if (key.after == CONFIG_AS_READ) fuzz_check(value == 0 || value == 1);
      if (key.after == CONFIG_TINT) fuzz_check(value >= 0 && value <= 255);
    }
  }
  arena_release(frame_scratch());
  return 0;
}
