// The reloader: keeps the frame loop's Config in step with ManeShade.ini.
#pragma once
#include <cstdint>
#include <string_view>

#include "platform/platform.h"
#include "src/config/config.h"

struct Arena;

constexpr uint64_t RELOAD_INTERVAL_TICKS = TICKS_PER_SECOND;  // one look at the file a second at most

struct Reload_Result {
  bool unchanged;       // true: nothing was attempted this time
  const char *message;  // when !unchanged: "" if the Config was replaced, else why not (a constant)
};

// Runs once per frame, on the frame scratch. Looks at the file's last-write time and size at most
// once a second (at once when the system clock reads earlier than the last look), and reads the
// file only when the version they describe differs from the one last read: a save that keeps the
// time but changes the size (two-second file times, a tool that restores times) is read too.
// Replaces `*config` as a whole, and only after every expected key converted. Failures come back
// as messages, never as exceptions, and leave `*config` as it was.
//   - A version that was read counts as seen whatever its outcome: a file that failed to parse or
//     convert (or is larger than CONFIG_FILE_MAX_BYTES) is not read again until it is saved again.
//   - A version that could not be opened or read (another program held it for a moment), or whose
//     data did not fit in memory, does not: the next look, a second later, tries again.
//   - A version that changed while it was read (its time or size after the read differ from the
//     look's) is not installed and changes no message: the next look tries again.
Reload_Result update_config(Config *config, Reload_State *state) noexcept;

// The same for the file at `path`, with temporaries in `scratch` (the validator's --watch follows
// any file this way).
Reload_Result update_config_at(Arena *scratch, std::string_view path, Config *config, Reload_State *state) noexcept;
