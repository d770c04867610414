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

// The last-write time of the file at the UTF-8 `path`, in the units of platform_now_ticks; or
// FAILURE_FILE_TIME with the OS's reason. Temporaries go to `scratch`.
Result<uint64_t> platform_last_write_ticks(Arena *scratch, std::string_view path) noexcept;

// Opens the existing file at `path` for reading, sharing read and write with others, and closes it
// again at once: tells whether it can be opened now. FAILURE_OPEN with the OS's reason when not.
Status platform_check_open(Arena *scratch, std::string_view path) noexcept;

// A whole file's bytes, on the heap; free with platform_free_file.
struct File_Bytes {
  char *data;
  size_t size;
};

// Reads the whole existing file at `path` (opened as platform_check_open opens it). Its bytes are on
// the heap (data may be null when size is 0); free them with platform_free_file. FAILURE_READ with
// the OS's reason, or FAILURE_OUT_OF_MEMORY. No handle stays open after the call.
Result<File_Bytes> platform_read_file(Arena *scratch, std::string_view path) noexcept;

void platform_free_file(File_Bytes *bytes) noexcept;

// The file and clock services above, as a table. Each OS file provides PLATFORM_NATIVE_SERVICES;
// tests substitute an in-memory file system and a clock they advance.
struct Platform_Services {
  uint64_t (*now_ticks)() noexcept;
  Result<uint64_t> (*last_write_ticks)(Arena *scratch, std::string_view path) noexcept;
  Status (*check_open)(Arena *scratch, std::string_view path) noexcept;
  Result<File_Bytes> (*read_file)(Arena *scratch, std::string_view path) noexcept;
};

extern const Platform_Services PLATFORM_NATIVE_SERVICES;

// Routes the services above through `services` (null: the native ones); returns the previous table.
const Platform_Services *platform_use_services(const Platform_Services *services) noexcept;
