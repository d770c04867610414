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

void platform_free_file(File_Bytes *bytes) noexcept {
  platform_heap_free(bytes->data);
  *bytes = {};
}
