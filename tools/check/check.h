// maneshade-check: tells whether Mane Shade would install a ManeShade.ini, and if not, why and on
// which line. It runs the module's own reader, flattening and conversion; docs/maneshade-check.md
// describes the command line, the exit statuses and the --dump format.
#pragma once
#include <cstdio>

enum Check_Exit : int {
  CHECK_EXIT_INSTALLED = 0,    // the module would install the file
  CHECK_EXIT_REFUSED = 1,      // the module would refuse the file and show a message
  CHECK_EXIT_NOT_CHECKED = 2,  // the file cannot be read, bad usage, or out of memory
};

// The whole program, `maneshade-check [--dump] [FILE]`. The report for people and every log record
// of the module go to `err`; only the --dump JSON (and --help) go to `out`. Installs a log sink for
// the run and puts the previous one back before returning. Never throws.
int check_main(int argc, const char *const *argv, FILE *out, FILE *err) noexcept;
