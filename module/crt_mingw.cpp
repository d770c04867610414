// What the module links in place of the C runtime's start-up and of libstdc++'s exception support
// (mingw-w64 only; see CMakeLists.txt). It is linked without start files, so the loader calls
// DllMain itself and nothing runs before it; and it is built without exceptions, so nothing may
// bring the exception machinery back.
#include "runtime/assert.h"

namespace std {

// The one exception libstdc++'s inline code raises in the module: std::string_view::substr given a
// position past the end. That is a bug, never bad input; libstdc++'s own definition would throw,
// and with it bring the unwinder, the exception allocator and thread-local storage into the module.
[[noreturn]] void __throw_out_of_range_fmt(const char *, ...) {
  runtime_assert_fail(__FILE__, __LINE__, "a string position past its end");
}

}  // namespace std
