// Win32 implementation of platform.h. Paths arrive as UTF-8 and are widened to UTF-16 in scratch.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/platform.h"
#include "runtime/arena.h"
#include "runtime/heap.h"
#include "runtime/utf8.h"

namespace {

// ReadFile takes at most a DWORD per call: whole files are read in pieces of 1 GiB.
constexpr DWORD PLATFORM_READ_CHUNK_BYTES = 0x40000000;

uint64_t platform_ticks_from_filetime(const FILETIME &t) {
  return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

Os_Error platform_error_from_win32(DWORD e) {
  switch (e) {
    case ERROR_FILE_NOT_FOUND: return OS_FILE_NOT_FOUND;
    case ERROR_PATH_NOT_FOUND: return OS_PATH_NOT_FOUND;
    case ERROR_ACCESS_DENIED: return OS_ACCESS_DENIED;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return OS_SHARING_VIOLATION;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return OS_OUT_OF_MEMORY;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE: return OS_INVALID_PATH;
    default: return OS_OTHER;
  }
}

// The NUL-terminated UTF-16 form of `path` in scratch, or null (embedded NUL, out of memory).
const wchar_t *platform_wide_path(Arena *scratch, std::string_view path) {
  if (path.find('\0') != std::string_view::npos) return nullptr;
  size_t units = utf16_length_from_utf8(path);
  wchar_t *wide = arena_push_array<wchar_t>(scratch, units + 1);
  if (!wide) return nullptr;
  wide[utf16_from_utf8(path, wide)] = L'\0';
  return wide;
}

// CreateFileW returns INVALID_HANDLE_VALUE (not null) on failure. OPEN_EXISTING never creates the
// file; FILE_SHARE_WRITE lets an editor keep the file open for writing while we read it.
HANDLE platform_open_file(Arena *scratch, std::string_view path, Os_Error *error) {
  const wchar_t *wide = platform_wide_path(scratch, path);
  if (!wide) {
    *error = OS_INVALID_PATH;
    return INVALID_HANDLE_VALUE;
  }
  HANDLE file = CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  *error = file == INVALID_HANDLE_VALUE ? platform_error_from_win32(GetLastError()) : OS_OK;
  return file;
}

uint64_t win32_now_ticks() noexcept {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return platform_ticks_from_filetime(now);
}

Result<uint64_t> win32_last_write_ticks(Arena *scratch, std::string_view path) noexcept {
  const wchar_t *wide = platform_wide_path(scratch, path);
  if (!wide) return status_fail(FAILURE_FILE_TIME, OS_INVALID_PATH);
  WIN32_FILE_ATTRIBUTE_DATA data;
  // Returns zero on failure, with the reason in GetLastError.
  if (!GetFileAttributesExW(wide, GetFileExInfoStandard, &data)) {
    return status_fail(FAILURE_FILE_TIME, platform_error_from_win32(GetLastError()));
  }
  return platform_ticks_from_filetime(data.ftLastWriteTime);
}

Status win32_check_open(Arena *scratch, std::string_view path) noexcept {
  Os_Error error;
  HANDLE file = platform_open_file(scratch, path, &error);
  if (file == INVALID_HANDLE_VALUE) return status_fail(FAILURE_OPEN, error);
  CloseHandle(file);
  return STATUS_OK;
}

Result<File_Bytes> win32_read_file(Arena *scratch, std::string_view path) noexcept {
  Os_Error error;
  HANDLE file = platform_open_file(scratch, path, &error);
  if (file == INVALID_HANDLE_VALUE) return status_fail(FAILURE_READ, error);
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) {
    error = platform_error_from_win32(GetLastError());
    CloseHandle(file);
    return status_fail(FAILURE_READ, error);
  }
  if (static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX) {
    CloseHandle(file);
    return status_fail(FAILURE_READ, OS_TOO_LARGE);
  }
  size_t total = static_cast<size_t>(size.QuadPart);
  char *data = total ? static_cast<char *>(heap_alloc(total)) : nullptr;
  if (total && !data) {
    CloseHandle(file);
    return status_fail(FAILURE_OUT_OF_MEMORY);
  }
  size_t got = 0;
  while (got < total) {
    // Zero bytes read at success means end of file (it shrank since its size was taken).
    DWORD chunk = total - got > PLATFORM_READ_CHUNK_BYTES ? PLATFORM_READ_CHUNK_BYTES : static_cast<DWORD>(total - got);
    DWORD n = 0;
    if (!ReadFile(file, data + got, chunk, &n, nullptr)) {
      error = platform_error_from_win32(GetLastError());
      CloseHandle(file);
      heap_free(data);
      return status_fail(FAILURE_READ, error);
    }
    if (n == 0) break;
    got += n;
  }
  CloseHandle(file);
  return File_Bytes{data, got};
}

}  // namespace

const Platform_Services PLATFORM_NATIVE_SERVICES = {win32_now_ticks, win32_last_write_ticks, win32_check_open,
                                                   win32_read_file};
