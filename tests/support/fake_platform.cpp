// The in-memory platform; see fake_platform.h.
#include "tests/support/fake_platform.h"

#include <cstring>

#include "runtime/heap.h"

namespace {

Fake_Platform *fake;

uint64_t fake_now_ticks() noexcept {
  fake->time_reads++;
  return fake->now;
}

Os_Error fake_presence(std::string_view path) {
  return fake->exists && path == fake->path ? OS_OK : OS_FILE_NOT_FOUND;
}

Result<uint64_t> fake_last_write_ticks(Arena *, std::string_view path) noexcept {
  fake->attribute_reads++;
  Os_Error error = fake_presence(path);
  if (error != OS_OK) return status_fail(FAILURE_FILE_TIME, error);
  return fake->write_ticks;
}

Status fake_check_open(Arena *, std::string_view path) noexcept {
  fake->open_checks++;
  Os_Error error = fake_presence(path);
  if (error == OS_OK) error = fake->open_error;
  return error == OS_OK ? STATUS_OK : status_fail(FAILURE_OPEN, error);
}

Result<File_Bytes> fake_read_file(Arena *, std::string_view path) noexcept {
  fake->file_reads++;
  Os_Error error = fake_presence(path);
  if (error == OS_OK) error = fake->open_error;
  if (error == OS_OK) error = fake->read_error;
  // As the real reads: the heap running out is a failure of its own.
  if (error == OS_OUT_OF_MEMORY) return status_fail(FAILURE_OUT_OF_MEMORY);
  if (error != OS_OK) return status_fail(FAILURE_READ, error);
  if (fake->bytes.empty()) return File_Bytes{};
  auto *data = static_cast<char *>(heap_alloc(fake->bytes.size()));
  if (!data) return status_fail(FAILURE_OUT_OF_MEMORY);
  std::memcpy(data, fake->bytes.data(), fake->bytes.size());
  return File_Bytes{data, fake->bytes.size()};
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
