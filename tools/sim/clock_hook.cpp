// The game clock and import rebinding; see clock_hook.h. The module's import table is read from its
// mapped image with the PE reader (bounded by the image's size), and the matching slots rewritten.
#include "tools/sim/clock_hook.h"

#include <span>

#include "tools/pe/pe.h"

namespace {

constexpr char SYSTEM_TIME_NAME[] = "GetSystemTimeAsFileTime";
constexpr char SYSINFO_API_SET[] = "api-ms-win-core-sysinfo-";

// KERNEL32.dll, or an API set that forwards the sysinfo functions to it.
bool provides_system_time(const std::string &dll) {
  std::string_view prefix(SYSINFO_API_SET);
  return pe_dll_name_equal(dll, "kernel32.dll") ||
         (dll.size() > prefix.size() && pe_dll_name_equal(std::string_view(dll).substr(0, prefix.size()), prefix));
}

}  // namespace

uint64_t game_clock_ticks;

void WINAPI game_clock_as_filetime(LPFILETIME out) {
  out->dwLowDateTime = static_cast<DWORD>(game_clock_ticks);
  out->dwHighDateTime = static_cast<DWORD>(game_clock_ticks >> 32);
}

Rebind_Result rebind_system_time(HMODULE module, System_Time_Proc replacement) {
  Rebind_Result result{false, 0, 0};
  auto *base = reinterpret_cast<const uint8_t *>(module);
  if (!base) return result;
  // The loader maps at least the headers' page; the image's size bounds every later read.
  MEMORY_BASIC_INFORMATION region{};
  if (!VirtualQuery(base, &region, sizeof region)) return result;
  uint32_t size = pe_image_size(std::span<const uint8_t>(base, region.RegionSize));
  if (size == 0) return result;
  Pe_Read read = pe_read(std::span<const uint8_t>(base, size), Pe_Layout::image);
  if (read.problem != Pe_Problem::none) return result;
  result.ok = true;
  for (const Pe_Import_Dll &dll : read.file.imports) {
    if (!provides_system_time(dll.dll)) continue;
    for (const Pe_Import &f : dll.functions) {
      if (f.by_ordinal || f.name != SYSTEM_TIME_NAME) continue;
      auto *slot = reinterpret_cast<ULONGLONG *>(const_cast<uint8_t *>(base) + f.slot_rva);
      DWORD old_protection = 0;
      // The bound table may sit in a read-only section once the loader is done with it.
      if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old_protection)) {
        result.ok = false;
        result.error = GetLastError();
        return result;
      }
      *slot = static_cast<ULONGLONG>(reinterpret_cast<uintptr_t>(replacement));
      VirtualProtect(slot, sizeof *slot, old_protection, &old_protection);
      result.slots++;
    }
  }
  return result;
}
