// The reloader: keeps the frame loop's Config in step with ManeShade.ini.
#pragma once
#include <cstdint>
#include <string_view>

#include "platform/platform.h"
#include "src/config/config.h"
#include "src/config/config_status.h"
#include "src/config/settings_file.h"

struct Arena;

constexpr uint64_t RELOAD_INTERVAL_TICKS = TICKS_PER_SECOND;  // one look at the file a second at most

// Where the settings file is looked for, at every look: in the working folder, and when the working
// folder holds none (no file of that name, no such folder, a folder or a device under that name, a
// drive, share or link that cannot be reached), beside the module: a game started from a launcher
// or a shortcut may run in another folder than its own, and an ASI loader may load the module from
// a subfolder of the game's.
struct Settings_Places {
  std::string_view working;        // CONFIG_FILE_NAME, relative to the working folder
  std::string_view beside_module;  // the same name in the module's folder; empty when unknown
};

constexpr Settings_Places SETTINGS_WORKING_FOLDER_ONLY = {CONFIG_FILE_NAME, {}};

// Whether a failed look at a place's file (platform_file_stamp), or a failed open of what the look
// took for a file, found no file there, so that the next place is looked at: no such file or
// folder, a folder, a device or a pipe under that name, a drive, share or link that cannot be
// reached or resolved. False for a file that is there but cannot be looked at or opened (access
// denied, held by another program, a read error), for a failure the system does not explain, and
// for memory running out: those are that place's failure, so that a moment's trouble never
// switches the game to the other file's tints.
bool settings_look_finds_no_file(const Status &look) noexcept;

// Both places, the module's folder found from the module's file (platform_beside_module), in
// `arena`, which must outlive their use. When the module's folder cannot be named, the working
// folder's alone. Not to be called from the DLL entry.
Settings_Places settings_places(Arena *arena) noexcept;

struct Reload_Result {
  bool unchanged;        // true: no attempt ended this time, and the line on screen stays as it is
  const char *message;   // when !unchanged: "" if the Config was replaced, else why not (a constant)
  Config_Status status;  // the attempt's outcome, of which `message` is the player's words when !unchanged;
                         // when unchanged, FAILURE_CHANGED for a read that caught a save under way
  std::string_view path; // the file looked at this time (empty when no look was made)
  File_Stamp looked;     // what that look saw, when it saw the file
  Settings_Text read;    // the file's bytes and text when it was read, in the scratch (until released)
};

// Runs once per frame, on the frame scratch. Looks at the file's last-write time and size at most
// once a second (at once when the system clock reads earlier than the last look), and reads the
// file only when the version they describe differs from the one last read. A version is which file
// it is (the working folder's or the one beside the module; the choice is made anew at every look),
// its time and its size: a save that keeps the time but changes the size (two-second file times, a
// tool that restores times) is read, and so is the other place's file, whatever its time and size.
// Replaces `*config` as a whole, and only after every expected key converted. Failures come back as
// messages, never as exceptions, and leave `*config` as it was.
//   - A version that was read counts as seen whatever its outcome, while the file stays: a file that
//     failed to parse or convert (or is larger than CONFIG_FILE_MAX_BYTES) is not read again until
//     it is saved again.
//   - Any other failure (no file in either place, a file that cannot be looked at, opened or read,
//     memory running short) forgets the version seen: the next look that finds a file reads it, even
//     one put back exactly as it was, so that the line on screen always says what the file holds.
//   - A version that changed while it was read (its time or size after the read differ from the
//     look's) is not installed and changes no message: the next look tries again.
Reload_Result update_config(Config *config, Reload_State *state, const Settings_Places &places) noexcept;

// The same with temporaries in `scratch`; update_config_at follows the one file at `path` (the
// validator's --watch follows any file this way).
Reload_Result update_config_from(Arena *scratch, const Settings_Places &places, Config *config, Reload_State *state) noexcept;
Reload_Result update_config_at(Arena *scratch, std::string_view path, Config *config, Reload_State *state) noexcept;
