// POSIX streams never translate line ends; see check_console.h.
#include "tools/check/check_console.h"

void check_console_binary_output(FILE *) noexcept {}
