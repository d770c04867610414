// What the validator needs of the console it runs in: binary output, text that shows right in a
// console window, the local time, and whether it runs in a window of its own that would close before
// anyone could read it.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// @per_os_impl Makes `file` write its bytes unchanged ("\n" stays "\n"), so that the --dump JSON
// is the same bytes everywhere. check_console_win32.cpp and check_console_posix.cpp; CMake picks.
void check_console_binary_output(FILE *file) noexcept;

// @per_os_impl Writes the UTF-8 `text` to `file` as the characters it holds when `file` writes to a
// console window (Windows: as UTF-16, through WriteConsoleW, whatever the console's code page, which
// stays as it is); false, having written nothing, when it does not (a file, a pipe), for the caller
// to write the bytes as they are. Always false on POSIX, whose terminals take the bytes.
bool check_console_write(FILE *file, std::string_view text) noexcept;

// @per_os_impl The local time of day, "HH:MM:SS".
std::string check_console_local_time();

// What the program can tell about its console.
struct Check_Console_Facts {
  uint32_t processes_on_console;  // processes attached to the console; 0 without one
  bool input_is_console;          // standard input, output and error read from or write to it,
  bool output_is_console;         // rather than a file or a pipe
  bool error_is_console;
};

// @per_os_impl The facts of this process (all zero where a console is never made for a program).
Check_Console_Facts check_console_facts() noexcept;

// Whether to end with "Press Enter to close this window." and wait: only when the console was made
// for this program alone (Explorer started it, by a double-click or a file dropped onto it), and
// never when started from a terminal, with input or output redirected, or with --dump.
bool check_console_should_pause(const Check_Console_Facts &facts, bool dump) noexcept;

// Writes the prompt to `err` and waits for a line (or the end) of `in`.
void check_console_wait_for_enter(FILE *in, FILE *err) noexcept;
