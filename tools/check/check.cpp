// The validator; see check.h.
#include "tools/check/check.h"

#include <algorithm>
#include <map>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "runtime/arena.h"
#include "runtime/log.h"
#include "runtime/names.h"
#include "src/config/schema.h"
#include "tools/check/check_json.h"
#include "tools/check/check_lines.h"

namespace {

constexpr std::string_view CHECK_PROGRAM = "maneshade-check";

constexpr std::string_view CHECK_USAGE =
    "usage: maneshade-check [--dump] [FILE]\n"
    "Checks FILE (by default ManeShade.ini in the current folder) exactly as Mane Shade reads it.\n"
    "  --dump  also write what was read to standard output, as one line of JSON\n"
    "Exit status: 0 the game would use the file, 1 it would refuse it, 2 the file cannot be read.\n";

struct Check_Args {
  bool ok;
  bool dump;
  bool help;
  std::string_view path;
};

// What one run holds; released on every way out, the log sink put back.
struct Check_Run {
  Arena scratch{};
  File_Bytes bytes{};
  Log_Sink previous_sink{};
  bool sink_installed = false;

  Check_Run() = default;
  Check_Run(const Check_Run &) = delete;
  Check_Run &operator=(const Check_Run &) = delete;
  ~Check_Run() {
    if (sink_installed) log_set_sink(previous_sink);
    platform_free_file(&bytes);
    arena_destroy(&scratch);
  }
};

void check_write(FILE *file, std::string_view text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), file);
}

// Every record the module logs, as "<level>: <text>"; the call site means nothing to users.
void check_log_sink(void *user, const Log_Record *record) {
  FILE *err = static_cast<FILE *>(user);
  check_write(err, log_level_name(record->level));
  check_write(err, ": ");
  check_write(err, record->text);
  check_write(err, "\n");
}

Check_Args check_parse_args(int argc, const char *const *argv) {
  Check_Args args{true, false, false, CONFIG_FILE_NAME};
  bool options_done = false;
  bool have_path = false;
  for (int i = 1; i < argc; i++) {
    std::string_view arg = argv[i];
    if (!options_done && arg == "--") {
      options_done = true;
    } else if (!options_done && arg == "--dump") {
      args.dump = true;
    } else if (!options_done && (arg == "--help" || arg == "-h")) {
      args.help = true;
    } else if ((!options_done && arg.size() > 1 && arg[0] == '-') || have_path) {
      args.ok = false;
    } else {
      args.path = arg;
      have_path = true;
    }
  }
  return args;
}

const char *check_reason(Os_Error error) {
  switch (error) {
    case OS_FILE_NOT_FOUND: return "no such file";
    case OS_PATH_NOT_FOUND: return "no such folder";
    case OS_ACCESS_DENIED: return "access denied";
    case OS_SHARING_VIOLATION: return "another program has it open and does not share it";
    case OS_NOT_A_FILE: return "not a file";
    case OS_OUT_OF_MEMORY: return "out of memory";
    case OS_TOO_LARGE: return "too large to read";
    case OS_INVALID_PATH: return "not a valid file name";
    case OS_IO_ERROR: return "a read error";
    case OS_OK:
    case OS_OTHER: break;
  }
  return "the system would not read it";
}

// "<path>:<line>: " or, without a line, "<path>: ".
std::string check_where(std::string_view path, size_t line) {
  std::string where(path);
  if (line > 0) {
    where.push_back(':');
    where.append(std::to_string(line));
  }
  where.append(": ");
  return where;
}

std::string check_bracketed(std::string_view section) {
  std::string text = "[";
  text.append(section);
  text.push_back(']');
  return text;
}

// The section names of `sections` that the flattening takes for `block`, in byte order.
std::vector<std::string_view> check_block_sections(const Section_Map &sections, std::string_view block) {
  std::vector<std::string_view> names;
  for (const auto &section : sections) {
    if (check_lower(section.first) == block) names.push_back(section.first);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The line on which the reader took the value of `key` in the section named exactly `section`:
// the last one, as the last occurrence wins. Zero when it cannot be told.
size_t check_value_line(const Check_Lines &lines, std::string_view block, std::string_view key, std::string_view section) {
  size_t line = 0;
  for (const Check_Line *pair : check_pairs_of(lines, block, key)) {
    if (pair->section == section) line = pair->line;
  }
  return line;
}

struct Check_Duplicate {
  size_t order;  // its first line less one, so that a duplicate whose lines were not found comes last
  std::string text;
};

// Every full key that two sections of one block both hold (the flattening fails on the first it
// meets, in no fixed order), with the lines of both.
void check_explain_duplicates(FILE *err, std::string_view path, const Section_Map &sections, const Check_Lines &lines) {
  std::vector<Check_Duplicate> found;
  for (const Config_Block &block : CONFIG_BLOCKS) {
    std::vector<std::string_view> names = check_block_sections(sections, block.section);
    std::map<std::string, std::vector<std::string_view>> holders;  // lowercased key to section names
    for (std::string_view name : names) {
      for (const auto &pair : sections.find(std::string(name))->second) holders[check_lower(pair.first)].push_back(name);
    }
    for (const auto &[key, holder_names] : holders) {
      if (holder_names.size() < 2) continue;
      std::string full_key = std::string(block.section) + "." + key;
      std::vector<std::pair<size_t, std::string_view>> places;  // in file order; a line not found (0) last
      for (std::string_view name : holder_names) places.emplace_back(check_value_line(lines, block.section, key, name), name);
      std::sort(places.begin(), places.end(), [](const auto &a, const auto &b) { return a.first - 1 < b.first - 1; });
      Check_Duplicate duplicate{places.front().first - 1, {}};
      for (const auto &[line, name] : places) {
        duplicate.text += check_where(path, line) + "duplicate key " + full_key + ", in " + check_bracketed(name) + "\n";
      }
      found.push_back(std::move(duplicate));
    }
  }
  std::sort(found.begin(), found.end(), [](const Check_Duplicate &a, const Check_Duplicate &b) { return a.order < b.order; });
  for (const Check_Duplicate &duplicate : found) check_write(err, duplicate.text);
}

// The first expected key that fails, found by running the module's own `parse` over the flat
// table in the order of the conversion, with the log quiet (the conversion already logged it).
size_t check_first_failing_key(const Flat_Key_Table &table) {
  Log_Sink loud = log_set_sink({});
  size_t index = 0;
  for (; index < CONFIG_KEY_COUNT; index++) {
    char key[CONFIG_FULL_KEY_MAX_BYTES];
    int32_t unused = 0;
    if (!parse(&unused, CONFIG_FIELDS[index % std::size(CONFIG_FIELDS)].kind, config_full_key(index, key), table)) break;
  }
  log_set_sink(loud);
  return index;
}

void check_explain_missing(FILE *err, std::string_view path, const Section_Map &sections, const Check_Lines &lines, const Config_Block &block,
                           const Config_Field &field) {
  std::vector<std::string_view> names = check_block_sections(sections, block.section);
  if (names.empty()) {
    // A header with nothing under it makes no section.
    for (const Check_Line &header : lines.headers) {
      if (check_lower(header.section) != block.section) continue;
      check_write(err, check_where(path, header.line) + "section " + check_bracketed(header.section) + " holds no keys\n");
      return;
    }
    check_write(err, check_where(path, 0) + "the file has no section " + check_bracketed(block.section) + "\n");
    return;
  }
  for (std::string_view name : names) {
    const Check_Line *header = check_header_of(lines, name);
    check_write(err, check_where(path, header ? header->line : 0) + "section " + check_bracketed(name) + " has no key " +
                         std::string(field.name) + "\n");
  }
}

void check_explain_value(FILE *err, std::string_view path, const Check_Lines &lines, const Config_Block &block, const Config_Field &field) {
  std::vector<const Check_Line *> pairs = check_pairs_of(lines, block.section, field.name);
  if (pairs.empty()) return;
  const Check_Line *taken = pairs.back();
  for (const Check_Line *pair : pairs) {
    if (pair->section != taken->section) return;  // two sections would have been a duplicate key: unsure, say nothing
  }
  std::string full_key = std::string(block.section) + "." + std::string(field.name);
  check_write(err, check_where(path, taken->line) + full_key + " is written here, in " + check_bracketed(taken->section) + "\n");
  for (const Check_Line *pair : pairs) {
    if (pair == taken) continue;
    check_write(err, check_where(path, pair->line) + "an earlier " + std::string(field.name) + ", replaced by line " +
                         std::to_string(taken->line) + "\n");
  }
}

void check_explain(FILE *err, std::string_view path, std::string_view text, const Config_Status &status, const Section_Map &sections,
                   const Flat_Key_Table &table) {
  Check_Lines lines = check_scan_lines(text);
  if (std::string_view(status.message) == MESSAGE_DUPLICATE_KEY) {
    check_explain_duplicates(err, path, sections, lines);
    return;
  }
  size_t index = check_first_failing_key(table);
  if (index >= CONFIG_KEY_COUNT) return;
  const Config_Block &block = CONFIG_BLOCKS[index / std::size(CONFIG_FIELDS)];
  const Config_Field &field = CONFIG_FIELDS[index % std::size(CONFIG_FIELDS)];
  char key[CONFIG_FULL_KEY_MAX_BYTES];
  if (table.find(config_full_key(index, key)) == table.end()) {
    check_explain_missing(err, path, sections, lines, block, field);
    return;
  }
  check_explain_value(err, path, lines, block, field);
}

std::string check_enabled_summary(const Config &config) {
  std::string summary;
  for (const Config_Block &block : CONFIG_BLOCKS) {
    if (!summary.empty()) summary.append(", ");
    summary.append(block.section);
    summary.append((config.*block.block).enabled ? " on" : " off");
  }
  return summary;
}

int check_run(const Check_Args &args, FILE *out, FILE *err) {
  Check_Run run;
  Os_Error read = platform_read_file(&run.scratch, args.path, &run.bytes);
  if (read != OS_OK) {
    check_write(err, std::string(CHECK_PROGRAM) + ": cannot read " + std::string(args.path) + ": " + check_reason(read) + " (" +
                         os_error_name(read) + ")\n");
    check_write(err, std::string(CHECK_PROGRAM) + ": the game would show:\n" + std::string(MESSAGE_LINE_PREFIX) + " " + MESSAGE_FAILED_TO_OPEN + "\n");
    return CHECK_EXIT_NOT_CHECKED;
  }
  std::string_view text(run.bytes.data, run.bytes.size);

  run.previous_sink = log_set_sink({check_log_sink, err, LOG_DEBUG});
  run.sink_installed = true;
  Section_Map sections;
  Flat_Key_Table table;
  Config config{};
  Config_Status status = config_from_text(&run.scratch, text, &sections, &table, &config);
  if (!status.ok && std::string_view(status.message) == MESSAGE_FAILED_TO_PARSE) throw std::bad_alloc();

  int exit_status = CHECK_EXIT_INSTALLED;
  if (status.ok) {
    check_write(err, check_where(args.path, 0) + "ok: the game would use this file (" + check_enabled_summary(config) + ")\n");
  } else {
    exit_status = CHECK_EXIT_REFUSED;
    check_explain(err, args.path, text, status, sections, table);
    check_write(err, check_where(args.path, 0) + "the game would refuse this file and show:\n" + std::string(MESSAGE_LINE_PREFIX) + " " +
                         status.message + "\n");
  }
  if (args.dump) check_write(out, check_dump_json(sections, status.message, status.ok ? &config : nullptr) + "\n");
  return exit_status;
}

}  // namespace

int check_main(int argc, const char *const *argv, FILE *out, FILE *err) noexcept {
  try {
    Check_Args args = check_parse_args(argc, argv);
    if (!args.ok) {
      check_write(err, CHECK_USAGE);
      return CHECK_EXIT_NOT_CHECKED;
    }
    if (args.help) {
      check_write(out, CHECK_USAGE);
      return CHECK_EXIT_INSTALLED;
    }
    return check_run(args, out, err);
  } catch (const std::bad_alloc &) {
    check_write(err, std::string_view("maneshade-check: out of memory\n"));
  } catch (...) {
    check_write(err, std::string_view("maneshade-check: unexpected failure\n"));
  }
  return CHECK_EXIT_NOT_CHECKED;
}
