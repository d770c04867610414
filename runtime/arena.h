// Arenas: the module's only memory. An arena is a chain of blocks taken from the process heap; what
// is pushed lives until the arena is released or destroyed as a whole. The frame scratch is the
// arena of one frame's temporaries; a Section_Map owns an arena of its own. Arenas and the blocks
// kept for reuse belong to one thread: the module's script thread (or a tool's one thread).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr size_t ARENA_BLOCK_SIZE_BYTES = 0x400000;  // 4 MiB; a larger request gets a block of its own

// Blocks that arenas give back are kept for the next arena, up to this many bytes in all: a reload
// takes the memory of the one before it, already touched, instead of fresh pages from the system.
// Finding a kept block that fits costs the same however many are kept.
// Most reloads need a few KiB; the largest file the module reads needs a few MiB.
constexpr size_t ARENA_KEPT_MAX_BYTES = 0x4000000;  // 64 MiB

struct Arena_Block {
  Arena_Block *prev;  // the next older block; null for the oldest
  size_t capacity;    // bytes after the header
  size_t used;
};

// The bytes before a block's first push: the header, rounded up to 16.
constexpr size_t ARENA_HEADER_BYTES = (sizeof(Arena_Block) + 15) & ~size_t{15};

// Zero-initialised means empty, with blocks of ARENA_BLOCK_SIZE_BYTES: the first push takes the
// first block from the heap. A declared Arena starts so too (constant-initialised: no constructor
// runs for a global one).
struct Arena {
  Arena_Block *newest = nullptr;
  uint64_t heap_allocations = 0;  // blocks ever taken from the heap; lets tests see a steady frame
  size_t block_bytes = 0;         // the least a new block holds; 0: ARENA_BLOCK_SIZE_BYTES
};

// The push that needs a new block; arena_push's slow path.
void *arena_push_in_new_block(Arena *arena, size_t size, size_t align) noexcept;

// Returns `size` bytes aligned to `align` (a power of two), or null when the heap has no room.
inline void *arena_push(Arena *arena, size_t size, size_t align = alignof(std::max_align_t)) noexcept {
  Arena_Block *block = arena->newest;
  if (block) {
    // Aligns the address, not the offset, so alignments above the heap's own hold too.
    uintptr_t base = reinterpret_cast<uintptr_t>(block) + ARENA_HEADER_BYTES;
    size_t start = ((base + block->used + align - 1) & ~(align - 1)) - base;
    if (start <= block->capacity && size <= block->capacity - start) {
      block->used = start + size;
      return reinterpret_cast<char *>(base + start);
    }
  }
  return arena_push_in_new_block(arena, size, align);
}

template <class T>
T *arena_push_array(Arena *arena, size_t count) noexcept {
  if (count > SIZE_MAX / sizeof(T)) return nullptr;
  return static_cast<T *>(arena_push(arena, count * sizeof(T), alignof(T)));
}

// Where an arena stands: everything pushed after it can be given back at once (arena_pop_to), for
// temporaries within a step.
struct Arena_Mark {
  Arena_Block *block;
  size_t used;
};

Arena_Mark arena_mark(const Arena *arena) noexcept;

// Gives back everything pushed since `mark` was taken: the blocks taken since go back, and the
// block of the mark is used from where it stood.
void arena_pop_to(Arena *arena, Arena_Mark mark) noexcept;

// Copies `text` into the arena with a NUL after it. data() is null when the heap has no room.
std::string_view arena_push_string(Arena *arena, std::string_view text) noexcept;

// Gives every block but the oldest back and empties the oldest for reuse, so a frame that stays
// within the first block allocates nothing. An oldest block larger than the arena's block size goes
// back too: one large frame does not pin its memory for good. Blocks given back are kept for other
// arenas (ARENA_KEPT_MAX_BYTES), or returned to the heap.
void arena_release(Arena *arena) noexcept;

// Gives every block back; the arena is empty afterwards and keeps its block size.
void arena_destroy(Arena *arena) noexcept;

size_t arena_block_count(const Arena *arena) noexcept;

// ---- The heap under every arena. ----

// Where blocks come from: the C runtime's heap (on Windows, the process heap), unless a test or a
// tool routes them elsewhere. `alloc` returns null when there is no room; `free` accepts null.
struct Arena_Heap {
  void *(*alloc)(size_t size) noexcept;
  void (*free)(void *block) noexcept;
};

// Routes every arena's blocks through `heap` (null: the C runtime's heap); returns the previous one.
// The kept blocks go back to the heap in use until now. Blocks must go back to the heap they came
// from: switch only while no arena holds a block of the other heap, or switch back before
// releasing them.
const Arena_Heap *arena_use_heap(const Arena_Heap *heap) noexcept;

// The bytes of the blocks kept for reuse; and giving them all back to the heap.
size_t arena_kept_block_bytes() noexcept;
void arena_give_back_kept() noexcept;

// ---- The module's runtime context. ----

struct Runtime_Context {
  Arena frame_scratch;
  Arena lasting;  // what lives as long as the module: taken once, given back at shut-down
};

// Plain data, zero at load; nothing runs before the DLL entry.
extern Runtime_Context runtime_context;

// The default context: an empty frame scratch (its first block comes with the first push) and no
// log sink. Releases anything an earlier context held.
void runtime_context_create() noexcept;

// The runtime's shut-down: gives the frame scratch's and the lasting arena's blocks back to the heap
// and removes any log sink. The context is as at load afterwards.
void runtime_context_destroy() noexcept;

// The frame's scratch arena. Fetched once at the entry of each step of the frame and passed down.
inline Arena *frame_scratch() noexcept { return &runtime_context.frame_scratch; }

// The arena of what the module keeps for its whole life (a path found once).
inline Arena *lasting_memory() noexcept { return &runtime_context.lasting; }
