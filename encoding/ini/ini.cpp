// The INI reader; the contracts and the syntax are described in ini.h.
#include "encoding/ini/ini.h"

#include <cstring>
#include <new>

#include "platform/platform.h"
#include "runtime/context.h"
#include "runtime/text.h"
#include "runtime/utf8.h"

namespace {

constexpr std::string_view INI_UTF8_BOM = "\xEF\xBB\xBF";
constexpr std::string_view INI_UTF16_LE_BOM = "\xFF\xFE";
constexpr std::string_view INI_UTF16_BE_BOM = "\xFE\xFF";

const char *ini_find(const char *at, const char *end, char c) {
  if (at >= end) return nullptr;
  return static_cast<const char *>(std::memchr(at, c, static_cast<size_t>(end - at)));
}

int ini_octal_digit(char c) { return c >= '0' && c <= '7' ? c - '0' : -1; }

int ini_hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads exactly `count` hexadecimal digits at `*at` into `*value`.
bool ini_read_hex(const char **at, const char *end, int count, uint32_t *value) {
  if (end - *at < count) return false;
  uint32_t v = 0;
  for (int i = 0; i < count; i++) {
    int digit = ini_hex_digit((*at)[i]);
    if (digit < 0) return false;
    v = (v << 4) | static_cast<uint32_t>(digit);
  }
  *at += count;
  *value = v;
  return true;
}

bool ini_is_plain_byte(unsigned char byte) { return byte != '"' && byte != '\\' && byte < 0x80; }

// Decodes the inner text of a quoted literal that holds a backslash or a double quote into `*out`.
// False when it is not a literal after all.
bool ini_decode_escaped(std::string_view inner, std::string *out) {
  out->clear();
  const char *at = inner.data();
  const char *end = at + inner.size();
  char encoded[UTF8_MAX_SEQUENCE_BYTES];
  while (at < end) {
    const char *run = at;
    while (at < end && ini_is_plain_byte(static_cast<unsigned char>(*at))) at++;
    out->append(run, static_cast<size_t>(at - run));
    if (at == end) break;

    unsigned char byte = static_cast<unsigned char>(*at);
    if (byte == '"') return false;
    if (byte >= 0x80) {
      Utf8_Decoded d = utf8_decode(at, end);
      at += d.size;
      out->append(encoded, utf8_encode(d.code_point, encoded));
      continue;
    }
    at++;  // the backslash
    if (at == end) return false;
    char escape = *at++;
    uint32_t value = 0;
    switch (escape) {
      case 'a': out->push_back('\a'); break;
      case 'b': out->push_back('\b'); break;
      case 'f': out->push_back('\f'); break;
      case 'n': out->push_back('\n'); break;
      case 'r': out->push_back('\r'); break;
      case 't': out->push_back('\t'); break;
      case 'v': out->push_back('\v'); break;
      case '\\':
      case '"':
      case '\'': out->push_back(escape); break;
      case 'x':
        if (!ini_read_hex(&at, end, 2, &value)) return false;
        out->push_back(static_cast<char>(value));
        break;
      case 'u':
        if (!ini_read_hex(&at, end, 4, &value)) return false;
        out->append(encoded, utf8_encode(value, encoded));
        break;
      case 'U':
        if (!ini_read_hex(&at, end, 8, &value) || value > MAX_CODE_POINT) return false;
        out->append(encoded, utf8_encode(value, encoded));
        break;
      default: {
        // Three octal digits, the first being `escape`.
        int d0 = ini_octal_digit(escape);
        if (d0 < 0 || end - at < 2) return false;
        int d1 = ini_octal_digit(at[0]);
        int d2 = ini_octal_digit(at[1]);
        if (d1 < 0 || d2 < 0) return false;
        int octal = d0 * 64 + d1 * 8 + d2;
        if (octal > 255) return false;
        at += 2;
        out->push_back(static_cast<char>(octal));
        break;
      }
    }
  }
  return true;
}

// The unquoted form of `text`: `text` itself, a part of it, or the contents of `*buffer`; `*decoded`
// (when asked) tells whether it was a quoted literal.
std::string_view ini_unquote_view(std::string_view text, std::string *buffer, bool *decoded = nullptr) {
  if (decoded) *decoded = false;
  if (text.empty() || (text[0] != '"' && text[0] != '\'')) return text;
  // A literal ends with the quote it starts with; anything else is kept as written.
  if (text.size() < 2 || text.back() != text[0]) return text;
  std::string_view inner = text.substr(1, text.size() - 2);
  const char *begin = inner.data();
  const char *end = begin + inner.size();
  if (ini_find(begin, end, '\n')) return text;
  if (!ini_find(begin, end, '\\') && !ini_find(begin, end, '"')) {
    if (decoded) *decoded = true;
    return inner;
  }
  if (!ini_decode_escaped(inner, buffer)) return text;
  if (decoded) *decoded = true;
  return *buffer;
}

// The position of the key/value separator in `line`, or npos when the line has none. The "=" of the
// first " =" separates unless a double quote comes before it anywhere but at the line's start: that
// lets a quoted key hold "=".
size_t ini_find_separator(std::string_view line) {
  const char *begin = line.data();
  const char *end = begin + line.size();
  const char *first = ini_find(begin, end, '=');
  if (!first) return std::string_view::npos;
  const char *spaced = first;
  while (spaced && !(spaced > begin && spaced[-1] == ' ')) spaced = ini_find(spaced + 1, end, '=');
  if (!spaced) return static_cast<size_t>(first - begin);
  const char *space = spaced - 1;
  if (begin[0] == '"' || !ini_find(begin, space, '"')) return static_cast<size_t>(spaced - begin);
  return static_cast<size_t>(first - begin);
}

// The key and value of a pair line as the map stores them, in the iterator's buffers when they
// had to be decoded or lowercased.
void ini_pair(Ini_Iterator *it, std::string_view line, size_t separator, Ini_Line *out) {
  out->written_key = trim_white_space(line.substr(0, separator));
  std::string_view key = ini_unquote_view(out->written_key, &it->key_decoded);
  if (it->options.lowercase_keys) {
    it->key_lowered.clear();
    lower_append(&it->key_lowered, key);
    key = it->key_lowered;
  }
  out->key = key;
  out->value = ini_unquote_view(trim_white_space(line.substr(separator + 1)), &it->value_decoded);
}

}  // namespace

Ini_Iterator ini_iterator(std::string_view text, const Ini_Options &options) noexcept {
  if (text.starts_with(INI_UTF8_BOM)) text.remove_prefix(INI_UTF8_BOM.size());
  return Ini_Iterator{text, {}, options, 0, {}, {}, {}};
}

bool ini_next_line(Ini_Iterator *it, Ini_Line *out) {
  if (it->rest.empty()) return false;
  size_t newline = it->rest.find('\n');
  std::string_view piece = it->rest.substr(0, newline);
  it->rest.remove_prefix(newline == std::string_view::npos ? it->rest.size() : newline + 1);
  if (piece.ends_with('\r')) piece.remove_suffix(1);
  std::string_view line = trim_white_space(piece);
  *out = Ini_Line{Ini_Line_Kind::skipped, ++it->number, line, it->section, {}, {}, {}};
  if (line.empty()) return true;
  if (line[0] == '[') {
    std::string_view rest = line.substr(1);
    it->section = rest.substr(0, rest.find(']'));
    out->kind = Ini_Line_Kind::header;
    out->section = it->section;
    return true;
  }
  std::string_view prefix = it->options.comment_prefix;
  if (!prefix.empty() && line.starts_with(prefix)) {
    out->kind = Ini_Line_Kind::comment;
    return true;
  }
  size_t separator = ini_find_separator(line);
  if (separator == std::string_view::npos) return true;
  out->kind = Ini_Line_Kind::pair;
  ini_pair(it, line, separator, out);
  return true;
}

Status load_map_from_string(Section_Map *out, std::string_view text, const Ini_Options &options) noexcept {
  try {
    out->clear();
    Ini_Iterator it = ini_iterator(text, options);
    Ini_Line line;
    // The current section's key map, found once per header rather than once per pair; a header
    // with no pairs under it makes no section.
    Ini_Key_Map *keys = nullptr;
    std::string key;  // reused from pair to pair: a file of many pairs costs only the map's allocations
    while (ini_next_line(&it, &line)) {
      if (line.kind == Ini_Line_Kind::header) keys = nullptr;
      if (line.kind != Ini_Line_Kind::pair) continue;
      if (!keys) keys = &out->try_emplace(std::string(line.section)).first->second;
      key.assign(line.key);
      // The last occurrence of a key wins.
      auto found = keys->find(key);
      if (found != keys->end()) {
        found->second.assign(line.value);
        continue;
      }
      keys->emplace(key, line.value);
    }
    return STATUS_OK;
  } catch (...) {
    // Only allocation can throw here: std::bad_alloc, or std::length_error for a string that could
    // never be allocated. Both are running out of memory to the caller.
    delete_map(out);
    return status_fail(FAILURE_OUT_OF_MEMORY);
  }
}

Status load_map_from_path(Section_Map *out, std::string_view path, const Ini_Options &options,
                          uint64_t max_bytes) noexcept {
  out->clear();
  Result<File_Bytes> read = platform_read_file(frame_scratch(), path, max_bytes);
  if (!read.ok()) return read.status();
  File_Bytes bytes = read.value();
  std::string decoded;
  std::string_view text;
  Status parsed = ini_text_from_file(std::string_view(bytes.data, bytes.size), &decoded, &text);
  if (parsed.ok()) parsed = load_map_from_string(out, text, options);
  platform_free_file(&bytes);
  return parsed;
}

Status ini_text_from_file(std::string_view bytes, std::string *decoded, std::string_view *text) noexcept {
  *text = bytes;
  bool little = bytes.starts_with(INI_UTF16_LE_BOM);
  if (!little && !bytes.starts_with(INI_UTF16_BE_BOM)) return STATUS_OK;
  try {
    decoded->clear();
    utf8_append_from_utf16(decoded, bytes.substr(2), little ? Utf16_Order::little_endian : Utf16_Order::big_endian);
    *text = *decoded;
    return STATUS_OK;
  } catch (...) {
    *text = {};
    return status_fail(FAILURE_OUT_OF_MEMORY);
  }
}

void delete_map(Section_Map *map) noexcept {
  map->clear();
  // clear() keeps the bucket array; trading places with a new, empty map gives it back as well.
  // Some standard libraries allocate even for an empty map: then the cleared map stays as it is.
  try {
    Section_Map empty;
    map->swap(empty);
  } catch (...) {
  }
}

Result<Unquoted> unquote(std::string_view text) noexcept {
  try {
    std::string buffer;
    Unquoted result{};
    result.text.assign(ini_unquote_view(text, &buffer, &result.decoded));
    return result;
  } catch (...) {
    return status_fail(FAILURE_OUT_OF_MEMORY);
  }
}
