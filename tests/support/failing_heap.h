// A heap under the arenas (arena_use_heap) that grants a set number of requests and then refuses
// every one: running out of memory at each allocation in turn. It counts the blocks it has out, so
// that a test can see a failure give every block back.
#pragma once
#include <cstdlib>

#include "runtime/arena.h"

inline long long failing_heap_grants = -1;  // requests still granted; the one that finds 0 fails; -1: all
inline long long failing_heap_live_blocks = 0;
inline long long failing_heap_refusals = 0;  // requests refused so far

inline void *failing_heap_alloc(size_t size) noexcept {
  if (failing_heap_grants == 0) {
    failing_heap_refusals++;
    return nullptr;
  }
  if (failing_heap_grants > 0) failing_heap_grants--;
  void *block = std::malloc(size);
  if (block) failing_heap_live_blocks++;
  return block;
}

inline void failing_heap_free(void *block) noexcept {
  if (block) failing_heap_live_blocks--;
  std::free(block);
}

inline constexpr Arena_Heap FAILING_HEAP = {failing_heap_alloc, failing_heap_free};

// Every arena's blocks come from FAILING_HEAP, `grants` of them (-1: all), while this lives. No kept
// block is left to serve a request in its place; the heap that was in use comes back at the end.
struct Failing_Heap_Scope {
  const Arena_Heap *previous;
  explicit Failing_Heap_Scope(long long grants) : previous(arena_use_heap(&FAILING_HEAP)) { failing_heap_grants = grants; }
  ~Failing_Heap_Scope() {
    failing_heap_grants = -1;
    arena_use_heap(previous);
  }
};
