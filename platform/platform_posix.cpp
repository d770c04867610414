// POSIX implementation of platform.h, with the Windows epoch and units, so that the tools and the
// tests run natively and see the same times as the module does on Windows.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <ctime>

#include "platform/platform.h"
#include "runtime/arena.h"

namespace {

constexpr uint64_t SECONDS_FROM_1601_TO_1970 = 11'644'473'600;

uint64_t platform_ticks_from_timespec(const timespec &t) {
  return (static_cast<uint64_t>(t.tv_sec) + SECONDS_FROM_1601_TO_1970) * TICKS_PER_SECOND +
         static_cast<uint64_t>(t.tv_nsec) / 100;
}

Os_Error platform_error_from_errno(int e) {
  switch (e) {
    case ENOENT: return OS_FILE_NOT_FOUND;
    case ENOTDIR: return OS_PATH_NOT_FOUND;
    case EACCES:
    case EPERM: return OS_ACCESS_DENIED;
    case EISDIR: return OS_IS_A_FOLDER;
    case ELOOP: return OS_SYMLINK_LOOP;
    // A device that is gone, a network file system whose server does not answer or whose file
    // handle went stale, a mount whose process ended.
    case ENODEV:
    case ESTALE:
    case ENOTCONN:
    case EHOSTUNREACH:
    case ENETUNREACH:
#ifdef ENOMEDIUM
    case ENOMEDIUM:
#endif
    case ETIMEDOUT: return OS_UNREACHABLE;
    case ENXIO: return OS_NOT_A_FILE;  // open(2) of a socket, or of a device that is not there
    case ENOMEM: return OS_OUT_OF_MEMORY;
    case ENAMETOOLONG:
    case EINVAL: return OS_INVALID_PATH;
    case EIO: return OS_IO_ERROR;
    default: return OS_OTHER;
  }
}

// POSIX wants a NUL-terminated path: null with OS_INVALID_PATH for a path with an embedded NUL (it
// would silently name another file), or with OS_OUT_OF_MEMORY.
const char *platform_path_z(Arena *scratch, std::string_view path, Os_Error *error) {
  *error = OS_INVALID_PATH;
  if (path.find('\0') != std::string_view::npos) return nullptr;
  std::string_view z = arena_push_string(scratch, path);
  *error = z.data() ? OS_OK : OS_OUT_OF_MEMORY;
  return z.data();
}

// What a file's mode says it is, as the Windows side tells the same kinds apart.
Os_Error platform_error_from_mode(mode_t mode) {
  if (S_ISREG(mode)) return OS_OK;
  if (S_ISDIR(mode)) return OS_IS_A_FOLDER;
  return OS_NOT_A_FILE;
}

// open(2) succeeds on a directory, where CreateFileW fails, and blocks on a FIFO without a writer:
// O_NONBLOCK makes it return at once (it changes nothing for a regular file), and anything but a
// regular file is refused. POSIX never keeps others from renaming or deleting an open file. The
// open file's status goes to `*st`.
int platform_open_file(const char *z, struct stat *st, Os_Error *error) {
  int fd = ::open(z, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    *error = platform_error_from_errno(errno);
    return -1;
  }
  if (::fstat(fd, st) != 0) {
    *error = platform_error_from_errno(errno);
    ::close(fd);
    return -1;
  }
  *error = platform_error_from_mode(st->st_mode);
  if (*error == OS_OK) return fd;
  ::close(fd);
  return -1;
}

uint64_t posix_now_ticks() noexcept {
  timespec t{};
  clock_gettime(CLOCK_REALTIME, &t);
  return platform_ticks_from_timespec(t);
}

Result<File_Stamp> posix_file_stamp(Arena *scratch, std::string_view path) noexcept {
  Os_Error error;
  const char *z = platform_path_z(scratch, path, &error);
  if (!z) return status_fail(error == OS_OUT_OF_MEMORY ? FAILURE_OUT_OF_MEMORY : FAILURE_FILE_TIME, error);
  struct stat st;
  if (::stat(z, &st) != 0) return status_fail(FAILURE_FILE_TIME, platform_error_from_errno(errno));
  Os_Error kind = platform_error_from_mode(st.st_mode);
  if (kind != OS_OK) return status_fail(FAILURE_FILE_TIME, kind);
  return File_Stamp{platform_ticks_from_timespec(st.st_mtim), static_cast<uint64_t>(st.st_size)};
}

// Reads `size` bytes of the open `fd` into `data`; fewer when the file shrank meanwhile.
Result<size_t> platform_read_all(int fd, char *data, size_t size) {
  size_t got = 0;
  while (got < size) {
    ssize_t n = ::read(fd, data + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return status_fail(FAILURE_READ, platform_error_from_errno(errno));
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

Result<std::string_view> posix_read_file(Arena *arena, std::string_view path, uint64_t max_bytes) noexcept {
  Os_Error error;
  const char *z = platform_path_z(arena, path, &error);
  if (!z) return status_fail(error == OS_OUT_OF_MEMORY ? FAILURE_OUT_OF_MEMORY : FAILURE_OPEN, error);
  struct stat st;
  int fd = platform_open_file(z, &st, &error);
  if (fd < 0) return status_fail(FAILURE_OPEN, error);
  auto bytes = static_cast<uint64_t>(st.st_size);
  if (bytes > max_bytes || bytes > SIZE_MAX) {
    ::close(fd);
    return status_fail(FAILURE_READ, OS_TOO_LARGE);
  }
  char *data = bytes ? static_cast<char *>(arena_push(arena, static_cast<size_t>(bytes), 1)) : nullptr;
  if (bytes && !data) {
    ::close(fd);
    return status_fail(FAILURE_OUT_OF_MEMORY);
  }
  Result<size_t> got = platform_read_all(fd, data, static_cast<size_t>(bytes));
  ::close(fd);
  if (!got.ok()) return got.status();
  return std::string_view(data, got.value());
}

// The running program's file, as the kernel names it: an absolute path of at most PATH_MAX bytes.
// readlink writes no NUL and returns the byte count, or -1.
Result<std::string_view> posix_beside_module(Arena *arena, std::string_view name) noexcept {
  char *path = static_cast<char *>(arena_push(arena, PATH_MAX + name.size() + 1, 1));
  if (!path) return status_fail(FAILURE_OUT_OF_MEMORY);
  ssize_t length = ::readlink("/proc/self/exe", path, PATH_MAX);
  if (length <= 0 || length >= PATH_MAX) return status_fail(FAILURE_OPEN, length < 0 ? platform_error_from_errno(errno) : OS_OTHER);
  size_t folder = static_cast<size_t>(length);
  while (path[folder - 1] != '/') folder--;  // the path is absolute: a "/" comes first
  std::memcpy(path + folder, name.data(), name.size());
  path[folder + name.size()] = '\0';
  return std::string_view(path, folder + name.size());
}

}  // namespace

const Platform_Services PLATFORM_NATIVE_SERVICES = {posix_now_ticks, posix_file_stamp, posix_read_file, posix_beside_module};
