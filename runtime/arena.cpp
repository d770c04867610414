// Arenas, the heap under them and the module's runtime context; see arena.h.
#include "runtime/arena.h"

#include <cstdlib>
#include <cstring>

#include "runtime/log.h"

struct Arena_Block {
  Arena_Block *prev;  // the next older block; null for the oldest
  size_t capacity;    // bytes after the header
  size_t used;
};

namespace {

constexpr size_t ARENA_HEADER_BYTES = (sizeof(Arena_Block) + 15) & ~size_t{15};

void *arena_heap_alloc(size_t size) noexcept { return std::malloc(size); }
void arena_heap_free(void *block) noexcept { std::free(block); }

constexpr Arena_Heap ARENA_C_HEAP = {arena_heap_alloc, arena_heap_free};

const Arena_Heap *arena_heap = &ARENA_C_HEAP;

char *arena_block_base(Arena_Block *block) { return reinterpret_cast<char *>(block) + ARENA_HEADER_BYTES; }

size_t arena_align_up(size_t value, size_t align) { return (value + align - 1) & ~(align - 1); }

size_t arena_block_bytes(const Arena *arena) { return arena->block_bytes ? arena->block_bytes : ARENA_BLOCK_SIZE_BYTES; }

// A new block holds at least `min_capacity`, the arena's block size, and twice its newest block up to
// ARENA_BLOCK_SIZE_BYTES: an arena that starts small for a small job grows in few steps for a big one.
Arena_Block *arena_new_block(Arena *arena, size_t min_capacity) {
  size_t capacity = arena_block_bytes(arena);
  if (arena->newest) {
    size_t newest = arena->newest->capacity;
    size_t grown = newest >= ARENA_BLOCK_SIZE_BYTES / 2 ? ARENA_BLOCK_SIZE_BYTES : newest * 2;
    if (grown > capacity) capacity = grown;
  }
  if (min_capacity > capacity) capacity = min_capacity;
  if (capacity > SIZE_MAX - ARENA_HEADER_BYTES) return nullptr;
  auto *block = static_cast<Arena_Block *>(arena_heap->alloc(ARENA_HEADER_BYTES + capacity));
  if (!block) return nullptr;
  arena->heap_allocations++;
  block->prev = arena->newest;
  block->capacity = capacity;
  block->used = 0;
  arena->newest = block;
  return block;
}

// Where a push of `align` would start in `block`, as an offset from its base; aligns the address,
// not the offset, so alignments above the heap's own hold too.
size_t arena_aligned_offset(Arena_Block *block, size_t align) {
  uintptr_t base = reinterpret_cast<uintptr_t>(arena_block_base(block));
  return arena_align_up(base + block->used, align) - base;
}

}  // namespace

void *arena_push(Arena *arena, size_t size, size_t align) noexcept {
  Arena_Block *block = arena->newest;
  if (block) {
    size_t start = arena_aligned_offset(block, align);
    if (start <= block->capacity && size <= block->capacity - start) {
      block->used = start + size;
      return arena_block_base(block) + start;
    }
  }
  if (size > SIZE_MAX - align) return nullptr;
  block = arena_new_block(arena, size + align);
  if (!block) return nullptr;
  size_t start = arena_aligned_offset(block, align);
  block->used = start + size;
  return arena_block_base(block) + start;
}

std::string_view arena_push_string(Arena *arena, std::string_view text) noexcept {
  if (text.size() == SIZE_MAX) return {};
  char *copy = static_cast<char *>(arena_push(arena, text.size() + 1, 1));
  if (!copy) return {};
  if (!text.empty()) std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return {copy, text.size()};
}

void arena_release(Arena *arena) noexcept {
  Arena_Block *block = arena->newest;
  if (!block) return;
  while (block->prev) {
    Arena_Block *prev = block->prev;
    arena_heap->free(block);
    block = prev;
  }
  if (block->capacity > arena_block_bytes(arena)) {
    arena_heap->free(block);
    arena->newest = nullptr;
    return;
  }
  block->used = 0;
  arena->newest = block;
}

void arena_destroy(Arena *arena) noexcept {
  arena_release(arena);
  if (arena->newest) arena_heap->free(arena->newest);
  arena->newest = nullptr;
}

size_t arena_block_count(const Arena *arena) noexcept {
  size_t n = 0;
  for (const Arena_Block *b = arena->newest; b; b = b->prev) n++;
  return n;
}

const Arena_Heap *arena_use_heap(const Arena_Heap *heap) noexcept {
  const Arena_Heap *old = arena_heap;
  arena_heap = heap ? heap : &ARENA_C_HEAP;
  return old;
}

Runtime_Context runtime_context;

void runtime_context_destroy() noexcept {
  arena_destroy(&runtime_context.frame_scratch);
  runtime_context.frame_scratch = {};
  log_set_sink({});
}

void runtime_context_create() noexcept { runtime_context_destroy(); }
