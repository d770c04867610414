// The validator's diagnosis; see config_diagnose.h.
#include "tools/check/config_diagnose.h"

#include <algorithm>
#include <map>
#include <new>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "runtime/arena.h"
#include "runtime/log.h"
#include "runtime/text.h"
#include "runtime/utf8.h"
#include "src/config/schema.h"
#include "src/config/values.h"
#include "tools/check/check_unseen.h"

namespace {

// A missing key is taken to be misspelt when a key of its block is this close to it.
constexpr size_t DIAGNOSE_MISSPELLING_DISTANCE = 2;

// Lowercases into a std::string; throws std::bad_alloc when the scratch has no room.
std::string diagnose_lower(Arena *scratch, std::string_view text) {
  Arena_Mark mark = arena_mark(scratch);
  std::string_view lowered = lower_from_utf8(scratch, text);
  if (!lowered.data()) throw std::bad_alloc();
  std::string out(lowered);
  arena_pop_to(scratch, mark);
  return out;
}

// The block (index in CONFIG_BLOCKS) that a section named `name` belongs to; CONFIG_BLOCK_COUNT: none.
size_t diagnose_block_of(Arena *scratch, std::string_view name) { return config_block_index(diagnose_lower(scratch, name)); }

bool diagnose_is_field(std::string_view key) {
  for (const Config_Key &k : CONFIG_KEYS) {
    if (k.field_name() == key) return true;
  }
  return false;
}

// `text` without its white space, wherever it stands.
std::string diagnose_without_white_space(std::string_view text) {
  std::string out;
  const char *at = text.data(), *end = at + text.size();
  while (at < end) {
    Utf8_Decoded d = utf8_decode(at, end);
    if (!is_white_space(d.code_point)) out.append(at, d.size);
    at += d.size;
  }
  return out;
}

// The code points of `text`, a byte that is not UTF-8 as one.
std::vector<uint32_t> diagnose_code_points(std::string_view text) {
  std::vector<uint32_t> out;
  const char *at = text.data(), *end = at + text.size();
  while (at < end) {
    Utf8_Decoded d = utf8_decode(at, end);
    out.push_back(d.code_point);
    at += d.size;
  }
  return out;
}

// The block a section's name looks like to a player, and why it is not that block's name.
struct Diagnose_Seen_Block {
  size_t block = CONFIG_BLOCK_COUNT;  // none
  bool bracket = false;               // the name starts with "["
  size_t differs_at = 0;              // the one character that differs (1-based); 0: none
  std::string differs;                // ... as written
};

// Where the name `name`, written as it is and lowercased, is a block's name but for one character
// (none of them white space, invisible or a look-alike): that block, and the character.
Diagnose_Seen_Block diagnose_one_off(Arena *scratch, std::string_view name) {
  Diagnose_Seen_Block seen;
  if (check_as_seen(name) != name || diagnose_without_white_space(name) != name) return seen;
  std::vector<uint32_t> written = diagnose_code_points(name);
  std::vector<uint32_t> lowered = diagnose_code_points(diagnose_lower(scratch, name));
  if (written.size() != lowered.size()) return seen;
  for (size_t block = 0; block < CONFIG_BLOCK_COUNT; block++) {
    std::vector<uint32_t> wanted = diagnose_code_points(CONFIG_BLOCKS[block]);
    if (wanted.size() != lowered.size()) continue;
    size_t differ = 0, at = 0;
    for (size_t i = 0; i < wanted.size(); i++) {
      if (wanted[i] != lowered[i] && differ++ == 0) at = i;
    }
    if (differ != 1) continue;
    seen.block = block;
    seen.differs_at = at + 1;
    const char *p = name.data(), *end = p + name.size();
    for (size_t i = 0; i < at; i++) p += utf8_decode(p, end).size;
    seen.differs = std::string(p, utf8_decode(p, end).size);
    return seen;
  }
  return seen;
}

// The block that a section named `name` looks like to a player, though its name is no block's: the
// same but for white space, invisible characters and look-alikes, or for a "[" before it (the game
// takes a name up to the first "]", so `[[mael]]` names "[mael"), or for one other character.
Diagnose_Seen_Block diagnose_block_seen(Arena *scratch, std::string_view name) {
  Diagnose_Seen_Block seen;
  if (config_is_block_section(diagnose_lower(scratch, name))) return seen;
  std::string looks = check_as_seen(diagnose_without_white_space(name));
  std::string_view unbracketed = looks;
  while (unbracketed.starts_with('[')) unbracketed.remove_prefix(1);
  seen.bracket = unbracketed.size() != looks.size();
  seen.block = config_block_index(diagnose_lower(scratch, unbracketed));
  if (seen.block < CONFIG_BLOCK_COUNT) return seen;
  return diagnose_one_off(scratch, name);
}

// A skipped line that would be a block's header without its invisible characters, or with look-alike
// brackets as ASCII ones: that block, and CONFIG_BLOCK_COUNT otherwise. The reader takes the
// section's name up to the first "]".
size_t diagnose_skipped_header(Arena *scratch, std::string_view line) {
  std::string looks = check_as_seen(line);
  std::string_view trimmed = trim_white_space(looks);
  if (!trimmed.starts_with('[')) return CONFIG_BLOCK_COUNT;
  std::string_view name = trimmed.substr(1);
  name = name.substr(0, name.find(']'));
  std::string lowered = diagnose_lower(scratch, name);
  size_t block = config_block_index(lowered);
  if (block < CONFIG_BLOCK_COUNT) return block;
  Diagnose_Seen_Block seen = diagnose_block_seen(scratch, name);
  return seen.differs_at ? CONFIG_BLOCK_COUNT : seen.block;
}

constexpr std::string_view DIAGNOSE_UTF8_BOM = "\xEF\xBB\xBF";

// What the reader's lines say of the blocks.
struct Config_Lines {
  // The pair lines of the block sections, by full key (as the flattening makes it), in file order.
  std::unordered_map<std::string, std::vector<Config_Place>> pairs;
  // Every header, in file order, with the block its name belongs to.
  std::vector<std::pair<Config_Place, size_t>> headers;
  // Keys of the block sections that are none of the sixteen: (block, section, key) to its last line,
  // and the key as that line writes it, unquoted.
  std::map<std::tuple<size_t, std::string, std::string>, std::pair<uint32_t, std::string>> unknown;
  std::vector<Config_Near_Header> near_headers;
  std::vector<Config_Lone_Cr> lone_crs;
  std::vector<Config_Line_Separators> separators;
  std::vector<std::pair<uint32_t, std::string>> lookalike_pairs;
  std::vector<uint32_t> stray_marks;
  uint32_t line_count = 0;
};

// What a line that is no pair says to a player but not to the game.
void diagnose_unseen_line(Arena *scratch, const Ini_Line &line, Config_Lines *lines) {
  if (line.kind == Ini_Line_Kind::header) {
    Diagnose_Seen_Block seen = diagnose_block_seen(scratch, line.section);
    if (seen.block == CONFIG_BLOCK_COUNT) return;
    bool white_space = diagnose_without_white_space(line.section).size() != line.section.size();
    lines->near_headers.push_back({{line.number, std::string(line.section)}, seen.block, std::string(line.section),
                                   false, white_space, seen.bracket, seen.differs_at, seen.differs});
    return;
  }
  if (line.kind == Ini_Line_Kind::skipped && !line.text.empty()) {
    size_t block = diagnose_skipped_header(scratch, line.text);
    if (block < CONFIG_BLOCK_COUNT) {
      lines->near_headers.push_back(
          {{line.number, std::string(line.section)}, block, std::string(line.text), true, false, false, 0, {}});
      return;
    }
    // No "=" for the reader, one to the eye: a pair the game does not see.
    if (check_as_seen(line.text).find('=') != std::string::npos) {
      lines->lookalike_pairs.emplace_back(line.number, std::string(line.text));
    }
  }
  bool skipped = line.kind == Ini_Line_Kind::skipped || line.kind == Ini_Line_Kind::comment;
  if (skipped && line.text.find(DIAGNOSE_UTF8_BOM) != std::string_view::npos) {
    lines->stray_marks.push_back(line.number);
  }
}

// The line and paragraph separators inside a line, and what the game makes of the line.
void diagnose_separators(Arena *scratch, const Ini_Line &line, Config_Lines *lines) {
  Config_Line_Separators found{line.number, 0, {}, line.kind, {}, {}, {}, false};
  const char *at = line.text.data(), *end = at + line.text.size();
  while (at < end) {
    Utf8_Decoded d = utf8_decode(at, end);
    at += d.size;
    if (d.size == 1 || !check_is_line_separator(d.code_point)) continue;
    found.count++;
    if (std::find(found.code_points.begin(), found.code_points.end(), d.code_point) == found.code_points.end()) {
      found.code_points.push_back(d.code_point);
    }
  }
  if (found.count == 0) return;
  if (line.kind == Ini_Line_Kind::header) found.section = std::string(line.section);
  if (line.kind == Ini_Line_Kind::pair) {
    Result<std::string_view> written = unquote(scratch, line.written_key);
    if (!written.ok()) throw std::bad_alloc();
    found.key = std::string(written.value());
    size_t note = line.value.find(';');
    found.note = note != std::string_view::npos;
    found.value = std::string(trim_white_space(line.value.substr(0, note)));
  }
  lines->separators.push_back(std::move(found));
}

Config_Lines diagnose_scan(Arena *scratch, std::string_view text) {
  Config_Lines lines;
  Ini_Iterator it = ini_iterator(scratch, text, CONFIG_FILE_INI_OPTIONS);
  Ini_Line line;
  std::string section;  // the section in force, and its block
  size_t block = CONFIG_BLOCK_COUNT;
  bool first = true;
  while (ini_next_line(&it, &line)) {
    lines.line_count = line.number;
    size_t crs = static_cast<size_t>(std::count(line.text.begin(), line.text.end(), '\r'));
    if (crs > 0) lines.lone_crs.push_back({line.number, crs});
    diagnose_separators(scratch, line, &lines);
    diagnose_unseen_line(scratch, line, &lines);
    if (line.kind != Ini_Line_Kind::pair && line.kind != Ini_Line_Kind::header) continue;
    if (first || line.section != section) {
      section = std::string(line.section);
      block = diagnose_block_of(scratch, section);
      first = false;
    }
    if (line.kind == Ini_Line_Kind::header) {
      lines.headers.push_back({{line.number, section}, block});
      continue;
    }
    if (block == CONFIG_BLOCK_COUNT) continue;
    std::string key = diagnose_lower(scratch, line.key);
    lines.pairs[std::string(CONFIG_BLOCKS[block]) + "." + key].push_back({line.number, section});
    if (!diagnose_is_field(key)) {
      Result<std::string_view> written = unquote(scratch, line.written_key);
      if (!written.ok()) throw std::bad_alloc();
      lines.unknown[{block, section, key}] = {line.number, std::string(written.value())};
    }
  }
  if (!it.status.ok()) throw std::bad_alloc();
  return lines;
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
    std::string_view key = std::string_view(full_key).substr(full_key.find('.') + 1);
    out->duplicates.push_back({std::string(full_key), std::move(kept), diagnose_is_field(key)});
  }
  std::sort(out->duplicates.begin(), out->duplicates.end(),
            [](const Config_Duplicate &a, const Config_Duplicate &b) { return a.places[0].line < b.places[0].line; });
}

void diagnose_blocks(Arena *scratch, const Config_Lines &lines, Config_Diagnosis *out) {
  for (const Ini_Section *section = out->sections.value.first; section; section = section->next) {
    size_t block = diagnose_block_of(scratch, section->name);
    if (block == CONFIG_BLOCK_COUNT) continue;
    uint32_t line = 0;
    for (const auto &[header, header_block] : lines.headers) {
      if (header.section != section->name) continue;
      line = header.line;
      break;
    }
    out->block_sections[block].push_back({line, std::string(section->name)});
  }
  for (size_t block = 0; block < CONFIG_BLOCK_COUNT; block++) {
    std::vector<Config_Place> &sections = out->block_sections[block];
    std::sort(sections.begin(), sections.end(), [](const Config_Place &a, const Config_Place &b) {
      return std::lexicographical_compare(a.section.begin(), a.section.end(), b.section.begin(), b.section.end(),
                                          [](char x, char y) { return static_cast<unsigned char>(x) < static_cast<unsigned char>(y); });
    });
    if (!sections.empty()) continue;
    for (const auto &[header, header_block] : lines.headers) {
      if (header_block != block) continue;
      out->empty_block_header[block] = header;
      break;
    }
  }
}

// A log sink that drops everything while it lives: the per-key conversions say nothing the
// diagnosis does not.
struct Quiet_Log {
  Log_Sink previous = log_set_sink({});
  ~Quiet_Log() { log_set_sink(previous); }
};

// `value` with a note after a quoted literal (`"57" ; dark`, where the quotes stay, since a literal
// must end with its quote): the value as the player meant it (`57 ; dark`) into finding->unquoted,
// the literal's content (`57`) into finding->unquoted_value, and whether the game would take the
// key so written: a line of the key's block holding it, read and converted by the module.
void diagnose_quoted_with_note(Arena *scratch, size_t index, std::string_view stored, std::string_view cut,
                               Config_Key_Finding *finding) {
  if (stored.empty() || (stored[0] != '"' && stored[0] != '\'') || stored.find(';') == std::string_view::npos) return;
  Result<std::string_view> inner = unquote(scratch, cut);
  if (!inner.ok()) throw std::bad_alloc();
  if (inner.value() == cut) return;
  finding->unquoted_value = std::string(trim_white_space(inner.value()));
  finding->unquoted = finding->unquoted_value + " " + std::string(stored.substr(stored.find(';')));
  const Config_Key &key = CONFIG_KEYS[index];
  // Appended piece by piece: g++ 12 for mingw-w64 gives a false -Wrestrict for a literal plus a string.
  std::string text = "[";
  text.append(key.section()).append("]\n").append(key.field_name()).append(" = ").append(finding->unquoted).append("\n");
  Owned<Section_Map> map;
  if (!load_map_from_string(map.get(), text, CONFIG_FILE_INI_OPTIONS).ok()) throw std::bad_alloc();
  int32_t value = 0;
  std::string_view converted_text;
  Config_Status converted = config_convert_key(scratch, map.value, index, &value, &converted_text);
  if (!converted.runtime.ok()) throw std::bad_alloc();
  finding->unquoted_converts = converted.ok();
}

// For a tint that converted: whether the number as written lies outside 0..255, and outside 32 bits.
void diagnose_tint_range(std::string_view text, Config_Key_Finding *finding) {
  bool negative = false;
  uint64_t magnitude = 0;
  if (!parse_integer_parts(text, &negative, &magnitude)) return;
  finding->outside = negative ? magnitude > 0 : magnitude > 255;
  finding->past_32_bits = negative ? magnitude > uint64_t{INT32_MAX} + 1 : magnitude > uint64_t{INT32_MAX};
}

void diagnose_keys(Arena *scratch, const Config_Lines &lines, Config_Diagnosis *out) {
  std::vector<std::string> duplicated;
  for (const Config_Duplicate &d : out->duplicates) duplicated.push_back(d.full_key);
  Quiet_Log quiet;
  out->keys.resize(CONFIG_KEY_COUNT);
  for (size_t i = 0; i < CONFIG_KEY_COUNT; i++) {
    const Config_Key &key = CONFIG_KEYS[i];
    Config_Key_Finding &finding = out->keys[i];
    auto places = lines.pairs.find(std::string(key.full_key));
    if (places != lines.pairs.end()) finding.places = places->second;
    if (std::find(duplicated.begin(), duplicated.end(), key.full_key) != duplicated.end()) {
      finding.failure = CONFIG_DUPLICATE_KEY;
      continue;
    }
    std::string_view text;
    Config_Status converted = config_convert_key(scratch, out->sections.value, i, &finding.converted, &text);
    if (!converted.runtime.ok()) throw std::bad_alloc();
    finding.failure = converted.content;
    finding.value = std::string(text);
    finding.used = key.after == CONFIG_TINT ? normalise_tint(finding.converted) : finding.converted;
    if (finding.failure == CONFIG_OK && key.after == CONFIG_TINT) diagnose_tint_range(text, &finding);
    if (finding.failure != CONFIG_NOT_AN_INTEGER && finding.failure != CONFIG_NOT_A_TRUTH_VALUE) continue;
    const Config_Place &counts = finding.places.back();
    const Ini_Section *section = ini_find_section(out->sections.get(), counts.section);
    const Ini_Pair *pair = section ? ini_find_pair(out->sections.get(), section, key.field_name()) : nullptr;
    if (pair) diagnose_quoted_with_note(scratch, i, pair->value, text, &finding);
  }
}

// Missing keys and the unknown keys of their blocks that look a couple of letters off them
// (check_as_seen: an invisible character, a look-alike letter of another script cost nothing) are
// paired closest first over all pairs, the earlier line first among equals; the other unknown keys
// are notes. A key that two sections hold is a duplicate, neither.
void diagnose_misspellings(Arena *scratch, const Config_Lines &lines, Config_Diagnosis *out) {
  struct Candidate {
    size_t block;
    Config_Unknown_Key unknown;
    std::string seen;
    bool taken;
  };
  std::vector<Candidate> candidates;
  for (const auto &[where, written] : lines.unknown) {
    const auto &[block, section, key] = where;
    std::string full_key = std::string(CONFIG_BLOCKS[block]) + "." + key;
    bool duplicated = std::any_of(out->duplicates.begin(), out->duplicates.end(),
                                  [&](const Config_Duplicate &d) { return d.full_key == full_key; });
    if (duplicated) continue;
    std::string seen = diagnose_lower(scratch, check_as_seen(written.second));
    candidates.push_back({block, {{written.first, section}, key, written.second}, seen, false});
  }
  std::sort(candidates.begin(), candidates.end(),
            [](const Candidate &a, const Candidate &b) { return a.unknown.place.line < b.unknown.place.line; });
  struct Pairing {
    size_t distance, candidate, key;
  };
  std::vector<Pairing> pairings;
  for (size_t i = 0; i < CONFIG_KEY_COUNT; i++) {
    if (out->keys[i].failure != CONFIG_MISSING_KEY) continue;
    size_t block = config_block_index(CONFIG_KEYS[i].section());
    for (size_t c = 0; c < candidates.size(); c++) {
      if (candidates[c].block != block) continue;
      size_t distance = config_edit_distance(candidates[c].seen, CONFIG_KEYS[i].field_name(), DIAGNOSE_MISSPELLING_DISTANCE);
      if (distance <= DIAGNOSE_MISSPELLING_DISTANCE) pairings.push_back({distance, c, i});
    }
  }
  std::sort(pairings.begin(), pairings.end(), [](const Pairing &a, const Pairing &b) {
    return std::tie(a.distance, a.candidate, a.key) < std::tie(b.distance, b.candidate, b.key);
  });
  for (const Pairing &p : pairings) {
    Config_Key_Finding &finding = out->keys[p.key];
    Candidate &c = candidates[p.candidate];
    if (c.taken || finding.misspelt.line != 0) continue;
    c.taken = true;
    finding.misspelt = c.unknown.place;
    finding.misspelt_key = c.unknown.key;
    finding.misspelt_written = c.unknown.written;
  }
  for (const Candidate &c : candidates) {
    if (!c.taken) out->unknown.push_back(c.unknown);
  }
}

}  // namespace

size_t config_edit_distance(std::string_view a, std::string_view b, size_t limit) {
  size_t longer = std::max(a.size(), b.size()), shorter = std::min(a.size(), b.size());
  if (longer - shorter > limit) return limit + 1;
  // Three rows of the table: two back, one back and this one.
  std::vector<size_t> two(b.size() + 1), one(b.size() + 1), row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); j++) one[j] = j;
  for (size_t i = 1; i <= a.size(); i++) {
    row[0] = i;
    for (size_t j = 1; j <= b.size(); j++) {
      size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      row[j] = std::min({one[j] + 1, row[j - 1] + 1, one[j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) row[j] = std::min(row[j], two[j - 2] + 1);
    }
    std::swap(two, one);
    std::swap(one, row);
  }
  return std::min(one[b.size()], limit + 1);
}

void config_diagnose(Arena *scratch, std::string_view text, Config_Diagnosis *out) {
  out->status = Config_Status(load_map_from_string(out->sections.get(), text, CONFIG_FILE_INI_OPTIONS));
  if (!out->status.ok()) return;
  Config_Result converted = config_from_map(scratch, out->sections.value);
  out->status = converted.status();
  if (converted.ok()) out->config = converted.value();
  if (out->status.runtime.failure == FAILURE_OUT_OF_MEMORY) return;
  Config_Lines lines = diagnose_scan(scratch, text);
  diagnose_duplicates(lines, out);
  diagnose_blocks(scratch, lines, out);
  diagnose_keys(scratch, lines, out);
  diagnose_misspellings(scratch, lines, out);
  out->near_headers = std::move(lines.near_headers);
  out->lone_crs = std::move(lines.lone_crs);
  out->separators = std::move(lines.separators);
  out->lookalike_pairs = std::move(lines.lookalike_pairs);
  out->stray_marks = std::move(lines.stray_marks);
  out->line_count = lines.line_count;
}
