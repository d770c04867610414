// maneshade-check: tells whether Mane Shade would install a ManeShade.ini, and if not, why and on
// which line. It runs the module's own reader, flattening and conversion; docs/maneshade-check.md
// describes the command line, the exit statuses and the --dump format.
#pragma once
#include <cstdio>
#include <string>
#include <string_view>

#include "runtime/status.h"

enum Check_Exit : int {
  CHECK_EXIT_INSTALLED = 0,    // the module would install the file
  CHECK_EXIT_REFUSED = 1,      // the module would refuse the file and show a message
  CHECK_EXIT_NOT_CHECKED = 2,  // the file cannot be read, bad usage, or out of memory
};

// The whole program: `maneshade-check [--dump] [FILE]`, `maneshade-check --watch [FILE]` and
// `maneshade-check --game DIR`. The report for people and every log record of the module go to
// `err`; only the --dump JSON (and --help) go to `out`. Installs a log sink for the run and puts the
// previous one back before returning. Never throws.
int check_main(int argc, const char *const *argv, FILE *out, FILE *err) noexcept;

// One file as the module reads it, the report to `err` and, with `dump`, the JSON to `out`: the
// exit status of `maneshade-check [--dump] FILE`. Installs a log sink while it runs. Throws
// std::bad_alloc.
int check_file(std::string_view path, bool dump, FILE *out, FILE *err);

// Why the module refuses the file at `path` as it is now, as `maneshade-check FILE` explains it
// (the reason it cannot be read, or the lines of the keys concerned), without the module's log
// records and without the verdict. Throws std::bad_alloc.
void check_explain_now(std::string_view path, FILE *err);

// Whether the command line asks for --dump (the program then never waits for Enter).
bool check_wants_dump(int argc, const char *const *argv) noexcept;

// The OS's reason in plain words: "no such file", "it is a folder, not a file", ...
const char *check_reason(Os_Error error);

// Writes `text` as it is.
void check_write(FILE *file, std::string_view text);

// Text from a file as it may reach a terminal: every byte below 0x20 and 0x7F written as "\xNN".
std::string check_visible(std::string_view text);
