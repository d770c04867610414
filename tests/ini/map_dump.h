// A Section_Map as sorted text, so that a test can compare a whole map with one literal:
// "[name]\n" per section, then "key\tvalue\n" per pair; bytes below 0x20 and 0x7F as \xHH, so
// the tab between key and value is never part of either.
#pragma once
#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "encoding/ini/ini.h"

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
  for (const auto &[name, keys] : map) {
    std::vector<std::pair<std::string, std::string>> pairs(keys.begin(), keys.end());
    std::sort(pairs.begin(), pairs.end());
    // Appended piece by piece: g++ 12 gives a false -Wrestrict for "[" + std::string.
    std::string text = "[";
    text += dump_bytes(name);
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
