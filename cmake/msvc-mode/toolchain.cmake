# Configures the project as a Visual Studio build, on Linux, for CI's MSVC-mode check
# (scripts/msvc-mode.sh). The compiler is clang-cl, clang's MSVC driver: clang with
# --target=x86_64-pc-windows-msvc and -fms-compatibility, MSVC's command line, _MSC_VER and MSVC's ABI.
# CMake takes it for MSVC (MSVC is true), so the build's MSVC branches are the ones configured. The
# headers are Wine's Windows and C runtime headers and LLVM's libc++. There are no MSVC libraries:
# the check compiles every source and resource, and links one thing, ManeShade.asi, with lld-link
# against Wine's PE import libraries of kernel32.dll and the UCRT (ucrtbase.dll) and the host's import
# library, with a shim in place of the static C runtime (module/CMakeLists.txt, MANESHADE_MSVC_MODE).
# Needs Debian's clang-tools-14, lld-14, llvm-14, libwine-dev and libc++-14-dev (scripts/install-deps.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER_TARGET x86_64-pc-windows-msvc)
set(CMAKE_CXX_COMPILER_TARGET x86_64-pc-windows-msvc)

find_program(CMAKE_C_COMPILER NAMES clang-cl clang-cl-14)
find_program(CMAKE_CXX_COMPILER NAMES clang-cl clang-cl-14)
find_program(CMAKE_LINKER NAMES lld-link lld-link-14)
find_program(CMAKE_RC_COMPILER NAMES llvm-rc llvm-rc-14)
find_program(CMAKE_MT NAMES llvm-mt llvm-mt-14)
foreach(tool CMAKE_C_COMPILER CMAKE_CXX_COMPILER CMAKE_LINKER CMAKE_RC_COMPILER CMAKE_MT)
  if(NOT ${tool})
    message(FATAL_ERROR "${tool}: clang-cl, lld-link, llvm-rc or llvm-mt is missing; install Debian's clang-tools-14, llvm-14 and lld-14")
  endif()
endforeach()
# lib: llvm-lib, and llvm-dlltool for `lib /def` (see lib.sh).
set(CMAKE_AR ${CMAKE_CURRENT_LIST_DIR}/lib.sh)

# libc++ of the compiler's own LLVM (clang-cl-14 is a link to <llvm>/bin/clang).
get_filename_component(llvm_bin "${CMAKE_CXX_COMPILER}" REALPATH)
get_filename_component(llvm_root "${llvm_bin}/../.." ABSOLUTE)
set(libcxx_include "${llvm_root}/include/c++/v1")
# Debian's libwine-dev puts Wine's headers in <prefix>/include/wine/wine/{windows,msvcrt}.
find_path(MANESHADE_WINE_INCLUDE NAMES windows/windows.h msvcrt/corecrt.h PATHS /usr/include/wine/wine /usr/local/include/wine/wine
          NO_DEFAULT_PATH)
if(NOT EXISTS "${libcxx_include}/__config" OR NOT MANESHADE_WINE_INCLUDE)
  message(FATAL_ERROR "libc++ (${libcxx_include}) or Wine's headers are missing; install Debian's libc++-14-dev and libwine-dev")
endif()

# libc++ first, then clang's own headers, then Wine's C runtime and Windows headers, all as system
# headers (their warnings are not the project's). wine_ucrt_gaps.h, included first in every file,
# declares what the real C runtime headers have and Wine's lack.
set(msvc_mode_flags "/external:I${libcxx_include} /imsvc${MANESHADE_WINE_INCLUDE}/msvcrt /imsvc${MANESHADE_WINE_INCLUDE}/windows /FI${CMAKE_CURRENT_LIST_DIR}/wine_ucrt_gaps.h")
set(CMAKE_C_FLAGS_INIT "${msvc_mode_flags}")
set(CMAKE_CXX_FLAGS_INIT "${msvc_mode_flags}")
# cl.exe's /W4 warns of more than clang-cl's /W4, which is clang's -Wall -Wextra. The clang warnings
# that stand for cl.exe's level 1 to 4 ones that those leave out; maneshade_warnings (CMakeLists.txt)
# gives them to every target of the project, and /WX makes them errors like the rest. The README's
# paragraph on the MSVC mode has the table of what is mirrored and what only cl.exe sees.
set(MANESHADE_MSVC_MODE_WARNINGS
    # C4456, C4457, C4458, C4459: a declaration hides a local, a parameter, a member or a global.
    -Wshadow-all
    # C4267, C4244: a conversion that may lose data (64 to 32 bits; int to a narrower integer; floating
    # point to integer, or to a narrower floating point; a 64-bit integer to double).
    -Wshorten-64-to-32 -Wimplicit-int-conversion -Wfloat-conversion -Wimplicit-float-conversion
    -Wimplicit-int-float-conversion
    # C4702: unreachable code; -aggressive adds a return, a break or a loop's increment that can
    # never run, which cl.exe's optimizer may also report.
    -Wunreachable-code-aggressive
    # C4701, C4703: a local that may be used before it is set, on some path.
    -Wconditional-uninitialized
    # C4200, C4201: a zero-sized or unsized array member, a nameless struct or union (extensions).
    -Wzero-length-array -Wc99-extensions -Wgnu-anonymous-struct -Wnested-anon-types)

# llvm-rc runs clang's preprocessor over the scripts; they include Wine's <winver.h>.
set(CMAKE_RC_FLAGS_INIT "/I${MANESHADE_WINE_INCLUDE}/windows")

# No program can be linked (there is no C runtime to start one): the compiler checks build a static
# library.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
# FindThreads links nothing either, so it would take POSIX threads for present, and GoogleTest (built
# for the tests) would include <pthread.h>, which Wine's headers lack: it uses Windows' threads, as
# under MSVC.
set(gtest_disable_pthreads ON CACHE BOOL "GoogleTest uses Windows' threads (MSVC mode)" FORCE)

# What a link gets here: none of the libraries that objects ask for by name (libcmt, libvcruntime,
# libucrt, oldnames: there are none), and in place of the Windows SDK's import libraries that CMake
# names by default, Wine's of kernel32.dll and ucrtbase.dll (libwine-dev: <libdir>/wine/x86_64-windows).
set(MANESHADE_MSVC_MODE ON)
find_path(MANESHADE_WINE_PE_LIBS NAMES libkernel32.a
          PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/wine/x86_64-windows /usr/local/lib/wine/x86_64-windows
          NO_DEFAULT_PATH)
if(NOT MANESHADE_WINE_PE_LIBS OR NOT EXISTS "${MANESHADE_WINE_PE_LIBS}/libucrtbase.a")
  message(FATAL_ERROR "Wine's PE import libraries (wine/x86_64-windows/libkernel32.a, libucrtbase.a) are missing; install Debian's libwine-dev")
endif()
set(CMAKE_SHARED_LINKER_FLAGS_INIT "/nodefaultlib")
foreach(lang C CXX)
  set(CMAKE_${lang}_STANDARD_LIBRARIES "${MANESHADE_WINE_PE_LIBS}/libkernel32.a ${MANESHADE_WINE_PE_LIBS}/libucrtbase.a"
      CACHE STRING "Wine's PE import libraries, in place of the Windows SDK's" FORCE)
endforeach()
