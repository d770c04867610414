// POSIX: streams never translate line ends, and no console is ever made for a program alone; see
// check_console.h.
#include <ctime>

#include "tools/check/check_console.h"

void check_console_binary_output(FILE *) noexcept {}

bool check_console_write(FILE *, std::string_view) noexcept { return false; }

std::string check_console_local_time() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  char text[16] = "??:??:??";
  if (localtime_r(&now, &local)) std::strftime(text, sizeof text, "%H:%M:%S", &local);
  return text;
}

Check_Console_Facts check_console_facts() noexcept { return {}; }
