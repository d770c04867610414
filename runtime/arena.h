// Frame scratch: a bump arena of heap blocks. What is pushed lives until the next arena_release.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr size_t ARENA_BLOCK_SIZE_BYTES = 0x400000;  // 4 MiB; a larger request gets a block of its own

struct Arena_Block;

// Zero-initialised means empty: the first push takes the first block from the heap.
struct Arena {
  Arena_Block *newest;
  uint64_t heap_allocations;  // blocks ever taken from the heap; lets tests see a steady frame
};

// Returns `size` bytes aligned to `align` (a power of two), or nullptr when the heap is exhausted.
void *arena_push(Arena *arena, size_t size, size_t align = alignof(std::max_align_t)) noexcept;

template <class T>
T *arena_push_array(Arena *arena, size_t count) noexcept {
  if (count > SIZE_MAX / sizeof(T)) return nullptr;
  return static_cast<T *>(arena_push(arena, count * sizeof(T), alignof(T)));
}

// Copies `text` into the arena with a NUL after it. Returns an empty view when out of memory.
std::string_view arena_push_string(Arena *arena, std::string_view text) noexcept;

// Gives every block but the oldest back to the heap and empties the oldest for reuse, so a frame
// that stays within the first block allocates nothing.
void arena_release(Arena *arena) noexcept;

// Gives every block back to the heap; the arena is empty afterwards.
void arena_destroy(Arena *arena) noexcept;

size_t arena_block_count(const Arena *arena) noexcept;
