# Configures the project as a Visual Studio build, on Linux, for CI's compile-only check
# (scripts/msvc-mode.sh). The compiler is clang-cl, clang's MSVC driver: clang with
# --target=x86_64-pc-windows-msvc and -fms-compatibility, MSVC's command line, _MSC_VER and MSVC's ABI.
# CMake takes it for MSVC (MSVC is true), so the build's MSVC branches are the ones configured. The
# headers are Wine's Windows and C runtime headers and LLVM's libc++; there are no MSVC libraries, so
# nothing here can link: the check compiles sources and resources (and makes the host's import library).
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
# llvm-rc runs clang's preprocessor over the scripts; they include Wine's <winver.h>.
set(CMAKE_RC_FLAGS_INIT "/I${MANESHADE_WINE_INCLUDE}/windows")

# There is nothing to link with: the compiler checks build a static library.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
