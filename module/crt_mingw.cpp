// What the module links in place of the C runtime's start-up (mingw-w64 only; see CMakeLists.txt):
// it is linked without start files, so the loader calls DllMain itself and nothing runs before it.
// No static constructor runs and nothing is registered to run at exit.
#include <cstdlib>
#include <exception>

// With no start-up there is no exit list. The only callers in the module are static constructors,
// which never run (libstdc++'s emergency exception pool has one): report "not registered".
extern "C" int atexit(void (*)(void)) noexcept { return -1; }

namespace __gnu_cxx {

// libstdc++'s default handler for std::terminate prints the exception's demangled type, which
// brings the demangler and a printf engine (40 KB, and an exit list of its own). Every entry the
// host calls catches everything, so terminate means a bug: stop as abort does.
void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
