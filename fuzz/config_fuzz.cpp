// Fuzzes the whole path from the bytes of ManeShade.ini to a Config: reader, flattening, conversion.
// Beyond coming through any bytes without a fault, the answers are checked:
//   - a refusal names a known failure, and what it claims holds in the map (a duplicate is held by
//     two sections; the keys before the failing one are there; a missing key is missing);
//   - rewritings that keep a file's meaning give the same map and the same verdict: the map written
//     out again as quoted INI, with keys in other letter cases, sections in another order (and split
//     under repeated headers), values quoted or not, a key first written with a wrong value, notes,
//     blank lines and empty headers in between; and the same done to the input's own lines;
//   - a key written once more at the end, with a value whose meaning is worked out here, comes out
//     as that value (on a file that loads), or moves the refusal past that key (on one that does not).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "encoding/ini/ini.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/std_sections.h"
#include "runtime/arena.h"
#include "runtime/text.h"
#include "src/config/messages.h"
#include "src/config/schema.h"

namespace {

constexpr std::string_view FUZZ_UTF8_BOM = "\xEF\xBB\xBF";

// Lines that mean nothing to the reader: notes and blank lines (U+00A0 and U+3000 are white space).
constexpr std::string_view FUZZ_FILLERS[] = {";", "; a note = with [brackets] and \"quotes\"", "  ;x=1", "\t; [corvin]",
                                             "",  " ",  "\t \r",  "\xC2\xA0",  "\xE3\x80\x80"};

// A refusal of text that was read: the failures of flattening and conversion, or memory.
bool fuzz_is_refusal(const Config_Status &status) {
  if (!status.runtime.ok()) return status.runtime.failure == FAILURE_OUT_OF_MEMORY && status.content == CONFIG_OK;
  switch (status.content) {
    case CONFIG_DUPLICATE_KEY: return status.key_index == CONFIG_NO_KEY;
    case CONFIG_MISSING_KEY:
    case CONFIG_NOT_A_TRUTH_VALUE:
    case CONFIG_NOT_AN_INTEGER: return status.key_index >= 0 && static_cast<size_t>(status.key_index) < CONFIG_KEY_COUNT;
    case CONFIG_OK: break;
  }
  return false;
}

std::string fuzz_lower(std::string_view text) {
  Arena arena{};
  std::string lowered(lower_from_utf8(&arena, text));
  arena_destroy(&arena);
  return lowered;
}

Std_Sections fuzz_map_of(std::string_view text) {
  bool ok = false;
  Std_Sections map = std_sections_of(text, CONFIG_FILE_INI_OPTIONS, &ok);
  fuzz_check(ok);
  return map;
}

Fuzz_Outcome fuzz_outcome_of_text(std::string_view text) { return fuzz_outcome(config_from_text(frame_scratch(), text)); }

// The names of the sections of `key`'s block that hold its field, as the map has them.
std::vector<std::string_view> fuzz_holders(const Std_Sections &map, const Config_Key &key) {
  std::vector<std::string_view> holders;
  for (const auto &[name, keys] : map) {
    if (fuzz_lower(name) == key.section() && keys.count(std::string(key.field_name()))) holders.push_back(name);
  }
  return holders;
}

// Whether two sections of one block hold the same key (any key, not only the expected ones).
bool fuzz_has_duplicate(const Std_Sections &map) {
  std::unordered_map<std::string, int> holders;
  for (const auto &[name, keys] : map) {
    std::string section = fuzz_lower(name);
    if (!config_is_block_section(section)) continue;
    for (const auto &[key, value] : keys) {
      if (++holders[section + "." + fuzz_lower(key)] > 1) return true;
    }
  }
  return false;
}

// What the verdict claims about the map, checked against the map.
void fuzz_check_verdict(const Std_Sections &map, const Fuzz_Outcome &outcome) {
  const Config_Status &status = outcome.status;
  if (status.runtime.failure == FAILURE_OUT_OF_MEMORY) return;
  fuzz_check(status.ok() || fuzz_is_refusal(status));
  fuzz_check(status.ok() || *reload_message(status) != '\0');
  fuzz_check((status.content == CONFIG_DUPLICATE_KEY) == fuzz_has_duplicate(map));
  if (status.content == CONFIG_DUPLICATE_KEY) return;
  // Keys convert in table order: every key before the failing one is there, once.
  size_t checked = status.ok() ? CONFIG_KEY_COUNT : static_cast<size_t>(status.key_index);
  for (size_t i = 0; i < checked; i++) fuzz_check(fuzz_holders(map, CONFIG_KEYS[i]).size() == 1);
  if (status.ok()) {
    for (const Config_Key &key : CONFIG_KEYS) {
      int32_t value = (outcome.config.*key.block).*key.field;
      if (key.after == CONFIG_AS_READ) fuzz_check(value == 0 || value == 1);
      if (key.after == CONFIG_TINT) fuzz_check(value >= 0 && value <= 255);
    }
    return;
  }
  const Config_Key &failed = CONFIG_KEYS[status.key_index];
  size_t holders = fuzz_holders(map, failed).size();
  if (status.content == CONFIG_MISSING_KEY) fuzz_check(holders == 0);
  if (status.content == CONFIG_NOT_A_TRUTH_VALUE) fuzz_check(holders == 1 && failed.convert == parse_b32);
  if (status.content == CONFIG_NOT_AN_INTEGER) fuzz_check(holders == 1 && failed.convert == parse_i32);
}

// ---- The map written out again. ----

bool fuzz_plain_quotable(std::string_view text) { return text.find_first_of("\"\\\n") == std::string_view::npos; }

bool fuzz_raw_key(std::string_view key) {
  if (key.empty()) return false;
  for (char c : key) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
  }
  return true;
}

// A value the reader takes as written: nothing to trim, not taken for a quoted literal.
bool fuzz_raw_value(std::string_view value) {
  if (value.find('\n') != std::string_view::npos) return false;
  if (!value.empty() && (value[0] == '"' || value[0] == '\'')) return false;
  return trim_white_space(value).size() == value.size();
}

// `text` as a double-quoted literal of mixed escapes: named ones, hexadecimal, octal, and printable
// ASCII as it is except the bytes of `always_escaped`.
std::string fuzz_escaped_literal(std::string_view text, Fuzz_Random *random, std::string_view always_escaped = "") {
  constexpr std::string_view HEX = "0123456789abcdef";
  std::string literal = "\"";
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    const char *named = nullptr;
    switch (byte) {
      case '\a': named = "\\a"; break;
      case '\b': named = "\\b"; break;
      case '\f': named = "\\f"; break;
      case '\n': named = "\\n"; break;
      case '\r': named = "\\r"; break;
      case '\t': named = "\\t"; break;
      case '\v': named = "\\v"; break;
      case '\\': named = "\\\\"; break;
      case '"': named = "\\\""; break;
      case '\'': named = "\\'"; break;
      default: break;
    }
    uint64_t form = fuzz_below(random, 3);
    if (named && form == 0) {
      literal.append(named);
    } else if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\' && always_escaped.find(c) == std::string_view::npos &&
               form == 0) {
      literal.push_back(c);
    } else if (form == 1) {
      literal.append("\\x");
      literal.push_back(HEX[byte >> 4]);
      literal.push_back(HEX[byte & 15]);
    } else {
      literal.append(fuzz_octal_literal(std::string_view(&c, 1)).substr(1, 4));
    }
  }
  literal.push_back('"');
  return literal;
}

// A key as a line may write it so that the reader's key is `key` again: in any letter case; bare,
// quoted or escaped. `vary` false: always the octal literal of the key itself.
std::string fuzz_written_key(std::string_view key, Fuzz_Random *random, bool vary) {
  if (!vary) return fuzz_octal_literal(key);
  std::string flipped = fuzz_flip_case(key, random);
  switch (fuzz_below(random, 5)) {
    case 0:
      if (fuzz_raw_key(key)) return flipped;
      break;
    case 1:
      // No "=" inside: the separator after a key that opens with a quote is the first " =".
      if (fuzz_plain_quotable(key) && key.find('=') == std::string_view::npos) return "\"" + flipped + "\"";
      break;
    case 2:
      if (fuzz_plain_quotable(key) && key.find('=') == std::string_view::npos) return "'" + flipped + "'";
      break;
    case 3: return fuzz_escaped_literal(flipped, random, /*always_escaped=*/" =");
    default: break;
  }
  return fuzz_octal_literal(flipped);
}

std::string fuzz_written_value(std::string_view value, Fuzz_Random *random, bool vary) {
  if (!vary) return fuzz_octal_literal(value);
  switch (fuzz_below(random, 5)) {
    case 0:
      if (fuzz_raw_value(value)) return std::string(value);
      break;
    case 1:
      if (fuzz_plain_quotable(value)) return "\"" + std::string(value) + "\"";
      break;
    case 2:
      if (fuzz_plain_quotable(value)) return "'" + std::string(value) + "'";
      break;
    case 3: return fuzz_escaped_literal(value, random);
    default: break;
  }
  return fuzz_octal_literal(value);
}

struct Fuzz_Writer {
  std::string text;
  Fuzz_Random *random;
  bool vary;
};

void fuzz_line(Fuzz_Writer *w, std::string_view line) {
  w->text.append(line);
  w->text.append(w->vary && fuzz_one_in(w->random, 4) ? "\r\n" : "\n");
}

void fuzz_maybe_filler(Fuzz_Writer *w) {
  if (!w->vary || !fuzz_one_in(w->random, 6)) return;
  fuzz_line(w, FUZZ_FILLERS[fuzz_below(w->random, std::size(FUZZ_FILLERS))]);
}

void fuzz_pair(Fuzz_Writer *w, std::string_view key, std::string_view value) {
  fuzz_maybe_filler(w);
  // The last occurrence wins: an earlier one with another value changes nothing.
  if (w->vary && fuzz_one_in(w->random, 8)) {
    fuzz_line(w, fuzz_written_key(key, w->random, true) + " = " + fuzz_written_value("overwritten", w->random, true));
  }
  // The key's literal holds no " =": that is the separator.
  fuzz_line(w, fuzz_written_key(key, w->random, w->vary) + " = " + fuzz_written_value(value, w->random, w->vary));
}

// A header; when varying, sometimes after a header with nothing under it, which makes no section.
void fuzz_header(Fuzz_Writer *w, std::string_view name) {
  if (w->vary && fuzz_one_in(w->random, 8)) {
    static constexpr std::string_view EMPTY_NAMES[] = {"corvin", "MAEL", "", "other"};
    fuzz_line(w, "[" + std::string(EMPTY_NAMES[fuzz_below(w->random, std::size(EMPTY_NAMES))]) + "]");
  }
  // A section's name is what stands between "[" and the first "]" (a stored one holds none), as written.
  fuzz_line(w, "[" + std::string(name) + "]");
}

template <class T>
void fuzz_shuffle(std::vector<T> *items, Fuzz_Random *random) {
  for (size_t i = items->size(); i > 1; i--) std::swap((*items)[i - 1], (*items)[fuzz_below(random, i)]);
}

using Fuzz_Pair = std::pair<std::string_view, std::string_view>;

// `map` as INI text that reads back into `map`. Not varying: every section under its header, every
// key and value an octal literal.
std::string fuzz_write_map(const Std_Sections &map, Fuzz_Random *random, bool vary) {
  Fuzz_Writer w{"", random, vary};
  if (vary && fuzz_one_in(random, 4)) w.text.append(FUZZ_UTF8_BOM);
  std::vector<std::string_view> names;
  for (const auto &[name, keys] : map) names.push_back(name);
  if (vary) fuzz_shuffle(&names, random);
  // Pairs before the first header belong to the section "", as do those under "[]".
  bool headless_first = vary && map.count("") && fuzz_one_in(random, 2);
  std::vector<std::pair<std::string_view, std::vector<Fuzz_Pair>>> later;  // the second halves, under repeated headers
  auto write_section = [&](std::string_view name, bool header) {
    std::vector<Fuzz_Pair> pairs;
    for (const auto &[key, value] : map.at(std::string(name))) pairs.emplace_back(key, value);
    if (vary) fuzz_shuffle(&pairs, random);
    size_t now = pairs.size();
    if (vary && pairs.size() >= 2 && fuzz_one_in(random, 4)) now = 1 + fuzz_below(random, pairs.size() - 1);
    if (header) fuzz_header(&w, name);
    for (size_t i = 0; i < now; i++) fuzz_pair(&w, pairs[i].first, pairs[i].second);
    if (now < pairs.size()) later.emplace_back(name, std::vector<Fuzz_Pair>(pairs.begin() + now, pairs.end()));
  };
  if (headless_first) write_section("", false);
  for (std::string_view name : names) {
    if (headless_first && name.empty()) continue;
    write_section(name, true);
  }
  // A header seen again continues its section.
  for (const auto &[name, pairs] : later) {
    fuzz_header(&w, name);
    for (const Fuzz_Pair &pair : pairs) fuzz_pair(&w, pair.first, pair.second);
  }
  fuzz_maybe_filler(&w);
  return w.text;
}

// ---- The input's own lines, rewritten. ----

struct Fuzz_Piece {
  std::string text;      // the line as written, without its "\n"
  bool header;
  std::string section;   // header: the section it names
};

bool fuzz_points_into(std::string_view inner, std::string_view outer) {
  auto at = reinterpret_cast<uintptr_t>(inner.data());
  auto begin = reinterpret_cast<uintptr_t>(outer.data());
  return !inner.empty() && at >= begin && at + inner.size() <= begin + outer.size();
}

// `piece` (whose pair line the reader read as `line`) with its value put in quotes, when the value
// stands in the text as written and quoting keeps it byte for byte. The quotes come after the
// separator, so they cannot move it.
void fuzz_quote_value(Fuzz_Piece *piece, size_t piece_at, std::string_view body, const Ini_Line &line,
                      Fuzz_Random *random) {
  std::string_view value = line.value;
  if (!fuzz_points_into(value, body) || !fuzz_plain_quotable(value)) return;
  size_t at = static_cast<size_t>(value.data() - body.data()) - piece_at;
  // The inner text of a literal that needed no decoding: it is quoted already.
  if (at > 0 && (piece->text[at - 1] == '"' || piece->text[at - 1] == '\'')) return;
  std::string quote = fuzz_one_in(random, 3) ? "'" : "\"";
  piece->text.insert(at + value.size(), quote);
  piece->text.insert(at, quote);
}

// A bare key's ASCII letters in other cases; everything before the first "=" is the key's.
void fuzz_flip_key(Fuzz_Piece *piece, const Ini_Line &line, Fuzz_Random *random) {
  if (line.text.empty() || line.text[0] == '"' || line.text[0] == '\'') return;
  size_t end = piece->text.find('=');
  piece->text = fuzz_flip_case(std::string_view(piece->text).substr(0, end), random) + piece->text.substr(end);
}

// The input with notes and blank lines put between its lines, bare keys in other letter cases,
// values quoted, and the sections moved about (those of one name keep their order, so that the last
// occurrence of a key stays last; the lines before the first header stay first). Reads into the same
// map.
std::string fuzz_rewrite_lines(std::string_view text, Fuzz_Random *random) {
  bool bom = text.starts_with(FUZZ_UTF8_BOM);
  std::string_view body = bom ? text.substr(FUZZ_UTF8_BOM.size()) : text;
  std::vector<Fuzz_Piece> pieces;
  Arena arena{};
  Ini_Iterator it = ini_iterator(&arena, text, CONFIG_FILE_INI_OPTIONS);
  Ini_Line line;
  size_t at = 0;
  while (ini_next_line(&it, &line)) {
    fuzz_check(line.number == pieces.size() + 1);
    size_t newline = body.find('\n', at);
    size_t end = newline == std::string_view::npos ? body.size() : newline;
    Fuzz_Piece piece{std::string(body.substr(at, end - at)), line.kind == Ini_Line_Kind::header, ""};
    if (piece.header) piece.section = std::string(line.section);
    if (line.kind == Ini_Line_Kind::pair) {
      if (fuzz_one_in(random, 3)) fuzz_quote_value(&piece, at, body, line, random);
      if (fuzz_one_in(random, 3)) fuzz_flip_key(&piece, line, random);
    }
    pieces.push_back(std::move(piece));
    at = end + 1;
  }
  fuzz_check(at >= body.size() && it.status.ok());
  arena_destroy(&arena);

  // Chunks: the lines before the first header, then each header with the lines under it.
  std::vector<std::vector<size_t>> chunks(1);
  for (size_t i = 0; i < pieces.size(); i++) {
    if (pieces[i].header) chunks.emplace_back();
    chunks.back().push_back(i);
  }
  std::vector<size_t> order;
  for (size_t c = 1; c < chunks.size(); c++) order.push_back(c);
  fuzz_shuffle(&order, random);
  // Each name's chunks go back into the places its names now hold, in their first order.
  std::unordered_map<std::string_view, std::vector<size_t>> by_name;
  for (size_t c = chunks.size(); c-- > 1;) by_name[pieces[chunks[c][0]].section].push_back(c);
  for (size_t &c : order) {
    std::vector<size_t> &left = by_name[pieces[chunks[c][0]].section];
    c = left.back();
    left.pop_back();
  }
  order.insert(order.begin(), 0);

  std::string out(bom ? FUZZ_UTF8_BOM : "");
  auto filler = [&] {
    if (fuzz_one_in(random, 5)) out.append(FUZZ_FILLERS[fuzz_below(random, std::size(FUZZ_FILLERS))]).push_back('\n');
  };
  for (size_t c : order) {
    for (size_t i : chunks[c]) {
      filler();
      out.append(pieces[i].text).push_back('\n');
    }
  }
  filler();
  return out;
}

// ---- A key written once more. ----

// `text` with `key` written again at its end, under `section`, with a value that is worked out
// here: `*expected` is the field's value the module must make of it.
std::string fuzz_append_key(std::string_view text, std::string_view section, const Config_Key &key,
                            Fuzz_Random *random, int32_t *expected) {
  static constexpr std::string_view SEPARATORS[] = {" = ", "=", "= ", " =", "\t=\t"};
  Fuzz_Value value = fuzz_good_value(key, random);
  *expected = value.expected;
  std::string out(text);
  if (!out.empty() && out.back() != '\n') out.push_back('\n');
  out.append("[").append(section).append("]\n");
  out.append(fuzz_flip_case(key.field_name(), random));
  out.append(SEPARATORS[fuzz_below(random, std::size(SEPARATORS))]);
  out.append(value.text).append("\n");
  return out;
}

void fuzz_check_written_again(std::string_view text, const Std_Sections &map, const Fuzz_Outcome &outcome,
                              Fuzz_Random *random) {
  const Config_Status &status = outcome.status;
  if (status.content == CONFIG_DUPLICATE_KEY || status.runtime.failure == FAILURE_OUT_OF_MEMORY) return;
  size_t index = status.ok() ? fuzz_below(random, CONFIG_KEY_COUNT) : static_cast<size_t>(status.key_index);
  const Config_Key &key = CONFIG_KEYS[index];
  std::vector<std::string_view> holders = fuzz_holders(map, key);
  // The section that holds the key, else one of its block in some case (no section holds the key,
  // so no duplicate can arise).
  std::string section = holders.empty() ? fuzz_flip_case(key.section(), random) : std::string(holders[0]);
  int32_t expected = 0;
  std::string again = fuzz_append_key(text, section, key, random, &expected);
  Fuzz_Outcome after = fuzz_outcome_of_text(again);
  if (status.ok()) {
    Config want = outcome.config;
    (want.*key.block).*key.field = expected;
    fuzz_check(after.status.ok() && fuzz_same_config(after.config, want));
    return;
  }
  // A good value where the refusal was: the conversion gets past that key.
  fuzz_check(after.status.ok() || (after.status.key_index > status.key_index && after.status.content != CONFIG_DUPLICATE_KEY));
  if (after.status.ok()) fuzz_check((after.config.*key.block).*key.field == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string_view text(reinterpret_cast<const char *>(data), size);
  Fuzz_Random random = fuzz_random_from(text);
  Section_Map loaded{};
  fuzz_check(load_map_from_string(&loaded, text, CONFIG_FILE_INI_OPTIONS).ok());
  Fuzz_Outcome outcome = fuzz_outcome(config_from_map(frame_scratch(), loaded));
  Std_Sections map = std_sections(loaded);
  delete_map(&loaded);
  fuzz_check(fuzz_same_outcome(fuzz_outcome_of_text(text), outcome));
  fuzz_check_verdict(map, outcome);

  // Canonical quoted INI reads back into the same map.
  fuzz_check(fuzz_map_of(fuzz_write_map(map, &random, /*vary=*/false)) == map);

  std::string varied = fuzz_write_map(map, &random, /*vary=*/true);
  fuzz_check(fuzz_map_of(varied) == map);
  fuzz_check(fuzz_same_outcome(fuzz_outcome_of_text(varied), outcome));

  std::string rewritten = fuzz_rewrite_lines(text, &random);
  fuzz_check(fuzz_map_of(rewritten) == map);
  fuzz_check(fuzz_same_outcome(fuzz_outcome_of_text(rewritten), outcome));

  fuzz_check_written_again(text, map, outcome, &random);
  arena_release(frame_scratch());
  return 0;
}
