// The validator's diagnosis; see config_diagnose.h.
#include "tools/check/config_diagnose.h"

#include <algorithm>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>

#include "runtime/text.h"
#include "src/config/keys.h"
#include "src/config/schema.h"

namespace {

// "<lowered_section>.<key lowercased>", the full key a pair of a block section makes.
std::string diagnose_full_key(Arena *scratch, std::string_view lowered_section, std::string_view key) {
  std::string_view lowered = lower_from_utf8(scratch, key);
  if (!lowered.data()) throw std::bad_alloc();
  return std::string(lowered_section).append(".").append(lowered);
}

// The pair lines of the block sections, by full key (as the flattening makes it), in file order.
using Config_Key_Lines = std::unordered_map<std::string, std::vector<Config_Place>>;

struct Config_Lines {
  Config_Key_Lines pairs;
  std::vector<Config_Place> headers;  // every header, in file order, with its lowercased name
  std::vector<std::string> header_blocks;
};

// Throws std::bad_alloc.
Status diagnose_scan(Arena *scratch, std::string_view text, Config_Lines *lines) {
  Ini_Iterator it = ini_iterator(scratch, text, CONFIG_FILE_INI_OPTIONS);
  Ini_Line line;
  std::string_view lowered_for;  // the section whose lowercase `lowered` holds
  std::string_view lowered;
  bool first = true;
  while (ini_next_line(&it, &line)) {
    if (line.kind != Ini_Line_Kind::pair && line.kind != Ini_Line_Kind::header) continue;
    if (first || line.section.data() != lowered_for.data() || line.section.size() != lowered_for.size()) {
      lowered = lower_from_utf8(scratch, line.section);
      if (!lowered.data()) return status_fail(FAILURE_OUT_OF_MEMORY);
      lowered_for = line.section;
      first = false;
    }
    if (line.kind == Ini_Line_Kind::header) {
      lines->headers.push_back({line.number, std::string(line.section)});
      lines->header_blocks.emplace_back(lowered);
      continue;
    }
    if (!config_is_block_section(lowered)) continue;
    lines->pairs[diagnose_full_key(scratch, lowered, line.key)].push_back({line.number, std::string(line.section)});
  }
  return it.status;
}

// For each section that wrote `places`, its last line; in file order.
std::vector<Config_Place> diagnose_last_per_section(const std::vector<Config_Place> &places) {
  std::unordered_map<std::string_view, size_t> last;  // section to index in `kept`
  std::vector<Config_Place> kept;
  for (const Config_Place &p : places) {
    auto [at, fresh] = last.try_emplace(p.section, kept.size());
    if (fresh) {
      kept.push_back(p);
    } else {
      kept[at->second].line = p.line;
    }
  }
  std::sort(kept.begin(), kept.end(), [](const Config_Place &a, const Config_Place &b) { return a.line < b.line; });
  return kept;
}

void diagnose_duplicates(const Config_Lines &lines, Config_Diagnosis *out) {
  for (const auto &[full_key, places] : lines.pairs) {
    std::vector<Config_Place> kept = diagnose_last_per_section(places);
    if (kept.size() < 2) continue;
    out->duplicates.push_back({std::string(full_key), std::move(kept)});
  }
  std::sort(out->duplicates.begin(), out->duplicates.end(),
            [](const Config_Duplicate &a, const Config_Duplicate &b) { return a.places[0].line < b.places[0].line; });
}

Status diagnose_missing(Arena *scratch, const Config_Lines &lines, const Config_Key &key, Config_Diagnosis *out) {
  std::vector<std::string_view> names;
  for (const Ini_Section *section = out->sections.value.first; section; section = section->next) {
    std::string_view lowered = lower_from_utf8(scratch, section->name);
    if (!lowered.data()) return status_fail(FAILURE_OUT_OF_MEMORY);
    if (lowered == key.section()) names.push_back(section->name);
  }
  std::sort(names.begin(), names.end());
  for (std::string_view name : names) {
    uint32_t line = 0;
    for (const Config_Place &header : lines.headers) {
      if (header.section != name) continue;
      line = header.line;
      break;
    }
    out->block_sections.push_back({line, std::string(name)});
  }
  if (!names.empty()) return STATUS_OK;
  for (size_t i = 0; i < lines.headers.size(); i++) {
    if (lines.header_blocks[i] != key.section()) continue;
    out->empty_block_headers.push_back(lines.headers[i]);
    break;
  }
  return STATUS_OK;
}

}  // namespace

void config_diagnose(Arena *scratch, std::string_view text, Config_Diagnosis *out) {
  out->status = Config_Status(load_map_from_string(out->sections.get(), text, CONFIG_FILE_INI_OPTIONS));
  if (!out->status.ok()) return;
  Config_Result converted = config_from_map(scratch, out->sections.value);
  out->status = converted.status();
  if (converted.ok()) {
    out->config = converted.value();
    return;
  }
  if (out->status.runtime.failure == FAILURE_OUT_OF_MEMORY) return;
  Config_Lines lines;
  Status scanned = diagnose_scan(scratch, text, &lines);
  if (!scanned.ok()) {
    out->status = scanned;
    return;
  }
  if (out->status.content == CONFIG_DUPLICATE_KEY) {
    diagnose_duplicates(lines, out);
    return;
  }
  if (out->status.key_index < 0) return;
  const Config_Key &key = CONFIG_KEYS[out->status.key_index];
  if (out->status.content == CONFIG_MISSING_KEY) {
    Status found = diagnose_missing(scratch, lines, key, out);
    if (!found.ok()) out->status = found;
    return;
  }
  auto found = lines.pairs.find(std::string(key.full_key));
  if (found != lines.pairs.end()) out->key_places = found->second;
}
