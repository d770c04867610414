// The few operating-system services the portable code needs, with portable types.
// One implementation per OS: platform_win32.cpp and platform_posix.cpp; CMake picks the file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/names.h"  // TICKS_PER_SECOND

struct Arena;

// What an OS call reported, by kind. os_error_name gives the name that logs show.
enum Os_Error : uint32_t {
  OS_OK = 0,
  OS_FILE_NOT_FOUND,
  OS_PATH_NOT_FOUND,
  OS_ACCESS_DENIED,
  OS_SHARING_VIOLATION,
  OS_NOT_A_FILE,
  OS_OUT_OF_MEMORY,
  OS_TOO_LARGE,
  OS_INVALID_PATH,
  OS_IO_ERROR,
  OS_OTHER,
};

const char *os_error_name(Os_Error error) noexcept;


// @per_os_impl (through PLATFORM_NATIVE_SERVICES) The current system time, in 100 ns ticks since 1601-01-01 UTC.
uint64_t platform_now_ticks() noexcept;

struct Platform_Time_Result {
  Os_Error error;  // OS_OK on success
  uint64_t ticks;  // the file's last-write time, in the units of platform_now_ticks
};

// The last-write time of the file at the UTF-8 `path`. Temporaries go to `scratch`.
Platform_Time_Result platform_last_write_ticks(Arena *scratch, std::string_view path) noexcept;

// Opens the existing file at `path` for reading, sharing read and write with others,
// and closes it again at once: tells whether it can be opened now.
Os_Error platform_check_open(Arena *scratch, std::string_view path) noexcept;

// A whole file's bytes, on the heap; free with platform_free_file.
struct File_Bytes {
  char *data;
  size_t size;
};

// Reads the whole existing file at `path` (opened as platform_check_open opens it).
// On success fills `out` (data may be null when size is 0); on failure `out` is left empty.
// No handle stays open after the call.
Os_Error platform_read_file(Arena *scratch, std::string_view path, File_Bytes *out) noexcept;

void platform_free_file(File_Bytes *bytes) noexcept;

// The file and clock services above, as a table. Each OS file provides PLATFORM_NATIVE_SERVICES;
// tests substitute an in-memory file system and a clock they advance.
struct Platform_Services {
  uint64_t (*now_ticks)() noexcept;
  Platform_Time_Result (*last_write_ticks)(Arena *scratch, std::string_view path) noexcept;
  Os_Error (*check_open)(Arena *scratch, std::string_view path) noexcept;
  Os_Error (*read_file)(Arena *scratch, std::string_view path, File_Bytes *out) noexcept;
};

extern const Platform_Services PLATFORM_NATIVE_SERVICES;

// Routes the services above through `services` (null: the native ones); returns the previous table.
const Platform_Services *platform_use_services(const Platform_Services *services) noexcept;

// @per_os_impl Blocks of the process heap. Null when the heap is exhausted.
void *platform_heap_alloc(size_t size) noexcept;
void platform_heap_free(void *block) noexcept;
