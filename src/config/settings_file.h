// The settings file, read the reloader's way: a look at its time and size, the size bound, one open
// and read, the text (UTF-16 decoded), and a second look that tells a whole version from a save
// caught half-way. The reloader and the validator both read it through here.
#pragma once
#include <cstdint>
#include <string_view>

#include "platform/platform.h"
#include "runtime/status.h"
#include "src/config/config.h"
#include "src/config/config_status.h"

struct Arena;

constexpr std::string_view CONFIG_FILE_NAME = "ManeShade.ini";  // in the process's working folder

// The settings file is about 2 KB. A larger file than this is refused before it is read, so that
// no save, however odd, can stall a frame or take the game's memory.
constexpr uint64_t CONFIG_FILE_MAX_BYTES = uint64_t{1} << 20;  // 1 MiB

struct Settings_Text {
  std::string_view bytes;  // the file's bytes, as read
  std::string_view text;   // what the INI reader reads: `bytes`, or their decoding from UTF-16
};

// The text of the file at `path` that the look `looked` (platform_file_stamp) saw, in `scratch`:
//   - FAILURE_TOO_LARGE, without opening it, when `looked` is past CONFIG_FILE_MAX_BYTES;
//   - FAILURE_OPEN or FAILURE_READ with the OS's reason (platform_read_file);
//   - FAILURE_CHANGED when a second look after the read does not see `looked` again (the file was
//     being saved, or is gone): what was read is no version of the file;
//   - FAILURE_OUT_OF_MEMORY when `scratch` has no room.
// Bytes that start with a UTF-16 byte-order mark (FF FE: little endian; FE FF: big endian), as
// Windows editors save "Unicode", are decoded (a U+FEFF right after the mark then is the UTF-8
// byte-order mark that the reader skips; unpaired surrogates and an odd last byte become U+FFFD);
// any other bytes are the text byte for byte.
Result<Settings_Text> settings_file_read(Arena *scratch, std::string_view path, const File_Stamp &looked) noexcept;

// The text that a file's `bytes` hold, as settings_file_read takes it, in `arena`.
Result<std::string_view> settings_text_from_bytes(Arena *arena, std::string_view bytes) noexcept;

// A settings file read and converted the reloader's way, in one step: what the reloader, the
// validator and the fuzz targets all go through.
struct Settings_Load {
  Config_Status status;  // settings_file_read's failure, else config_from_text's verdict
  Config config;         // what the module would install, when status is ok; else all zero
  Settings_Text read;    // the file's bytes and text, in the scratch; empty when the read failed
};

// Reads the file at `path` that the look `looked` saw (settings_file_read) and converts its text
// (config_from_text). Temporaries, and the bytes and text it hands back, go to `scratch`.
Settings_Load settings_file_load(Arena *scratch, std::string_view path, const File_Stamp &looked) noexcept;
