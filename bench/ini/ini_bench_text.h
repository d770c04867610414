// The texts that the INI benchmarks read: a realistic configuration file and a generated one of
// about 20 MB. Both are made the same way on every run.
#pragma once
#include <cstdint>
#include <string>

// ManeShade.ini as a user keeps it: two character blocks, comments, a few quoted values.
inline const std::string &bench_small_text() {
  static const std::string text =
      "; ManeShade: hair and facial-hair tints of the two player characters.\r\n"
      "; Tints are 0..255; enabled = 1 keeps the tints below, 0 leaves the game alone.\r\n"
      "\r\n"
      "[corvin]\r\n"
      "enabled = 1\r\n"
      "; hair\r\n"
      "hair_primary = 12\r\n"
      "hair_secondary = 12\r\n"
      "hair_tertiary = 40\r\n"
      "; beard and the parts of it\r\n"
      "chin_primary = \"12\"\r\n"
      "chin_secondary = 12\r\n"
      "chin_tertiary = 40\r\n"
      "chops_primary = 12 ; as the hair\r\n"
      "chops_secondary = 12\r\n"
      "chops_tertiary = 40\r\n"
      "stache_primary = 12\r\n"
      "stache_secondary = 12\r\n"
      "stache_tertiary = 40\r\n"
      "beard_primary = 12\r\n"
      "beard_secondary = 12\r\n"
      "beard_tertiary = 40\r\n"
      "\r\n"
      "[mael]\r\n"
      "Enabled = 0\r\n"
      "; hair\r\n"
      "hair_primary = 3\r\n"
      "hair_secondary = 3\r\n"
      "hair_tertiary = 255\r\n"
      "chin_primary = '3'\r\n"
      "chin_secondary = 3\r\n"
      "chin_tertiary = 255\r\n"
      "chops_primary = 3\r\n"
      "chops_secondary = 3\r\n"
      "chops_tertiary = 255\r\n"
      "stache_primary = 3\r\n"
      "stache_secondary = 3\r\n"
      "stache_tertiary = 255\r\n"
      "beard_primary = 3\r\n"
      "beard_secondary = 3\r\n"
      "beard_tertiary = 255\r\n";
  return text;
}

// About 20 MB: thousands of sections of tint keys, with comments, blank lines, quoted values,
// mixed-case and non-ASCII keys, and CRLF and LF line ends mixed. Every line stays well under 200
// bytes, the longest line inih reads by default.
inline const std::string &bench_large_text() {
  static const std::string text = [] {
    static const char *const GROUPS[] = {"hair", "chin", "chops", "stache", "beard"};
    static const char *const PARTS[] = {"primary", "secondary", "tertiary"};
    constexpr size_t TARGET_BYTES = 20u << 20;
    uint32_t state = 0x2545F491u;  // xorshift32: the same text on every run
    auto next = [&state] {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      return state;
    };
    std::string out;
    out.reserve(TARGET_BYTES + 4096);
    for (int section = 0; out.size() < TARGET_BYTES; section++) {
      auto end_line = [&] { out += next() % 2 ? "\r\n" : "\n"; };
      out += "; character block ";
      out += std::to_string(section);
      end_line();
      out += "[character_";
      out += std::to_string(section);
      out += "]";
      end_line();
      out += next() % 4 ? "enabled = 1" : "Enabled = 0";
      end_line();
      for (const char *group : GROUPS) {
        for (const char *part : PARTS) {
          uint32_t r = next();
          if (r % 16 == 0) {
            out += "; tint of the ";
            out += group;
            end_line();
          }
          out += r % 8 == 1 ? "Hair_\xC3\x84_" : "";  // a key that needs the full case table
          out += r % 8 == 2 ? "HAIR_" : "";
          out += group;
          out += "_";
          out += part;
          out += r % 3 ? " = " : "=";
          std::string value = std::to_string(next() % 256);
          if (r % 5 == 0) {
            out += "\"" + value + "\"";
          } else if (r % 11 == 0) {
            out += "\"tint\\t" + value + "\"";
          } else {
            out += value;
          }
          end_line();
        }
      }
      if (next() % 4 == 0) end_line();
    }
    return out;
  }();
  return text;
}
