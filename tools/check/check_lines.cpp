// Line numbers for the validator's report; see check_lines.h.
#include "tools/check/check_lines.h"

#include <new>

#include "encoding/ini/ini.h"
#include "runtime/text.h"
#include "src/config/schema.h"

namespace {

constexpr std::string_view CHECK_UTF8_BOM = "\xEF\xBB\xBF";

}  // namespace

std::string check_lower(std::string_view text) {
  std::string lowered;
  lower_append(&lowered, text);
  return lowered;
}

Check_Lines check_scan_lines(std::string_view text) {
  Check_Lines lines;
  if (text.starts_with(CHECK_UTF8_BOM)) text.remove_prefix(CHECK_UTF8_BOM.size());
  std::string section;
  Section_Map one_line;
  std::string alone;
  size_t number = 0;
  while (!text.empty()) {
    number++;
    size_t newline = text.find('\n');
    std::string_view piece = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    if (piece.ends_with('\r')) piece.remove_suffix(1);
    std::string_view line = trim_white_space(piece);
    if (line.empty()) continue;
    if (line[0] == '[') {
      std::string_view rest = line.substr(1);
      section.assign(rest.substr(0, rest.find(']')));
      lines.headers.push_back({number, section, {}});
      continue;
    }
    // After a line end, so that the reader takes a byte-order mark here as part of the line, as it
    // does everywhere but at the very start of the file.
    alone.clear();
    alone.push_back('\n');
    alone.append(line);
    if (load_map_from_string(&one_line, alone, CONFIG_FILE_INI_OPTIONS) != INI_OK) throw std::bad_alloc();
    for (const auto &sections : one_line) {
      for (const auto &pair : sections.second) lines.pairs.push_back({number, section, pair.first});
    }
  }
  return lines;
}

std::vector<const Check_Line *> check_pairs_of(const Check_Lines &lines, std::string_view section, std::string_view key) {
  std::vector<const Check_Line *> found;
  for (const Check_Line &pair : lines.pairs) {
    if (check_lower(pair.section) == section && check_lower(pair.key) == key) found.push_back(&pair);
  }
  return found;
}

const Check_Line *check_header_of(const Check_Lines &lines, std::string_view section) {
  for (const Check_Line &header : lines.headers) {
    if (header.section == section) return &header;
  }
  return nullptr;
}
