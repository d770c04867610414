// Runtime assertions: always on. A failed one writes its place and text to stderr and stops the
// process. For broken preconditions (programming errors), never for bad input.
#pragma once

[[noreturn]] void runtime_assert_fail(const char *file, int line, const char *text) noexcept;

#define RUNTIME_ASSERT(condition, text) \
  ((condition) ? static_cast<void>(0) : runtime_assert_fail(__FILE__, __LINE__, text))
