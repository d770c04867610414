// Running out of memory inside the reader: every heap request of a read is made to fail in turn,
// and each time the reader must report FAILURE_OUT_OF_MEMORY, leave the map empty and give back
// every block it took. And the blocks that arenas give back are kept for the next, within a bound.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "encoding/ini/ini.h"
#include "map_dump.h"
#include "tests/support/failing_heap.h"

namespace {

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
    failing_heap_grants = allowed;
    Status status = load_map_from_string(&map, text, CONFIG_OPTIONS);
    failing_heap_grants = -1;
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
    EXPECT_EQ(failing_heap_live_blocks, 0) << "leak after request " << allowed;
  }
  arena_use_heap(previous);
  EXPECT_TRUE(completed);
  EXPECT_GE(failures, 3);  // the text's copy, then the arena's growth
}

// Running out at whichever push first outgrows the map's first block: a note before the text grows
// that block a byte at a time, so that the failing push walks through the read's pushes (sections
// and their table's growth, pairs, tables, decoded and lowercased keys and values) up to the last
// pair's. The first block holds the pushes of the first sections whatever the note.
TEST(IniOutOfMemory, EveryPushMayBeTheOneThatFails) {
  std::string body;
  for (int s = 0; s < 60; s++) body.append("[S").append(std::to_string(s)).append("]\nK=\"\\t\"\n");
  for (int s = 0; s < 3; s++) {
    body.append("[Section").append(std::to_string(s)).append("]\n\"Quoted\\tKey\" = 1\n");
    for (int k = 0; k < 7; k++) body.append("Key").append(std::to_string(k)).append(" = \"v\\t\"\n");
  }
  int failures = 0;
  for (std::string note = ";\n";; note.insert(1, 1, 'x')) {
    ASSERT_LT(note.size(), 1u << 16) << "the reader never outgrew its first block";
    {
      Failing_Heap_Scope one_block(1);
      Section_Map map{};
      Status status = load_map_from_string(&map, note + body, CONFIG_OPTIONS);
      if (status.ok()) {
        EXPECT_EQ(map_value(map, "Section2", "key6"), "v\t");
        delete_map(&map);
        break;
      }
      ASSERT_EQ(status, status_fail(FAILURE_OUT_OF_MEMORY)) << note.size();
      ASSERT_EQ(map.first, nullptr) << note.size();
      failures++;
    }
    ASSERT_EQ(failing_heap_live_blocks, 0) << "leak with a note of " << note.size();
  }
  EXPECT_GT(failures, 1000);
}

TEST(IniOutOfMemory, UnquoteAndTheIteratorReportIt) {
  {
    Failing_Heap_Scope no_heap(0);
    Arena arena{};
    EXPECT_EQ(unquote(&arena, "\"a literal that needs decoding \\t\"").status(), status_fail(FAILURE_OUT_OF_MEMORY));
    // Not a view of the text in place of the copy: the text may be gone before the value.
    EXPECT_EQ(unquote(&arena, "plain").status(), status_fail(FAILURE_OUT_OF_MEMORY));

    const std::string_view rows[] = {
        "a=1\nKEY=2\nb=3\n",        // a key that must be lowercased
        "a=1\n\"k\\t\"=2\nb=3\n",  // a quoted key that must be decoded
        "a=1\nk=\"\\t\"\nb=3\n",   // a value that must be decoded
    };
    for (std::string_view text : rows) {
      Ini_Iterator it = ini_iterator(&arena, text, CONFIG_OPTIONS);
      Ini_Line line;
      EXPECT_TRUE(ini_next_line(&it, &line)) << text;   // "a" needs no memory
      EXPECT_FALSE(ini_next_line(&it, &line)) << text;  // the second line does
      EXPECT_EQ(it.status, status_fail(FAILURE_OUT_OF_MEMORY)) << text;
      EXPECT_FALSE(ini_next_line(&it, &line)) << text;  // and the iteration stays ended
    }
    arena_destroy(&arena);
  }
  EXPECT_EQ(failing_heap_live_blocks, 0);
}

TEST(ArenaKeptBlocks, ReusedByTheNextArenaAndBounded) {
  const Arena_Heap *previous = arena_use_heap(&FAILING_HEAP);
  Arena first{};
  ASSERT_NE(arena_push(&first, 3 * ARENA_BLOCK_SIZE_BYTES, 1), nullptr);
  arena_destroy(&first);
  EXPECT_EQ(failing_heap_live_blocks, 1);  // kept, not freed
  failing_heap_grants = 0;  // the heap refuses everything now
  Arena second{};
  EXPECT_NE(arena_push(&second, ARENA_BLOCK_SIZE_BYTES, 1), nullptr);  // served by the kept block
  EXPECT_EQ(arena_push(&second, 4 * ARENA_BLOCK_SIZE_BYTES, 1), nullptr);
  failing_heap_grants = -1;
  arena_destroy(&second);

  // Past the bound, blocks given back go to the heap.
  Arena big{};
  for (size_t i = 0; i < ARENA_KEPT_MAX_BYTES / ARENA_BLOCK_SIZE_BYTES + 4; i++) {
    ASSERT_NE(arena_push(&big, ARENA_BLOCK_SIZE_BYTES, 1), nullptr);
  }
  arena_destroy(&big);
  EXPECT_LE(arena_kept_block_bytes(), ARENA_KEPT_MAX_BYTES);
  EXPECT_LT(static_cast<size_t>(failing_heap_live_blocks), ARENA_KEPT_MAX_BYTES / ARENA_BLOCK_SIZE_BYTES + 4);
  arena_use_heap(nullptr);  // gives the kept blocks back to the failing heap, and takes the C runtime's
  EXPECT_EQ(failing_heap_live_blocks, 0);
  EXPECT_EQ(arena_use_heap(previous), previous);
}

}  // namespace
