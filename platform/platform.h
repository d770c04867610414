// The few operating-system services the portable code needs, with portable types.
// One implementation per OS: platform_win32.cpp and platform_posix.cpp; CMake picks the file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/status.h"

struct Arena;

// The module's clock and file times: 100 ns ticks since 1601-01-01 UTC (Windows' FILETIME).
constexpr uint64_t TICKS_PER_SECOND = 10'000'000;

// @per_os_impl (through PLATFORM_NATIVE_SERVICES) The current system time, in TICKS_PER_SECOND
// units since 1601-01-01 UTC.
uint64_t platform_now_ticks() noexcept;

// What a look at a file tells without opening it.
struct File_Stamp {
  uint64_t last_write_ticks;  // in the units of platform_now_ticks
  uint64_t size_bytes;
  friend constexpr bool operator==(const File_Stamp &, const File_Stamp &) = default;
};

// The last-write time and size of the file at the UTF-8 `path`; or FAILURE_FILE_TIME with the OS's
// reason (OS_IS_A_FOLDER for a folder, OS_NOT_A_FILE for a device or a pipe), or
// FAILURE_OUT_OF_MEMORY. Never blocks on what the path names. Temporaries go to `scratch`.
Result<File_Stamp> platform_file_stamp(Arena *scratch, std::string_view path) noexcept;

// Reads the whole existing file at the UTF-8 `path` into `arena`, when it holds at most `max_bytes`.
// The file is opened for reading only, sharing read, write and delete with others (an editor may
// hold it open, and a save may replace or delete it meanwhile), and closed before the call returns:
// it is held for the read alone. Only a file on a disk opens, and opening never blocks.
//   - FAILURE_OPEN with the OS's reason: missing, locked, no permission, a folder (OS_IS_A_FOLDER),
//     a device or a pipe (OS_NOT_A_FILE);
//   - FAILURE_READ with the OS's reason once opened; OS_TOO_LARGE past `max_bytes`;
//   - FAILURE_OUT_OF_MEMORY when `arena` has no room for the bytes or a temporary.
// A file that shrinks while it is read gives what was there; data() may be null for an empty file.
Result<std::string_view> platform_read_file(Arena *arena, std::string_view path, uint64_t max_bytes) noexcept;

// @per_os_impl (through PLATFORM_NATIVE_SERVICES) The UTF-8 path of the file `name` in the folder
// of the module's own file (on Windows the DLL this code is linked into, found from its module
// handle; elsewhere the running program), in `arena`. FAILURE_OPEN with the OS's reason when the
// module's file cannot be named, or FAILURE_OUT_OF_MEMORY. Not to be called from the DLL entry.
Result<std::string_view> platform_beside_module(Arena *arena, std::string_view name) noexcept;

// The services above, as a table. Each OS file provides PLATFORM_NATIVE_SERVICES; tests substitute
// an in-memory file system and a clock they advance.
struct Platform_Services {
  uint64_t (*now_ticks)() noexcept;
  Result<File_Stamp> (*file_stamp)(Arena *scratch, std::string_view path) noexcept;
  Result<std::string_view> (*read_file)(Arena *arena, std::string_view path, uint64_t max_bytes) noexcept;
  Result<std::string_view> (*beside_module)(Arena *arena, std::string_view name) noexcept;
};

extern const Platform_Services PLATFORM_NATIVE_SERVICES;

// Routes the services above through `services` (null: the native ones); returns the previous table.
const Platform_Services *platform_use_services(const Platform_Services *services) noexcept;
