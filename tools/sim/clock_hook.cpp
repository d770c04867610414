// Import rebinding; see clock_hook.h. Walks the PE32+ import descriptors by name (the hint-name
// table, OriginalFirstThunk) and rewrites the matching slots of the bound table (FirstThunk).
#include "tools/sim/clock_hook.h"

#include <cstring>

namespace {

constexpr char SYSTEM_TIME_NAME[] = "GetSystemTimeAsFileTime";

bool ascii_equal_nocase(const char *a, const char *b, size_t n) {
  for (size_t i = 0; i < n; i++) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
    if (x == '\0') return true;
  }
  return true;
}

// KERNEL32.dll, or an API set that forwards the sysinfo functions to it.
bool provides_system_time(const char *dll) {
  static constexpr char KERNEL32[] = "kernel32.dll";
  static constexpr char SYSINFO_SET[] = "api-ms-win-core-sysinfo-";
  return ascii_equal_nocase(dll, KERNEL32, sizeof KERNEL32) ||
         ascii_equal_nocase(dll, SYSINFO_SET, sizeof SYSINFO_SET - 1);
}

}  // namespace

Rebind_Result rebind_system_time(HMODULE module, System_Time_Proc replacement) {
  Rebind_Result result{false, 0, 0};
  auto *base = reinterpret_cast<BYTE *>(module);
  if (!base) return result;
  auto *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return result;
  auto *nt = reinterpret_cast<IMAGE_NT_HEADERS64 *>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) return result;
  const IMAGE_DATA_DIRECTORY &imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  result.ok = true;
  if (imports.VirtualAddress == 0 || imports.Size == 0) return result;

  for (auto *desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + imports.VirtualAddress); desc->Name; desc++) {
    if (!provides_system_time(reinterpret_cast<const char *>(base + desc->Name))) continue;
    // Without the hint-name table the bound slots no longer say which function they hold.
    if (desc->OriginalFirstThunk == 0) continue;
    auto *names = reinterpret_cast<IMAGE_THUNK_DATA64 *>(base + desc->OriginalFirstThunk);
    auto *slots = reinterpret_cast<IMAGE_THUNK_DATA64 *>(base + desc->FirstThunk);
    for (; names->u1.AddressOfData; names++, slots++) {
      if (IMAGE_SNAP_BY_ORDINAL64(names->u1.Ordinal)) continue;
      auto *by_name = reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char *>(by_name->Name), SYSTEM_TIME_NAME) != 0) continue;
      DWORD old_protection = 0;
      // The bound table may sit in a read-only section once the loader is done with it.
      if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old_protection)) {
        result.ok = false;
        result.error = GetLastError();
        return result;
      }
      slots->u1.Function = static_cast<ULONGLONG>(reinterpret_cast<uintptr_t>(replacement));
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old_protection, &old_protection);
      result.slots++;
    }
  }
  return result;
}
