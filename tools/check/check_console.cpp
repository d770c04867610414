// The console decisions that are the same everywhere; see check_console.h.
#include "tools/check/check_console.h"

bool check_console_should_pause(const Check_Console_Facts &facts, bool dump) noexcept {
  // Another process on the console (the terminal's shell) keeps the window open after we end.
  if (dump || facts.processes_on_console != 1) return false;
  return facts.input_is_console && facts.output_is_console && facts.error_is_console;
}

void check_console_wait_for_enter(FILE *in, FILE *err) noexcept {
  std::fputs("Press Enter to close this window.\n", err);
  std::fflush(err);
  for (int c = std::fgetc(in); c != EOF && c != '\n'; c = std::fgetc(in)) {
  }
}
