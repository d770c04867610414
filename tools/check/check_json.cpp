// The --dump JSON; see check_json.h.
#include "tools/check/check_json.h"

#include <algorithm>
#include <vector>

#include "src/config/keys.h"
#include "tools/json/json_write.h"

namespace {

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

void check_json_sections(Json_Writer *w, const Section_Map &sections) {
  json_begin_object(w);
  for (const Ini_Section *section : check_sorted_sections(sections)) {
    json_key(w, section->name);
    json_begin_object(w);
    for (const Ini_Pair *pair : check_sorted_pairs(*section)) json_member_string(w, pair->key, pair->value);
    json_end_object(w);
  }
  json_end_object(w);
}

// {"corvin":{...},"mael":{...}}: the blocks of CONFIG_KEYS, and in each its fields, by name.
void check_json_config(Json_Writer *w, const Config &config) {
  std::vector<const Config_Key *> keys;
  for (const Config_Key &key : CONFIG_KEYS) keys.push_back(&key);
  std::sort(keys.begin(), keys.end(), [](const Config_Key *a, const Config_Key *b) {
    if (a->section() != b->section()) return check_raw_less(a->section(), b->section());
    return check_raw_less(a->field_name(), b->field_name());
  });
  json_begin_object(w);
  for (size_t i = 0; i < keys.size(); i++) {
    bool opens_block = i == 0 || keys[i]->section() != keys[i - 1]->section();
    if (opens_block && i > 0) json_end_object(w);
    if (opens_block) {
      json_key(w, keys[i]->section());
      json_begin_object(w);
    }
    json_member_integer(w, keys[i]->field_name(), (config.*(keys[i]->block)).*(keys[i]->field));
  }
  if (!keys.empty()) json_end_object(w);
  json_end_object(w);
}

}  // namespace

std::string check_dump_json(const Section_Map *sections, std::string_view message, const Config *config) {
  Json_Writer w{"", Json_Layout::compact, Json_Strings::text};
  // The three member names are already in byte order.
  json_begin_object(&w);
  json_key(&w, "config");
  if (config) {
    check_json_config(&w, *config);
  } else {
    json_null(&w);
  }
  json_member_string(&w, "message", message);
  json_key(&w, "sections");
  if (sections) {
    check_json_sections(&w, *sections);
  } else {
    json_null(&w);
  }
  json_end_object(&w);
  return w.text;
}
