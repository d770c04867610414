// The assertion facility; see assert.h.
#include "runtime/assert.h"

#include <cstdio>
#include <cstdlib>

void runtime_assert_fail(const char *file, int line, const char *text) noexcept {
  std::fprintf(stderr, "%s:%d: runtime assertion: %s\n", file, line, text);
  std::fflush(stderr);
  std::abort();
}
