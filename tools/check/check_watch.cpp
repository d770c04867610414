// The watch mode; see check_watch.h.
#include "tools/check/check_watch.h"

#include "tools/check/check.h"

int check_watch(std::string_view path, FILE *err) {
  check_write(err, "maneshade-check: --watch is not built yet: " + std::string(path) + "\n");
  return CHECK_EXIT_NOT_CHECKED;
}
