// Rebinding a module's imports; see rebind.h. The module's import table is read from its mapped image
// (read_loaded_module), and the matching slots rewritten.
#include "tools/sim/rebind.h"

#include <cstdio>
#include <iterator>

#include "tools/pe/pe.h"
#include "tools/sim/events.h"
#include "tools/sim/hooks.h"
#include "tools/sim/module_check.h"
#include "tools/sim/steps.h"

namespace {

// KERNEL32.dll, or an API set of the core, which forwards to it.
constexpr std::string_view KERNEL32_DLLS[] = {"kernel32.dll", "api-ms-win-core-*"};
// The C runtime DLLs: mingw-w64's, the UCRT (which the MSVC-mode link imports), and the UCRT's API
// set of the heap (a Visual Studio build with the C runtime DLLs).
constexpr std::string_view CRT_DLLS[] = {"msvcrt.dll", "ucrtbase.dll", "api-ms-win-crt-heap-*"};

struct Heap_Import {
  const char *name;
  Heap_Function function;
  const void *replacement;
};

const Heap_Import HEAP_IMPORTS[] = {
    {"malloc", Heap_Function::malloc, reinterpret_cast<const void *>(game_malloc)},
    {"calloc", Heap_Function::calloc, reinterpret_cast<const void *>(game_calloc)},
    {"realloc", Heap_Function::realloc, reinterpret_cast<const void *>(game_realloc)},
    {"free", Heap_Function::free, reinterpret_cast<const void *>(game_free)},
};

bool rebind_dll_matches(std::span<const std::string_view> dlls, std::string_view dll) {
  for (std::string_view name : dlls) {
    if (!name.empty() && name.back() == '*') {
      std::string_view prefix = name.substr(0, name.size() - 1);
      if (dll.size() > prefix.size() && pe_dll_name_equal(dll.substr(0, prefix.size()), prefix)) return true;
    } else if (pe_dll_name_equal(dll, name)) {
      return true;
    }
  }
  return false;
}

void rebind_report_failure(const std::string &shown, const char *what, const Rebind_Result &result) {
  std::fprintf(stderr, "maneshade-sim: cannot %s %s (error %lu)\n", what, shown.c_str(),
               static_cast<unsigned long>(result.error));
}

// The module's GetSystemTimeAsFileTime reads the game clock.
bool rebind_clock(const Output_Files &files, const std::string &shown, HMODULE handle) {
  Rebind_Result rebound = rebind_import(handle, KERNEL32_DLLS, "GetSystemTimeAsFileTime",
                                        reinterpret_cast<const void *>(game_clock_as_filetime));
  if (!rebound.ok) {
    rebind_report_failure(shown, "hand the game clock to", rebound);
    return false;
  }
  std::printf("  clock: %s\n", rebound.slots ? "GetSystemTimeAsFileTime now reads the game clock"
                                             : "GetSystemTimeAsFileTime is not imported: nothing to rebind");
  Json_Writer line = events_line("clock");
  json_member_string(&line, "file", shown);
  json_member_integer(&line, "slots", rebound.slots);
  events_write(files, &line);
  return true;
}

// The module's heap requests go through the game, which counts them and refuses them when asked.
bool rebind_heap(const Output_Files &files, const std::string &shown, HMODULE handle) {
  std::string names;
  Json_Writer line = events_line("heap_imports");
  json_member_string(&line, "file", shown);
  json_key(&line, "functions");
  json_begin_array(&line);
  for (const Heap_Import &import : HEAP_IMPORTS) {
    Rebind_Result rebound = rebind_import(handle, CRT_DLLS, import.name, import.replacement);
    if (!rebound.ok) {
      rebind_report_failure(shown, "watch the heap of", rebound);
      return false;
    }
    if (!rebound.slots) continue;
    game_heap_set_original(import.function, rebound.original);
    names += names.empty() ? import.name : std::string(", ") + import.name;
    json_string(&line, import.name);
  }
  json_end_array(&line);
  events_write(files, &line);
  std::printf("  heap: %s\n", names.empty() ? "imports none of the C runtime DLL's malloc, calloc, realloc, free"
                                            : (names + " from the C runtime DLL now go through the game").c_str());
  return true;
}

}  // namespace

Rebind_Result rebind_import(HMODULE module, std::span<const std::string_view> dlls, const char *function,
                            const void *replacement) {
  Rebind_Result result{false, 0, 0, 0};
  Pe_Read read = read_loaded_module(module);
  if (read.problem != Pe_Problem::none) return result;
  auto *base = reinterpret_cast<uint8_t *>(module);
  result.ok = true;
  for (const Pe_Import_Dll &dll : read.file.imports) {
    if (!rebind_dll_matches(dlls, dll.dll)) continue;
    for (const Pe_Import &f : dll.functions) {
      if (f.by_ordinal || f.name != function) continue;
      auto *slot = reinterpret_cast<ULONGLONG *>(base + f.slot_rva);
      DWORD old_protection = 0;
      // The bound table may sit in a read-only section once the loader is done with it.
      if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old_protection)) {
        result.ok = false;
        result.error = GetLastError();
        return result;
      }
      result.original = *slot;
      *slot = static_cast<ULONGLONG>(reinterpret_cast<uintptr_t>(replacement));
      VirtualProtect(slot, sizeof *slot, old_protection, &old_protection);
      result.slots++;
    }
  }
  return result;
}

bool rebind_module(const Output_Files &files, bool wall_clock, const std::string &shown, HMODULE handle) {
  // The module's reads go through the game, so that a step can change the file right after one, or
  // make one fail. Nothing else changes: the reader passes every other call on unchanged.
  Rebind_Result reader =
      rebind_import(handle, KERNEL32_DLLS, "ReadFile", reinterpret_cast<const void *>(steps_module_read_file));
  if (!reader.ok) {
    rebind_report_failure(shown, "watch the reads of", reader);
    return false;
  }
  if (!rebind_heap(files, shown, handle)) return false;
  return wall_clock || rebind_clock(files, shown, handle);
}
