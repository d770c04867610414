// The generator of settings files; see generator.h.
#include "tests/reference/generator.h"

#include <ctime>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/reference/reference.h"

namespace ref {
namespace {

template <size_t N>
std::string_view pick(Random *r, const std::string_view (&choices)[N]) {
  return choices[r->below(N)];
}

std::string utf8_of(uint32_t cp) {
  std::string out;
  append_utf8(&out, cp);
  return out;
}

// ---- Pieces of text ----

const uint32_t WHITE_SPACE[] = {0x09,   0x0B,   0x0C,   0x0D,   0x20,   0x85,   0xA0,   0x1680, 0x2000, 0x2001, 0x2002,
                                0x2003, 0x2004, 0x2005, 0x2006, 0x2007, 0x2008, 0x2009, 0x200A, 0x2028, 0x2029, 0x202F,
                                0x205F, 0x3000};
// Code points that look like white space, or sit beside it, and are not.
const uint32_t NOT_WHITE_SPACE[] = {0xFEFF, 0x200B, 0x180E, 0x00AD, 0x08, 0x0E, 0x1F, 0x84, 0x86, 0x9F, 0x2027, 0x202A, 0x205E, 0x2060, 0x3001};

std::string white(Random *r) {
  if (r->one_in(3)) return r->one_in(2) ? " " : "\t";
  if (r->one_in(8)) return utf8_of(NOT_WHITE_SPACE[r->below(std::size(NOT_WHITE_SPACE))]);
  return utf8_of(WHITE_SPACE[r->below(std::size(WHITE_SPACE))]);
}

// Nothing mostly, else a white-space code point or two.
std::string pad(Random *r) {
  if (r->one_in(2)) return "";
  std::string out = white(r);
  if (r->one_in(4)) out += white(r);
  return out;
}

// A code point of the case table's neighbourhoods: its ranges, single code points and runs, and
// what lies just beside them.
uint32_t cased_code_point(Random *r) {
  static const std::pair<uint32_t, uint32_t> SPANS[] = {{0x00BF, 0x024F}, {0x0370, 0x04FF}, {0x0530, 0x0557}, {0x10A0, 0x10C6},
                                                       {0x1E00, 0x1FFD}, {0x2160, 0x2170}, {0x24B5, 0x24D0}, {0xFF20, 0xFF3B}};
  auto [first, last] = SPANS[r->below(std::size(SPANS))];
  return first + static_cast<uint32_t>(r->below(last - first + 1));
}

// Bytes that are no valid UTF-8: a stray continuation, a sequence cut short, an overlong form, a
// surrogate, a value past U+10FFFF, a byte that starts nothing.
std::string invalid_utf8(Random *r) {
  static const std::string_view BAD[] = {"\x80", "\xBF", "\xC3", "\xE2\x80", "\xF0\x9F\x98", "\xC0\x80", "\xC1\xBF",
                                         "\xE0\x80\x80", "\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80",
                                         "\xF8", "\xFF", "\xFE"};
  return std::string(pick(r, BAD));
}

// One letter of a word, in either case, maybe outside ASCII.
std::string letter(Random *r) {
  if (r->one_in(6)) return utf8_of(cased_code_point(r));
  if (r->one_in(40)) return invalid_utf8(r);
  char c = static_cast<char>('a' + r->below(26));
  return std::string(1, r->one_in(3) ? static_cast<char>(c - 32) : c);
}

const std::string_view FIELDS[] = {"enabled",        "hair_primary",    "hair_secondary",  "hair_tertiary",
                                   "chin_primary",   "chin_secondary",  "chin_tertiary",   "chops_primary",
                                   "chops_secondary", "chops_tertiary", "stache_primary",  "stache_secondary",
                                   "stache_tertiary", "beard_primary",  "beard_secondary", "beard_tertiary"};

// `word` in some letter case: ASCII letters flipped, an "i" maybe written as U+0130 (which
// lowercases to "i"), a "k" maybe as U+212A (which does not).
std::string in_some_case(Random *r, std::string_view word) {
  std::string out;
  bool flip = r->one_in(2);
  for (char c : word) {
    if (c == 'i' && r->one_in(12)) {
      out += "\xC4\xB0";
    } else if (c == 'k' && r->one_in(12)) {
      out += "\xE2\x84\xAA";
    } else if (flip && c >= 'a' && c <= 'z' && r->one_in(2)) {
      out.push_back(static_cast<char>(c - 32));
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string block_name(Random *r) {
  static const std::string_view OTHERS[] = {"", "general", " corvin", "corvin ", "corvin.x", "[mael", "mae", "corvinn", "m\xC3\xA1" "el"};
  if (r->one_in(6)) return std::string(pick(r, OTHERS));
  return in_some_case(r, r->one_in(2) ? "corvin" : "mael");
}

std::string header(Random *r) {
  std::string out = std::string("[") + block_name(r);
  if (!r->one_in(10)) out += "]";
  if (r->one_in(8)) out += r->one_in(2) ? " ; note" : "] x=1";
  return out;
}

// ---- Values ----

std::string digits(Random *r, uint64_t base, size_t count) {
  static const char DIGITS[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string out;
  for (size_t i = 0; i < count; i++) {
    char d = DIGITS[r->below(base)];
    if (d >= 'a' && r->one_in(2)) d = static_cast<char>(d - 32);
    out.push_back(d);
    if (r->one_in(10)) out.push_back('_');
  }
  return out;
}

// An integer in one of the bases, signed or not, with underscores; when not `well_formed`, maybe
// with a capital prefix letter or a digit just past the base.
std::string integer_of_some_base(Random *r, bool well_formed) {
  static const std::string_view PREFIXES[] = {"", "", "", "0b", "0o", "0d", "0z", "0x", "0B", "0X"};
  static const uint64_t BASES[] = {10, 10, 10, 2, 8, 10, 12, 16, 10, 10};
  size_t which = r->below(std::size(PREFIXES) - (well_formed ? 2 : 0));
  std::string out = r->one_in(4) ? (r->one_in(2) ? "-" : "+") : "";
  out += PREFIXES[which];
  uint64_t base = BASES[which];
  if (!well_formed && r->one_in(30)) base++;
  out += digits(r, base, 1 + r->below(r->one_in(8) ? (well_formed ? 12 : 30) : 4));
  return out;
}

std::string integer(Random *r) {
  static const std::string_view EDGES[] = {"18446744073709551615", "18446744073709551616", "-18446744073709551615",
                                           "0xFFFFFFFFFFFFFFFF",   "0x10000000000000000",  "0b" "1111111111111111111111111111111111111111111111111111111111111111",
                                           "0o1777777777777777777777", "0o2000000000000000000000", "0z839365134a2a240713",
                                           "4294967295", "4294967296", "-2147483648", "2147483648", "300", "-300", "256", "255",
                                           "-5", "0", "010", "_", "-__", "+", "-", "0x", "0X1F", "0b102", "0o8", "0d1a", "0zb",
                                           "0zc", "1 000", "12abc", "+-1", "0x_", "0d", "1_000", "\xEF\xBC\x91", "00x5"};
  if (r->one_in(4)) return std::string(pick(r, EDGES));
  return integer_of_some_base(r, /*well_formed=*/false);
}

std::string truth(Random *r) {
  static const std::string_view WORDS[] = {"yes", "no", "true", "false"};
  static const std::string_view WRONG[] = {"on", "off", "1", "0", "", "y", "yess", "tru", "n\xC3\xB8", "\xEF\xBD\x99\xEF\xBD\x85\xEF\xBD\x93"};
  if (r->one_in(6)) return std::string(pick(r, WRONG));
  return in_some_case(r, pick(r, WORDS));
}

// The inside of a quoted literal: plain text, every escape, and escapes that are no escapes.
std::string literal_inside(Random *r, std::string_view core) {
  static const std::string_view ESCAPES[] = {
      "\\a", "\\b", "\\f", "\\n", "\\r", "\\t", "\\v", "\\\\", "\\\"", "\\'", "\\012", "\\377", "\\400", "\\01", "\\8", "\\0/7",
      "\\x4a", "\\x4A", "\\xff", "\\x4", "\\xg0", "\\u00e9", "\\uD800", "\\udfff", "\\u12", "\\U0001F600", "\\U0010FFFF",
      "\\U00110000", "\\UFFFFFFFF", "\\U1F600", "\\q", "\"", "'", ";", " =", "="};
  std::string out(core);
  size_t pieces = r->below(3);
  for (size_t i = 0; i < pieces; i++) {
    std::string piece = r->one_in(5) ? invalid_utf8(r) : r->one_in(5) ? pad(r) : std::string(pick(r, ESCAPES));
    out.insert(r->below(out.size() + 1), piece);
  }
  if (r->one_in(25)) out += "\\";  // a backslash as the last inner byte
  return out;
}

std::string quoted(Random *r, std::string_view core) {
  char open = r->one_in(3) ? '\'' : '"';
  std::string out = pad(r);
  out.push_back(open);
  out += pad(r) + literal_inside(r, core) + pad(r);
  if (!r->one_in(10)) out.push_back(r->one_in(12) ? static_cast<char>('"' + '\'' - open) : open);
  return out;
}

// A value as the file writes it for a key of `field` (or any key).
std::string value_for(Random *r, int field) {
  std::string core = field == 0 ? truth(r) : field > 0 ? integer(r) : r->one_in(2) ? truth(r) : integer(r);
  if (r->one_in(20)) core = letter(r) + letter(r);
  if (r->one_in(5)) core = quoted(r, core);
  if (r->one_in(5)) core += pad(r) + ";" + pad(r) + (r->one_in(2) ? "note" : "\"12\"");
  return pad(r) + core + pad(r);
}

std::string key_for(Random *r, int *field) {
  *field = static_cast<int>(r->below(std::size(FIELDS)));
  if (r->one_in(8)) {
    *field = -1;
    static const std::string_view ODD[] = {"", "#hair_primary", "hair primary", "hair_secondry", "\"a=b\"", "k\"=1\"", "\"quoted\"",
                                           "'enabled'", "\"ena\\x62led\"", "x.y", "=", "[x]"};
    if (r->one_in(2)) return std::string(pick(r, ODD));
    std::string word;
    for (size_t i = 1 + r->below(8); i > 0; i--) word += letter(r);
    return word;
  }
  std::string key = in_some_case(r, FIELDS[*field]);
  if (r->one_in(15)) key = quoted(r, key);
  return key;
}

std::string separator(Random *r) {
  static const std::string_view SEPARATORS[] = {"=", " = ", " =", "= ", "\t=\t", "==", " = =", "=\"", " \xC2\xA0= "};
  return std::string(r->one_in(2) ? " = " : pick(r, SEPARATORS));
}

std::string pair_line(Random *r) {
  int field;
  std::string key = key_for(r, &field);
  return key + pad(r) + separator(r) + pad(r) + value_for(r, field);
}

std::string line(Random *r) {
  switch (r->below(14)) {
    case 0: return pad(r) + header(r) + pad(r);
    case 1: return pad(r) + ";" + (r->one_in(2) ? " a note = 1" : "");
    case 2: return pad(r) + pad(r);
    case 3: return r->one_in(2) ? "no separator here" : "\xEF\xBB\xBF[corvin]";
    case 4: return pad(r) + "#" + pair_line(r);
    default: return pad(r) + pair_line(r) + pad(r);
  }
}

// Mostly "\n" or "\r\n"; rarely a doubled CR, a lone CR (no line end) or a CR opening the next line.
std::string line_end(Random *r) {
  static const std::string_view ODD[] = {"\r\r\n", "\r", "\n\r"};
  if (r->one_in(20)) return std::string(pick(r, ODD));
  return r->one_in(3) ? "\r\n" : "\n";
}

// Both blocks with all their keys, each once with a value of its kind, in any order.
std::vector<std::string> complete_lines(Random *r) {
  std::vector<std::string> lines;
  for (std::string_view block : {"corvin", "mael"}) {
    lines.push_back(pad(r) + "[" + in_some_case(r, block) + "]");
    std::vector<int> order;
    for (int i = 0; i < 16; i++) order.push_back(i);
    for (size_t i = order.size(); i > 1; i--) std::swap(order[i - 1], order[r->below(i)]);
    for (int field : order) {
      static const std::string_view TRUTH[] = {"yes", "no", "true", "false"};
      std::string value = field == 0        ? in_some_case(r, pick(r, TRUTH))
                          : r->one_in(3)    ? integer_of_some_base(r, /*well_formed=*/true)
                                            : std::to_string(r->below(600));
      if (r->one_in(60)) value = value_for(r, field);
      lines.push_back(in_some_case(r, FIELDS[field]) + (r->one_in(3) ? "=" : " = ") + value);
    }
  }
  return lines;
}

// The code points of `text` as UTF-16 of either byte order, maybe with lone surrogates and an odd
// last byte.
std::string utf16_of(Random *r, const std::string &text, bool little, bool mark) {
  std::string out = mark ? (little ? "\xFF\xFE" : "\xFE\xFF") : "";
  auto unit = [&](uint32_t u) {
    char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
    out.push_back(little ? lo : hi);
    out.push_back(little ? hi : lo);
  };
  if (r->one_in(4)) unit(0xFEFF);  // a byte-order mark of the text itself, after the file's
  for (uint32_t cp : code_points(text)) {
    if (r->one_in(300)) unit(0xD800 + static_cast<uint32_t>(r->below(0x800)));
    if (cp < 0x10000) {
      unit(cp);
    } else {
      unit(0xD800 + ((cp - 0x10000) >> 10));
      unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  if (r->one_in(10)) out.push_back('\n');
  return out;
}

}  // namespace

uint64_t Random::next() {
  uint64_t z = (state += 0x9E3779B97F4A7C15);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
  return z ^ (z >> 31);
}

uint64_t Random::below(uint64_t bound) { return bound ? next() % bound : 0; }

bool Random::one_in(uint64_t n) { return below(n) == 0; }

std::string generate_file(Random *r) {
  std::vector<std::string> lines;
  if (r->one_in(2)) {
    lines = complete_lines(r);
    for (size_t changes = r->one_in(2) ? 0 : r->below(4); changes > 0; changes--) {
      size_t at = r->below(lines.size() + 1);
      if (r->one_in(3) && at < lines.size()) {
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at));  // a key or a header missing
      } else if (r->one_in(3)) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), std::string("[") + in_some_case(r, r->one_in(2) ? "corvin" : "mael") + "]");
      } else {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), line(r));
      }
    }
  } else {
    for (size_t n = r->below(24); n > 0; n--) lines.push_back(line(r));
  }
  std::string text = r->one_in(10) ? "\xEF\xBB\xBF" : "";
  if (r->one_in(40)) text += "\xEF\xBB\xBF";
  for (size_t i = 0; i < lines.size(); i++) {
    text += lines[i];
    if (i + 1 < lines.size() || r->one_in(2)) text += line_end(r);
  }
  if (r->one_in(30)) text.insert(r->below(text.size() + 1), 1, '\0');
  switch (r->below(20)) {
    case 0: return utf16_of(r, text, /*little=*/true, /*mark=*/true);
    case 1: return utf16_of(r, text, /*little=*/false, /*mark=*/true);
    case 2: return utf16_of(r, text, /*little=*/r->one_in(2), /*mark=*/false);
    case 3: return utf16_of(r, text, /*little=*/true, /*mark=*/true) + "x";  // an odd last byte
    default: return text;
  }
}

uint64_t run_seed() {
  if (const char *named = std::getenv("MANESHADE_REFERENCE_SEED")) return std::strtoull(named, nullptr, 0);
  // A million seeds a day: a run's draws are seeds seed, seed + 1, ..., and no two days share one.
  return static_cast<uint64_t>(std::time(nullptr) / 86400) * 1'000'000;
}

uint64_t run_count(uint64_t default_count) {
  if (const char *named = std::getenv("MANESHADE_REFERENCE_COUNT")) return std::strtoull(named, nullptr, 0);
  return default_count;
}

std::string escaped(const std::string &bytes) {
  static const char HEX[] = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b < 0x7F && b != '\\') {
      out.push_back(c);
    } else if (b == '\n') {
      out += "\\n\n";
    } else {
      out += "\\x";
      out.push_back(HEX[b >> 4]);
      out.push_back(HEX[b & 15]);
    }
  }
  return out;
}

}  // namespace ref
