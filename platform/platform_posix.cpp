// POSIX implementation of platform.h, with the Windows epoch and units, so that the tools and the
// tests run natively and see the same times as the module does on Windows.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/platform.h"
#include "runtime/arena.h"
#include "runtime/heap.h"

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
    case EISDIR: return OS_NOT_A_FILE;
    case ENOMEM: return OS_OUT_OF_MEMORY;
    case ENAMETOOLONG:
    case EINVAL: return OS_INVALID_PATH;
    case EIO: return OS_IO_ERROR;
    default: return OS_OTHER;
  }
}

// POSIX wants a NUL-terminated path; an embedded NUL would silently name another file.
const char *platform_path_z(Arena *scratch, std::string_view path) {
  if (path.find('\0') != std::string_view::npos) return nullptr;
  std::string_view z = arena_push_string(scratch, path);
  return z.data() && z.size() == path.size() ? z.data() : nullptr;
}

// open(2) succeeds on a directory, where CreateFileW fails: refuse anything but a regular file.
int platform_open_file(Arena *scratch, std::string_view path, Os_Error *error) {
  const char *z = platform_path_z(scratch, path);
  if (!z) {
    *error = OS_INVALID_PATH;
    return -1;
  }
  int fd = ::open(z, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = platform_error_from_errno(errno);
    return -1;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    *error = OS_NOT_A_FILE;
    return -1;
  }
  *error = OS_OK;
  return fd;
}

uint64_t posix_now_ticks() noexcept {
  timespec t{};
  clock_gettime(CLOCK_REALTIME, &t);
  return platform_ticks_from_timespec(t);
}

Result<uint64_t> posix_last_write_ticks(Arena *scratch, std::string_view path) noexcept {
  const char *z = platform_path_z(scratch, path);
  if (!z) return status_fail(FAILURE_FILE_TIME, OS_INVALID_PATH);
  struct stat st;
  if (::stat(z, &st) != 0) return status_fail(FAILURE_FILE_TIME, platform_error_from_errno(errno));
  return platform_ticks_from_timespec(st.st_mtim);
}

Status posix_check_open(Arena *scratch, std::string_view path) noexcept {
  Os_Error error;
  int fd = platform_open_file(scratch, path, &error);
  if (fd < 0) return status_fail(FAILURE_OPEN, error);
  ::close(fd);
  return STATUS_OK;
}

Result<File_Bytes> posix_read_file(Arena *scratch, std::string_view path) noexcept {
  Os_Error error;
  int fd = platform_open_file(scratch, path, &error);
  if (fd < 0) return status_fail(FAILURE_READ, error);
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    error = platform_error_from_errno(errno);
    ::close(fd);
    return status_fail(FAILURE_READ, error);
  }
  size_t size = static_cast<size_t>(st.st_size);
  char *data = size ? static_cast<char *>(heap_alloc(size)) : nullptr;
  if (size && !data) {
    ::close(fd);
    return status_fail(FAILURE_OUT_OF_MEMORY);
  }
  size_t got = 0;
  while (got < size) {
    ssize_t n = ::read(fd, data + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = platform_error_from_errno(errno);
      ::close(fd);
      heap_free(data);
      return status_fail(FAILURE_READ, error);
    }
    if (n == 0) break;  // the file shrank while we read it: keep what is there
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  return File_Bytes{data, got};
}

}  // namespace

const Platform_Services PLATFORM_NATIVE_SERVICES = {posix_now_ticks, posix_last_write_ticks, posix_check_open,
                                                   posix_read_file};
