// Win32 implementation of platform.h. Paths arrive as UTF-8 and are widened to UTF-16 in scratch.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstring>

#include "platform/platform.h"
#include "runtime/arena.h"
#include "runtime/utf8.h"

namespace {

// ReadFile takes at most a DWORD per call: whole files are read in pieces of 1 GiB.
constexpr DWORD PLATFORM_READ_CHUNK_BYTES = 0x40000000;

// ERROR_NO_SUCH_DEVICE, which mingw-w64's headers lack: how Wine refuses to open a Linux socket.
constexpr DWORD PLATFORM_ERROR_NO_SUCH_DEVICE = 433;

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
    case ERROR_DIRECTORY: return OS_PATH_NOT_FOUND;  // a folder of the path is a file
    case ERROR_CANT_RESOLVE_FILENAME: return OS_SYMLINK_LOOP;  // a link that leads back to itself
    // A drive that is gone or empty, a share or server that does not answer, a link whose target
    // cannot be reached.
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_NO_MEDIA_IN_DRIVE:
    case ERROR_UNRECOGNIZED_VOLUME:
    case ERROR_BAD_DEVICE:
    case ERROR_REM_NOT_LIST:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_NET_RESP:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_NETNAME_DELETED:
    case ERROR_CONNECTION_UNAVAIL:
    case ERROR_NO_NET_OR_BAD_PATH:
    case ERROR_NETWORK_UNREACHABLE:
    case ERROR_HOST_UNREACHABLE:
    case ERROR_NOT_CONNECTED:
    case ERROR_CANT_ACCESS_FILE: return OS_UNREACHABLE;
    default: return OS_OTHER;
  }
}

// The NUL-terminated UTF-16 form of `path` in scratch: null with OS_INVALID_PATH for a path with an
// embedded NUL (it would name another file), or with OS_OUT_OF_MEMORY.
const wchar_t *platform_wide_path(Arena *scratch, std::string_view path, Os_Error *error) {
  *error = OS_INVALID_PATH;
  if (path.find('\0') != std::string_view::npos) return nullptr;
  *error = OS_OUT_OF_MEMORY;
  size_t units = utf16_length_from_utf8(path);
  if (units == SIZE_MAX) return nullptr;
  wchar_t *wide = arena_push_array<wchar_t>(scratch, units + 1);
  if (!wide) return nullptr;
  wide[utf16_from_utf8(path, wide)] = L'\0';
  *error = OS_OK;
  return wide;
}

// CreateFileW returns INVALID_HANDLE_VALUE (not null) on failure. OPEN_EXISTING never creates the
// file. FILE_SHARE_WRITE lets an editor keep the file open for writing while we read it, and
// FILE_SHARE_DELETE lets a save that deletes or renames over the file go ahead while we hold it
// (Windows refuses to delete a file held open without it). A folder fails with
// ERROR_ACCESS_DENIED, which would read as a permission problem: its attributes tell. Device names
// ("NUL", "COM1", "nul.ini") open too, as devices: only a disk file is kept.
HANDLE platform_open_file(const wchar_t *wide, Os_Error *error) {
  HANDLE file = CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    DWORD attributes = e == ERROR_ACCESS_DENIED ? GetFileAttributesW(wide) : INVALID_FILE_ATTRIBUTES;
    bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    *error = folder ? OS_IS_A_FOLDER : platform_error_from_win32(e);
    return INVALID_HANDLE_VALUE;
  }
  // GetFileType returns FILE_TYPE_DISK for files; FILE_TYPE_CHAR for devices, FILE_TYPE_PIPE.
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    *error = OS_NOT_A_FILE;
    return INVALID_HANDLE_VALUE;
  }
  *error = OS_OK;
  return file;
}

// Reads `size` bytes of the open `file` into `data`; fewer when the file shrank meanwhile.
Result<size_t> platform_read_all(HANDLE file, char *data, size_t size) {
  size_t got = 0;
  while (got < size) {
    // Zero bytes read at success means end of file (it shrank since its size was taken).
    DWORD chunk = size - got > PLATFORM_READ_CHUNK_BYTES ? PLATFORM_READ_CHUNK_BYTES : static_cast<DWORD>(size - got);
    DWORD n = 0;
    if (!ReadFile(file, data + got, chunk, &n, nullptr)) return status_fail(FAILURE_READ, platform_error_from_win32(GetLastError()));
    if (n == 0) break;
    got += n;
  }
  return got;
}

// Wine answers a look at a Linux device, pipe or socket under the name (a link to /dev/null, a
// FIFO) with ERROR_INVALID_PARAMETER, where Windows has no such thing under a plain name. An open
// that asks for no access tells what it is; it returns at once, as Wine opens a pipe without
// waiting for a writer, and it is made only for this answer.
Os_Error platform_kind_of_odd_name(const wchar_t *wide) {
  HANDLE file = CreateFileW(wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError() == PLATFORM_ERROR_NO_SUCH_DEVICE ? OS_NOT_A_FILE : OS_OTHER;  // a socket
  DWORD type = GetFileType(file);
  CloseHandle(file);
  return type == FILE_TYPE_DISK ? OS_OTHER : OS_NOT_A_FILE;
}

uint64_t win32_now_ticks() noexcept {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return platform_ticks_from_filetime(now);
}

Result<File_Stamp> win32_file_stamp(Arena *scratch, std::string_view path) noexcept {
  Os_Error error;
  const wchar_t *wide = platform_wide_path(scratch, path, &error);
  if (!wide) return status_fail(error == OS_OUT_OF_MEMORY ? FAILURE_OUT_OF_MEMORY : FAILURE_FILE_TIME, error);
  WIN32_FILE_ATTRIBUTE_DATA data;
  // Returns zero on failure, with the reason in GetLastError. Reads the folder entry only: it opens
  // nothing, so a device name cannot block it.
  if (!GetFileAttributesExW(wide, GetFileExInfoStandard, &data)) {
    DWORD e = GetLastError();
    return status_fail(FAILURE_FILE_TIME, e == ERROR_INVALID_PARAMETER ? platform_kind_of_odd_name(wide) : platform_error_from_win32(e));
  }
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return status_fail(FAILURE_FILE_TIME, OS_IS_A_FOLDER);
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) return status_fail(FAILURE_FILE_TIME, OS_NOT_A_FILE);
  uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return File_Stamp{platform_ticks_from_filetime(data.ftLastWriteTime), size};
}

Result<std::string_view> win32_read_file(Arena *arena, std::string_view path, uint64_t max_bytes) noexcept {
  Os_Error error;
  const wchar_t *wide = platform_wide_path(arena, path, &error);
  if (!wide) return status_fail(error == OS_OUT_OF_MEMORY ? FAILURE_OUT_OF_MEMORY : FAILURE_OPEN, error);
  HANDLE file = platform_open_file(wide, &error);
  if (file == INVALID_HANDLE_VALUE) return status_fail(FAILURE_OPEN, error);
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) {
    error = platform_error_from_win32(GetLastError());
    CloseHandle(file);
    return status_fail(FAILURE_READ, error);
  }
  auto bytes = static_cast<uint64_t>(size.QuadPart);
  if (bytes > max_bytes || bytes > SIZE_MAX) {
    CloseHandle(file);
    return status_fail(FAILURE_READ, OS_TOO_LARGE);
  }
  char *data = bytes ? static_cast<char *>(arena_push(arena, static_cast<size_t>(bytes), 1)) : nullptr;
  if (bytes && !data) {
    CloseHandle(file);
    return status_fail(FAILURE_OUT_OF_MEMORY);
  }
  Result<size_t> got = platform_read_all(file, data, static_cast<size_t>(bytes));
  CloseHandle(file);
  if (!got.ok()) return got.status();
  return std::string_view(data, got.value());
}

// The module is the DLL that holds this function. GetModuleHandleExW returns zero on failure;
// UNCHANGED_REFCOUNT takes no reference, so there is nothing to free. GetModuleFileNameW returns
// the length written without the NUL, or the buffer's size when the path was cut short (then the
// buffer is grown and the call made again), or zero on failure.
Result<std::string_view> win32_beside_module(Arena *arena, std::string_view name) noexcept {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&win32_beside_module), &module)) {
    return status_fail(FAILURE_OPEN, platform_error_from_win32(GetLastError()));
  }
  Arena_Mark mark = arena_mark(arena);
  constexpr DWORD LONGEST_PATH_UNITS = 32768;  // a \\?\ path's bound
  for (DWORD units = MAX_PATH;; units *= 2) {
    wchar_t *wide = arena_push_array<wchar_t>(arena, units);
    if (!wide) return status_fail(FAILURE_OUT_OF_MEMORY);
    DWORD length = GetModuleFileNameW(module, wide, units);
    if (length == 0) return status_fail(FAILURE_OPEN, platform_error_from_win32(GetLastError()));
    if (length == units && units < LONGEST_PATH_UNITS) {
      arena_pop_to(arena, mark);
      continue;
    }
    DWORD folder = length;  // up to and with the last separator
    while (folder > 0 && wide[folder - 1] != L'\\' && wide[folder - 1] != L'/') folder--;
    // Windows keeps UTF-16 in little-endian order.
    std::string_view utf16(reinterpret_cast<const char *>(wide), folder * sizeof(wchar_t));
    std::string_view folder_utf8 = utf8_from_utf16(arena, utf16, Utf16_Order::little_endian);
    if (!folder_utf8.data()) return status_fail(FAILURE_OUT_OF_MEMORY);
    char *path = static_cast<char *>(arena_push(arena, folder_utf8.size() + name.size() + 1, 1));
    if (!path) return status_fail(FAILURE_OUT_OF_MEMORY);
    std::memcpy(path, folder_utf8.data(), folder_utf8.size());
    std::memcpy(path + folder_utf8.size(), name.data(), name.size());
    path[folder_utf8.size() + name.size()] = '\0';
    return std::string_view(path, folder_utf8.size() + name.size());
  }
}

}  // namespace

const Platform_Services PLATFORM_NATIVE_SERVICES = {win32_now_ticks, win32_file_stamp, win32_read_file, win32_beside_module};
