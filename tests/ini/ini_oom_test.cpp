// Running out of memory inside the reader: every allocation in turn is made to fail, and each time
// the reader must report FAILURE_OUT_OF_MEMORY, leave the map empty and leak nothing.
// This program replaces the global allocation functions, so it is a test program of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "encoding/ini/ini.h"
#include "map_dump.h"

namespace {

long long oom_allocations_left = -1;  // the allocation that finds 0 here fails; -1: none fails
long long oom_live_allocations = 0;

// Reached through pointers that the compiler cannot see through: g++ otherwise inlines the pairing
// of this operator new with std::free and reports a mismatched new/delete that is not there.
void *(*volatile oom_heap_alloc)(std::size_t) = std::malloc;
void (*volatile oom_heap_free)(void *) = std::free;

void oom_arm(long long allowed) { oom_allocations_left = allowed; }
void oom_disarm() { oom_allocations_left = -1; }

}  // namespace

// A failing allocation has to look exactly like the real one: it throws std::bad_alloc.
void *operator new(std::size_t size) {
  if (oom_allocations_left == 0) throw std::bad_alloc();
  if (oom_allocations_left > 0) oom_allocations_left--;
  void *block = oom_heap_alloc(size ? size : 1);
  if (!block) throw std::bad_alloc();
  oom_live_allocations++;
  return block;
}

void operator delete(void *block) noexcept {
  if (!block) return;
  oom_live_allocations--;
  oom_heap_free(block);
}

void operator delete(void *block, std::size_t) noexcept { operator delete(block); }

namespace {

constexpr Ini_Options CONFIG_OPTIONS = {";", /*lowercase_keys=*/true};

// Sections, lowercased non-ASCII keys, an escaped value and a replaced value: every kind of growth.
constexpr std::string_view OOM_TEXT =
    "top=1\n[corvin]\nEnabled = 1\nHAIR_\xC3\x80 = \"a\\tb\"\nhair_primary = 12\n"
    "hair_primary = 300000000000000000000000000000\n[mael]\n\"K=1\" = '\\u00e9'\n";
constexpr std::string_view OOM_EXPECTED =
    "[]\ntop\t1\n"
    "[corvin]\nenabled\t1\nhair_primary\t300000000000000000000000000000\nhair_\xC3\xA0\ta\\x09b\n"
    "[mael]\nk=1\t\xC3\xA9\n";

TEST(IniOutOfMemory, EveryAllocationMayFail) {
  int failures = 0;
  bool completed = false;
  for (long long allowed = 0; allowed < 10000 && !completed; allowed++) {
    long long live_before = oom_live_allocations;
    {
      Section_Map map;
      oom_arm(allowed);
      Status status = load_map_from_string(&map, OOM_TEXT, CONFIG_OPTIONS);
      oom_disarm();
      if (status.ok()) {
        EXPECT_EQ(dump_map(map), OOM_EXPECTED);
        completed = true;
      } else {
        EXPECT_EQ(status, status_fail(FAILURE_OUT_OF_MEMORY)) << "failing allocation " << allowed;
        EXPECT_TRUE(map.empty()) << "failing allocation " << allowed;
        failures++;
      }
    }
    EXPECT_EQ(oom_live_allocations, live_before) << "leak after failing allocation " << allowed;
  }
  EXPECT_TRUE(completed);
  EXPECT_GT(failures, 10);
}

TEST(IniOutOfMemory, UnquoteReportsIt) {
  const std::string literal = "\"a long enough literal to need the heap \\t\"";
  oom_arm(0);
  Result<Unquoted> result = unquote(literal);
  oom_disarm();
  EXPECT_EQ(result.status(), status_fail(FAILURE_OUT_OF_MEMORY));
}

}  // namespace
