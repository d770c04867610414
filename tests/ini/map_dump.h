// A Section_Map as sorted text, so that a test can compare a whole map with one literal:
// "[name]\n" per section, then "key\tvalue\n" per pair; bytes below 0x20 and 0x7F as \xHH, so
// the tab between key and value is never part of either. And a map that is released with its owner.
#pragma once
#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "encoding/ini/ini.h"
#include "tools/owned/owned.h"

inline std::string dump_bytes(std::string_view text) {
  static const char HEX[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      out.push_back(c);
      continue;
    }
    out += "\\x";
    out.push_back(HEX[byte >> 4]);
    out.push_back(HEX[byte & 15]);
  }
  return out;
}

inline std::string dump_map(const Section_Map &map) {
  std::vector<std::string> sections;
  for (const Ini_Section *section = map.first; section; section = section->next) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const Ini_Pair *pair = section->first; pair; pair = pair->next) pairs.emplace_back(pair->key, pair->value);
    std::sort(pairs.begin(), pairs.end());
    // Appended piece by piece: g++ 12 gives a false -Wrestrict for "[" + std::string.
    std::string text = "[";
    text += dump_bytes(section->name);
    text += "]\n";
    for (const auto &[key, value] : pairs) {
      text += dump_bytes(key);
      text += '\t';
      text += dump_bytes(value);
      text += '\n';
    }
    sections.push_back(text);
  }
  std::sort(sections.begin(), sections.end());
  std::string out;
  for (const auto &s : sections) out += s;
  return out;
}

// The value of `key` in section `section`, or "(none)".
inline std::string map_value(const Section_Map &map, std::string_view section, std::string_view key) {
  const Ini_Section *s = ini_find_section(&map, section);
  const Ini_Pair *p = s ? ini_find_pair(&map, s, key) : nullptr;
  return p ? std::string(p->value) : std::string("(none)");
}
