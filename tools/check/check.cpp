// The check of one file; see check.h.
#include "tools/check/check.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "runtime/arena.h"
#include "runtime/log.h"
#include "runtime/text.h"
#include "runtime/utf8.h"
#include "src/config/keys.h"
#include "src/config/messages.h"
#include "src/config/reload.h"
#include "src/config/schema.h"
#include "src/config/settings_file.h"
#include "tools/check/config_diagnose.h"
#include "tools/check/check_json.h"
#include "tools/check/check_unseen.h"
#include "tools/owned/owned.h"

namespace {

constexpr std::string_view CHECK_PROGRAM = "maneshade-check";

// A line of the report about the file: its line in the file (0: the file as a whole), and what it
// is: a problem (a reason the game refuses the file), a note (what the game takes, but perhaps not as
// meant), or a cause (why the file reads otherwise than it looks: a note when the game takes it).
enum class Check_Kind { problem, cause, note };

struct Check_Finding {
  uint32_t line;
  Check_Kind kind;
  std::string text;
};

void check_add(std::vector<Check_Finding> *findings, uint32_t line, Check_Kind kind, std::string text) {
  findings->push_back({line, kind, std::move(text)});
}

std::string check_key_text(const Config_Key &key, std::string_view value) {
  return std::string(key.full_key) + " = " + check_visible(value);
}

// " (<words>)" on what `text` holds that a player cannot see or tell apart; "" when nothing.
std::string check_unseen_clause(std::string_view text) {
  std::string words = check_unseen_words(text);
  return words.empty() ? "" : " (" + words + ")";
}

// "a", "a and b", "a, b and c".
std::string check_listed(const std::vector<std::string_view> &names) {
  std::string out;
  for (size_t i = 0; i < names.size(); i++) {
    if (i > 0) out += i + 1 == names.size() ? " and " : ", ";
    out += names[i];
  }
  return out;
}

// The first line that looks like a header of `block` and that the game takes for none, when the
// block has no section: the cause of its missing keys, said there. Null otherwise.
const Config_Near_Header *check_block_cause(const Config_Diagnosis &d, size_t block) {
  if (!d.block_sections[block].empty() || d.empty_block_header[block].line != 0) return nullptr;
  for (const Config_Near_Header &near : d.near_headers) {
    if (near.block == block) return &near;
  }
  return nullptr;
}

// The section of `block` whose header comes first in the file; null when the block has none.
const Config_Place *check_first_section(const Config_Diagnosis &d, size_t block) {
  const std::vector<Config_Place> &sections = d.block_sections[block];
  auto first = std::min_element(sections.begin(), sections.end(),
                                [](const Config_Place &a, const Config_Place &b) { return a.line < b.line; });
  return first == sections.end() ? nullptr : &*first;
}

// What the diagnosis says of the missing keys of `block` (`missing`, misspelt ones aside): one line,
// at the block's first header, naming every key it lacks. A block written under several headers (its
// name in other letter case) is one section to the game, which refuses a key written under two of
// them: the line says to add each key under one only.
void check_missing(std::vector<Check_Finding> *findings, const Config_Diagnosis &d, size_t block,
                   const std::vector<std::string_view> &missing) {
  if (missing.empty()) return;
  std::string keys = (missing.size() == 1 ? " has no key " : " has no keys ") + check_listed(missing);
  if (const Config_Place *first = check_first_section(d, block)) {
    std::string text = "section " + check_bracketed(first->section) + keys;
    std::vector<Config_Place> others;
    for (const Config_Place &section : d.block_sections[block]) {
      if (&section != first) others.push_back(section);
    }
    std::sort(others.begin(), others.end(), [](const Config_Place &a, const Config_Place &b) { return a.line < b.line; });
    std::vector<std::string> twins;
    for (const Config_Place &section : others) {
      twins.push_back(check_bracketed(section.section) + " (line " + std::to_string(section.line) + ")");
    }
    if (!twins.empty()) {
      std::vector<std::string_view> named(twins.begin(), twins.end());
      text += std::string(", nor ") + (twins.size() == 1 ? "has " : "have ") + check_listed(named) +
              ", which the game reads as the same section: add " + (missing.size() == 1 ? "it" : "each") +
              " under one of these headers only (a key under two of them is a duplicate key, which the game refuses)";
    }
    check_add(findings, first->line, Check_Kind::problem, text);
    return;
  }
  const Config_Place &header = d.empty_block_header[block];
  if (header.line != 0) {
    // A header with nothing under it makes no section.
    check_add(findings, header.line, Check_Kind::problem, "section " + check_bracketed(header.section) + " holds no keys");
  } else if (!check_block_cause(d, block)) {
    check_add(findings, 0, Check_Kind::problem, "the file has no section " + check_bracketed(CONFIG_BLOCKS[block]));
  }
}

// Why a header's name is not the block's, in plain words, for each thing that keeps it from being so.
std::vector<std::string> check_near_header_reasons(const Config_Near_Header &near) {
  std::vector<std::string> why;
  if (near.white_space) {
    // Spaces of other kinds look like plain ones: named.
    std::vector<std::string> kinds;
    size_t spaces = 0;
    const char *at = near.written.data(), *end = at + near.written.size();
    while (at < end) {
      Utf8_Decoded d = utf8_decode(at, end);
      at += d.size;
      // An invisible one (a line separator) is named with the invisible characters below.
      if (!is_white_space(d.code_point) || check_is_invisible(d.code_point)) continue;
      spaces++;
      std::string name = check_white_space_name(d.code_point);
      if (!name.empty() && std::find(kinds.begin(), kinds.end(), name) == kinds.end()) kinds.push_back(name);
    }
    if (spaces > 0 && kinds.empty()) {
      why.push_back("the spaces inside the brackets are part of its name");
    } else if (spaces > 0) {
      std::vector<std::string_view> named(kinds.begin(), kinds.end());
      std::string listed = check_listed(named);
      why.push_back(spaces == 1 ? "the space inside the brackets, a " + listed + ", is part of its name"
                                : "the spaces inside the brackets, among them a " + listed + ", are part of its name");
    }
  }
  Check_Unseen unseen = check_unseen(near.written);
  if (!unseen.invisible.empty()) why.push_back("its name is " + unseen.invisible);
  for (const std::string &c : unseen.characters) why.push_back(c);
  if (unseen.more) {
    why.push_back("and " + std::to_string(unseen.more) + " more look-alike character" + (unseen.more == 1 ? "" : "s"));
  }
  if (near.bracket) {
    why.push_back("the game takes a name from the first [ up to the first ], so the second [ is part of its name");
  }
  if (near.differs_at) {
    std::string_view block = CONFIG_BLOCKS[near.block];
    Utf8_Decoded d = utf8_decode(near.differs.data(), near.differs.data() + near.differs.size());
    std::string character = check_visible(near.differs);
    if (d.size > 1) character += " (" + check_code_point(d.code_point) + ")";
    why.push_back("its " + check_ordinal(near.differs_at) + " character is " + character + ", where " +
                  check_bracketed(block) + " has " + std::string(1, block[near.differs_at - 1]));
  }
  return why;
}

// Lines that look like a block's header to a player and are none to the game.
void check_near_headers(std::vector<Check_Finding> *findings, const Config_Diagnosis &d) {
  for (const Config_Near_Header &near : d.near_headers) {
    std::string block = check_bracketed(CONFIG_BLOCKS[near.block]);
    bool cause = check_block_cause(d, near.block) == &near;
    std::string text;
    if (near.skipped) {
      Check_Unseen unseen = check_unseen(near.written, "this line's");
      std::vector<std::string_view> parts(unseen.characters.begin(), unseen.characters.end());
      text = unseen.invisible.empty() ? "" : "this line is " + unseen.invisible;
      for (std::string_view part : parts) text += (text.empty() ? "" : "; ") + std::string(part);
      if (near.written.find("\xEF\xBB\xBF") != std::string::npos) text += " (as when one file is pasted into another)";
      text += ": the game takes it for no section header and skips it, so the keys below it ";
      std::string lowered = near.place.section;
      for (char &c : lowered) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
      if (near.place.section.empty()) {
        text += "stand before any section, where the game ignores them";
      } else if (config_is_block_section(lowered)) {
        text += "count as " + check_bracketed(near.place.section) + "'s";
      } else {
        text += "stay in " + check_bracketed(near.place.section) + ", which the game ignores";
      }
    } else {
      std::vector<std::string> why = check_near_header_reasons(near);
      text = "section " + check_bracketed(near.written) + " is not " + block + " (";
      for (size_t i = 0; i < why.size(); i++) text += (i ? "; " : "") + why[i];
      text += "): the game ignores it and the keys under it";
    }
    if (cause) text += ", and the file has no section " + block;
    check_add(findings, near.place.line, cause ? Check_Kind::problem : Check_Kind::note, text);
  }
}

// Whether a line between `first` and `last` looks like a header but is skipped by the game: then
// what follows it counts in the section above, and that line says so.
bool check_skipped_header_between(const Config_Diagnosis &d, uint32_t first, uint32_t last) {
  for (const Config_Near_Header &near : d.near_headers) {
    if (near.skipped && near.place.line > first && near.place.line < last) return true;
  }
  return false;
}

// Why `value`, converted for `key`, fails: "not an integer", "not yes, no, true or false".
std::string check_failure_text(Config_Failure failure) {
  return failure == CONFIG_NOT_AN_INTEGER ? "not an integer" : "not yes, no, true or false";
}

// What the diagnosis says of the value of `key`, which is in the file once, in one section.
void check_value(std::vector<Check_Finding> *findings, const Config_Diagnosis &d, const Config_Key &key,
                 const Config_Key_Finding &finding) {
  const Config_Place &counts = finding.places.back();
  for (size_t i = 0; i + 1 < finding.places.size(); i++) {
    if (check_skipped_header_between(d, finding.places[i].line, counts.line)) continue;
    check_add(findings, finding.places[i].line, Check_Kind::note,
              std::string(key.field_name()) + " is written again on line " + std::to_string(counts.line) +
                  ", which is the one that counts: the game ignores this line");
  }
  if (finding.failure == CONFIG_OK) {
    if (!finding.outside) return;
    std::string text = check_key_text(key, finding.value) + " is outside 0..255: the game uses ";
    if (finding.past_32_bits) {
      text += std::to_string(finding.used) + " (it keeps the low 32 bits of a number past 32 bits, " +
              std::to_string(finding.converted) + " as a signed number, then takes its absolute value modulo 256)";
    } else {
      text += std::to_string(finding.used);
    }
    check_add(findings, counts.line, Check_Kind::note, text);
    return;
  }
  std::string text = check_key_text(key, finding.value) + ": " + check_failure_text(finding.failure) + check_unseen_clause(finding.value);
  if (!finding.unquoted.empty()) {
    text += "; a quoted value takes no note after it, so its quotes stay part of it";
    if (finding.unquoted_converts && check_visible(finding.unquoted) == finding.unquoted) {
      text += ": write " + finding.unquoted;
    } else {
      text += ", and without them " + check_visible(finding.unquoted_value) + " is " + check_failure_text(finding.failure) + " either";
    }
  }
  check_add(findings, counts.line, Check_Kind::problem, text);
}

// Carriage returns that end no line: what the game makes of the lines they seem to end.
void check_lone_crs(std::vector<Check_Finding> *findings, const Config_Diagnosis &d) {
  for (const Config_Lone_Cr &cr : d.lone_crs) {
    std::string text;
    if (d.line_count == 1) {
      text = "the lines of this file end in CR alone (\\r, as some old Mac editors save them): the game ends a line "
             "only at \\n or \\r\\n, so it reads the whole file as one line: save it with Windows (CRLF) line ends";
    } else {
      text = "this line holds " + std::to_string(cr.count) + (cr.count == 1 ? " line end" : " line ends") +
             " of CR alone (\\r): the game ends a line only at \\n or \\r\\n, so it reads what looks like " +
             std::to_string(cr.count + 1) + " lines as this one line";
    }
    check_add(findings, cr.line, Check_Kind::cause, text);
  }
}

// "a U+2028 LINE SEPARATOR", "2 U+2029 PARAGRAPH SEPARATOR characters", "3 line and paragraph
// separators (U+2028 LINE SEPARATOR, U+2029 PARAGRAPH SEPARATOR)".
std::string check_separators_words(const Config_Line_Separators &s) {
  if (s.code_points.size() == 1) {
    std::string name = check_line_separator_name(s.code_points[0]);
    return s.count == 1 ? "a " + name : std::to_string(s.count) + " " + name + " characters";
  }
  std::vector<std::string> names;
  for (uint32_t c : s.code_points) names.push_back(check_line_separator_name(c));
  std::vector<std::string_view> named(names.begin(), names.end());
  return std::to_string(s.count) + " line and paragraph separators (" + check_listed(named) + ")";
}

// Line and paragraph separators: some editors show a line end there, the game none.
void check_separators(std::vector<Check_Finding> *findings, const Config_Diagnosis &d) {
  for (const Config_Line_Separators &s : d.separators) {
    std::string text = "this line holds " + check_separators_words(s) +
                       ", which some editors show as a line end: the game ends a line only at \\n or \\r\\n, so it "
                       "reads what looks like " + std::to_string(s.count + 1) + " lines as this one line, ";
    switch (s.kind) {
      case Ini_Line_Kind::comment: text += "a note (it starts with ;), which it skips"; break;
      case Ini_Line_Kind::header: text += "the header of section " + check_bracketed(s.section); break;
      case Ini_Line_Kind::pair:
        text += check_visible(s.key) + " = " + check_visible(s.value);
        if (s.note) text += ", the rest after its ; a note";
        break;
      case Ini_Line_Kind::skipped: text += "which it skips, as it holds no ="; break;
    }
    check_add(findings, s.line, Check_Kind::cause, text);
  }
}

// Every problem and note of the diagnosis, in the file's order (problems first on a line, then
// causes, then notes); the count of keys at fault in `*problems`.
std::vector<Check_Finding> check_findings(const Config_Diagnosis &d, size_t *problems) {
  std::vector<Check_Finding> findings;
  *problems = d.duplicates.size();
  for (const Config_Duplicate &duplicate : d.duplicates) {
    std::string key = check_visible(duplicate.full_key);
    std::string unseen = check_unseen_clause(duplicate.full_key.substr(duplicate.full_key.find('.') + 1));
    for (const Config_Place &place : duplicate.places) {
      std::string text = "duplicate key " + key + unseen + ", in " + check_bracketed(place.section);
      // Not "ignored" as an unknown key elsewhere: a duplicate refuses the file, whatever its key.
      if (!duplicate.expected) text += "; though none of the game's keys, a key that two sections hold refuses the file";
      check_add(&findings, place.line, Check_Kind::problem, text);
    }
  }
  std::vector<std::string_view> missing[CONFIG_BLOCK_COUNT];
  for (size_t i = 0; i < d.keys.size(); i++) {
    const Config_Key &key = CONFIG_KEYS[i];
    const Config_Key_Finding &finding = d.keys[i];
    if (finding.failure == CONFIG_DUPLICATE_KEY) continue;  // said above
    if (finding.failure != CONFIG_OK) ++*problems;
    if (finding.failure != CONFIG_MISSING_KEY) {
      check_value(&findings, d, key, finding);
    } else if (finding.misspelt.line != 0) {
      check_add(&findings, finding.misspelt.line, Check_Kind::problem,
                check_visible(finding.misspelt_written) + " is not a key of " + check_bracketed(finding.misspelt.section) +
                    check_unseen_clause(finding.misspelt_written) + "; did you mean " + std::string(key.field_name()) + "?");
    } else {
      missing[config_block_index(key.section())].push_back(key.field_name());
    }
  }
  for (size_t block = 0; block < CONFIG_BLOCK_COUNT; block++) check_missing(&findings, d, block, missing[block]);
  for (const Config_Unknown_Key &unknown : d.unknown) {
    check_add(&findings, unknown.place.line, Check_Kind::note,
              check_visible(unknown.written) + " is not a key of " + check_bracketed(unknown.place.section) +
                  check_unseen_clause(unknown.written) + "; the game ignores it");
  }
  check_near_headers(&findings, d);
  check_lone_crs(&findings, d);
  check_separators(&findings, d);
  for (const auto &[line, text] : d.lookalike_pairs) {
    check_add(&findings, line, Check_Kind::cause,
              "the game skips this line, which holds no = (" + check_unseen_words(text) + ")");
  }
  for (uint32_t line : d.stray_marks) {
    check_add(&findings, line, Check_Kind::note,
              "an invisible U+FEFF BYTE ORDER MARK in this line, as when one file is pasted into another; the game "
              "skips the line");
  }
  std::stable_sort(findings.begin(), findings.end(), [](const Check_Finding &a, const Check_Finding &b) {
    uint32_t la = a.line ? a.line : UINT32_MAX, lb = b.line ? b.line : UINT32_MAX;  // the file as a whole last
    return la != lb ? la < lb : a.kind < b.kind;
  });
  return findings;
}

// The findings as report lines; a cause is labelled a note when the game takes the file. With
// `counted_only`, for a file that is no text (a shortcut, an archive), whose lines mean nothing, only
// the count of problems.
void check_explain(std::string *report, std::string_view path, const Config_Diagnosis &d, size_t *problems,
                   bool counted_only = false) {
  for (const Check_Finding &f : check_findings(d, problems)) {
    if (counted_only) continue;
    bool note = f.kind == Check_Kind::note || (f.kind == Check_Kind::cause && d.status.ok());
    check_write(report, check_where(path, f.line) + (note ? "note: " : "") + f.text + "\n");
  }
}

// Where the game stops: the first problem in its own order, which is the verdict's.
std::string check_stops_at(const Config_Diagnosis &d) {
  if (d.status.content == CONFIG_DUPLICATE_KEY) return "at the first duplicate key it meets";
  if (d.status.key_index < 0 || static_cast<size_t>(d.status.key_index) >= d.keys.size()) return "";
  const Config_Key &key = CONFIG_KEYS[d.status.key_index];
  const Config_Key_Finding &finding = d.keys[d.status.key_index];
  uint32_t line = finding.misspelt.line ? finding.misspelt.line : !finding.places.empty() ? finding.places.back().line : 0;
  size_t block = config_block_index(key.section());
  const Config_Place *first = check_first_section(d, block);
  if (!line && finding.failure == CONFIG_MISSING_KEY && first) line = first->line;
  if (!line && finding.failure == CONFIG_MISSING_KEY) line = d.empty_block_header[block].line;
  const Config_Near_Header *cause = check_block_cause(d, block);
  if (!line && finding.failure == CONFIG_MISSING_KEY && cause) line = cause->place.line;
  return "at the first in its own order (" + std::string(key.full_key) + (line ? ", line " + std::to_string(line) : std::string()) + ")";
}

std::string check_enabled_summary(const Config &config) {
  std::string summary;
  for (const Config_Key &key : CONFIG_KEYS) {
    if (key.field != &Character_Config::enabled) continue;
    if (!summary.empty()) summary.append(", ");
    summary.append(key.section());
    summary.append((config.*key.block).enabled ? " on" : " off");
  }
  return summary;
}

// The line (1-based) of the byte at `offset` of `text`.
size_t check_line_of(std::string_view text, size_t offset) {
  size_t line = 1;
  for (size_t i = 0; i < offset && i < text.size(); i++) line += text[i] == '\n';
  return line;
}

// Whether `bytes` are UTF-32, in words: "is UTF-32 (little endian, with a byte-order mark)", "looks like
// UTF-32 (big endian) without a byte-order mark"; "" when not. ASCII text saved as UTF-32 has three
// NULs in every four bytes.
std::string_view check_utf32(std::string_view bytes) {
  using namespace std::string_view_literals;
  if (bytes.starts_with("\xFF\xFE\0\0"sv)) return "is UTF-32 (little endian, with a byte-order mark)";
  if (bytes.starts_with("\0\0\xFE\xFF"sv)) return "is UTF-32 (big endian, with a byte-order mark)";
  if (bytes.size() < 8 || bytes.size() % 4 != 0) return "";
  size_t nul[4] = {};
  for (size_t i = 0; i < bytes.size(); i++) nul[i % 4] += bytes[i] == '\0';
  size_t half = bytes.size() / 8;  // half of the bytes at each of the four places
  if (nul[1] > half && nul[2] > half && nul[3] > half && nul[0] <= half) {
    return "looks like UTF-32 (little endian) without a byte-order mark";
  }
  if (nul[0] > half && nul[1] > half && nul[2] > half && nul[3] <= half) {
    return "looks like UTF-32 (big endian) without a byte-order mark";
  }
  return "";
}

// ASCII text saved as UTF-16 has a NUL in every other byte: where most odd bytes are NUL, little
// endian; where most even ones are, big endian.
bool check_utf16_unmarked(std::string_view bytes, Utf16_Order *order) {
  if (bytes.size() < 4 || bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) return false;
  size_t nul_even = 0, nul_odd = 0;
  for (size_t i = 0; i < bytes.size(); i++) {
    if (bytes[i] == '\0') (i % 2 ? nul_odd : nul_even)++;
  }
  size_t odd_bytes = bytes.size() / 2, even_bytes = bytes.size() - odd_bytes;
  if (nul_odd * 2 > odd_bytes) *order = Utf16_Order::little_endian;
  if (nul_even * 2 > even_bytes) *order = Utf16_Order::big_endian;
  return nul_odd * 2 > odd_bytes || nul_even * 2 > even_bytes;
}

// The text of UTF-32 `bytes` (check_utf32 said they are) as UTF-8, its mark left out.
std::string check_utf8_from_utf32(std::string_view bytes) {
  using namespace std::string_view_literals;
  bool big = bytes.starts_with("\0\0\xFE\xFF"sv) || (!bytes.starts_with("\xFF\xFE\0\0"sv) && bytes[0] == '\0');
  std::string out;
  for (size_t at = 0; at + 4 <= bytes.size(); at += 4) {
    uint32_t c = 0;
    for (size_t i = 0; i < 4; i++) {
      uint32_t byte = static_cast<unsigned char>(bytes[at + (big ? i : 3 - i)]);
      c = c << 8 | byte;
    }
    if (c == 0xFEFF && at == 0) continue;
    char sequence[UTF8_MAX_SEQUENCE_BYTES];
    out.append(sequence, utf8_encode(c, sequence));
  }
  return out;
}

// Plain words about an encoding that the game does not read as the player meant; the module reads
// such files all the same (and refuses them, or takes keys it does not know). `used`: the game would use
// the file. True for a file that is plainly no text (check_binary_kind).
bool check_explain_encoding(Arena *scratch, std::string *report, std::string_view path, std::string_view bytes,
                            std::string_view text, bool used) {
  // A shortcut or an archive renamed: no encoding makes a settings file of it.
  Check_Binary binary = check_binary_kind(bytes);
  if (binary == Check_Binary::shortcut) {
    check_write(report, check_where(path, 0) + "the file is a Windows shortcut, not a settings file, and the game "
                                               "follows no shortcut: put the settings file it leads to here instead\n");
    return true;
  }
  bool holds = binary == Check_Binary::zip_archive && check_zip_holds(bytes, CONFIG_FILE_NAME);
  if (binary == Check_Binary::zip_archive && used) {
    // A file stored in the archive uncompressed stands in it as it is: the game reads the archive as
    // text and finds its settings among the other bytes.
    check_write(report, check_where(path, 0) + "note: the file is a ZIP archive, which the game reads as text: it "
                                               "finds settings among its bytes (a file stored in it uncompressed) and "
                                               "uses them; to edit them, extract " +
                            std::string(holds ? "the ManeShade.ini it holds" : "that file") + " and put it here instead\n");
    return true;
  }
  if (binary == Check_Binary::zip_archive) {
    check_write(report, check_where(path, 0) +
                            (holds ? "the file is a ZIP archive, not a settings file, and the game does not unpack "
                                     "archives: extract the ManeShade.ini it holds and put it here instead\n"
                                   : "the file is a ZIP archive, not a settings file, and it holds no ManeShade.ini\n"));
    return true;
  }
  // UTF-32's mark FF FE 00 00 starts with UTF-16's: the game reads such a file as UTF-16.
  std::string_view utf32 = check_utf32(bytes);
  if (!utf32.empty()) {
    check_write(report, check_where(path, 0) + "the file " + std::string(utf32) +
                            ", an encoding the game does not decode: save it as UTF-8, or as UTF-16 with a "
                            "byte-order mark\n");
    return false;
  }
  if (text.data() != bytes.data()) return false;  // UTF-16 with its mark: read as the player meant
  Utf16_Order order = Utf16_Order::little_endian;
  if (check_utf16_unmarked(bytes, &order)) {
    check_write(report, check_where(path, 0) + "the file looks like UTF-16 without a byte-order mark: save it as UTF-8 "
                                               "(in Notepad: Save as, Encoding UTF-8)\n");
    return false;
  }
  if (bytes.find('\0') != std::string_view::npos) {
    check_write(report, check_where(path, check_line_of(bytes, bytes.find('\0'))) +
                            "the file holds NUL bytes, which no text editor writes in a settings file: save it as "
                            "UTF-8 (in Notepad: Save as, Encoding UTF-8)\n");
    return false;
  }
  Ini_Iterator it = ini_iterator(scratch, text, CONFIG_FILE_INI_OPTIONS);
  Ini_Line line;
  while (ini_next_line(&it, &line)) {
    // A section's name or a key: where the game's names stand.
    std::string_view name = line.kind == Ini_Line_Kind::header ? line.section
                            : line.kind == Ini_Line_Kind::pair ? line.written_key
                                                               : std::string_view("");
    if (utf8_is_valid(name)) continue;
    check_write(report, check_where(path, line.number) + "this " +
                            (line.kind == Ini_Line_Kind::header ? "section name" : "key") +
                            " is not valid UTF-8, so it cannot be one of the game's: the file may be saved in another "
                            "encoding (ANSI); save it as UTF-8 (in Notepad: Save as, Encoding UTF-8)\n");
    return false;
  }
  return false;
}

void check_explain_size(std::string *report, std::string_view path, uint64_t size_bytes) {
  check_write(report, check_where(path, 0) + "the file is " + std::to_string(size_bytes) +
                          " bytes long; a settings file is a few kilobytes, and the game reads none larger than " +
                          std::to_string(CONFIG_FILE_MAX_BYTES) + " bytes\n");
}

// The player's line for `status`, "Mane Shade: <message>", and a line end.
std::string check_game_line(const Config_Status &status) { return check_player_line(reload_message(status)) + "\n"; }

// Why the file cannot be read, and the line the game would show for it. `looked`: the look at its time
// and size found it, and the open or the read failed. `in_game`: one problem line of --game's form,
// "<path>: problem: ...", instead of the program's own lines.
int check_unreadable(FILE *err, std::string_view path, const Status &status, bool looked, bool in_game) {
  std::string start = in_game ? check_where(path, 0) + "problem: " : std::string(CHECK_PROGRAM) + ": cannot read " + check_visible(path) + ": ";
  if (status.failure == FAILURE_CHANGED) {
    check_write(err, start + "it changed while it was read (a save in progress?); run maneshade-check again\n");
    return CHECK_EXIT_NOT_CHECKED;
  }
  if (status.failure == FAILURE_OUT_OF_MEMORY) throw std::bad_alloc();
  std::string reason = check_reason(status.os_error);
  // No file there: the game, reading the folder it runs in, looks beside ManeShade.asi next.
  std::string shows = "the game would show";
  if (settings_look_finds_no_file(status)) {
    shows = "the game would show, unless it finds a ManeShade.ini beside ManeShade.asi";
  } else if (looked) {
    // The game reads a file only when its time or size differ from the version it read last.
    shows = "a running game that has read this version of the file (the same time and size) keeps it and shows "
            "nothing; while the file stays so, a game that starts, or finds it saved again, would show";
  }
  if (in_game) {
    check_write(err, start + "cannot read it: " + reason + "; " + shows + " \"" + check_player_line(reload_message(status)) + "\"\n");
  } else {
    check_write(err, start + reason + "\n" + std::string(CHECK_PROGRAM) + ": " + shows + ":\n" + check_game_line(status));
  }
  return CHECK_EXIT_NOT_CHECKED;
}

// The diagnosis of what a load read, with the module's log silent (the load logged it already).
void check_diagnose(Arena *scratch, std::string_view text, Config_Diagnosis *diagnosis) {
  Log_Sink quiet = log_set_sink({});
  try {
    config_diagnose(scratch, text, diagnosis);
  } catch (...) {
    log_set_sink(quiet);
    throw;
  }
  log_set_sink(quiet);
  if (diagnosis->status.runtime.failure == FAILURE_OUT_OF_MEMORY) throw std::bad_alloc();
}

// The report on a refused file's content: every problem and note, then the game's line and where
// the game stops.
void check_explain_refusal(std::string *report, std::string_view path, const Config_Diagnosis &d,
                           const Config_Status &verdict, bool counted_only) {
  size_t problems = 0;
  check_explain(report, path, d, &problems, counted_only);
  // Appended piece by piece: g++ 12 for mingw-w64 gives a false -Wrestrict for a literal plus a string.
  std::string line = check_where(path, 0);
  line.append(std::to_string(problems)).append(problems == 1 ? " problem" : " problems");
  line.append("; the game would refuse this file");
  if (problems > 1) line.append(" ").append(check_stops_at(d));
  line.append(" and show:\n").append(check_game_line(verdict));
  check_write(report, line);
}

}  // namespace

Check_Binary check_binary_kind(std::string_view bytes) {
  using namespace std::string_view_literals;
  // A shell link starts with its header's size, 0x4C, and the shell link class {00021401-0000-...}.
  if (bytes.starts_with("\x4C\0\0\0\x01\x14\x02\0"sv)) return Check_Binary::shortcut;
  // A ZIP archive starts with a local file header, or is empty: its end record alone.
  if (bytes.starts_with("PK\x03\x04"sv) || bytes.starts_with("PK\x05\x06"sv)) return Check_Binary::zip_archive;
  return Check_Binary::none;
}

bool check_zip_holds(std::string_view bytes, std::string_view name) {
  // Each central directory entry: its signature, the name's length at offset 28 and the name at 46.
  constexpr std::string_view ENTRY = "PK\x01\x02";
  constexpr size_t NAME_LENGTH_AT = 28, NAME_AT = 46;
  for (size_t at = bytes.find(ENTRY); at != std::string_view::npos; at = bytes.find(ENTRY, at + 1)) {
    if (bytes.size() - at < NAME_AT) break;
    auto length = static_cast<size_t>(static_cast<unsigned char>(bytes[at + NAME_LENGTH_AT]) |
                                      static_cast<unsigned char>(bytes[at + NAME_LENGTH_AT + 1]) << 8);
    if (bytes.size() - at - NAME_AT < length) continue;
    std::string_view entry = bytes.substr(at + NAME_AT, length);
    entry = entry.substr(entry.find_last_of("/\\") == std::string_view::npos ? 0 : entry.find_last_of("/\\") + 1);
    if (entry.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; i++) {
      auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
      same = lower(entry[i]) == lower(name[i]);
    }
    if (same) return true;
  }
  return false;
}

std::string check_misencoded_settings(std::string_view bytes) {
  std::string_view utf32 = check_utf32(bytes);
  Utf16_Order order = Utf16_Order::little_endian;
  std::string text, words;
  if (!utf32.empty()) {
    text = check_utf8_from_utf32(bytes);
    // "is UTF-32 (...)", "looks like UTF-32 (...) without a byte-order mark": the encoding alone.
    words = utf32.substr(utf32.find("UTF-32"));
  } else if (check_utf16_unmarked(bytes, &order)) {
    Owned<Arena> scratch;
    std::string_view decoded = utf8_from_utf16(scratch.get(), bytes, order);
    if (!decoded.data()) throw std::bad_alloc();
    text = decoded;
    words = "UTF-16 without a byte-order mark";
  }
  return !words.empty() && check_holds_block_header(text) ? words : "";
}

bool check_holds_block_header(std::string_view text) {
  Owned<Arena> scratch;
  Ini_Iterator it = ini_iterator(scratch.get(), text, CONFIG_FILE_INI_OPTIONS);
  Ini_Line line;
  while (ini_next_line(&it, &line)) {
    if (line.kind != Ini_Line_Kind::header) continue;
    Arena_Mark mark = arena_mark(scratch.get());
    std::string_view lowered = lower_from_utf8(scratch.get(), line.section);
    if (!lowered.data()) throw std::bad_alloc();
    if (config_is_block_section(lowered)) return true;
    arena_pop_to(scratch.get(), mark);
  }
  if (!it.status.ok()) throw std::bad_alloc();
  return false;
}

namespace {

int check_file_as(std::string_view path, bool dump, FILE *out, FILE *err, bool in_game) {
  Owned<Arena> scratch;
  // The reloader's own steps, in its order, so that each failure shows the game's line for it.
  Result<File_Stamp> looked = platform_file_stamp(scratch.get(), path);
  if (!looked.ok()) return check_unreadable(err, path, looked.status(), false, in_game);
  // The module's log records say less than the report: they are left out.
  Log_Sink previous = log_set_sink({});
  Settings_Load load = settings_file_load(scratch.get(), path, looked.value());
  log_set_sink(previous);
  const Status &runtime = load.status.runtime;
  if (runtime.failure == FAILURE_TOO_LARGE) {
    std::string report;
    check_explain_size(&report, path, looked.value().size_bytes);
    check_write(&report, check_where(path, 0) + "the game would refuse this file and show:\n" + check_game_line(load.status));
    check_write(err, report);
    // Refused unread: the JSON still gives the game's line, and no sections.
    if (dump) check_write(out, check_dump_json(nullptr, reload_message(load.status), nullptr) + "\n");
    return CHECK_EXIT_REFUSED;
  }
  if (!runtime.ok()) return check_unreadable(err, path, runtime, true, in_game);

  std::string report;
  bool binary = check_explain_encoding(scratch.get(), &report, path, load.read.bytes, load.read.text, load.status.ok());
  Config_Diagnosis diagnosis{};
  check_diagnose(scratch.get(), load.read.text, &diagnosis);
  int exit_status = CHECK_EXIT_INSTALLED;
  if (load.status.ok()) {
    size_t problems = 0;
    check_explain(&report, path, diagnosis, &problems, binary);  // notes only
    check_write(&report, check_where(path, 0) + "ok: the game would use this file (" + check_enabled_summary(load.config) + ")\n");
  } else {
    exit_status = CHECK_EXIT_REFUSED;
    check_explain_refusal(&report, path, diagnosis, load.status, binary);
  }
  check_write(err, report);
  if (dump) {
    check_write(out, check_dump_json(diagnosis.sections.get(), reload_message(load.status), load.status.ok() ? &load.config : nullptr) + "\n");
  }
  return exit_status;
}

}  // namespace

int check_file(std::string_view path, bool dump, FILE *out, FILE *err) { return check_file_as(path, dump, out, err, false); }

int check_file_in_game(std::string_view path, FILE *err) { return check_file_as(path, false, err, err, true); }

std::string check_explain_load(std::string_view path, const Config_Status &status, const Settings_Text &read, uint64_t size_bytes) {
  std::string report;
  const Status &runtime = status.runtime;
  if (runtime.failure == FAILURE_TOO_LARGE) {
    check_explain_size(&report, path, size_bytes);
    return report;
  }
  if (runtime.failure == FAILURE_CHANGED) {
    check_write(&report, check_where(path, 0) + "it changed while it was read (a save in progress?)\n");
    return report;
  }
  if (runtime.failure == FAILURE_OUT_OF_MEMORY) throw std::bad_alloc();
  if (!runtime.ok()) {
    std::string beside = settings_look_finds_no_file(runtime) ? " (the game then looks for a ManeShade.ini beside "
                                                                "ManeShade.asi, and shows this only if it finds none "
                                                                "there either)"
                                                              : "";
    check_write(&report, check_where(path, 0) + "cannot read it: " + check_reason(runtime.os_error) + beside + "\n");
    return report;
  }
  if (status.ok()) return report;
  Owned<Arena> scratch;
  bool binary = check_explain_encoding(scratch.get(), &report, path, read.bytes, read.text, false);
  Config_Diagnosis diagnosis{};
  check_diagnose(scratch.get(), read.text, &diagnosis);
  size_t problems = 0;
  check_explain(&report, path, diagnosis, &problems, binary);
  return report;
}
