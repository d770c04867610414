// The game clock and import rebinding; see clock_hook.h. The module's import table is read from its
// mapped image with the PE reader (bounded by the image's size), and the matching slots rewritten.
#include "tools/sim/clock_hook.h"

#include <span>
#include <string_view>

#include "tools/pe/pe.h"

namespace {

constexpr std::string_view CORE_API_SET = "api-ms-win-core-";

// KERNEL32.dll, or an API set of the core that forwards to it.
bool rebind_is_kernel32(const std::string &dll) {
  return pe_dll_name_equal(dll, "kernel32.dll") ||
         (dll.size() > CORE_API_SET.size() && pe_dll_name_equal(std::string_view(dll).substr(0, CORE_API_SET.size()), CORE_API_SET));
}

}  // namespace

uint64_t game_clock_ticks;

void WINAPI game_clock_as_filetime(LPFILETIME out) {
  out->dwLowDateTime = static_cast<DWORD>(game_clock_ticks);
  out->dwHighDateTime = static_cast<DWORD>(game_clock_ticks >> 32);
}

Rebind_Result rebind_import(HMODULE module, const char *function, const void *replacement) {
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
    if (!rebind_is_kernel32(dll.dll)) continue;
    for (const Pe_Import &f : dll.functions) {
      if (f.by_ordinal || f.name != function) continue;
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
