// A Section_Map copied into standard containers, for tests and fuzz targets that compare whole maps
// or look keys up freely. Nothing of the module uses these.
#pragma once
#include <string>
#include <string_view>
#include <unordered_map>

#include "encoding/ini/ini.h"

using Std_Keys = std::unordered_map<std::string, std::string>;
using Std_Sections = std::unordered_map<std::string, Std_Keys>;

inline Std_Sections std_sections(const Section_Map &map) {
  Std_Sections out;
  for (const Ini_Section *section = map.first; section; section = section->next) {
    Std_Keys &keys = out[std::string(section->name)];
    for (const Ini_Pair *pair = section->first; pair; pair = pair->next) keys[std::string(pair->key)] = pair->value;
  }
  return out;
}

// The map of `text`; false in `*ok` when the reader failed (then the map is empty).
inline Std_Sections std_sections_of(std::string_view text, const Ini_Options &options, bool *ok) {
  Section_Map map{};
  *ok = load_map_from_string(&map, text, options).ok();
  Std_Sections out = std_sections(map);
  delete_map(&map);
  return out;
}
