// The game's stand-ins for a module's imports; see hooks.h.
#include "tools/sim/hooks.h"

#include <cerrno>

namespace {

using Malloc_Function = void *(__cdecl *)(size_t);
using Calloc_Function = void *(__cdecl *)(size_t, size_t);
using Realloc_Function = void *(__cdecl *)(void *, size_t);
using Free_Function = void(__cdecl *)(void *);

// The C runtime's functions that the modules' imports were bound to: blocks must go back to the
// runtime that made them, which need not be the game's own.
Malloc_Function original_malloc;
Calloc_Function original_calloc;
Realloc_Function original_realloc;
Free_Function original_free;

// Requests still allowed; negative: no limit.
int64_t heap_allowance = -1;
Heap_Counts heap_counts;

// Counts a request and says whether it may pass on to the C runtime.
bool game_heap_grant() {
  heap_counts.requests++;
  if (heap_allowance < 0) return true;
  if (heap_allowance > 0) {
    heap_allowance--;
    return true;
  }
  heap_counts.refused++;
  errno = ENOMEM;  // as the C runtime's own refusal
  return false;
}

}  // namespace

uint64_t game_clock_ticks;

void WINAPI game_clock_as_filetime(LPFILETIME out) {
  out->dwLowDateTime = static_cast<DWORD>(game_clock_ticks);
  out->dwHighDateTime = static_cast<DWORD>(game_clock_ticks >> 32);
}

void game_heap_fail_after(int64_t allowed) { heap_allowance = allowed; }

void game_heap_allow_all() { heap_allowance = -1; }

Heap_Counts game_heap_take_counts() {
  Heap_Counts taken = heap_counts;
  heap_counts = Heap_Counts{};
  return taken;
}

void *__cdecl game_malloc(size_t size) {
  if (!original_malloc || !game_heap_grant()) return nullptr;
  return original_malloc(size);
}

void *__cdecl game_calloc(size_t count, size_t size) {
  if (!original_calloc || !game_heap_grant()) return nullptr;
  return original_calloc(count, size);
}

void *__cdecl game_realloc(void *block, size_t size) {
  if (!original_realloc) return nullptr;
  // To size 0 the C runtime frees the block: a free, not a request.
  if (block && size == 0) {
    heap_counts.frees++;
    return original_realloc(block, size);
  }
  // A refusal leaves the block as it was, as the C runtime's does.
  if (!game_heap_grant()) return nullptr;
  return original_realloc(block, size);
}

void __cdecl game_free(void *block) {
  if (!original_free) return;
  if (block) heap_counts.frees++;
  original_free(block);
}

void game_heap_set_original(Heap_Function function, uint64_t original) {
  auto address = static_cast<uintptr_t>(original);
  switch (function) {
    case Heap_Function::malloc: original_malloc = reinterpret_cast<Malloc_Function>(address); break;
    case Heap_Function::calloc: original_calloc = reinterpret_cast<Calloc_Function>(address); break;
    case Heap_Function::realloc: original_realloc = reinterpret_cast<Realloc_Function>(address); break;
    case Heap_Function::free: original_free = reinterpret_cast<Free_Function>(address); break;
  }
}
