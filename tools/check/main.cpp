// maneshade-check's entry; the program is check_main (check.h). When Explorer made a console for
// it alone (a double-click, or a file dropped onto it), the report waits for Enter before the window
// closes.
#include <cstdio>

#include "tools/check/check_main.h"
#include "tools/check/check_console.h"

int main(int argc, char **argv) {
  check_console_binary_output(stdout);
  int status = check_main(argc, argv, stdout, stderr);
  if (check_console_should_pause(check_console_facts(), check_wants_dump(argc, argv))) {
    check_console_wait_for_enter(stdin, stderr);
  }
  return status;
}
