// The INI reader; the contracts and the syntax are described in ini.h.
#include "encoding/ini/ini.h"

#include <cstring>
#include <new>

#include "runtime/context.h"
#include "runtime/text.h"
#include "runtime/utf8.h"

namespace {

constexpr char INI_UTF8_BOM[] = "\xEF\xBB\xBF";
constexpr size_t INI_UTF8_BOM_BYTES = 3;

// The reader's state across lines. The buffers are reused from pair to pair, so that a file of
// many pairs costs no allocations beyond the map's own.
struct Ini_Parser {
  Section_Map *map;
  Ini_Options options;
  std::string_view section;  // the current section's name, a view into the text
  Ini_Key_Map *keys;         // the current section's key map; null until it holds a pair
  std::string section_name;
  std::string raw_key;
  std::string key;
  std::string value;
};

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

// The unquoted form of `text`: `text` itself, a part of it, or the contents of `*buffer`.
std::string_view ini_unquote_view(std::string_view text, std::string *buffer, bool *decoded) {
  *decoded = false;
  if (text.empty() || (text[0] != '"' && text[0] != '\'')) return text;
  // A literal ends with the quote it starts with; anything else is kept as written.
  if (text.size() < 2 || text.back() != text[0]) return text;
  std::string_view inner = text.substr(1, text.size() - 2);
  const char *begin = inner.data();
  const char *end = begin + inner.size();
  if (ini_find(begin, end, '\n')) return text;
  if (!ini_find(begin, end, '\\') && !ini_find(begin, end, '"')) {
    *decoded = true;
    return inner;
  }
  if (!ini_decode_escaped(inner, buffer)) return text;
  *decoded = true;
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

void ini_store_pair(Ini_Parser *parser, std::string_view raw_key, std::string_view raw_value) {
  if (!parser->keys) {
    parser->section_name.assign(parser->section);
    parser->keys = &parser->map->try_emplace(parser->section_name).first->second;
  }
  bool decoded = false;
  std::string_view key = ini_unquote_view(raw_key, &parser->raw_key, &decoded);
  parser->key.clear();
  if (parser->options.lowercase_keys) {
    lower_append(&parser->key, key);
  } else {
    parser->key.append(key);
  }
  std::string_view value = ini_unquote_view(raw_value, &parser->value, &decoded);

  auto found = parser->keys->find(parser->key);
  if (found != parser->keys->end()) {
    found->second.assign(value);
    return;
  }
  parser->keys->emplace(parser->key, value);
}

void ini_parse_line(Ini_Parser *parser, std::string_view line) {
  if (line.empty()) return;
  if (line[0] == '[') {
    std::string_view rest = line.substr(1);
    size_t close = rest.find(']');
    parser->section = rest.substr(0, close);
    parser->keys = nullptr;
    return;
  }
  std::string_view prefix = parser->options.comment_prefix;
  if (!prefix.empty() && line.starts_with(prefix)) return;
  size_t separator = ini_find_separator(line);
  if (separator == std::string_view::npos) return;
  ini_store_pair(parser, trim_white_space(line.substr(0, separator)), trim_white_space(line.substr(separator + 1)));
}

void ini_parse(Section_Map *map, std::string_view text, const Ini_Options &options) {
  Ini_Parser parser{map, options, {}, nullptr, {}, {}, {}, {}};
  const char *at = text.data();
  const char *end = at + text.size();
  if (text.size() >= INI_UTF8_BOM_BYTES && std::memcmp(at, INI_UTF8_BOM, INI_UTF8_BOM_BYTES) == 0) {
    at += INI_UTF8_BOM_BYTES;
  }
  while (at < end) {
    const char *newline = ini_find(at, end, '\n');
    const char *line_end = newline ? newline : end;
    std::string_view piece(at, static_cast<size_t>(line_end - at));
    at = newline ? newline + 1 : end;
    if (!piece.empty() && piece.back() == '\r') piece.remove_suffix(1);
    ini_parse_line(&parser, trim_white_space(piece));
  }
}

}  // namespace

const char *ini_error_name(Ini_Error error) noexcept {
  switch (error) {
    case INI_OK: return "Ok";
    case INI_OUT_OF_MEMORY: return "Out_Of_Memory";
    case INI_READ_FAILED: return "Read_Failed";
  }
  return "Unknown";
}

Ini_Error load_map_from_string(Section_Map *out, std::string_view text, const Ini_Options &options) noexcept {
  try {
    out->clear();
    ini_parse(out, text, options);
    return INI_OK;
  } catch (...) {
    // Only allocation can throw here: std::bad_alloc, or std::length_error for a string that could
    // never be allocated. Both are running out of memory to the caller.
    delete_map(out);
    return INI_OUT_OF_MEMORY;
  }
}

Ini_Load_Result load_map_from_path(std::string_view path, const Ini_Options &options) noexcept {
  Ini_Load_Result result{};
  File_Bytes bytes{};
  Os_Error os_error = platform_read_file(frame_scratch(), path, &bytes);
  if (os_error != OS_OK) {
    result.error = os_error == OS_OUT_OF_MEMORY ? INI_OUT_OF_MEMORY : INI_READ_FAILED;
    result.os_error = os_error;
    result.ok = false;
    return result;
  }
  result.error = load_map_from_string(&result.map, std::string_view(bytes.data, bytes.size), options);
  platform_free_file(&bytes);
  result.os_error = OS_OK;
  result.ok = result.error == INI_OK;
  return result;
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

Unquoted unquote(std::string_view text) noexcept {
  Unquoted result{};
  try {
    std::string buffer;
    std::string_view unquoted = ini_unquote_view(text, &buffer, &result.decoded);
    result.text.assign(unquoted);
    result.error = INI_OK;
  } catch (...) {
    result.text = std::string();
    result.error = INI_OUT_OF_MEMORY;
    result.decoded = false;
  }
  return result;
}
