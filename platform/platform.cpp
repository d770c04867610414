// The OS-independent part of the platform layer.
#include "platform/platform.h"

const char *os_error_name(Os_Error error) noexcept {
  switch (error) {
    case OS_OK: return "Ok";
    case OS_FILE_NOT_FOUND: return "File_Not_Found";
    case OS_PATH_NOT_FOUND: return "Path_Not_Found";
    case OS_ACCESS_DENIED: return "Access_Denied";
    case OS_SHARING_VIOLATION: return "Sharing_Violation";
    case OS_NOT_A_FILE: return "Not_A_File";
    case OS_OUT_OF_MEMORY: return "Out_Of_Memory";
    case OS_TOO_LARGE: return "Too_Large";
    case OS_INVALID_PATH: return "Invalid_Path";
    case OS_IO_ERROR: return "Io_Error";
    case OS_OTHER: break;
  }
  return "Other";
}

namespace {

const Platform_Services *platform_services = &PLATFORM_NATIVE_SERVICES;

}  // namespace

const Platform_Services *platform_use_services(const Platform_Services *services) noexcept {
  const Platform_Services *old = platform_services;
  platform_services = services ? services : &PLATFORM_NATIVE_SERVICES;
  return old;
}

uint64_t platform_now_ticks() noexcept { return platform_services->now_ticks(); }

Platform_Time_Result platform_last_write_ticks(Arena *scratch, std::string_view path) noexcept {
  return platform_services->last_write_ticks(scratch, path);
}

Os_Error platform_check_open(Arena *scratch, std::string_view path) noexcept {
  return platform_services->check_open(scratch, path);
}

Os_Error platform_read_file(Arena *scratch, std::string_view path, File_Bytes *out) noexcept {
  return platform_services->read_file(scratch, path, out);
}

void platform_free_file(File_Bytes *bytes) noexcept {
  platform_heap_free(bytes->data);
  *bytes = {};
}
