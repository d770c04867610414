// The --dump JSON; see check_json.h.
#include "tools/check/check_json.h"

#include <algorithm>
#include <vector>

#include "runtime/utf8.h"
#include "src/config/keys.h"

namespace {

constexpr char CHECK_JSON_HEX_DIGITS[] = "0123456789abcdef";

// \u and four lowercase hex digits.
void check_json_append_escape(std::string *out, uint32_t unit) {
  out->append("\\u");
  for (int shift = 12; shift >= 0; shift -= 4) out->push_back(CHECK_JSON_HEX_DIGITS[(unit >> shift) & 0xF]);
}

// A control character, which a terminal showing the JSON would act on: C0, DEL and C1.
bool check_json_is_control(uint32_t code_point) {
  return code_point < 0x20 || (code_point >= 0x7F && code_point <= 0x9F);
}

// Byte order, whatever the signedness of char.
bool check_raw_less(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  });
}

// The sections of `map`, and the pairs of each, in byte order of their names and keys.
std::vector<const Ini_Section *> check_sorted_sections(const Section_Map &map) {
  std::vector<const Ini_Section *> sections;
  for (const Ini_Section *section = map.first; section; section = section->next) sections.push_back(section);
  std::sort(sections.begin(), sections.end(),
            [](const Ini_Section *a, const Ini_Section *b) { return check_raw_less(a->name, b->name); });
  return sections;
}

std::vector<const Ini_Pair *> check_sorted_pairs(const Ini_Section &section) {
  std::vector<const Ini_Pair *> pairs;
  for (const Ini_Pair *pair = section.first; pair; pair = pair->next) pairs.push_back(pair);
  std::sort(pairs.begin(), pairs.end(), [](const Ini_Pair *a, const Ini_Pair *b) { return check_raw_less(a->key, b->key); });
  return pairs;
}

void check_json_append_sections(std::string *out, const Section_Map &sections) {
  out->push_back('{');
  bool first_section = true;
  for (const Ini_Section *section : check_sorted_sections(sections)) {
    if (!first_section) out->push_back(',');
    first_section = false;
    check_json_append_string(out, section->name);
    out->append(":{");
    bool first_key = true;
    for (const Ini_Pair *pair : check_sorted_pairs(*section)) {
      if (!first_key) out->push_back(',');
      first_key = false;
      check_json_append_string(out, pair->key);
      out->push_back(':');
      check_json_append_string(out, pair->value);
    }
    out->push_back('}');
  }
  out->push_back('}');
}

// {"corvin":{...},"mael":{...}}: the blocks of CONFIG_KEYS, and in each its fields, by name.
void check_json_append_config(std::string *out, const Config &config) {
  std::vector<const Config_Key *> keys;
  for (const Config_Key &key : CONFIG_KEYS) keys.push_back(&key);
  std::sort(keys.begin(), keys.end(), [](const Config_Key *a, const Config_Key *b) {
    if (a->section() != b->section()) return check_raw_less(a->section(), b->section());
    return check_raw_less(a->field_name(), b->field_name());
  });
  out->push_back('{');
  for (size_t i = 0; i < keys.size(); i++) {
    bool opens_block = i == 0 || keys[i]->section() != keys[i - 1]->section();
    if (opens_block && i > 0) out->append("},");
    if (opens_block) {
      check_json_append_string(out, keys[i]->section());
      out->append(":{");
    } else {
      out->push_back(',');
    }
    check_json_append_string(out, keys[i]->field_name());
    out->push_back(':');
    out->append(std::to_string((config.*(keys[i]->block)).*(keys[i]->field)));
  }
  if (!keys.empty()) out->push_back('}');
  out->push_back('}');
}

}  // namespace

void check_json_append_string(std::string *out, std::string_view bytes) {
  out->push_back('"');
  const char *at = bytes.data();
  const char *end = at + bytes.size();
  while (at < end) {
    // utf8_decode takes one byte for anything that does not start a valid sequence; an ASCII byte
    // always is one.
    Utf8_Decoded decoded = utf8_decode(at, end);
    auto byte = static_cast<unsigned char>(*at);
    if (decoded.size == 1 && byte >= 0x80) {
      check_json_append_escape(out, 0xDC00 + byte);
    } else if (check_json_is_control(decoded.code_point)) {
      check_json_append_escape(out, decoded.code_point);
    } else {
      if (byte == '"' || byte == '\\') out->push_back('\\');
      out->append(at, decoded.size);
    }
    at += decoded.size;
  }
  out->push_back('"');
}

std::string check_dump_json(const Section_Map *sections, std::string_view message, const Config *config) {
  // The three member names are already in byte order.
  std::string out = "{\"config\":";
  if (config) {
    check_json_append_config(&out, *config);
  } else {
    out.append("null");
  }
  out.append(",\"message\":");
  check_json_append_string(&out, message);
  out.append(",\"sections\":");
  if (sections) {
    check_json_append_sections(&out, *sections);
  } else {
    out.append("null");
  }
  out.push_back('}');
  return out;
}
