// Fuzzes the INI reader: any bytes must parse without a fault, and a few properties that hold for
// every input are checked against each other.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "encoding/ini/ini.h"
#include "fuzz/fuzz_support.h"
#include "runtime/utf8.h"
#include "tests/support/std_sections.h"

namespace {

std::string fuzz_crlf_from_lf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

void fuzz_unquote(std::string_view text) {
  Arena arena{};
  Result<std::string_view> unquoted = unquote(&arena, text);
  fuzz_check(unquoted.ok());
  std::string_view plain = unquoted.value();
  bool starts_with_quote = !text.empty() && (text[0] == '"' || text[0] == '\'');
  if (!starts_with_quote) fuzz_check(plain == text);
  // Decoding never grows text by more than an invalid byte's U+FFFD.
  fuzz_check(plain.size() <= 3 * text.size());

  Result<std::string_view> round_trip = unquote(&arena, fuzz_octal_literal(text));
  fuzz_check(round_trip.ok() && round_trip.value() == text);
  arena_destroy(&arena);
}

void fuzz_load(std::string_view text, const Ini_Options &options) {
  Section_Map loaded{};
  fuzz_check(load_map_from_string(&loaded, text, options).ok());
  size_t pairs = 0;
  for (const Ini_Section *section = loaded.first; section; section = section->next) {
    fuzz_check(section->first != nullptr);  // a header with no pairs makes no section
    fuzz_check(ini_find_section(&loaded, section->name) == section);
    for (const Ini_Pair *pair = section->first; pair; pair = pair->next, pairs++) {
      fuzz_check(ini_find_pair(&loaded, section, pair->key) == pair);
      if (options.lowercase_keys) fuzz_check(utf8_is_valid(pair->key));
    }
  }
  Std_Sections map = std_sections(loaded);
  size_t std_pairs = 0;
  for (const auto &[name, keys] : map) std_pairs += keys.size();
  fuzz_check(map.size() == loaded.count && std_pairs == pairs);  // no section or key twice
  delete_map(&loaded);
  fuzz_check(loaded.first == nullptr && arena_block_count(&loaded.arena) == 0);

  bool ok = false;
  // The line end does not matter: every "\n" may as well be "\r\n".
  fuzz_check(std_sections_of(fuzz_crlf_from_lf(text), options, &ok) == map && ok);
  // A byte-order mark at the very start changes nothing.
  if (!text.starts_with("\xEF\xBB\xBF")) {
    fuzz_check(std_sections_of("\xEF\xBB\xBF" + std::string(text), options, &ok) == map && ok);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks the options; the rest is the text.
  uint8_t mode = data[0];
  std::string_view text(reinterpret_cast<const char *>(data + 1), size - 1);
  static constexpr std::string_view PREFIXES[] = {";", "", "#", "//"};
  Ini_Options options = {PREFIXES[mode & 3], (mode & 4) != 0};
  fuzz_unquote(text);
  fuzz_load(text, options);
  return 0;
}
