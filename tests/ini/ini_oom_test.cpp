// Running out of memory inside the reader: every heap request of a read is made to fail in turn,
// and each time the reader must report FAILURE_OUT_OF_MEMORY, leave the map empty and give back
// every block it took.
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
  for (int i = 0; i < 4000; i++) text += "k" + std::to_string(i) + "=\n";
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
      EXPECT_EQ(heap_live_blocks, 0) << "blocks kept after failing request " << allowed;
      failures++;
    }
    delete_map(&map);
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

}  // namespace
