// The OS-independent part of the platform layer.
#include "platform/platform.h"

namespace {

const Platform_Services *platform_services = &PLATFORM_NATIVE_SERVICES;

}  // namespace

const Platform_Services *platform_use_services(const Platform_Services *services) noexcept {
  const Platform_Services *old = platform_services;
  platform_services = services ? services : &PLATFORM_NATIVE_SERVICES;
  return old;
}

uint64_t platform_now_ticks() noexcept { return platform_services->now_ticks(); }

Result<File_Stamp> platform_file_stamp(Arena *scratch, std::string_view path) noexcept {
  return platform_services->file_stamp(scratch, path);
}

Result<std::string_view> platform_read_file(Arena *arena, std::string_view path, uint64_t max_bytes) noexcept {
  return platform_services->read_file(arena, path, max_bytes);
}

Result<std::string_view> platform_beside_module(Arena *arena, std::string_view name) noexcept {
  return platform_services->beside_module(arena, name);
}
