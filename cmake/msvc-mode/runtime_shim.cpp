// What the MSVC-mode link of ManeShade.asi (module/CMakeLists.txt) has in place of the libraries a
// Visual Studio link takes them from: the static C runtime (libcmt, libvcruntime) and MSVC's C++
// library. Built only in MSVC mode; a Visual Studio build never sees this file. Each definition is
// one that the module's objects ask for and that the stand-in toolchain (Wine's import libraries,
// libc++'s headers) lacks.
#include <charconv>
#include <cstdint>

extern "C" {

// /GS, on by default: a function with a buffer on its stack keeps a copy of this cookie (XORed with
// its stack pointer) in its frame and checks it before returning. The C runtime's start-up gives the
// cookie a random value (__security_init_cookie) before DllMain; this link has no start-up, so the
// cookie keeps MSVC's fixed default. An overrun is still caught, but the value is no secret: fit for
// a module that is run in tests, not for one that is shipped.
uintptr_t __security_cookie = 0x00002B992DDFA232;

// The check at the end of such a function: a copy that differs means the stack was overwritten, and
// the process ends at once, without running any handler, as the C runtime's check ends it.
void __cdecl __security_check_cookie(uintptr_t cookie) {
  if (cookie != __security_cookie) __fastfail(2);  // FAST_FAIL_STACK_COOKIE_CHECK_FAILURE
}

// MSVC's compilers make every object that uses floating point refer to this symbol, so that a link
// brings in the C runtime's floating-point support; the C runtime defines it. Its value is not read.
int _fltused = 0x9875;

}  // extern "C"

_LIBCPP_BEGIN_NAMESPACE_STD
namespace __itoa {

// std::to_chars of an integer calls these to write its decimal digits. libc++ keeps them in its
// compiled library, which is not installed for this target (MSVC's own library has to_chars in its
// headers). The caller has made room for every digit; no terminating zero is written.
char *__u64toa(uint64_t value, char *buffer) noexcept {
  char *end = buffer + 1;
  for (uint64_t rest = value / 10; rest != 0; rest /= 10) end++;
  for (char *at = end; at != buffer; value /= 10) *--at = static_cast<char>('0' + value % 10);
  return end;
}

char *__u32toa(uint32_t value, char *buffer) noexcept { return __u64toa(value, buffer); }

}  // namespace __itoa
_LIBCPP_END_NAMESPACE_STD
