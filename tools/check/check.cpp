// The check of one file; see check.h.
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
#include "tools/check/config_diagnose.h"
#include "tools/check/check_json.h"
#include "tools/owned/owned.h"

namespace {

constexpr std::string_view CHECK_PROGRAM = "maneshade-check";

// What one run holds; released on every way out, the log sink put back.
struct Check_Run {
  Owned<Arena> scratch;
  uint64_t size_bytes = 0;  // as the look at the file saw it
  Settings_Text read{};     // the file's bytes and the text the reader reads, in the scratch
  Log_Sink previous_sink{};
  bool sink_installed = false;

  Check_Run() = default;
  Check_Run(const Check_Run &) = delete;
  Check_Run &operator=(const Check_Run &) = delete;
  ~Check_Run() {
    if (sink_installed) log_set_sink(previous_sink);
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

void check_explain_duplicates(std::string *report, std::string_view path, const Config_Diagnosis &d) {
  for (const Config_Duplicate &duplicate : d.duplicates) {
    for (const Config_Place &place : duplicate.places) {
      check_write(report, check_where(path, place.line) + "duplicate key " + check_visible(duplicate.full_key) + ", in " +
                              check_bracketed(place.section) + "\n");
    }
  }
}

void check_explain_missing(std::string *report, std::string_view path, const Config_Diagnosis &d, const Config_Key &key) {
  for (const Config_Place &header : d.empty_block_headers) {
    // A header with nothing under it makes no section.
    check_write(report, check_where(path, header.line) + "section " + check_bracketed(header.section) + " holds no keys\n");
  }
  if (d.block_sections.empty() && d.empty_block_headers.empty()) {
    check_write(report, check_where(path, 0) + "the file has no section " + check_bracketed(key.section()) + "\n");
  }
  for (const Config_Place &section : d.block_sections) {
    check_write(report, check_where(path, section.line) + "section " + check_bracketed(section.section) + " has no key " +
                            std::string(key.field_name()) + "\n");
  }
}

void check_explain_value(std::string *report, std::string_view path, const Config_Diagnosis &d, const Config_Key &key) {
  if (d.key_places.empty()) return;
  const Config_Place &taken = d.key_places.back();
  for (const Config_Place &place : d.key_places) {
    if (place.section != taken.section) return;  // two sections would have been a duplicate key: unsure, say nothing
  }
  check_write(report, check_where(path, taken.line) + std::string(key.full_key) + " is written here, in " +
                          check_bracketed(taken.section) + "\n");
  for (size_t i = 0; i + 1 < d.key_places.size(); i++) {
    check_write(report, check_where(path, d.key_places[i].line) + "an earlier " + std::string(key.field_name()) +
                            ", replaced by line " + std::to_string(taken.line) + "\n");
  }
}

void check_explain(std::string *report, std::string_view path, const Config_Diagnosis &d) {
  if (d.status.content == CONFIG_DUPLICATE_KEY) {
    check_explain_duplicates(report, path, d);
    return;
  }
  if (d.status.key_index < 0) return;
  const Config_Key &key = CONFIG_KEYS[d.status.key_index];
  if (d.status.content == CONFIG_MISSING_KEY) {
    check_explain_missing(report, path, d, key);
    return;
  }
  check_explain_value(report, path, d, key);
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
void check_explain_encoding(Arena *scratch, std::string *report, std::string_view path, std::string_view bytes,
                            std::string_view text) {
  if (text.data() != bytes.data()) return;  // UTF-16 with its mark: read as the player meant
  size_t nul_even = 0, nul_odd = 0;
  for (size_t i = 0; i < bytes.size(); i++) {
    if (bytes[i] != '\0') continue;
    (i % 2 ? nul_odd : nul_even)++;
  }
  // ASCII text saved as UTF-16 has a NUL in every other byte.
  size_t odd_bytes = bytes.size() / 2, even_bytes = bytes.size() - odd_bytes;
  if (bytes.size() >= 4 && (nul_odd * 2 > odd_bytes || nul_even * 2 > even_bytes)) {
    check_write(report, check_where(path, 0) + "the file looks like UTF-16 without a byte-order mark: save it as UTF-8 "
                                               "(in Notepad: Save as, Encoding UTF-8)\n");
    return;
  }
  if (nul_even + nul_odd > 0) {
    check_write(report, check_where(path, check_line_of(bytes, bytes.find('\0'))) +
                            "the file holds NUL bytes, which no text editor writes in a settings file: save it as "
                            "UTF-8 (in Notepad: Save as, Encoding UTF-8)\n");
    return;
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
    return;
  }
}

// Reads the file at `path` as the reloader does (settings_file.h), into `run`: so that each failure
// is the one the game meets.
Status check_read_as_the_game(Check_Run *run, std::string_view path) {
  Result<File_Stamp> looked = platform_file_stamp(run->scratch.get(), path);
  if (!looked.ok()) return looked.status();
  run->size_bytes = looked.value().size_bytes;
  Result<Settings_Text> read = settings_file_read(run->scratch.get(), path, looked.value());
  if (!read.ok()) return read.status();
  run->read = read.value();
  return STATUS_OK;
}

void check_explain_size(std::string *report, std::string_view path, uint64_t size_bytes) {
  check_write(report, check_where(path, 0) + "the file is " + std::to_string(size_bytes) +
                          " bytes long; a settings file is a few kilobytes, and the game reads none larger than " +
                          std::to_string(CONFIG_FILE_MAX_BYTES) + " bytes\n");
}

// Why the file cannot be read, and the line the game would show for it.
int check_unreadable(FILE *err, std::string_view path, const Status &status) {
  if (status.failure == FAILURE_CHANGED) {
    check_write(err, std::string(CHECK_PROGRAM) + ": cannot read " + check_visible(path) +
                         ": it changed while it was read (a save in progress?); run maneshade-check again\n");
    return CHECK_EXIT_NOT_CHECKED;
  }
  if (status.failure == FAILURE_OUT_OF_MEMORY) throw std::bad_alloc();
  Os_Error why = status.os_error;
  check_write(err, std::string(CHECK_PROGRAM) + ": cannot read " + check_visible(path) + ": " + check_reason(why) + "\n");
  check_write(err, std::string(CHECK_PROGRAM) + ": the game would show:\n" + std::string(MESSAGE_LINE_PREFIX) + " " +
                       reload_message(status) + "\n");
  return CHECK_EXIT_NOT_CHECKED;
}

}  // namespace

int check_file(std::string_view path, bool dump, FILE *out, FILE *err) {
  Check_Run run;
  // The reloader's own steps, in its order, so that each failure shows the game's line for it.
  Status read = check_read_as_the_game(&run, path);
  if (read.failure == FAILURE_TOO_LARGE) {
    std::string report;
    check_explain_size(&report, path, run.size_bytes);
    check_write(&report, check_where(path, 0) + "the game would refuse this file and show:\n" +
                             std::string(MESSAGE_LINE_PREFIX) + " " + reload_message(status_fail(FAILURE_TOO_LARGE)) + "\n");
    check_write(err, report);
    // Refused unread: the JSON still gives the game's line, and no sections.
    if (dump) check_write(out, check_dump_json(nullptr, reload_message(status_fail(FAILURE_TOO_LARGE)), nullptr) + "\n");
    return CHECK_EXIT_REFUSED;
  }
  if (!read.ok()) return check_unreadable(err, path, read);
  std::string_view bytes = run.read.bytes, text = run.read.text;
  std::string hint;
  check_explain_encoding(run.scratch.get(), &hint, path, bytes, text);
  check_write(err, hint);

  run.previous_sink = log_set_sink({check_log_sink, err, LOG_DEBUG});
  run.sink_installed = true;
  Config_Diagnosis diagnosis{};
  config_diagnose(run.scratch.get(), text, &diagnosis);
  if (diagnosis.status.runtime.failure == FAILURE_OUT_OF_MEMORY) throw std::bad_alloc();

  int exit_status = CHECK_EXIT_INSTALLED;
  const char *message = reload_message(diagnosis.status);
  std::string report;
  if (diagnosis.status.ok()) {
    check_write(&report, check_where(path, 0) + "ok: the game would use this file (" + check_enabled_summary(diagnosis.config) + ")\n");
  } else {
    exit_status = CHECK_EXIT_REFUSED;
    check_explain(&report, path, diagnosis);
    check_write(&report, check_where(path, 0) + "the game would refuse this file and show:\n" +
                             std::string(MESSAGE_LINE_PREFIX) + " " + message + "\n");
  }
  check_write(err, report);
  if (dump) check_write(out, check_dump_json(diagnosis.sections.get(), message, diagnosis.status.ok() ? &diagnosis.config : nullptr) + "\n");
  return exit_status;
}

std::string check_explain_now(std::string_view path) {
  Check_Run run;
  std::string report;
  Status read = check_read_as_the_game(&run, path);
  if (read.failure == FAILURE_TOO_LARGE) {
    check_explain_size(&report, path, run.size_bytes);
    return report;
  }
  if (read.failure == FAILURE_CHANGED) {
    check_write(&report, check_where(path, 0) + "it changed while it was read (a save in progress?)\n");
    return report;
  }
  if (read.failure == FAILURE_OUT_OF_MEMORY) throw std::bad_alloc();
  if (!read.ok()) {
    Os_Error why = read.os_error;
    check_write(&report, check_where(path, 0) + "cannot read it: " + check_reason(why) + "\n");
    return report;
  }
  std::string_view bytes = run.read.bytes, text = run.read.text;
  check_explain_encoding(run.scratch.get(), &report, path, bytes, text);
  Config_Diagnosis diagnosis{};
  {
    Log_Sink quiet = log_set_sink({});
    config_diagnose(run.scratch.get(), text, &diagnosis);
    log_set_sink(quiet);
  }
  if (diagnosis.status.runtime.failure == FAILURE_OUT_OF_MEMORY) throw std::bad_alloc();
  check_explain(&report, path, diagnosis);
  return report;
}
