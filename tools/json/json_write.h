// The tools' JSON writer, for the simulated game's files and maneshade-check --dump: strings escaped
// as their documented formats say, and one-line objects and arrays built member by member. Writing
// only: the tests read JSON with their own reader.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// How strings are escaped. Both write `"` and `\` as `\"` and `\\`, bytes below 0x20 and the byte
// 0x7F as `\u00nn` (lowercase hex), and use no other escapes but these:
enum class Json_Strings : uint8_t {
  bytes,  // every other byte as itself, from 0x80 up too, whatever they form (the simulated game's
          // trace and events carry them as they came)
  text,   // the C1 controls (U+0080..U+009F) as `\u00nn` too, every other valid UTF-8 sequence as
          // itself, and every byte that is no part of one (always 0x80..0xFF) as `\udcnn`, nn its
          // value: the lone low surrogate U+DC00 + byte, which no valid UTF-8 encodes, so that two
          // byte strings never read as the same text (Python's "surrogateescape" gives the bytes back)
};

// Appends `bytes` as a JSON string, quotes included. Throws std::bad_alloc like any string growth.
void json_append_string(std::string *out, std::string_view bytes, Json_Strings strings = Json_Strings::bytes);

enum class Json_Layout : uint8_t {
  spaced,   // `, ` between members and between items, `: ` after a key (the simulated game's files)
  compact,  // no white space at all (--dump)
};

// One JSON value on one line, with no white space but what `layout` puts, strings as `strings`
// says. The caller keeps the structure right (a key before each member, every begin ended); nothing
// checks it. Every procedure throws std::bad_alloc like any string growth.
struct Json_Writer {
  std::string text;
  Json_Layout layout = Json_Layout::spaced;
  Json_Strings strings = Json_Strings::bytes;
};

void json_begin_object(Json_Writer *w);
void json_end_object(Json_Writer *w);
void json_begin_array(Json_Writer *w);
void json_end_array(Json_Writer *w);
// The key of the next member of the open object.
void json_key(Json_Writer *w, std::string_view key);

void json_string(Json_Writer *w, std::string_view value);
void json_integer(Json_Writer *w, int64_t value);
void json_boolean(Json_Writer *w, bool value);
void json_null(Json_Writer *w);
// A number the caller has formatted already (a float with a chosen precision), written as given.
void json_number_text(Json_Writer *w, std::string_view number);

// A member in one call: the key, then the value.
void json_member_string(Json_Writer *w, std::string_view key, std::string_view value);
void json_member_integer(Json_Writer *w, std::string_view key, int64_t value);
void json_member_boolean(Json_Writer *w, std::string_view key, bool value);

// A member whose value is an array of the `count` integers at `values`.
template <class Integer>
void json_member_integers(Json_Writer *w, std::string_view key, const Integer *values, size_t count) {
  json_key(w, key);
  json_begin_array(w);
  for (size_t i = 0; i < count; i++) json_integer(w, static_cast<int64_t>(values[i]));
  json_end_array(w);
}
