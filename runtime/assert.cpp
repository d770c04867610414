// The assertion facility (assert.h). It writes with the "{}" formatter and fputs: the C library's
// printf family would bring a whole formatting engine into the module.
#include "runtime/assert.h"

#include <cstdio>
#include <cstdlib>

#include "runtime/format.h"

void runtime_assert_fail(const char *file, int line, const char *text) noexcept {
  char buffer[512];
  Format_Buffer out = format_buffer(buffer, sizeof buffer - 1);
  format_to(&out, "{}:{}: runtime assertion: {}\n", file, line, text);
  buffer[out.size] = '\0';
  std::fputs(buffer, stderr);
  std::fflush(stderr);
  std::abort();
}
