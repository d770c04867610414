// The JSON reader; see json.h.
#include "tests/e2e/json.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace {

struct Json_Reader {
  std::string_view text;
  size_t at = 0;
  std::string error;

  void skip_blanks() {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n')) at++;
  }
  bool fail(const char *what) {
    if (error.empty()) error = std::string(what) + " at byte " + std::to_string(at);
    return false;
  }
  bool literal(std::string_view word) {
    if (text.substr(at, word.size()) != word) return fail("unexpected text");
    at += word.size();
    return true;
  }
  bool string_value(std::string *out) {
    if (at >= text.size() || text[at] != '"') return fail("expected a string");
    at++;
    while (at < text.size() && text[at] != '"') {
      char c = text[at++];
      if (static_cast<unsigned char>(c) < 0x20) return fail("control byte in a string");
      if (c != '\\') {
        out->push_back(c);
        continue;
      }
      if (at >= text.size()) return fail("unterminated escape");
      char e = text[at++];
      switch (e) {
        case '"': case '\\': case '/': out->push_back(e); break;
        case 'n': out->push_back('\n'); break;
        case 'r': out->push_back('\r'); break;
        case 't': out->push_back('\t'); break;
        case 'b': out->push_back('\b'); break;
        case 'f': out->push_back('\f'); break;
        case 'u': {
          unsigned code = 0;
          auto [end, ec] = std::from_chars(text.data() + at, text.data() + std::min(at + 4, text.size()), code, 16);
          if (ec != std::errc{} || end != text.data() + at + 4) return fail("bad \\u escape");
          at += 4;
          // The files only escape bytes below 0x80 this way.
          if (code >= 0x80) return fail("\\u escape above 0x7f");
          out->push_back(static_cast<char>(code));
          break;
        }
        default: return fail("unknown escape");
      }
    }
    if (at >= text.size()) return fail("unterminated string");
    at++;
    return true;
  }
  bool number_value(Json_Value *out) {
    size_t start = at;
    if (at < text.size() && text[at] == '-') at++;
    while (at < text.size() && ((text[at] >= '0' && text[at] <= '9') || text[at] == '.' || text[at] == 'e' ||
                                text[at] == 'E' || text[at] == '+' || text[at] == '-')) {
      at++;
    }
    std::string number(text.substr(start, at - start));
    if (number.empty() || number == "-") return fail("expected a value");
    out->kind = Json_Value::number;
    char *end = nullptr;
    out->number_value = std::strtod(number.c_str(), &end);
    if (end != number.c_str() + number.size()) return fail("bad number");
    auto [iend, ec] = std::from_chars(number.data(), number.data() + number.size(), out->integer);
    out->is_integer = ec == std::errc{} && iend == number.data() + number.size();
    return true;
  }
  bool value(Json_Value *out, int depth) {
    if (depth > 64) return fail("nested too deeply");
    skip_blanks();
    if (at >= text.size()) return fail("expected a value");
    char c = text[at];
    if (c == '{') {
      out->kind = Json_Value::object;
      at++;
      skip_blanks();
      if (at < text.size() && text[at] == '}') return ++at, true;
      for (;;) {
        skip_blanks();
        std::pair<std::string, Json_Value> member;
        if (!string_value(&member.first)) return false;
        skip_blanks();
        if (!literal(":") || !value(&member.second, depth + 1)) return false;
        out->members.push_back(std::move(member));
        skip_blanks();
        if (at < text.size() && text[at] == ',') {
          at++;
          continue;
        }
        return literal("}");
      }
    }
    if (c == '[') {
      out->kind = Json_Value::array;
      at++;
      skip_blanks();
      if (at < text.size() && text[at] == ']') return ++at, true;
      for (;;) {
        Json_Value item;
        if (!value(&item, depth + 1)) return false;
        out->items.push_back(std::move(item));
        skip_blanks();
        if (at < text.size() && text[at] == ',') {
          at++;
          continue;
        }
        return literal("]");
      }
    }
    if (c == '"') {
      out->kind = Json_Value::string;
      return string_value(&out->text);
    }
    if (c == 't' || c == 'f') {
      out->kind = Json_Value::boolean;
      out->truth = c == 't';
      return literal(c == 't' ? "true" : "false");
    }
    if (c == 'n') return literal("null");
    return number_value(out);
  }
};

}  // namespace

const Json_Value *Json_Value::get(std::string_view key) const {
  for (const auto &member : members) {
    if (member.first == key) return &member.second;
  }
  return nullptr;
}

std::string Json_Value::str(std::string_view key) const {
  const Json_Value *v = get(key);
  return v && v->kind == string ? v->text : std::string();
}

int64_t Json_Value::i64(std::string_view key) const {
  const Json_Value *v = get(key);
  return v && v->kind == number ? v->integer : 0;
}

bool Json_Value::flag(std::string_view key) const {
  const Json_Value *v = get(key);
  return v && v->kind == boolean && v->truth;
}

bool parse_json(std::string_view text, Json_Value *out, std::string *error) {
  Json_Reader reader;
  reader.text = text;
  *out = Json_Value{};
  bool ok = reader.value(out, 0);
  reader.skip_blanks();
  if (ok && reader.at != text.size()) ok = reader.fail("trailing text");
  if (!ok) *error = reader.error;
  return ok;
}
