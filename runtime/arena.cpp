// Arenas, the heap under them and the module's runtime context; see arena.h.
#include "runtime/arena.h"

#include <bit>
#include <cstdlib>
#include <cstring>

#include "runtime/log.h"

namespace {

void *arena_heap_alloc(size_t size) noexcept { return std::malloc(size); }
void arena_heap_free(void *block) noexcept { std::free(block); }

constexpr Arena_Heap ARENA_C_HEAP = {arena_heap_alloc, arena_heap_free};

const Arena_Heap *arena_heap = &ARENA_C_HEAP;

// Blocks given back by arenas, kept for the next arena that needs one: memory the process has
// touched already costs nothing to touch again, where fresh memory costs a page fault per page. A
// reload takes the blocks that the last reload gave back. The kept blocks are sorted by capacity:
// class k holds those of 2^k bytes up to 2^(k+1), singly linked through `prev`, and bit k of
// arena_kept_classes says whether it holds any. Taking and giving back cost the same however many
// blocks are kept.
constexpr int ARENA_CLASS_COUNT = 64;
Arena_Block *arena_kept[ARENA_CLASS_COUNT];
uint64_t arena_kept_classes;
size_t arena_kept_bytes;

size_t arena_block_total(const Arena_Block *block) { return ARENA_HEADER_BYTES + block->capacity; }

// The width of a size_t is at most 64: it fits an int (libc++ and libstdc++ return the argument's type).
int arena_class_of(size_t capacity) { return static_cast<int>(std::bit_width(capacity)) - 1; }

// Keeps `block` for reuse, or gives it back to the heap when the kept blocks would pass the bound.
void arena_give_back(Arena_Block *block) {
  size_t bytes = arena_block_total(block);
  if (bytes > ARENA_KEPT_MAX_BYTES - arena_kept_bytes) {
    arena_heap->free(block);
    return;
  }
  int k = arena_class_of(block->capacity);
  block->prev = arena_kept[k];
  arena_kept[k] = block;
  arena_kept_classes |= uint64_t{1} << k;
  arena_kept_bytes += bytes;
}

Arena_Block *arena_take_kept_of_class(int k) {
  Arena_Block *block = arena_kept[k];
  arena_kept[k] = block->prev;
  if (!arena_kept[k]) arena_kept_classes &= ~(uint64_t{1} << k);
  arena_kept_bytes -= arena_block_total(block);
  return block;
}

// A kept block that holds `capacity` (at least 1), taken off its list; null when none does. The
// newest block of the class of `capacity` when it is large enough (arenas that take and give back
// blocks of one size find them there), else the newest of the smallest class above, every block of
// which is.
Arena_Block *arena_take_kept(size_t capacity) {
  int k = arena_class_of(capacity);
  if (arena_kept[k] && arena_kept[k]->capacity >= capacity) return arena_take_kept_of_class(k);
  // The classes above k; none for the last class (2 << 63 wraps to 0, and ~(0 - 1) is 0).
  uint64_t above = arena_kept_classes & ~((uint64_t{2} << k) - 1);
  return above ? arena_take_kept_of_class(std::countr_zero(above)) : nullptr;
}

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
  Arena_Block *block = arena_take_kept(capacity);
  if (!block) {
    block = static_cast<Arena_Block *>(arena_heap->alloc(ARENA_HEADER_BYTES + capacity));
    if (!block) return nullptr;
    block->capacity = capacity;
    arena->heap_allocations++;
  }
  block->prev = arena->newest;
  block->used = 0;
  arena->newest = block;
  return block;
}

}  // namespace

void *arena_push_in_new_block(Arena *arena, size_t size, size_t align) noexcept {
  if (size > SIZE_MAX - align) return nullptr;
  // The new block holds `size` at any alignment: the push then takes arena_push's own path.
  if (!arena_new_block(arena, size + align)) return nullptr;
  return arena_push(arena, size, align);
}

Arena_Mark arena_mark(const Arena *arena) noexcept {
  return {arena->newest, arena->newest ? arena->newest->used : 0};
}

void arena_pop_to(Arena *arena, Arena_Mark mark) noexcept {
  while (arena->newest != mark.block) {
    Arena_Block *block = arena->newest;
    arena->newest = block->prev;
    arena_give_back(block);
  }
  if (mark.block) mark.block->used = mark.used;
}

std::string_view arena_push_string(Arena *arena, std::string_view text) noexcept {
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
    arena_give_back(block);
    block = prev;
  }
  if (block->capacity > arena_block_bytes(arena)) {
    arena_give_back(block);
    arena->newest = nullptr;
    return;
  }
  block->used = 0;
  arena->newest = block;
}

void arena_destroy(Arena *arena) noexcept {
  arena_release(arena);
  if (arena->newest) arena_give_back(arena->newest);
  arena->newest = nullptr;
}

size_t arena_block_count(const Arena *arena) noexcept {
  size_t n = 0;
  for (const Arena_Block *b = arena->newest; b; b = b->prev) n++;
  return n;
}

size_t arena_kept_block_bytes() noexcept { return arena_kept_bytes; }

void arena_give_back_kept() noexcept {
  for (Arena_Block *&kept : arena_kept) {
    while (kept) {
      Arena_Block *next = kept->prev;
      arena_heap->free(kept);
      kept = next;
    }
  }
  arena_kept_classes = 0;
  arena_kept_bytes = 0;
}

const Arena_Heap *arena_use_heap(const Arena_Heap *heap) noexcept {
  arena_give_back_kept();  // they came from the heap in use until now
  const Arena_Heap *old = arena_heap;
  arena_heap = heap ? heap : &ARENA_C_HEAP;
  return old;
}

Runtime_Context runtime_context;

void runtime_context_destroy() noexcept {
  arena_destroy(&runtime_context.frame_scratch);
  arena_destroy(&runtime_context.lasting);
  runtime_context = {};
  arena_give_back_kept();
  log_set_sink({});
}

void runtime_context_create() noexcept { runtime_context_destroy(); }
