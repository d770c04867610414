// The validator; see check.h.
#include "tools/check/check.h"

#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "runtime/arena.h"
#include "runtime/log.h"
#include "runtime/utf8.h"
#include "src/config/keys.h"
#include "src/config/messages.h"
#include "src/config/schema.h"
#include "src/config/settings_file.h"
#include "src/script/message.h"
#include "tools/check/config_diagnose.h"
#include "tools/check/check_game.h"
#include "tools/check/check_json.h"
#include "tools/check/check_watch.h"

namespace {

constexpr std::string_view CHECK_PROGRAM = "maneshade-check";

constexpr std::string_view CHECK_USAGE =
    "usage: maneshade-check [--dump] [FILE]\n"
    "       maneshade-check --watch [FILE]\n"
    "       maneshade-check --game DIR\n"
    "Checks FILE (by default ManeShade.ini in the current folder) exactly as Mane Shade reads it.\n"
    "  --dump       also write what was read to standard output, as one line of JSON\n"
    "  --watch      keep looking at FILE as the game does, and report every load until interrupted\n"
    "  --game DIR   check the game folder DIR: the module, the host library and ManeShade.ini\n"
    "Exit status: 0 the game would use the file, 1 it would refuse it, 2 the file cannot be read.\n";

enum class Check_Mode { file, watch, game };

struct Check_Args {
  bool ok;
  bool dump;
  bool help;
  Check_Mode mode;
  std::string_view path;  // FILE, or DIR for --game
};

// What one run holds; released on every way out, the log sink put back.
struct Check_Run {
  Arena scratch{};
  uint64_t size_bytes = 0;  // as the look at the file saw it
  Settings_Text read{};     // the file's bytes and the text the reader reads, in the scratch
  Log_Sink previous_sink{};
  bool sink_installed = false;

  Check_Run() = default;
  Check_Run(const Check_Run &) = delete;
  Check_Run &operator=(const Check_Run &) = delete;
  ~Check_Run() {
    if (sink_installed) log_set_sink(previous_sink);
    arena_destroy(&scratch);
  }
};


// Every record the module logs, as "<level>: <text>"; the call site means nothing to users. The
// records quote keys and values of the file.
void check_log_sink(void *user, const Log_Record *record) {
  FILE *err = static_cast<FILE *>(user);
  check_write(err, log_level_name(record->level));
  check_write(err, ": ");
  check_write(err, check_visible(record->text));
  check_write(err, "\n");
}

Check_Args check_parse_args(int argc, const char *const *argv) {
  Check_Args args{true, false, false, Check_Mode::file, CONFIG_FILE_NAME};
  bool options_done = false;
  bool have_path = false;
  for (int i = 1; i < argc; i++) {
    std::string_view arg = argv[i];
    if (!options_done && arg == "--") {
      options_done = true;
    } else if (!options_done && arg == "--dump") {
      args.dump = true;
    } else if (!options_done && arg == "--watch" && args.mode == Check_Mode::file) {
      args.mode = Check_Mode::watch;
    } else if (!options_done && arg == "--game" && args.mode == Check_Mode::file && i + 1 < argc && !have_path) {
      args.mode = Check_Mode::game;
      args.path = argv[++i];
      have_path = true;
    } else if (!options_done && (arg == "--help" || arg == "-h")) {
      args.help = true;
    } else if ((!options_done && arg.size() > 1 && arg[0] == '-') || have_path) {
      args.ok = false;
    } else {
      args.path = arg;
      have_path = true;
    }
  }
  // --dump writes the one file's JSON: it means nothing with the other modes.
  if (args.dump && args.mode != Check_Mode::file) args.ok = false;
  return args;
}


// "<path>:<line>: " or, without a line, "<path>: ".
std::string check_where(std::string_view path, size_t line) {
  std::string where = check_visible(path);
  if (line > 0) {
    where.push_back(':');
    where.append(std::to_string(line));
  }
  where.append(": ");
  return where;
}

std::string check_bracketed(std::string_view section) {
  std::string text = "[";
  text.append(check_visible(section));
  text.push_back(']');
  return text;
}

void check_explain_duplicates(FILE *err, std::string_view path, const Config_Diagnosis &d) {
  for (const Config_Duplicate &duplicate : d.duplicates) {
    for (const Config_Place &place : duplicate.places) {
      check_write(err, check_where(path, place.line) + "duplicate key " + check_visible(duplicate.full_key) + ", in " +
                           check_bracketed(place.section) + "\n");
    }
  }
}

void check_explain_missing(FILE *err, std::string_view path, const Config_Diagnosis &d, const Config_Key &key) {
  for (const Config_Place &header : d.empty_block_headers) {
    // A header with nothing under it makes no section.
    check_write(err, check_where(path, header.line) + "section " + check_bracketed(header.section) + " holds no keys\n");
  }
  if (d.block_sections.empty() && d.empty_block_headers.empty()) {
    check_write(err, check_where(path, 0) + "the file has no section " + check_bracketed(key.section()) + "\n");
  }
  for (const Config_Place &section : d.block_sections) {
    check_write(err, check_where(path, section.line) + "section " + check_bracketed(section.section) + " has no key " +
                         std::string(key.field_name()) + "\n");
  }
}

void check_explain_value(FILE *err, std::string_view path, const Config_Diagnosis &d, const Config_Key &key) {
  if (d.key_places.empty()) return;
  const Config_Place &taken = d.key_places.back();
  for (const Config_Place &place : d.key_places) {
    if (place.section != taken.section) return;  // two sections would have been a duplicate key: unsure, say nothing
  }
  check_write(err, check_where(path, taken.line) + std::string(key.full_key) + " is written here, in " +
                       check_bracketed(taken.section) + "\n");
  for (size_t i = 0; i + 1 < d.key_places.size(); i++) {
    check_write(err, check_where(path, d.key_places[i].line) + "an earlier " + std::string(key.field_name()) +
                         ", replaced by line " + std::to_string(taken.line) + "\n");
  }
}

void check_explain(FILE *err, std::string_view path, const Config_Diagnosis &d) {
  if (d.status.failure == FAILURE_DUPLICATE_KEY) {
    check_explain_duplicates(err, path, d);
    return;
  }
  if (d.status.key_index < 0) return;
  const Config_Key &key = CONFIG_KEYS[d.status.key_index];
  if (d.status.failure == FAILURE_MISSING_KEY) {
    check_explain_missing(err, path, d, key);
    return;
  }
  check_explain_value(err, path, d, key);
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

// Plain words about an encoding that the game does not read as the player meant; the module reads
// such files all the same (and refuses them, or takes keys it does not know).
void check_explain_encoding(FILE *err, std::string_view path, std::string_view bytes, std::string_view text) {
  if (text.data() != bytes.data()) return;  // UTF-16 with its mark: read as the player meant
  size_t nul_even = 0, nul_odd = 0;
  for (size_t i = 0; i < bytes.size(); i++) {
    if (bytes[i] != '\0') continue;
    (i % 2 ? nul_odd : nul_even)++;
  }
  // ASCII text saved as UTF-16 has a NUL in every other byte.
  size_t odd_bytes = bytes.size() / 2, even_bytes = bytes.size() - odd_bytes;
  if (bytes.size() >= 4 && (nul_odd * 2 > odd_bytes || nul_even * 2 > even_bytes)) {
    check_write(err, check_where(path, 0) + "the file looks like UTF-16 without a byte-order mark: save it as UTF-8 "
                                            "(in Notepad: Save as, Encoding UTF-8)\n");
    return;
  }
  if (nul_even + nul_odd > 0) {
    check_write(err, check_where(path, check_line_of(bytes, bytes.find('\0'))) +
                         "the file holds NUL bytes, which no text editor writes in a settings file: save it as "
                         "UTF-8 (in Notepad: Save as, Encoding UTF-8)\n");
    return;
  }
  Arena scratch{};
  Ini_Iterator it = ini_iterator(&scratch, text, CONFIG_FILE_INI_OPTIONS);
  Ini_Line line;
  struct Scratch_Release {
    Arena *arena;
    ~Scratch_Release() { arena_destroy(arena); }
  } release{&scratch};
  while (ini_next_line(&it, &line)) {
    // A section's name or a key: where the game's names stand.
    std::string_view name = line.kind == Ini_Line_Kind::header ? line.section
                            : line.kind == Ini_Line_Kind::pair ? line.written_key
                                                               : std::string_view("");
    if (utf8_is_valid(name)) continue;
    check_write(err, check_where(path, line.number) + "this " +
                         (line.kind == Ini_Line_Kind::header ? "section name" : "key") +
                         " is not valid UTF-8, so it cannot be one of the game's: the file may be saved in another "
                         "encoding (ANSI); save it as UTF-8 (in Notepad: Save as, Encoding UTF-8)\n");
    return;
  }
}

// Reads the file at `path` as the reloader does (settings_file.h), into `run`: so that each failure
// is the one the game meets.
Status check_read_as_the_game(Check_Run *run, std::string_view path) {
  Result<File_Stamp> looked = settings_file_look(&run->scratch, path);
  if (!looked.ok()) return looked.status();
  run->size_bytes = looked.value().size_bytes;
  Result<Settings_Text> read = settings_file_read(&run->scratch, path, looked.value());
  if (!read.ok()) return read.status();
  run->read = read.value();
  return STATUS_OK;
}

void check_explain_size(FILE *err, std::string_view path, uint64_t size_bytes) {
  check_write(err, check_where(path, 0) + "the file is " + std::to_string(size_bytes) +
                       " bytes long; a settings file is a few kilobytes, and the game reads none larger than " +
                       std::to_string(CONFIG_FILE_MAX_BYTES) + " bytes\n");
}

// Why the file cannot be read, and the line the game would show for it.
int check_unreadable(FILE *err, std::string_view path, const Status &status) {
  if (status.failure == FAILURE_CHANGED) {
    check_write(err, std::string(CHECK_PROGRAM) + ": cannot read " + std::string(path) +
                         ": it changed while it was read (a save in progress?); run maneshade-check again\n");
    return CHECK_EXIT_NOT_CHECKED;
  }
  if (status.failure == FAILURE_OUT_OF_MEMORY) throw std::bad_alloc();
  Os_Error why = status.os_error;
  check_write(err, std::string(CHECK_PROGRAM) + ": cannot read " + std::string(path) + ": " + check_reason(why) + " (" +
                       os_error_name(why) + ")\n");
  check_write(err, std::string(CHECK_PROGRAM) + ": the game would show:\n" + std::string(MESSAGE_LINE_PREFIX) + " " +
                       reload_message(status.failure) + "\n");
  return CHECK_EXIT_NOT_CHECKED;
}

}  // namespace

const char *check_reason(Os_Error error) {
  switch (error) {
    case OS_FILE_NOT_FOUND: return "no such file";
    case OS_PATH_NOT_FOUND: return "no such folder";
    case OS_ACCESS_DENIED: return "access denied";
    case OS_SHARING_VIOLATION: return "another program has it open and does not share it";
    case OS_NOT_A_FILE: return "not a file (a device or a pipe)";
    case OS_IS_A_FOLDER: return "it is a folder, not a file";
    case OS_SYMLINK_LOOP: return "a symbolic link that leads back to itself";
    case OS_OUT_OF_MEMORY: return "out of memory";
    case OS_TOO_LARGE: return "too large to read";
    case OS_INVALID_PATH: return "not a valid file name";
    case OS_IO_ERROR: return "a read error";
    case OS_OK:
    case OS_OTHER: break;
  }
  return "the system would not read it";
}

void check_write(FILE *file, std::string_view text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), file);
}

std::string check_visible(std::string_view text) {
  static constexpr char HEX[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      out.push_back(c);
      continue;
    }
    out.append("\\x");
    out.push_back(HEX[byte >> 4]);
    out.push_back(HEX[byte & 0xF]);
  }
  return out;
}

int check_file(std::string_view path, bool dump, FILE *out, FILE *err) {
  Check_Run run;
  // The reloader's own steps, in its order, so that each failure shows the game's line for it.
  Status read = check_read_as_the_game(&run, path);
  if (read.failure == FAILURE_TOO_LARGE) {
    check_explain_size(err, path, run.size_bytes);
    check_write(err, check_where(path, 0) + "the game would refuse this file and show:\n" +
                         std::string(MESSAGE_LINE_PREFIX) + " " + reload_message(FAILURE_TOO_LARGE) + "\n");
    return CHECK_EXIT_REFUSED;
  }
  if (!read.ok()) return check_unreadable(err, path, read);
  std::string_view bytes = run.read.bytes, text = run.read.text;
  check_explain_encoding(err, path, bytes, text);

  run.previous_sink = log_set_sink({check_log_sink, err, LOG_DEBUG});
  run.sink_installed = true;
  Config_Diagnosis diagnosis{};
  config_diagnose(&run.scratch, text, &diagnosis);
  if (diagnosis.status.failure == FAILURE_OUT_OF_MEMORY) throw std::bad_alloc();

  int exit_status = CHECK_EXIT_INSTALLED;
  const char *message = reload_message(diagnosis.status.failure);
  if (diagnosis.status.ok()) {
    check_write(err, check_where(path, 0) + "ok: the game would use this file (" + check_enabled_summary(diagnosis.config) + ")\n");
  } else {
    exit_status = CHECK_EXIT_REFUSED;
    check_explain(err, path, diagnosis);
    check_write(err, check_where(path, 0) + "the game would refuse this file and show:\n" + std::string(MESSAGE_LINE_PREFIX) +
                         " " + message + "\n");
  }
  if (dump) check_write(out, check_dump_json(diagnosis.sections.map, message, diagnosis.status.ok() ? &diagnosis.config : nullptr) + "\n");
  return exit_status;
}

void check_explain_now(std::string_view path, FILE *err) {
  Check_Run run;
  Status read = check_read_as_the_game(&run, path);
  if (read.failure == FAILURE_TOO_LARGE) {
    check_explain_size(err, path, run.size_bytes);
    return;
  }
  if (read.failure == FAILURE_CHANGED) {
    check_write(err, check_where(path, 0) + "it changed while it was read (a save in progress?)\n");
    return;
  }
  if (read.failure == FAILURE_OUT_OF_MEMORY) throw std::bad_alloc();
  if (!read.ok()) {
    Os_Error why = read.os_error;
    check_write(err, check_where(path, 0) + "cannot read it: " + check_reason(why) + " (" + os_error_name(why) + ")\n");
    return;
  }
  std::string_view bytes = run.read.bytes, text = run.read.text;
  check_explain_encoding(err, path, bytes, text);
  Config_Diagnosis diagnosis{};
  {
    Log_Sink quiet = log_set_sink({});
    config_diagnose(&run.scratch, text, &diagnosis);
    log_set_sink(quiet);
  }
  if (diagnosis.status.failure == FAILURE_OUT_OF_MEMORY) throw std::bad_alloc();
  check_explain(err, path, diagnosis);
}

bool check_wants_dump(int argc, const char *const *argv) noexcept {
  try {
    Check_Args args = check_parse_args(argc, argv);
    return args.ok && args.dump;
  } catch (...) {
    return false;
  }
}

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
    switch (args.mode) {
      case Check_Mode::watch: return check_watch(args.path, err);
      case Check_Mode::game: return check_game(args.path, err);
      case Check_Mode::file: break;
    }
    return check_file(args.path, args.dump, out, err);
  } catch (const std::bad_alloc &) {
    check_write(err, std::string_view("maneshade-check: out of memory\n"));
  } catch (...) {
    check_write(err, std::string_view("maneshade-check: unexpected failure\n"));
  }
  return CHECK_EXIT_NOT_CHECKED;
}
