// The rules, one after the other, as the description of the system gives them; see reference.h.
#include "tests/reference/reference.h"

#include <cstddef>
#include <limits>
#include <optional>
#include <vector>

namespace ref {
namespace {

// ---- UTF-8 ----

struct Decoded {
  uint32_t code_point;
  size_t size;
};

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The code point at `at`: a complete, shortest-form UTF-8 sequence of a scalar value, or U+FFFD
// for the one byte at `at`.
Decoded decode(std::string_view text, size_t at) {
  const Decoded invalid = {0xFFFD, 1};
  auto b = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
  unsigned char first = b(0);
  if (first < 0x80) return {first, 1};
  size_t size = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 0;
  if (size == 0 || first > 0xF7 || at + size > text.size()) return invalid;
  uint32_t cp = first & (0x7F >> size);
  for (size_t i = 1; i < size; i++) {
    if (!is_continuation(b(i))) return invalid;
    cp = cp << 6 | (b(i) & 0x3F);
  }
  const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < smallest[size] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return invalid;
  return {cp, size};
}

// ---- The case table ----

struct Range {
  uint32_t first, last;
  int offset;
};

const Range CASE_RANGES[] = {
    {0x0041, 0x005A, 32},  {0x00C0, 0x00D6, 32},  {0x00D8, 0x00DE, 32},   {0x0189, 0x018A, 205}, {0x018E, 0x018F, 202},
    {0x01B1, 0x01B2, 217}, {0x0388, 0x038A, 37},  {0x038E, 0x038F, 63},   {0x0391, 0x03A1, 32},  {0x03A3, 0x03AB, 32},
    {0x0401, 0x040C, 80},  {0x040E, 0x040F, 80},  {0x0410, 0x042F, 32},   {0x0531, 0x0556, 48},  {0x10A0, 0x10C5, 48},
    {0x1F08, 0x1F0F, -8},  {0x1F18, 0x1F1D, -8},  {0x1F28, 0x1F2F, -8},   {0x1F38, 0x1F3F, -8},  {0x1F48, 0x1F4D, -8},
    {0x1F68, 0x1F6F, -8},  {0x1F88, 0x1F8F, -8},  {0x1F98, 0x1F9F, -8},   {0x1FA8, 0x1FAF, -8},  {0x1FB8, 0x1FB9, -8},
    {0x1FBA, 0x1FBB, -74}, {0x1FC8, 0x1FCB, -86}, {0x1FD8, 0x1FD9, -8},   {0x1FDA, 0x1FDB, -100}, {0x1FE8, 0x1FE9, -8},
    {0x1FEA, 0x1FEB, -112}, {0x1FF8, 0x1FF9, -128}, {0x1FFA, 0x1FFB, -126}, {0x2160, 0x216F, 16}, {0x24B6, 0x24CF, 26},
    {0xFF21, 0xFF3A, 32},
};

const Range CASE_SINGLES[] = {  // first == last
    {0x0130, 0x0130, -199}, {0x0178, 0x0178, -121}, {0x0181, 0x0181, 210}, {0x0186, 0x0186, 206},
    {0x0190, 0x0190, 203},  {0x0193, 0x0193, 205},  {0x0194, 0x0194, 207}, {0x0196, 0x0196, 211},
    {0x0197, 0x0197, 209},  {0x019C, 0x019C, 211},  {0x019D, 0x019D, 213}, {0x01A9, 0x01A9, 218},
    {0x01AE, 0x01AE, 218},  {0x01B7, 0x01B7, 219},  {0x01C4, 0x01C4, 2},   {0x01C7, 0x01C7, 2},
    {0x01CA, 0x01CA, 2},    {0x01F1, 0x01F1, 2},    {0x0386, 0x0386, 38},  {0x038C, 0x038C, 64},
    {0x1F59, 0x1F59, -8},   {0x1F5B, 0x1F5B, -8},   {0x1F5D, 0x1F5D, -8},  {0x1F5F, 0x1F5F, -8},
    {0x1FBC, 0x1FBC, -9},   {0x1FCC, 0x1FCC, -9},   {0x1FEC, 0x1FEC, -7},  {0x1FFC, 0x1FFC, -9},
};

// Runs whose every second code point, from the first, lowercases to the one after it.
const Range CASE_EVERY_SECOND[] = {
    {0x0100, 0x012E, 1}, {0x0132, 0x0136, 1}, {0x0139, 0x0147, 1}, {0x014A, 0x0176, 1}, {0x0179, 0x017D, 1},
    {0x0182, 0x0184, 1}, {0x0187, 0x0187, 1}, {0x018B, 0x018B, 1}, {0x0191, 0x0191, 1}, {0x0198, 0x0198, 1},
    {0x01A0, 0x01A4, 1}, {0x01A7, 0x01A7, 1}, {0x01AC, 0x01AC, 1}, {0x01AF, 0x01AF, 1}, {0x01B3, 0x01B5, 1},
    {0x01B8, 0x01B8, 1}, {0x01BC, 0x01BC, 1}, {0x01C5, 0x01C5, 1}, {0x01C8, 0x01C8, 1}, {0x01CB, 0x01DB, 1},
    {0x01DE, 0x01EE, 1}, {0x01F2, 0x01F4, 1}, {0x01FA, 0x0216, 1}, {0x03E2, 0x03EE, 1}, {0x0460, 0x0480, 1},
    {0x0490, 0x04BE, 1}, {0x04C1, 0x04C3, 1}, {0x04C7, 0x04C7, 1}, {0x04CB, 0x04CB, 1}, {0x04D0, 0x04EA, 1},
    {0x04EE, 0x04F4, 1}, {0x04F8, 0x04F8, 1}, {0x1E00, 0x1E94, 1}, {0x1EA0, 0x1EF8, 1},
};

// ---- Quoted literals ----

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// `count` hexadecimal digits at `at`, or nothing.
std::optional<uint32_t> hex_digits(std::string_view s, size_t at, size_t count) {
  if (at + count > s.size()) return std::nullopt;
  uint32_t v = 0;
  for (size_t i = 0; i < count; i++) {
    int d = hex_value(s[at + i]);
    if (d < 0) return std::nullopt;
    v = v * 16 + static_cast<uint32_t>(d);
  }
  return v;
}

bool is_octal(char c) { return c >= '0' && c <= '7'; }

std::optional<std::string> decode_literal(std::string_view s) {
  if (s.size() < 2) return std::nullopt;
  if (s.back() != s.front()) return std::nullopt;  // a literal closes with the quote it opens with
  std::string_view inner = s.substr(1, s.size() - 2);
  if (inner.find('\n') != std::string_view::npos) return std::nullopt;
  if (inner.find('\\') == std::string_view::npos && inner.find('"') == std::string_view::npos) return std::string(inner);
  std::string out;
  for (size_t i = 0; i < inner.size();) {
    char c = inner[i];
    if (c == '"') return std::nullopt;
    if (static_cast<unsigned char>(c) >= 0x80) {
      Decoded d = decode(inner, i);
      append_utf8(&out, d.code_point);
      i += d.size;
      continue;
    }
    if (c != '\\') {
      out.push_back(c);
      i++;
      continue;
    }
    if (i + 1 == inner.size()) return std::nullopt;
    char e = inner[i + 1];
    const std::string_view simple = "abfnrtv\\\"'", meaning = "\a\b\f\n\r\t\v\\\"'";
    if (simple.find(e) != std::string_view::npos) {
      out.push_back(meaning[simple.find(e)]);
      i += 2;
    } else if (is_octal(e)) {
      if (i + 4 > inner.size() || !is_octal(inner[i + 2]) || !is_octal(inner[i + 3])) return std::nullopt;
      int v = (e - '0') * 64 + (inner[i + 2] - '0') * 8 + (inner[i + 3] - '0');
      if (v > 255) return std::nullopt;
      out.push_back(static_cast<char>(v));
      i += 4;
    } else if (e == 'x' || e == 'u' || e == 'U') {
      size_t count = e == 'x' ? 2 : e == 'u' ? 4 : 8;
      std::optional<uint32_t> v = hex_digits(inner, i + 2, count);
      if (!v || *v > 0x10FFFF) return std::nullopt;
      if (e == 'x') {
        out.push_back(static_cast<char>(*v));
      } else {
        append_utf8(&out, *v);  // a surrogate comes out as U+FFFD
      }
      i += 2 + count;
    } else {
      return std::nullopt;
    }
  }
  return out;
}

// ---- Values ----

// The 64-bit value of an integer text, or nothing.
std::optional<uint64_t> read_integer(std::string_view text) {
  if (text.empty()) return std::nullopt;
  bool negative = false;
  if (text.size() >= 2 && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  uint64_t base = 10;
  const std::string_view prefixes = "bodzx";
  const uint64_t bases[] = {2, 8, 10, 12, 16};
  if (text.size() >= 3 && text[0] == '0' && prefixes.find(text[1]) != std::string_view::npos) {
    base = bases[prefixes.find(text[1])];
    text.remove_prefix(2);
  }
  uint64_t value = 0;
  for (char c : text) {
    if (c == '_') continue;
    uint64_t digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'z' ? c - 'a' + 10 : c >= 'A' && c <= 'Z' ? c - 'A' + 10 : 99;
    if (digit >= base) return std::nullopt;
    if (value > (std::numeric_limits<uint64_t>::max() - digit) / base) return std::nullopt;  // past 64 bits: no number
    value = value * base + digit;
  }
  return negative ? 0 - value : value;
}

const char *const FIELDS[] = {"enabled",        "hair_primary",    "hair_secondary",  "hair_tertiary",
                              "chin_primary",   "chin_secondary",  "chin_tertiary",   "chops_primary",
                              "chops_secondary", "chops_tertiary", "stache_primary",  "stache_secondary",
                              "stache_tertiary", "beard_primary",  "beard_secondary", "beard_tertiary"};

int32_t *field_of(Config *config, int index) {
  Character_Config *block = index < 16 ? &config->corvin : &config->mael;
  int32_t *fields[] = {&block->enabled,         &block->hair_primary,    &block->hair_secondary,  &block->hair_tertiary,
                       &block->chin_primary,    &block->chin_secondary,  &block->chin_tertiary,   &block->chops_primary,
                       &block->chops_secondary, &block->chops_tertiary,  &block->stache_primary,  &block->stache_secondary,
                       &block->stache_tertiary, &block->beard_primary,   &block->beard_secondary, &block->beard_tertiary};
  return fields[index % 16];
}

Verdict refused(Refusal refusal, int key_index) { return {refusal, key_index, Config{}}; }

}  // namespace

std::vector<uint32_t> code_points(std::string_view text) {
  std::vector<uint32_t> out;
  for (size_t at = 0; at < text.size();) {
    Decoded d = decode(text, at);
    out.push_back(d.code_point);
    at += d.size;
  }
  return out;
}

void append_utf8(std::string *out, uint32_t cp) {
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | cp >> 6));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | cp >> 12));
    out->push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | cp >> 18));
    out->push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool is_white_space(uint32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
         c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

uint32_t lower(uint32_t c) {
  for (const Range &r : CASE_RANGES) {
    if (c >= r.first && c <= r.last) return static_cast<uint32_t>(static_cast<int>(c) + r.offset);
  }
  for (const Range &r : CASE_SINGLES) {
    if (c == r.first) return static_cast<uint32_t>(static_cast<int>(c) + r.offset);
  }
  for (const Range &r : CASE_EVERY_SECOND) {
    if (c >= r.first && c <= r.last && (c - r.first) % 2 == 0) return c + 1;
  }
  return c;
}

std::string lower(std::string_view utf8) {
  std::string out;
  for (uint32_t cp : code_points(utf8)) append_utf8(&out, lower(cp));
  return out;
}

std::string trim(std::string_view utf8) {
  // Code points as decoding from the front finds them: the text from the first one that is not
  // white space to the end of the last one that is not.
  size_t first = std::string_view::npos, end = 0;
  for (size_t at = 0; at < utf8.size();) {
    Decoded d = decode(utf8, at);
    if (!is_white_space(d.code_point)) {
      if (first == std::string_view::npos) first = at;
      end = at + d.size;
    }
    at += d.size;
  }
  if (first == std::string_view::npos) return "";
  return std::string(utf8.substr(first, end - first));
}

std::string text_from_bytes(std::string_view bytes) {
  bool little = bytes.substr(0, 2) == "\xFF\xFE", big = bytes.substr(0, 2) == "\xFE\xFF";
  if (!little && !big) return std::string(bytes);
  std::vector<uint32_t> units;
  for (size_t at = 2; at + 1 < bytes.size(); at += 2) {
    auto lo = static_cast<unsigned char>(bytes[at + (big ? 1 : 0)]);
    auto hi = static_cast<unsigned char>(bytes[at + (big ? 0 : 1)]);
    units.push_back(static_cast<uint32_t>(hi << 8 | lo));
  }
  std::string out;
  for (size_t i = 0; i < units.size(); i++) {
    uint32_t u = units[i];
    bool high = u >= 0xD800 && u <= 0xDBFF;
    if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      append_utf8(&out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      i++;
    } else {
      append_utf8(&out, u);  // an unpaired surrogate comes out as U+FFFD
    }
  }
  if (bytes.size() % 2 == 1) append_utf8(&out, 0xFFFD);  // an odd last byte
  return out;
}

std::string unquote(std::string_view text) {
  if (text.empty() || (text[0] != '"' && text[0] != '\'')) return std::string(text);
  std::optional<std::string> decoded = decode_literal(text);
  return decoded ? *decoded : std::string(text);
}

Sections read_ini(std::string_view text, const Options &options) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a byte-order mark at the very start
  Sections sections;
  std::string section;
  size_t start = 0;
  while (start < text.size()) {
    size_t newline = text.find('\n', start);
    std::string_view piece = text.substr(start, newline == std::string_view::npos ? std::string_view::npos : newline - start);
    start = newline == std::string_view::npos ? text.size() : newline + 1;
    if (!piece.empty() && piece.back() == '\r') piece.remove_suffix(1);
    std::string line = trim(piece);
    if (line.empty()) continue;
    if (line[0] == '[') {
      section = line.substr(1, line.find(']') == std::string::npos ? std::string::npos : line.find(']') - 1);
      continue;
    }
    if (!options.comment_prefix.empty() && line.compare(0, options.comment_prefix.size(), options.comment_prefix) == 0) continue;
    size_t e = line.find(" =");
    size_t q = line.find('"');
    size_t separator;
    if (e != std::string::npos && (q == std::string::npos || q == 0 || q >= e)) {
      separator = e + 1;
    } else {
      separator = line.find('=');
      if (separator == std::string::npos) continue;
    }
    std::string key = unquote(trim(line.substr(0, separator)));
    if (options.lowercase_keys) key = lower(key);
    sections[section][key] = unquote(trim(line.substr(separator + 1)));
  }
  return sections;
}

std::string expected_key(int index) { return std::string(index < 16 ? "corvin." : "mael.") + FIELDS[index % 16]; }

Verdict convert(const Sections &sections) {
  std::map<std::string, std::string> flat;
  for (const auto &[name, keys] : sections) {
    std::string block = lower(name);
    if (block != "corvin" && block != "mael") continue;
    for (const auto &[key, value] : keys) {
      std::string full = block + "." + lower(key);
      if (flat.count(full)) return refused(Refusal::duplicate_key, -1);
      flat[full] = trim(std::string_view(value).substr(0, value.find(';')));
    }
  }
  Config config{};
  for (int i = 0; i < 32; i++) {
    auto found = flat.find(expected_key(i));
    if (found == flat.end()) return refused(Refusal::missing_key, i);
    if (i % 16 == 0) {
      std::string word = lower(found->second);
      if (word == "yes" || word == "true") {
        *field_of(&config, i) = 1;
      } else if (word == "no" || word == "false") {
        *field_of(&config, i) = 0;
      } else {
        return refused(Refusal::not_a_truth_value, i);
      }
      continue;
    }
    std::optional<uint64_t> value = read_integer(found->second);
    if (!value) return refused(Refusal::not_an_integer, i);
    *field_of(&config, i) = static_cast<int32_t>(static_cast<uint32_t>(*value));  // the low 32 bits
  }
  for (int i = 0; i < 32; i++) {
    if (i % 16 == 0) continue;
    int64_t v = *field_of(&config, i);
    *field_of(&config, i) = static_cast<int32_t>((v < 0 ? -v : v) % 256);
  }
  return {Refusal::none, -1, config};
}

std::string message_for(Refusal refusal) {
  switch (refusal) {
    case Refusal::none: return "";
    case Refusal::duplicate_key: return "duplicate key";
    default: return "missing key, or failed to parse value";
  }
}

Frame_Result reload_frame(Reloader *r, const Frame_World &world) {
  const uint64_t ONE_SECOND = 10'000'000;
  const std::string OPEN = "failed to open config file", PARSE = "failed to parse config file";
  Reload_State &s = r->state;
  // Every attempt that ends puts its line on screen. A version counts as seen only while the line
  // is what reading it gave; any other failure forgets it, so that the next file found is read.
  auto ended = [&](std::string message) {
    r->message = message;
    return Frame_Result{false, message};
  };
  auto failed = [&](std::string message) {
    s.write_seen = false;
    return ended(message);
  };
  // The working folder's file; when that folder holds none, the one beside the module.
  bool beside = world.working.look.presence == Presence::none && world.beside_known &&
                world.beside.look.presence != Presence::none;
  const File_World *file = beside ? &world.beside : &world.working;
  auto mark_seen = [&] {
    s.write_seen = true;
    s.seen_beside_module = beside;
    s.last_write = file->look.write_ticks;
    s.last_size = file->look.size;
  };
  // At most one look a second; no look yet, or a clock set back before the last look, looks now.
  if (s.looked && world.now >= s.last_check && world.now - s.last_check < ONE_SECOND) return {true, ""};
  s.looked = true;
  s.last_check = world.now;
  // Running out of memory is no fault of the file: whatever is found is read at the next look.
  if (world.out_of_memory) return failed(PARSE);
  for (;;) {
    if (file->look.presence == Presence::none || file->look.presence == Presence::unreadable) return failed(OPEN);
    // A version is which file it is, its last-write time and its size; a version read once is not
    // read again while it stays.
    if (s.write_seen && s.seen_beside_module == beside && s.last_write == file->look.write_ticks && s.last_size == file->look.size) {
      return {true, ""};
    }
    if (file->look.size > (1u << 20)) {  // far too large for a settings file: refused unread, once
      mark_seen();
      return ended(PARSE);
    }
    // A pipe or a device that the look took for a file: its open tells that the working folder holds
    // no file after all.
    if (file->look.presence == Presence::device) {
      if (beside || !world.beside_known || world.beside.look.presence == Presence::none) return failed(OPEN);
      beside = true;
      file = &world.beside;
      continue;
    }
    // Another program's lock, or a failed read, lasts a moment: read again at the next look.
    if (!file->opens) return failed(OPEN);
    if (!file->reads || file->bytes.size() > (1u << 20)) return failed(PARSE);
    // A file that changed during its read was caught half saved: nothing changes, it is read again.
    if (!(file->look_after_read == file->look)) return {true, ""};
    mark_seen();
    Verdict verdict = convert(read_ini(text_from_bytes(file->bytes), {";", true}));
    if (verdict.refusal == Refusal::none) r->config = verdict.config;
    return ended(message_for(verdict.refusal));
  }
}

}  // namespace ref
