// The in-memory platform; see fake_platform.h.
#include "tests/support/fake_platform.h"

#include <cstring>

#include "runtime/arena.h"

namespace {

Fake_Platform *fake;

uint64_t fake_now_ticks() noexcept {
  fake->time_reads++;
  return fake->now;
}

Os_Error fake_presence(std::string_view path) {
  if (path != fake->path) return OS_FILE_NOT_FOUND;
  return fake->exists ? OS_OK : fake->absent_as;
}

// The platforms take room for the path first (POSIX for its NUL, Windows for its UTF-16): so does
// the fake, so that running out of memory meets the same steps.
bool fake_path_fits(Arena *arena, std::string_view path) { return arena_push_string(arena, path).data(); }

const Fake_Platform::Other_File *fake_other(std::string_view path) {
  for (const Fake_Platform::Other_File &file : fake->others) {
    if (file.path == path) return &file;
  }
  return nullptr;
}

Result<File_Stamp> fake_file_stamp(Arena *scratch, std::string_view path) noexcept {
  fake->attribute_reads++;
  if (!fake_path_fits(scratch, path)) return status_fail(FAILURE_OUT_OF_MEMORY);
  if (const Fake_Platform::Other_File *other = fake_other(path)) return File_Stamp{other->write_ticks, other->bytes.size()};
  Os_Error error = fake_presence(path);
  if (error != OS_OK) return status_fail(FAILURE_FILE_TIME, error);
  return File_Stamp{fake->write_ticks, fake->stamp_size ? *fake->stamp_size : fake->bytes.size()};
}

Result<std::string_view> fake_read_file(Arena *arena, std::string_view path, uint64_t max_bytes) noexcept {
  fake->file_reads++;
  if (!fake_path_fits(arena, path)) return status_fail(FAILURE_OUT_OF_MEMORY);
  if (const Fake_Platform::Other_File *other = fake_other(path)) {
    std::string_view copy = arena_push_string(arena, other->bytes);
    if (!copy.data()) return status_fail(FAILURE_OUT_OF_MEMORY);
    return copy;
  }
  Os_Error error = fake_presence(path);
  if (error == OS_OK) error = fake->open_error;
  if (error != OS_OK) return status_fail(FAILURE_OPEN, error);
  if (fake->read_error != OS_OK) return status_fail(FAILURE_READ, fake->read_error);
  if (fake->bytes.size() > max_bytes) return status_fail(FAILURE_READ, OS_TOO_LARGE);
  char *data = nullptr;
  if (!fake->bytes.empty()) {
    data = static_cast<char *>(arena_push(arena, fake->bytes.size(), 1));
    if (!data) return status_fail(FAILURE_OUT_OF_MEMORY);
    std::memcpy(data, fake->bytes.data(), fake->bytes.size());
  }
  std::string_view bytes(data, fake->bytes.size());
  // What another program does to the file while it is being read.
  if (fake->during_read) fake->during_read(*fake);
  return bytes;
}

Result<std::string_view> fake_beside_module(Arena *arena, std::string_view name) noexcept {
  if (fake->module_folder.empty()) return status_fail(FAILURE_OPEN, OS_OTHER);
  std::string path = fake->module_folder + std::string(name);
  std::string_view copy = arena_push_string(arena, path);
  if (!copy.data()) return status_fail(FAILURE_OUT_OF_MEMORY);
  return copy;
}

constexpr Platform_Services FAKE_SERVICES = {fake_now_ticks, fake_file_stamp, fake_read_file, fake_beside_module};

}  // namespace

void fake_platform_install(Fake_Platform *platform) {
  fake = platform;
  platform_use_services(&FAKE_SERVICES);
}

void fake_platform_remove() {
  platform_use_services(nullptr);
  fake = nullptr;
}
