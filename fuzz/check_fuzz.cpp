// Fuzzes the validator against the module, on files up to past the 1 MiB bound: config_diagnose
// must reach the module's verdict (config_from_text) on any bytes, and every place it reports
// must be true of the file: lines that exist, of the kind and section it says, that wrote the key it
// names, and all of them; misspelt keys paired closest first. Then maneshade-check --dump itself
// (check_main, in-process on the in-memory platform) must exit 0 for a file the module installs and
// 1 for one it refuses, naming the line the game would show, write one line of JSON for either, and
// write nothing that a terminal would act on, nor in the report an invisible character.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "encoding/ini/ini.h"
#include "fuzz/fuzz_support.h"
#include "runtime/arena.h"
#include "runtime/text.h"
#include "src/config/messages.h"
#include "src/config/schema.h"
#include "src/config/settings_file.h"
#include "tests/check/check_capture.h"
#include "tests/support/fake_platform.h"
#include "tests/support/std_sections.h"
#include "tools/check/check_main.h"
#include "tools/check/check_unseen.h"
#include "tools/check/config_diagnose.h"

namespace {

// One line as the reader read it, kept (the iterator's views last only until the next line).
struct Fuzz_Line {
  Ini_Line_Kind kind;
  std::string section;
  std::string key;
  std::string value;
  bool last_write;  // pair: no later line of its section writes its key, so the map kept this value
};

std::vector<Fuzz_Line> fuzz_lines_of(std::string_view text) {
  std::vector<Fuzz_Line> lines;
  Arena arena{};
  Ini_Iterator it = ini_iterator(&arena, text, CONFIG_FILE_INI_OPTIONS);
  Ini_Line line;
  while (ini_next_line(&it, &line)) {
    fuzz_check(line.number == lines.size() + 1);
    lines.push_back({line.kind, std::string(line.section), std::string(line.key), std::string(line.value), false});
  }
  fuzz_check(it.status.ok());
  arena_destroy(&arena);
  std::set<std::pair<std::string_view, std::string_view>> written;
  for (size_t i = lines.size(); i-- > 0;) {
    if (lines[i].kind != Ini_Line_Kind::pair) continue;
    lines[i].last_write = written.insert({lines[i].section, lines[i].key}).second;
  }
  return lines;
}

std::string fuzz_lower(std::string_view text) {
  Arena arena{};
  std::string lowered(lower_from_utf8(&arena, text));
  arena_destroy(&arena);
  return lowered;
}

// The full key that a pair line writes, as the flattening makes it; "" outside the blocks.
std::string fuzz_full_key(const Fuzz_Line &line) {
  std::string section = fuzz_lower(line.section);
  if (line.kind != Ini_Line_Kind::pair || !config_is_block_section(section)) return "";
  return section + "." + fuzz_lower(line.key);
}

const Fuzz_Line &fuzz_line_at(const std::vector<Fuzz_Line> &lines, uint32_t number) {
  fuzz_check(number >= 1 && number <= lines.size());
  return lines[number - 1];
}

void fuzz_check_duplicates(const Config_Diagnosis &d, const std::vector<Fuzz_Line> &lines, const Std_Sections &map) {
  if (d.status.content != CONFIG_DUPLICATE_KEY) {
    fuzz_check(d.duplicates.empty());
    return;
  }
  // Every full key that two sections hold, from the map.
  std::set<std::string> held_twice, reported;
  std::set<std::string> held;
  for (const auto &[name, keys] : map) {
    std::string section = fuzz_lower(name);
    if (!config_is_block_section(section)) continue;
    for (const auto &[key, value] : keys) {
      std::string full = section + "." + fuzz_lower(key);
      if (!held.insert(full).second) held_twice.insert(full);
    }
  }
  uint32_t previous_first = 0;
  for (const Config_Duplicate &duplicate : d.duplicates) {
    fuzz_check(duplicate.places.size() >= 2);
    fuzz_check(duplicate.places[0].line > previous_first);
    previous_first = duplicate.places[0].line;
    fuzz_check(reported.insert(duplicate.full_key).second);
    std::set<std::string> sections;
    uint32_t previous = 0;
    for (const Config_Place &place : duplicate.places) {
      fuzz_check(place.line > previous);
      previous = place.line;
      fuzz_check(sections.insert(place.section).second);  // each section once, with its kept line
      const Fuzz_Line &line = fuzz_line_at(lines, place.line);
      fuzz_check(line.section == place.section && fuzz_full_key(line) == duplicate.full_key);
      fuzz_check(line.last_write);
      fuzz_check(map.at(place.section).at(line.key) == line.value);
    }
  }
  fuzz_check(reported == held_twice);
}

void fuzz_check_blocks(const Config_Diagnosis &d, const std::vector<Fuzz_Line> &lines, const Std_Sections &map) {
  for (size_t block = 0; block < CONFIG_BLOCK_COUNT; block++) {
    std::set<std::string> names;  // byte order, as reported
    for (const auto &[name, keys] : map) {
      if (fuzz_lower(name) == CONFIG_BLOCKS[block]) names.insert(name);
    }
    fuzz_check(d.block_sections[block].size() == names.size());
    size_t i = 0;
    for (const std::string &name : names) {
      const Config_Place &place = d.block_sections[block][i++];
      fuzz_check(place.section == name);
      // The line of the section's first header.
      const Fuzz_Line &line = fuzz_line_at(lines, place.line);
      fuzz_check(line.kind == Ini_Line_Kind::header && line.section == name);
      for (uint32_t n = 1; n < place.line; n++) fuzz_check(!(lines[n - 1].kind == Ini_Line_Kind::header && lines[n - 1].section == name));
    }
    // No section of the block: its first header, if it has one (it held no pairs).
    uint32_t first_number = 0;
    for (uint32_t n = 1; n <= lines.size() && !first_number; n++) {
      if (lines[n - 1].kind == Ini_Line_Kind::header && fuzz_lower(lines[n - 1].section) == CONFIG_BLOCKS[block]) first_number = n;
    }
    const Config_Place &empty = d.empty_block_header[block];
    if (!names.empty() || !first_number) {
      fuzz_check(empty.line == 0);
      continue;
    }
    fuzz_check(empty.line == first_number && empty.section == lines[first_number - 1].section);
  }
}

// Misspelt keys pair with missing ones closest first: no key left unpaired, nor any pair, has a
// closer partner that is left unpaired; a duplicate is neither misspelt nor unknown.
void fuzz_check_pairing(const Config_Diagnosis &d) {
  auto distance = [](std::string_view written, const Config_Key &key) {
    return config_edit_distance(fuzz_lower(check_as_seen(written)), key.field_name(), 2);
  };
  auto duplicated = [&](size_t block, std::string_view key) {
    std::string full = std::string(CONFIG_BLOCKS[block]) + "." + std::string(key);
    for (const Config_Duplicate &duplicate : d.duplicates) {
      if (duplicate.full_key == full) return true;
    }
    return false;
  };
  for (const Config_Unknown_Key &unknown : d.unknown) {
    fuzz_check(!duplicated(config_block_index(fuzz_lower(unknown.place.section)), unknown.key));
  }
  for (size_t i = 0; i < CONFIG_KEY_COUNT; i++) {
    const Config_Key &key = CONFIG_KEYS[i];
    const Config_Key_Finding &finding = d.keys[i];
    if (finding.failure != CONFIG_MISSING_KEY) continue;
    size_t block = config_block_index(key.section());
    size_t paired = finding.misspelt.line ? distance(finding.misspelt_written, key) : 3;
    if (finding.misspelt.line) fuzz_check(!duplicated(block, finding.misspelt_key));
    for (const Config_Unknown_Key &unknown : d.unknown) {
      if (config_block_index(fuzz_lower(unknown.place.section)) == block) fuzz_check(distance(unknown.written, key) >= paired);
    }
    if (!finding.misspelt.line) continue;
    for (size_t j = 0; j < CONFIG_KEY_COUNT; j++) {
      const Config_Key_Finding &other = d.keys[j];
      bool unpaired = other.failure == CONFIG_MISSING_KEY && !other.misspelt.line;
      if (unpaired && config_block_index(CONFIG_KEYS[j].section()) == block) {
        fuzz_check(distance(finding.misspelt_written, CONFIG_KEYS[j]) >= paired);
      }
    }
  }
}

// What the diagnosis says of lines a player reads otherwise than the game: true of those lines.
void fuzz_check_unseen_lines(const Config_Diagnosis &d, const std::vector<Fuzz_Line> &lines) {
  for (const Config_Near_Header &near : d.near_headers) {
    const Fuzz_Line &line = fuzz_line_at(lines, near.place.line);
    fuzz_check(line.kind == (near.skipped ? Ini_Line_Kind::skipped : Ini_Line_Kind::header));
    fuzz_check(near.block < CONFIG_BLOCK_COUNT);
    // A header that looks like a block's is none: its name is no block's.
    if (!near.skipped) fuzz_check(near.written == line.section && !config_is_block_section(fuzz_lower(line.section)));
  }
  for (const Config_Line_Separators &s : d.separators) {
    const Fuzz_Line &line = fuzz_line_at(lines, s.line);
    fuzz_check(s.count >= s.code_points.size() && !s.code_points.empty() && line.kind == s.kind);
    for (uint32_t c : s.code_points) fuzz_check(check_is_line_separator(c));
  }
  for (const auto &[number, text] : d.lookalike_pairs) {
    fuzz_check(fuzz_line_at(lines, number).kind == Ini_Line_Kind::skipped && text.find('=') == std::string::npos);
  }
}

// Every expected key: the lines that wrote it, and a verdict of its own that agrees with the module's.
void fuzz_check_keys(const Config_Diagnosis &d, const std::vector<Fuzz_Line> &lines, const Std_Sections &map) {
  fuzz_check(d.keys.size() == CONFIG_KEY_COUNT);
  for (size_t i = 0; i < CONFIG_KEY_COUNT; i++) {
    const Config_Key &key = CONFIG_KEYS[i];
    const Config_Key_Finding &finding = d.keys[i];
    // Every line that wrote the key in its block, in file order; the last is the one the module read.
    std::vector<uint32_t> wrote;
    for (uint32_t n = 1; n <= lines.size(); n++) {
      if (fuzz_full_key(lines[n - 1]) == key.full_key) wrote.push_back(n);
    }
    fuzz_check(finding.places.size() == wrote.size());
    for (size_t w = 0; w < wrote.size(); w++) {
      fuzz_check(finding.places[w].line == wrote[w] && finding.places[w].section == lines[wrote[w] - 1].section);
    }
    fuzz_check((finding.failure == CONFIG_MISSING_KEY) == wrote.empty());
    if (!wrote.empty() && finding.failure != CONFIG_DUPLICATE_KEY) {
      const Fuzz_Line &last = lines[wrote.back() - 1];
      fuzz_check(map.at(last.section).at(last.key) == last.value);
    }
    if (finding.misspelt.line) {
      const Fuzz_Line &line = fuzz_line_at(lines, finding.misspelt.line);
      fuzz_check(finding.failure == CONFIG_MISSING_KEY && line.kind == Ini_Line_Kind::pair && fuzz_lower(line.key) == finding.misspelt_key);
      fuzz_check(config_edit_distance(fuzz_lower(check_as_seen(finding.misspelt_written)), key.field_name(), 2) <= 2);
    }
  }
  fuzz_check_pairing(d);
  // The module stops at the first failure in its order: the diagnosis has found it, and none before it.
  if (d.status.ok() || d.status.content == CONFIG_DUPLICATE_KEY) {
    for (const Config_Key_Finding &finding : d.keys) fuzz_check(finding.failure == (d.status.ok() ? CONFIG_OK : finding.failure));
    return;
  }
  fuzz_check(d.keys[d.status.key_index].failure == d.status.content);
  for (int16_t i = 0; i < d.status.key_index; i++) fuzz_check(d.keys[i].failure == CONFIG_OK);
}

// maneshade-check --dump on a file holding `bytes`: its exit status, its report and its JSON.
int fuzz_run_check(std::string_view bytes, std::string *report, std::string *json) {
  Fake_Platform fake;
  fake.bytes = std::string(bytes);
  fake_platform_install(&fake);
  char *report_buffer = nullptr, *json_buffer = nullptr;
  size_t report_size = 0, json_size = 0;
  FILE *err = open_memstream(&report_buffer, &report_size);
  FILE *out = open_memstream(&json_buffer, &json_size);
  fuzz_check(err && out);
  std::string path(CONFIG_FILE_NAME);
  const char *argv[] = {"maneshade-check", "--dump", path.c_str(), nullptr};
  int status = check_main(3, argv, out, err);
  std::fclose(out);
  std::fclose(err);
  report->assign(report_buffer, report_size);
  json->assign(json_buffer, json_size);
  std::free(report_buffer);
  std::free(json_buffer);
  fake_platform_remove();
  return status;
}

// Every check above on one file's bytes.
void fuzz_check_file(std::string_view bytes) {
  Fuzz_Outcome module = fuzz_outcome(config_from_text(frame_scratch(), bytes));
  auto diagnosis = std::make_unique<Config_Diagnosis>();
  config_diagnose(frame_scratch(), bytes, diagnosis.get());
  fuzz_check(diagnosis->status == module.status);
  if (module.status.ok()) fuzz_check(fuzz_same_config(diagnosis->config, module.config));
  bool keyed = module.status.content == CONFIG_MISSING_KEY || module.status.content == CONFIG_NOT_A_TRUTH_VALUE ||
               module.status.content == CONFIG_NOT_AN_INTEGER;
  if (keyed) fuzz_check(module.status.key_index >= 0 && static_cast<size_t>(module.status.key_index) < CONFIG_KEY_COUNT);
  bool read = false;
  Std_Sections map = std_sections_of(bytes, CONFIG_FILE_INI_OPTIONS, &read);
  fuzz_check(read && std_sections(diagnosis->sections.value) == map);
  std::vector<Fuzz_Line> lines = fuzz_lines_of(bytes);
  fuzz_check_duplicates(*diagnosis, lines, map);
  fuzz_check_blocks(*diagnosis, lines, map);
  fuzz_check_keys(*diagnosis, lines, map);
  fuzz_check_unseen_lines(*diagnosis, lines);
  arena_release(frame_scratch());

  // The program reads the file as the game does: refused unread past the bound, else its text.
  Config_Status verdict = CONFIG_STATUS_OK;
  if (bytes.size() > CONFIG_FILE_MAX_BYTES) {
    verdict = status_fail(FAILURE_TOO_LARGE);
  } else {
    Result<std::string_view> text = settings_text_from_bytes(frame_scratch(), bytes);
    fuzz_check(text.ok());
    verdict = config_from_text(frame_scratch(), text.value()).status();
    arena_release(frame_scratch());
  }
  std::string report, json;
  int exit_status = fuzz_run_check(bytes, &report, &json);
  arena_release(frame_scratch());
  fuzz_check(exit_status == (verdict.ok() ? CHECK_EXIT_INSTALLED : CHECK_EXIT_REFUSED));
  if (!verdict.ok()) {
    std::string line = check_player_line(reload_message(verdict)) + "\n";
    fuzz_check(report.find("\n" + line) != std::string::npos);
  }
  fuzz_check(check_first_unsafe_byte(report) == std::string::npos && check_first_control_byte(json) == std::string::npos);
  // Every verdict has its JSON, one line; a file refused unread has no sections.
  std::string message = "\"message\":\"" + std::string(reload_message(verdict)) + "\"";
  fuzz_check(json.starts_with(verdict.ok() ? "{\"config\":{" : "{\"config\":null,") && json.ends_with("}\n"));
  fuzz_check(json.find('\n') == json.size() - 1 && json.find(message) != std::string::npos);
  fuzz_check(json.ends_with(",\"sections\":null}\n") == (verdict.runtime.failure == FAILURE_TOO_LARGE));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char *>(data), size);
  fuzz_check_file(bytes);
  // Now and then the same file grown by a note to about the bound, which mutation alone reaches
  // only slowly: a byte under, at, and a byte over.
  Fuzz_Random random = fuzz_random_from(bytes);
  if (size < CONFIG_FILE_MAX_BYTES && fuzz_one_in(&random, 32)) {
    size_t target = CONFIG_FILE_MAX_BYTES - 1 + fuzz_below(&random, 3);
    std::string grown(bytes);
    grown.append("\n;");
    if (grown.size() < target) grown.append(target - grown.size(), 'x');
    fuzz_check_file(grown);
  }
  return 0;
}
