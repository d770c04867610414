// Names of failures and OS errors; see status.h.
#include "runtime/status.h"

const char *os_error_name(Os_Error error) noexcept {
  switch (error) {
    case OS_OK: return "Ok";
    case OS_FILE_NOT_FOUND: return "File_Not_Found";
    case OS_PATH_NOT_FOUND: return "Path_Not_Found";
    case OS_ACCESS_DENIED: return "Access_Denied";
    case OS_SHARING_VIOLATION: return "Sharing_Violation";
    case OS_NOT_A_FILE: return "Not_A_File";
    case OS_IS_A_FOLDER: return "Is_A_Folder";
    case OS_SYMLINK_LOOP: return "Symlink_Loop";
    case OS_UNREACHABLE: return "Unreachable";
    case OS_OUT_OF_MEMORY: return "Out_Of_Memory";
    case OS_TOO_LARGE: return "Too_Large";
    case OS_INVALID_PATH: return "Invalid_Path";
    case OS_IO_ERROR: return "Io_Error";
    case OS_OTHER: break;
  }
  return "Other";
}

const char *failure_name(Failure failure) noexcept {
  switch (failure) {
    case FAILURE_NONE: return "Ok";
    case FAILURE_OUT_OF_MEMORY: return "Out_Of_Memory";
    case FAILURE_FILE_TIME: return "File_Time_Failed";
    case FAILURE_OPEN: return "Open_Failed";
    case FAILURE_READ: return "Read_Failed";
    case FAILURE_TOO_LARGE: return "Too_Large";
    case FAILURE_CHANGED: return "Changed_While_Read";
  }
  return "Unknown";
}

void append_text(Format_Buffer *buffer, const Status &status) noexcept {
  if (status.os_error != OS_OK) {
    append_text(buffer, status.os_error);
    return;
  }
  append_text(buffer, status.failure);
}
