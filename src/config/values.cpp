// The value converters; see values.h.
#include "src/config/values.h"

#include "runtime/log.h"
#include "runtime/text.h"

namespace {

// The longest truth value, "false", is 5 code points, each at most 4 bytes as written: a longer value
// is none of them, whatever lowercasing makes of it.
constexpr size_t TRUTH_VALUE_MAX_BYTES = 5 * 4;

uint32_t integer_digit_value(char c) {
  if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0');
  if (c >= 'a' && c <= 'z') return static_cast<uint32_t>(c - 'a') + 10;
  if (c >= 'A' && c <= 'Z') return static_cast<uint32_t>(c - 'A') + 10;
  return UINT32_MAX;
}

uint32_t integer_base_for_prefix(char c) {
  switch (c) {
    case 'b': return 2;
    case 'o': return 8;
    case 'd': return 10;
    case 'z': return 12;
    case 'x': return 16;
    default: return 0;
  }
}

}  // namespace

bool parse_integer_parts(std::string_view text, bool *negative, uint64_t *magnitude) noexcept {
  if (text.empty()) return false;
  bool minus = false;
  if (text.size() >= 2 && (text[0] == '+' || text[0] == '-')) {
    minus = text[0] == '-';
    text.remove_prefix(1);
  }
  uint32_t base = 10;
  if (text.size() >= 3 && text[0] == '0' && integer_base_for_prefix(text[1])) {
    base = integer_base_for_prefix(text[1]);
    text.remove_prefix(2);
  }
  uint64_t read = 0;
  for (char c : text) {
    if (c == '_') continue;
    uint32_t digit = integer_digit_value(c);
    if (digit >= base) return false;
    if (read > (UINT64_MAX - digit) / base) return false;
    read = read * base + digit;
  }
  *negative = minus;
  *magnitude = read;
  return true;
}

bool parse_integer_text(std::string_view text, int64_t *value) noexcept {
  bool negative;
  uint64_t magnitude;
  if (!parse_integer_parts(text, &negative, &magnitude)) return false;
  // Within 64 bits the value wraps like two's complement, as the low 32 bits are all that is kept.
  *value = static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
  return true;
}

Config_Status parse_b32(Arena *scratch, int32_t *destination, std::string_view key, std::string_view value) noexcept {
  if (value.size() <= TRUTH_VALUE_MAX_BYTES) {
    std::string_view v = lower_from_utf8(scratch, value);
    if (!v.data()) return status_fail(FAILURE_OUT_OF_MEMORY);
    if (v == "yes" || v == "true") {
      *destination = 1;
      return CONFIG_STATUS_OK;
    }
    if (v == "no" || v == "false") {
      *destination = 0;
      return CONFIG_STATUS_OK;
    }
  }
  log_error("Failed to parse config value {}, expected yes/no: {}", key, value);
  return CONFIG_NOT_A_TRUTH_VALUE;
}

Config_Status parse_i32(Arena *, int32_t *destination, std::string_view key, std::string_view value) noexcept {
  int64_t read;
  if (!parse_integer_text(value, &read)) {
    log_error("Failed to parse config value {}, expected an integer: {}", key, value);
    return CONFIG_NOT_AN_INTEGER;
  }
  *destination = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(read)));
  return CONFIG_STATUS_OK;
}
