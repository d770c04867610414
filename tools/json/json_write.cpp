// The tools' JSON writer; see json_write.h.
#include "tools/json/json_write.h"

#include "runtime/utf8.h"

namespace {

constexpr char JSON_HEX_DIGITS[] = "0123456789abcdef";

// \u and four lowercase hex digits.
void json_append_escape(std::string *out, uint32_t unit) {
  out->append("\\u");
  for (int shift = 12; shift >= 0; shift -= 4) out->push_back(JSON_HEX_DIGITS[(unit >> shift) & 0xF]);
}

void json_append_ascii(std::string *out, unsigned char byte) {
  if (byte < 0x20 || byte == 0x7F) {
    json_append_escape(out, byte);
    return;
  }
  if (byte == '"' || byte == '\\') out->push_back('\\');
  out->push_back(static_cast<char>(byte));
}

// Whether a value or key written now follows an earlier one in its object or array. No value ends
// in a space or a colon but a key does (`"key": `, `"key":`), so the last byte tells: nothing after
// `{`, `[` or a key.
bool json_needs_separator(const Json_Writer *w) {
  if (w->text.empty()) return false;
  char last = w->text.back();
  return last != '{' && last != '[' && last != ' ' && last != ':';
}

bool json_compact(const Json_Writer *w) { return w->layout == Json_Layout::compact; }

void json_begin_value(Json_Writer *w) {
  if (json_needs_separator(w)) w->text.append(json_compact(w) ? "," : ", ");
}

// One UTF-8 sequence (or one byte that starts none) of a string written as text.
void json_append_text(std::string *out, const char *at, const Utf8_Decoded &decoded) {
  auto byte = static_cast<unsigned char>(*at);
  if (decoded.size == 1 && byte >= 0x80) {
    json_append_escape(out, 0xDC00 + byte);
  } else if (decoded.code_point >= 0x80 && decoded.code_point <= 0x9F) {
    json_append_escape(out, decoded.code_point);
  } else if (byte < 0x80) {
    json_append_ascii(out, byte);
  } else {
    out->append(at, decoded.size);
  }
}

}  // namespace

void json_append_string(std::string *out, std::string_view bytes, Json_Strings strings) {
  out->push_back('"');
  const char *at = bytes.data();
  const char *end = at + bytes.size();
  while (at < end) {
    auto byte = static_cast<unsigned char>(*at);
    if (strings == Json_Strings::bytes || byte < 0x80) {
      if (byte < 0x80) {
        json_append_ascii(out, byte);
      } else {
        out->push_back(*at);
      }
      at++;
      continue;
    }
    // utf8_decode takes one byte for anything that does not start a valid sequence.
    Utf8_Decoded decoded = utf8_decode(at, end);
    json_append_text(out, at, decoded);
    at += decoded.size;
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
  json_append_string(&w->text, key, w->strings);
  w->text.append(json_compact(w) ? ":" : ": ");
}

void json_string(Json_Writer *w, std::string_view value) {
  json_begin_value(w);
  json_append_string(&w->text, value, w->strings);
}

void json_integer(Json_Writer *w, int64_t value) {
  json_begin_value(w);
  w->text.append(std::to_string(value));
}

void json_boolean(Json_Writer *w, bool value) {
  json_begin_value(w);
  w->text.append(value ? "true" : "false");
}

void json_null(Json_Writer *w) {
  json_begin_value(w);
  w->text.append("null");
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
