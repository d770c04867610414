// Windows: the C runtime writes "\r\n" for "\n" on a text-mode stream; see check_console.h.
#include "tools/check/check_console.h"

#include <fcntl.h>
#include <io.h>

void check_console_binary_output(FILE *file) noexcept {
  std::fflush(file);
  // _setmode returns the previous mode, or -1 when the descriptor is not valid (no console at all):
  // then there is nothing to write to anyway.
  (void)_setmode(_fileno(file), _O_BINARY);
}
