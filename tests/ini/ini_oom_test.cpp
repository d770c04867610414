// Running out of memory inside the reader: every heap request of a read is made to fail in turn,
// and each time the reader must report FAILURE_OUT_OF_MEMORY, leave the map empty and give back
// every block it took. And the blocks that arenas give back are kept for the next, within a bound.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "encoding/ini/ini.h"
#include "map_dump.h"

namespace {

long long heap_grants_left = -1;  // the request that finds 0 here fails; -1: none fails
long long heap_live_blocks = 0;

void *failing_alloc(size_t size) noexcept {
  if (heap_grants_left == 0) return nullptr;
  if (heap_grants_left > 0) heap_grants_left--;
  void *block = std::malloc(size);
  if (block) heap_live_blocks++;
  return block;
}

void failing_free(void *block) noexcept {
  if (block) heap_live_blocks--;
  std::free(block);
}

constexpr Arena_Heap FAILING_HEAP = {failing_alloc, failing_free};

constexpr Ini_Options CONFIG_OPTIONS = {";", /*lowercase_keys=*/true};

// Sections, lowercased non-ASCII keys, an escaped value and a replaced value: every kind of growth;
// then enough short pairs that the map's arena takes several blocks.
std::string oom_text() {
  std::string text =
      "top=1\n[corvin]\nEnabled = 1\nHAIR_\xC3\x80 = \"a\\tb\"\nhair_primary = 12\n"
      "hair_primary = 300000000000000000000000000000\n[mael]\n\"K=1\" = '\\u00e9'\n[many]\n";
  for (int i = 0; i < 4000; i++) text.append("k").append(std::to_string(i)).append("=\n");
  return text;
}

TEST(IniOutOfMemory, EveryHeapRequestMayFail) {
  const std::string text = oom_text();
  const Arena_Heap *previous = arena_use_heap(&FAILING_HEAP);
  int failures = 0;
  bool completed = false;
  for (long long allowed = 0; allowed < 64 && !completed; allowed++) {
    Section_Map map{};
    heap_grants_left = allowed;
    Status status = load_map_from_string(&map, text, CONFIG_OPTIONS);
    heap_grants_left = -1;
    if (status.ok()) {
      EXPECT_EQ(map_value(map, "corvin", "hair_\xC3\xA0"), "a\tb");
      EXPECT_EQ(map_value(map, "mael", "k=1"), "\xC3\xA9");
      EXPECT_EQ(map_value(map, "many", "k3999"), "");
      completed = true;
    } else {
      EXPECT_EQ(status, status_fail(FAILURE_OUT_OF_MEMORY)) << "failing request " << allowed;
      EXPECT_EQ(map.first, nullptr) << "failing request " << allowed;
      EXPECT_EQ(arena_block_count(&map.arena), 0u) << "failing request " << allowed;
      failures++;
    }
    delete_map(&map);
    arena_give_back_kept();  // each attempt starts from the heap itself
    EXPECT_EQ(heap_live_blocks, 0) << "leak after request " << allowed;
  }
  arena_use_heap(previous);
  EXPECT_TRUE(completed);
  EXPECT_GE(failures, 3);  // the text's copy, then the arena's growth
}

TEST(IniOutOfMemory, UnquoteAndTheIteratorReportIt) {
  const Arena_Heap *previous = arena_use_heap(&FAILING_HEAP);
  heap_grants_left = 0;
  Arena arena{};
  Result<std::string_view> unquoted = unquote(&arena, "\"a literal that needs decoding \\t\"");
  EXPECT_EQ(unquoted.status(), status_fail(FAILURE_OUT_OF_MEMORY));

  Ini_Iterator it = ini_iterator(&arena, "a=1\nKEY=2\nb=3\n", CONFIG_OPTIONS);
  Ini_Line line;
  EXPECT_TRUE(ini_next_line(&it, &line));   // "a" needs no memory
  EXPECT_FALSE(ini_next_line(&it, &line));  // "KEY" must be lowercased
  EXPECT_EQ(it.status, status_fail(FAILURE_OUT_OF_MEMORY));
  EXPECT_FALSE(ini_next_line(&it, &line));  // and the iteration stays ended
  heap_grants_left = -1;
  arena_destroy(&arena);
  arena_use_heap(previous);
  EXPECT_EQ(heap_live_blocks, 0);
}

TEST(ArenaKeptBlocks, ReusedByTheNextArenaAndBounded) {
  const Arena_Heap *previous = arena_use_heap(&FAILING_HEAP);
  Arena first{};
  ASSERT_NE(arena_push(&first, 3 * ARENA_BLOCK_SIZE_BYTES, 1), nullptr);
  arena_destroy(&first);
  EXPECT_EQ(heap_live_blocks, 1);  // kept, not freed
  heap_grants_left = 0;            // the heap refuses everything now
  Arena second{};
  EXPECT_NE(arena_push(&second, ARENA_BLOCK_SIZE_BYTES, 1), nullptr);  // served by the kept block
  EXPECT_EQ(arena_push(&second, 4 * ARENA_BLOCK_SIZE_BYTES, 1), nullptr);
  heap_grants_left = -1;
  arena_destroy(&second);

  // Past the bound, blocks given back go to the heap.
  Arena big{};
  for (size_t i = 0; i < ARENA_KEPT_MAX_BYTES / ARENA_BLOCK_SIZE_BYTES + 4; i++) {
    ASSERT_NE(arena_push(&big, ARENA_BLOCK_SIZE_BYTES, 1), nullptr);
  }
  arena_destroy(&big);
  EXPECT_LE(arena_kept_block_bytes(), ARENA_KEPT_MAX_BYTES);
  EXPECT_LT(static_cast<size_t>(heap_live_blocks), ARENA_KEPT_MAX_BYTES / ARENA_BLOCK_SIZE_BYTES + 4);
  arena_use_heap(previous);  // gives the kept blocks back to the failing heap
  EXPECT_EQ(heap_live_blocks, 0);
}

}  // namespace
