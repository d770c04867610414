// What every part of maneshade-check shares when it reports: the exit statuses, the one way text
// from a file or a path is made safe for a terminal, and the plain words for the OS's reasons. The
// file check (check.h), the folder check (check_game.h) and the watch (check_watch.h) build on it;
// it knows none of them.
#pragma once
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "runtime/status.h"

enum Check_Exit : int {
  CHECK_EXIT_INSTALLED = 0,    // the module would install the file
  CHECK_EXIT_REFUSED = 1,      // the module would refuse the file and show a message
  CHECK_EXIT_NOT_CHECKED = 2,  // the file cannot be read, bad usage, or out of memory
};

// Writes `text`, UTF-8, as it is; to a console window, as the characters it holds, whatever the
// console's code page (check_console_write).
void check_write(FILE *file, std::string_view text);
// Appends `text` to a report being put together, to be written as a whole later.
void check_write(std::string *report, std::string_view text);

// Text from a file or a path as it may reach a terminal, the one escaping every report line uses:
// every byte below 0x20 and 0x7F, the two bytes of a C1 control (U+0080..U+009F, C2 80..C2 9F in
// UTF-8), and every byte that is not part of a valid UTF-8 sequence are written "\xNN" (lowercase
// hex); every invisible character (check_is_invisible: zero-width, bidirectional, the byte-order
// mark) is written "<U+200B>"; all else is copied. The result holds no byte below 0x20, no 0x7F, no
// C1 control and no invisible character, and is valid UTF-8.
std::string check_visible(std::string_view text);

// "<path>:<line>: " or, without a line (0), "<path>: ", the path made visible.
std::string check_where(std::string_view path, size_t line);

// "[<section>]", the name made visible.
std::string check_bracketed(std::string_view section);

// The line the game shows for `message`, "Mane Shade: <message>" (message_line), without a line end.
std::string check_player_line(std::string_view message);

// The OS's reason in plain words: "no such file", "it is a folder, not a file", ...
const char *check_reason(Os_Error error);
