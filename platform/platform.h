// The few operating-system services the portable code needs, with portable types.
// One implementation per OS: platform_win32.cpp and platform_posix.cpp; CMake picks the file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/names.h"  // TICKS_PER_SECOND
#include "runtime/status.h"

struct Arena;

// @per_os_impl (through PLATFORM_NATIVE_SERVICES) The current system time, in 100 ns ticks since 1601-01-01 UTC.
uint64_t platform_now_ticks() noexcept;

// What a look at a file tells without opening it.
struct File_Stamp {
  uint64_t last_write_ticks;  // in the units of platform_now_ticks
  uint64_t size_bytes;
  friend constexpr bool operator==(const File_Stamp &, const File_Stamp &) = default;
};

// The last-write time and size of the file at the UTF-8 `path`; or FAILURE_FILE_TIME with the OS's
// reason (OS_IS_A_FOLDER for a folder, OS_NOT_A_FILE for a device or a pipe). Never blocks on what
// the path names. Temporaries go to `scratch`.
Result<File_Stamp> platform_file_stamp(Arena *scratch, std::string_view path) noexcept;

// Opens the existing file at `path` for reading, sharing read and write with others, and closes it
// again at once: tells whether it can be opened now. FAILURE_OPEN with the OS's reason when not;
// only a file on a disk opens (a folder gives OS_IS_A_FOLDER, a device or a pipe OS_NOT_A_FILE),
// and opening never blocks.
Status platform_check_open(Arena *scratch, std::string_view path) noexcept;

// A whole file's bytes, on the heap; free with platform_free_file.
struct File_Bytes {
  char *data;
  size_t size;
};

// Reads the whole existing file at `path` (opened as platform_check_open opens it) when it holds at
// most `max_bytes`. Its bytes are on the heap (data may be null when size is 0); free them with
// platform_free_file. FAILURE_READ with the OS's reason: OS_TOO_LARGE past `max_bytes`,
// OS_OUT_OF_MEMORY when the heap has no room for it. No handle stays open after the call.
Result<File_Bytes> platform_read_file(Arena *scratch, std::string_view path, uint64_t max_bytes = UINT64_MAX) noexcept;

void platform_free_file(File_Bytes *bytes) noexcept;

// The file and clock services above, as a table. Each OS file provides PLATFORM_NATIVE_SERVICES;
// tests substitute an in-memory file system and a clock they advance.
struct Platform_Services {
  uint64_t (*now_ticks)() noexcept;
  Result<File_Stamp> (*file_stamp)(Arena *scratch, std::string_view path) noexcept;
  Status (*check_open)(Arena *scratch, std::string_view path) noexcept;
  Result<File_Bytes> (*read_file)(Arena *scratch, std::string_view path, uint64_t max_bytes) noexcept;
};

extern const Platform_Services PLATFORM_NATIVE_SERVICES;

// Routes the services above through `services` (null: the native ones); returns the previous table.
const Platform_Services *platform_use_services(const Platform_Services *services) noexcept;
