// The in-memory platform; see fake_platform.h.
#include "tests/support/fake_platform.h"

#include <cstring>

namespace {

Fake_Platform *fake;

uint64_t fake_now_ticks() noexcept {
  fake->time_reads++;
  return fake->now;
}

Os_Error fake_presence(std::string_view path) {
  return fake->exists && path == fake->path ? OS_OK : OS_FILE_NOT_FOUND;
}

Platform_Time_Result fake_last_write_ticks(Arena *, std::string_view path) noexcept {
  fake->attribute_reads++;
  Os_Error error = fake_presence(path);
  return {error, error == OS_OK ? fake->write_ticks : 0};
}

Os_Error fake_check_open(Arena *, std::string_view path) noexcept {
  fake->open_checks++;
  Os_Error error = fake_presence(path);
  return error != OS_OK ? error : fake->open_error;
}

Os_Error fake_read_file(Arena *, std::string_view path, File_Bytes *out) noexcept {
  fake->file_reads++;
  *out = {};
  Os_Error error = fake_presence(path);
  if (error == OS_OK) error = fake->open_error;
  if (error == OS_OK) error = fake->read_error;
  if (error != OS_OK) return error;
  if (fake->bytes.empty()) return OS_OK;
  out->data = static_cast<char *>(platform_heap_alloc(fake->bytes.size()));
  if (!out->data) return OS_OUT_OF_MEMORY;
  std::memcpy(out->data, fake->bytes.data(), fake->bytes.size());
  out->size = fake->bytes.size();
  return OS_OK;
}

constexpr Platform_Services FAKE_SERVICES = {fake_now_ticks, fake_last_write_ticks, fake_check_open, fake_read_file};

}  // namespace

void fake_platform_install(Fake_Platform *platform) {
  fake = platform;
  platform_use_services(&FAKE_SERVICES);
}

void fake_platform_remove() {
  platform_use_services(nullptr);
  fake = nullptr;
}
