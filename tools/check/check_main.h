// maneshade-check's command line: which check to run (the one file, --watch or --game), the usage
// text, and the last word when a check runs out of memory. The checks themselves are check.h,
// check_watch.h and check_game.h.
#pragma once
#include <cstdio>

#include "tools/check/check_report.h"

// The whole program: `maneshade-check [--dump] [FILE]`, `maneshade-check --watch [FILE]` and
// `maneshade-check --game DIR`. The report for people and every log record of the module go to
// `err`; only the --dump JSON (and --help) go to `out`. Installs a log sink for the run and puts the
// previous one back before returning. Never throws.
int check_main(int argc, const char *const *argv, FILE *out, FILE *err) noexcept;

// Whether the command line asks for --dump (the program then never waits for Enter).
bool check_wants_dump(int argc, const char *const *argv) noexcept;
