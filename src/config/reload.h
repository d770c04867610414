// The reloader: keeps the frame loop's Config in step with ManeShade.ini.
#pragma once
#include <cstdint>
#include <string_view>

#include "runtime/names.h"
#include "src/config/config.h"

constexpr uint64_t RELOAD_INTERVAL_TICKS = TICKS_PER_SECOND;  // one look at the file a second at most

// The settings file is about 2 KB. A larger file than this is refused before it is read, so that
// no save, however odd, can stall a frame or take the game's memory.
constexpr uint64_t CONFIG_FILE_MAX_BYTES = 1 << 20;  // 1 MiB

struct Reload_Result {
  bool unchanged;       // true: nothing was attempted this time
  const char *message;  // when !unchanged: "" if the Config was replaced, else why not (a constant)
};

// Runs once per frame. Looks at the file's last-write time and size at most once a second (at once
// when the system clock reads earlier than the last look), and reads the file only when that time
// differs from the version last read. Replaces `*config` as a whole, and only after every expected
// key converted. Failures come back as messages, never as exceptions, and leave `*config` as it was.
//   - A version that was read counts as seen whatever its outcome: a file that failed to parse or
//     convert (or is larger than CONFIG_FILE_MAX_BYTES) is not read again until it is saved again.
//   - A version that could not be opened or read (another program held it for a moment) does not:
//     the next look, a second later, tries again.
//   - A version that changed while it was read (its time or size after the read differ from the
//     look's) is not installed and changes no message: the next look tries again.
Reload_Result update_config(Config *config, Reload_State *state) noexcept;

// The same for the file at `path` (the validator's --watch follows any file this way).
Reload_Result update_config_at(std::string_view path, Config *config, Reload_State *state) noexcept;
