// One steady frame pass against in-process fake natives: a ped of 40 components, 8 of them in the
// five groups, all already wearing the configured tints. Reports time, heap allocations and native
// calls per pass.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <new>

#include "runtime/context.h"
#include "src/script/frame.h"
#include "src/script/tint.h"
#include "tests/support/fake_game.h"

static size_t heap_news;
void *operator new(size_t size) {
  heap_news++;
  if (void *p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, size_t) noexcept { std::free(p); }

namespace {

void BM_SteadyFramePass(benchmark::State &bench) {
  const uint32_t group_categories[] = {CATEGORY_HAIR,   CATEGORY_CHIN,  CATEGORY_CHOPS, CATEGORY_STACHE,
                                       CATEGORY_BEARD,  CATEGORY_HAIR,  CATEGORY_BEARD, CATEGORY_CHIN};
  Fake_Game game;
  game.model = CORVIN_MODEL;
  game.record_calls = false;
  for (uint32_t i = 0; i < 40; i++) game.components.push_back({0x5000 + i, 2, 0, 0, 0, {i, i, i, i}});
  for (uint32_t g = 0; g < 8; g++) {
    Fake_Component &c = game.components[g * 5];
    c.category = group_categories[g];
    c.tint0 = 20, c.tint1 = 21, c.tint2 = 22;  // matches the block below
  }
  fake_game_install(&game);

  Frame_State state = frame_state_initial();
  Character_Config &block = state.config.corvin;
  block.enabled = 1;
  int32_t *tints = &block.hair_primary;
  for (int i = 0; i < 15; i++) tints[i] = 20 + i % 3;

  run_frame(&state);
  arena_release(frame_scratch());
  size_t news = heap_news;
  uint64_t blocks = frame_scratch()->heap_allocations;
  uint64_t calls = game.call_count;
  for (auto _ : bench) {
    run_frame(&state);
    arena_release(frame_scratch());
  }
  double passes = static_cast<double>(bench.iterations());
  bench.counters["heap_allocs_per_pass"] =
      static_cast<double>(heap_news - news + (frame_scratch()->heap_allocations - blocks)) / passes;
  bench.counters["native_calls_per_pass"] = static_cast<double>(game.call_count - calls) / passes;
  bench.counters["writes"] = static_cast<double>(game.set_tint_count);
}
BENCHMARK(BM_SteadyFramePass);

}  // namespace

BENCHMARK_MAIN();
