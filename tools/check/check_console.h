// The one console difference between systems that the validator cares about.
#pragma once
#include <cstdio>

// @per_os_impl Makes `file` write its bytes unchanged ("\n" stays "\n"), so that the --dump JSON
// is the same bytes everywhere. check_console_win32.cpp and check_console_posix.cpp; CMake picks.
void check_console_binary_output(FILE *file) noexcept;
