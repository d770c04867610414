// The reloader: keeps the frame loop's Config in step with ManeShade.ini.
#pragma once
#include <cstdint>
#include <string_view>

#include "runtime/names.h"
#include "src/config/config.h"

constexpr uint64_t RELOAD_INTERVAL_TICKS = TICKS_PER_SECOND;  // one look at the file a second at most

struct Reload_Result {
  bool unchanged;       // true: nothing was attempted this time
  const char *message;  // when !unchanged: "" if the Config was replaced, else why not (a constant)
};

// Runs once per frame. Looks at the file's last-write time at most once a second (at once when the
// system clock reads earlier than the last look), and reads the file only when that time changed;
// the new time counts as seen whatever the outcome, so a file that failed is not read again until
// it is saved again. Replaces `*config` as a whole, and only after every expected key converted.
// Failures come back as messages, never as exceptions, and leave `*config` as it was.
Reload_Result update_config(Config *config, Reload_State *state) noexcept;
