// The tools' JSON writer; see json_write.h.
#include "tools/json/json_write.h"

namespace {

constexpr char JSON_HEX_DIGITS[] = "0123456789abcdef";

void json_append_byte_escape(std::string *out, unsigned char byte) {
  out->append("\\u00");
  out->push_back(JSON_HEX_DIGITS[byte >> 4]);
  out->push_back(JSON_HEX_DIGITS[byte & 0xF]);
}

void json_append_ascii(std::string *out, unsigned char byte) {
  if (byte < 0x20 || byte == 0x7F) {
    json_append_byte_escape(out, byte);
    return;
  }
  if (byte == '"' || byte == '\\') out->push_back('\\');
  out->push_back(static_cast<char>(byte));
}

// Whether a value or key written now follows an earlier one in its object or array. Tokens never
// end in a space but a key does (`"key": `), so the last byte tells: nothing after `{`, `[` or a key.
bool json_needs_separator(const Json_Writer *w) {
  if (w->text.empty()) return false;
  char last = w->text.back();
  return last != '{' && last != '[' && last != ' ';
}

void json_begin_value(Json_Writer *w) {
  if (json_needs_separator(w)) w->text.append(", ");
}

}  // namespace

void json_append_string(std::string *out, std::string_view bytes) {
  out->push_back('"');
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      json_append_ascii(out, byte);
    } else {
      out->push_back(c);
    }
  }
  out->push_back('"');
}

void json_begin_object(Json_Writer *w) {
  json_begin_value(w);
  w->text.push_back('{');
}

void json_end_object(Json_Writer *w) { w->text.push_back('}'); }

void json_begin_array(Json_Writer *w) {
  json_begin_value(w);
  w->text.push_back('[');
}

void json_end_array(Json_Writer *w) { w->text.push_back(']'); }

void json_key(Json_Writer *w, std::string_view key) {
  json_begin_value(w);
  json_append_string(&w->text, key);
  w->text.append(": ");
}

void json_string(Json_Writer *w, std::string_view value) {
  json_begin_value(w);
  json_append_string(&w->text, value);
}

void json_integer(Json_Writer *w, int64_t value) {
  json_begin_value(w);
  w->text.append(std::to_string(value));
}

void json_boolean(Json_Writer *w, bool value) {
  json_begin_value(w);
  w->text.append(value ? "true" : "false");
}

void json_number_text(Json_Writer *w, std::string_view number) {
  json_begin_value(w);
  w->text.append(number);
}

void json_member_string(Json_Writer *w, std::string_view key, std::string_view value) {
  json_key(w, key);
  json_string(w, value);
}

void json_member_integer(Json_Writer *w, std::string_view key, int64_t value) {
  json_key(w, key);
  json_integer(w, value);
}

void json_member_boolean(Json_Writer *w, std::string_view key, bool value) {
  json_key(w, key);
  json_boolean(w, value);
}
