// Failures as values: one small status type that says what failed in the runtime (memory, the OS's
// files), and a result type that adds a value. Layers above may carry their own failures in a
// status type of theirs. Callers branch on the failure code. Nothing here throws.
#pragma once
#include <cstdint>
#include <utility>

#include "runtime/assert.h"
#include "runtime/format.h"

// What an OS call reported, by kind; os_error_name gives the name that logs show.
enum Os_Error : uint8_t {
  OS_OK = 0,
  OS_FILE_NOT_FOUND,
  OS_PATH_NOT_FOUND,
  OS_ACCESS_DENIED,
  OS_SHARING_VIOLATION,
  OS_NOT_A_FILE,     // a device, a pipe, a socket: anything but a file on a disk or a folder
  OS_IS_A_FOLDER,
  OS_SYMLINK_LOOP,
  OS_UNREACHABLE,    // a drive, a network share or a link's target that cannot be reached now
  OS_OUT_OF_MEMORY,
  OS_TOO_LARGE,
  OS_INVALID_PATH,
  OS_IO_ERROR,
  OS_OTHER,
};

// "Ok", "File_Not_Found", ...; "Other" for OS_OTHER.
const char *os_error_name(Os_Error error) noexcept;

enum Failure : uint8_t {
  FAILURE_NONE = 0,
  FAILURE_OUT_OF_MEMORY,      // the heap or the frame scratch ran out
  FAILURE_FILE_TIME,          // a file's last-write time cannot be read; os_error says why
  FAILURE_OPEN,               // a file cannot be opened; os_error says why
  FAILURE_READ,               // a file cannot be read; os_error says why (OS_TOO_LARGE: past the caller's bound)
  FAILURE_TOO_LARGE,          // a file is larger than any file of its kind, so it is not read
  FAILURE_CHANGED,            // a file changed while it was read: what was read is no version of it
};

// "Ok", "Out_Of_Memory", "File_Time_Failed", "Open_Failed", "Read_Failed", "Too_Large", ...
const char *failure_name(Failure failure) noexcept;

struct [[nodiscard]] Status {
  Failure failure;
  Os_Error os_error;  // FAILURE_FILE_TIME, _OPEN and _READ: what the OS reported; OS_OK otherwise

  constexpr bool ok() const noexcept { return failure == FAILURE_NONE; }
  friend constexpr bool operator==(const Status &, const Status &) = default;
};

constexpr Status STATUS_OK = {FAILURE_NONE, OS_OK};

constexpr Status status_fail(Failure failure, Os_Error os_error = OS_OK) noexcept { return {failure, os_error}; }

// A value, or the failure (a Status, or a status type of a layer above: one with ok()) that kept it
// from being made. Reading the value of a failure is a bug.
template <class T, class S = Status>
class [[nodiscard]] Result {
 public:
  Result(S failure) noexcept(noexcept(T())) : status_(failure), value_() {
    RUNTIME_ASSERT(!failure.ok(), "a Result made from a status must be a failure");
  }
  Result(T value) noexcept(noexcept(T(std::move(value)))) : status_(), value_(std::move(value)) {}

  bool ok() const noexcept { return status_.ok(); }
  const S &status() const noexcept { return status_; }
  T &value() noexcept {
    RUNTIME_ASSERT(ok(), "the value of a failed Result");
    return value_;
  }
  const T &value() const noexcept {
    RUNTIME_ASSERT(ok(), "the value of a failed Result");
    return value_;
  }

 private:
  S status_;
  T value_;
};

inline void append_text(Format_Buffer *buffer, Os_Error error) noexcept { append_text(buffer, os_error_name(error)); }
inline void append_text(Format_Buffer *buffer, Failure failure) noexcept { append_text(buffer, failure_name(failure)); }

// A status by its most telling name: the OS's reason for the file failures, else the failure's.
void append_text(Format_Buffer *buffer, const Status &status) noexcept;
