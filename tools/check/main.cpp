// maneshade-check's entry; the program is check_main (check.h).
#include "tools/check/check.h"
#include "tools/check/check_console.h"

int main(int argc, char **argv) {
  check_console_binary_output(stdout);
  return check_main(argc, argv, stdout, stderr);
}
