// The frame scratch: block reuse across releases, oversized requests, and a steady frame that
// allocates nothing from the heap.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>

#include "runtime/arena.h"
#include "src/script/frame.h"
#include "src/script/tint.h"
#include "sample_config.h"
#include "tests/support/fake_game.h"
#include "tests/support/heap_counter.h"
#include "tests/support/fake_platform.h"

namespace {

TEST(Arena, SpillsIntoSecondBlockAndReleaseKeepsTheFirst) {
  arena_give_back_kept();  // blocks that earlier tests of this process gave back would spare a heap request
  Arena arena{};
  char *first = static_cast<char *>(arena_push(&arena, ARENA_BLOCK_SIZE_BYTES - 64, 1));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(arena_block_count(&arena), 1u);
  ASSERT_NE(arena_push(&arena, 32, 1), nullptr);  // still fits
  EXPECT_EQ(arena_block_count(&arena), 1u);
  ASSERT_NE(arena_push(&arena, 64, 1), nullptr);  // does not: a second block
  EXPECT_EQ(arena_block_count(&arena), 2u);
  EXPECT_EQ(arena.heap_allocations, 2u);

  arena_release(&arena);
  EXPECT_EQ(arena_block_count(&arena), 1u);
  // The kept block is the oldest, emptied: the next push starts where the first one did.
  EXPECT_EQ(arena_push(&arena, 16, 1), first);
  EXPECT_EQ(arena.heap_allocations, 2u);
  arena_destroy(&arena);
  EXPECT_EQ(arena_block_count(&arena), 0u);
}

TEST(Arena, OversizedRequestsGetTheirOwnBlockAndAreFreedOnRelease) {
  Arena arena{};
  ASSERT_NE(arena_push(&arena, 100, 1), nullptr);
  void *big = arena_push(&arena, ARENA_BLOCK_SIZE_BYTES * 3, 16);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(arena_block_count(&arena), 2u);
  arena_release(&arena);
  EXPECT_EQ(arena_block_count(&arena), 1u);

  // An oversized block that happens to be the oldest is not kept either.
  Arena lone{};
  ASSERT_NE(arena_push(&lone, ARENA_BLOCK_SIZE_BYTES + 1, 1), nullptr);
  arena_release(&lone);
  EXPECT_EQ(arena_block_count(&lone), 0u);
  arena_destroy(&arena);
}

TEST(Arena, AlignmentAndStrings) {
  Arena arena{};
  for (size_t align : {1u, 2u, 8u, 16u, 64u, 4096u}) {
    arena_push(&arena, 3, 1);
    auto address = reinterpret_cast<uintptr_t>(arena_push(&arena, 5, align));
    EXPECT_EQ(address % align, 0u) << "align " << align;
  }
  std::string_view copy = arena_push_string(&arena, "Mane Shade:");
  EXPECT_EQ(copy, "Mane Shade:");
  EXPECT_EQ(copy.data()[copy.size()], '\0');
  EXPECT_EQ(arena_push(&arena, SIZE_MAX - 8, 16), nullptr);  // no wrap-around on a huge request
  EXPECT_EQ(arena_push(&arena, SIZE_MAX - ARENA_HEADER_BYTES / 2, 1), nullptr);  // nor with the block's header
  arena_destroy(&arena);

  // An aligned start past the end of a block: no room left there, however small the push.
  arena_give_back_kept();  // a kept block would be larger
  Arena odd{};
  odd.block_bytes = 70;  // blocks start 16-aligned: 69 bytes used, the next 16-aligned start is 80
  ASSERT_NE(arena_push(&odd, 69, 1), nullptr);
  auto address = reinterpret_cast<uintptr_t>(arena_push(&odd, 1, 16));
  EXPECT_EQ(address % 16, 0u);
  EXPECT_EQ(arena_block_count(&odd), 2u);
  arena_destroy(&odd);
}

// Kept blocks serve later arenas by size: a block of the request's own class when it is large
// enough, else one of the smallest class above; never a smaller one.
TEST(Arena, KeptBlocksServeRequestsThatFit) {
  arena_give_back_kept();
  const size_t sizes[] = {5000, 9000, 6000, 3 * ARENA_BLOCK_SIZE_BYTES};
  void *data[std::size(sizes)];
  Arena made[std::size(sizes)];
  for (size_t i = 0; i < std::size(sizes); i++) {
    made[i].block_bytes = sizes[i];
    data[i] = arena_push(&made[i], 1, 1);
  }
  for (Arena &a : made) arena_destroy(&a);  // all kept
  struct Row {
    size_t push;       // a new block holds one byte more: the push at any alignment of 1
    size_t served_by;  // index in sizes
    const char *fault;
  } rows[] = {
      {5999, 2, "the newest block of the class fits"},
      {5499, 1, "the class's newest is too small: the smallest class above"},
      {3999, 0, "no block of its class: the smallest class above"},
      {8999, 3, "nothing of its class is left: the large block"},
  };
  for (const Row &row : rows) {
    Arena a{};
    a.block_bytes = 1;
    EXPECT_EQ(arena_push(&a, row.push, 1), data[row.served_by]) << row.fault;
    a.newest->prev = nullptr;
    Arena_Block *taken = a.newest;
    a.newest = nullptr;
    std::free(taken);  // out of the keep for good, so the next row cannot get it back
  }
  EXPECT_EQ(arena_kept_block_bytes(), 0u);
}

TEST(Arena, SteadyFrameAllocatesNothing) {
  Fake_Game game;
  game.model = CORVIN_MODEL;
  game.record_calls = false;
  for (uint32_t i = 0; i < 40; i++) game.components.push_back({0x1000 + i, 0, 0, 0, 0, {i, 0, 0, 0}});
  game.components[3] = {CATEGORY_HAIR, 1, 7, 7, 7, {3, 0, 0, 0}};
  game.components[9] = {CATEGORY_BEARD, 1, 7, 7, 7, {9, 0, 0, 0}};
  fake_game_install(&game);
  Fake_Platform platform;
  platform.bytes = SAMPLE_CONFIG;
  fake_platform_install(&platform);

  Frame_State state = frame_state_initial();
  run_frame(&state);  // loads the file, re-tints, and takes the scratch's first block
  arena_release(frame_scratch());
  ASSERT_EQ(state.message, std::string_view(""));
  ASSERT_EQ(game.set_tint_count, 2u);

  // Steady frames, including the once-a-second looks at an unchanged file.
  size_t news = heap_new_count();
  uint64_t blocks = frame_scratch()->heap_allocations;
  for (int frame = 0; frame < 100; frame++) {
    platform.now += TICKS_PER_SECOND / 10;
    run_frame(&state);
    arena_release(frame_scratch());
  }
  fake_platform_remove();
  EXPECT_EQ(heap_new_count(), news);
  EXPECT_EQ(frame_scratch()->heap_allocations, blocks);
  EXPECT_EQ(platform.attribute_reads, 12u);  // the first look, the look after its read, and one a second
  EXPECT_EQ(game.set_tint_count, 2u);        // only the first frame wrote
}

}  // namespace
