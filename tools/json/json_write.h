// The tools' JSON writer: strings escaped as their documented formats say, and one-line objects and
// arrays built member by member. Writing only: the tests read JSON with their own reader.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Appends `bytes` as a JSON string, quotes included: `"` and `\` as `\"` and `\\`, bytes below 0x20
// and the byte 0x7F as `\u00nn` (lowercase hex), every other byte as itself (bytes from 0x80 up too,
// whatever they form: the simulated game's trace and events carry them as they came), and no other
// escapes. Throws std::bad_alloc like any string growth.
void json_append_string(std::string *out, std::string_view bytes);

// One JSON value on one line, laid out as the simulated game writes its files: `, ` between members
// and between items, `: ` after a key, no other white space; strings as json_append_string writes them.
// The caller keeps the structure right (a key before each member, every begin ended); nothing checks
// it. Every procedure throws std::bad_alloc like any string growth.
struct Json_Writer {
  std::string text;
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
