// The texts that a failed reload shows on screen, after "Mane Shade: ", looked up by failure. They
// are constants, so that the frame loop may keep referring to one from frame to frame; callers
// branch on the failure, never on these texts.
#pragma once
#include <string_view>

#include "src/config/config_status.h"

struct Arena;

// The line the player sees is this prefix, one space, and the reload's message.
constexpr std::string_view MESSAGE_LINE_PREFIX = "Mane Shade:";

inline constexpr const char *MESSAGE_FAILED_TO_OPEN = "failed to open config file";
inline constexpr const char *MESSAGE_FAILED_TO_PARSE = "failed to parse config file";
inline constexpr const char *MESSAGE_DUPLICATE_KEY = "duplicate key";
inline constexpr const char *MESSAGE_BAD_VALUE = "missing key, or failed to parse value";

// Every failure a reload can end with, and what the player sees for it. A file that changed while it
// was read (FAILURE_CHANGED) ends no reload: the next look reads it again.
struct Reload_Runtime_Message {
  Failure failure;
  const char *text;
};

constexpr Reload_Runtime_Message RELOAD_RUNTIME_MESSAGES[] = {
    {FAILURE_FILE_TIME, MESSAGE_FAILED_TO_OPEN},       // the file is missing, or its folder
    {FAILURE_OPEN, MESSAGE_FAILED_TO_OPEN},            // locked, no permission
    {FAILURE_READ, MESSAGE_FAILED_TO_PARSE},           // opened, but the read failed
    {FAILURE_TOO_LARGE, MESSAGE_FAILED_TO_PARSE},      // far larger than a settings file: not read
    {FAILURE_OUT_OF_MEMORY, MESSAGE_FAILED_TO_PARSE},  // the file's data does not fit in memory
};

struct Reload_Content_Message {
  Config_Failure failure;
  const char *text;
};

constexpr Reload_Content_Message RELOAD_CONTENT_MESSAGES[] = {
    {CONFIG_DUPLICATE_KEY, MESSAGE_DUPLICATE_KEY},
    {CONFIG_MISSING_KEY, MESSAGE_BAD_VALUE},
    {CONFIG_NOT_A_TRUTH_VALUE, MESSAGE_BAD_VALUE},
    {CONFIG_NOT_AN_INTEGER, MESSAGE_BAD_VALUE},
};

// The text for `status`: "" when it is ok (the line is cleared).
constexpr const char *reload_message(const Config_Status &status) {
  for (const Reload_Runtime_Message &m : RELOAD_RUNTIME_MESSAGES) {
    if (m.failure == status.runtime.failure) return m.text;
  }
  for (const Reload_Content_Message &m : RELOAD_CONTENT_MESSAGES) {
    if (m.failure == status.content) return m.text;
  }
  return "";
}

// The player's line for `message`: "Mane Shade:", one space and `message`, NUL-terminated, in
// `arena`. data() is null when the arena has no room. The frame loop draws it; the validator prints it.
std::string_view message_line(Arena *arena, std::string_view message) noexcept;
