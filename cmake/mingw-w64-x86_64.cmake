# Cross-compiles for Windows x86-64 with mingw-w64 and runs the Windows programs under Wine.
# Usage: cmake --preset mingw-release   (or -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake)
# Needs Debian's mingw-w64 and wine64 packages (Wine only for the tests). Project flags stay in
# CMakeLists.txt.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_PREFIX x86_64-w64-mingw32)
# The posix thread model: its libstdc++ has std::mutex (GoogleTest needs it). Programs link its
# winpthread statically; the module links the win32 model's runtime instead (module/CMakeLists.txt).
find_program(CMAKE_C_COMPILER NAMES ${MINGW_PREFIX}-gcc-posix ${MINGW_PREFIX}-gcc)
find_program(CMAKE_CXX_COMPILER NAMES ${MINGW_PREFIX}-g++-posix ${MINGW_PREFIX}-g++)
find_program(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)
find_program(CMAKE_DLLTOOL ${MINGW_PREFIX}-dlltool)
find_program(MANESHADE_OBJDUMP ${MINGW_PREFIX}-objdump)
foreach(tool CMAKE_C_COMPILER CMAKE_CXX_COMPILER CMAKE_RC_COMPILER CMAKE_DLLTOOL MANESHADE_OBJDUMP)
  if(NOT ${tool})
    message(FATAL_ERROR "${tool}: the ${MINGW_PREFIX} tool is missing; install Debian's mingw-w64 package")
  endif()
endforeach()

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(WINE_PROGRAM wine)
# The release package alone (MANESHADE_TESTS off: scripts/package.sh) runs no Windows program, so it
# builds without Wine; neither do CMake's compiler checks run one.
get_property(in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
if(NOT WINE_PROGRAM AND NOT in_try_compile AND (NOT DEFINED MANESHADE_TESTS OR MANESHADE_TESTS))
  message(FATAL_ERROR "wine is missing; install Debian's wine64 package")
endif()
# The wrapper gives every Windows program a private Wine prefix in the build folder, made once.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wineprefix)
