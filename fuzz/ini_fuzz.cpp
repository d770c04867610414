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
  Result<Unquoted> unquoted = unquote(text);
  fuzz_check(unquoted.ok());
  const Unquoted &plain = unquoted.value();
  bool starts_with_quote = !text.empty() && (text[0] == '"' || text[0] == '\'');
  if (!starts_with_quote) fuzz_check(!plain.decoded);
  if (!plain.decoded) fuzz_check(plain.text == text);
  // Decoding never grows text by more than an invalid byte's U+FFFD.
  fuzz_check(plain.text.size() <= 3 * text.size());

  Result<Unquoted> round_trip = unquote(fuzz_octal_literal(text));
  fuzz_check(round_trip.ok() && round_trip.value().decoded && round_trip.value().text == text);
}

void fuzz_load(std::string_view text, const Ini_Options &options) {
  Section_Map map;
  fuzz_check(load_map_from_string(&map, text, options).ok());
  for (const auto &[name, keys] : map) {
    fuzz_check(!keys.empty());  // a header with no pairs makes no section
    for (const auto &[key, value] : keys) {
      if (options.lowercase_keys) fuzz_check(utf8_is_valid(key));
    }
  }

  // The line end does not matter: every "\n" may as well be "\r\n".
  Section_Map crlf;
  fuzz_check(load_map_from_string(&crlf, fuzz_crlf_from_lf(text), options).ok());
  fuzz_check(crlf == map);

  // A byte-order mark at the very start changes nothing.
  if (!text.starts_with("\xEF\xBB\xBF")) {
    Section_Map bom;
    fuzz_check(load_map_from_string(&bom, "\xEF\xBB\xBF" + std::string(text), options).ok());
    fuzz_check(bom == map);
  }
  delete_map(&map);
  fuzz_check(map.empty());
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
