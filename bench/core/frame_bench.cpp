// One steady frame pass against in-process fake natives: a ped of 40 components, 8 of them in the
// five groups, all already wearing the configured tints, with the sample configuration loaded and
// unchanged. Reports time, heap allocations and native calls per pass; and the time of one reload
// of the sample file (read, parse, convert).
#include <benchmark/benchmark.h>

#include "runtime/context.h"
#include "sample_config.h"
#include "src/config/reload.h"
#include "src/script/frame.h"
#include "src/script/tint.h"
#include "tests/support/fake_game.h"
#include "tests/support/heap_counter.h"
#include "tests/support/fake_platform.h"

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
    c.tint0 = c.tint1 = c.tint2 = 57;  // the sample file's corvin tints
  }
  fake_game_install(&game);
  Fake_Platform platform;
  platform.bytes = SAMPLE_CONFIG;
  fake_platform_install(&platform);

  Frame_State state = frame_state_initial();
  run_frame(&state);
  arena_release(frame_scratch());
  if (state.message[0] != '\0' || game.set_tint_count != 0) bench.SkipWithError("sample did not load as expected");
  size_t news = heap_new_count();
  uint64_t blocks = frame_scratch()->heap_allocations;
  uint64_t calls = game.call_count;
  for (auto _ : bench) {
    run_frame(&state);
    arena_release(frame_scratch());
  }
  double passes = static_cast<double>(bench.iterations());
  bench.counters["heap_allocs_per_pass"] =
      static_cast<double>(heap_new_count() - news + (frame_scratch()->heap_allocations - blocks)) / passes;
  bench.counters["native_calls_per_pass"] = static_cast<double>(game.call_count - calls) / passes;
  bench.counters["writes"] = static_cast<double>(game.set_tint_count);
  fake_platform_remove();
}
BENCHMARK(BM_SteadyFramePass);

// One reload of the sample file from memory: the INI reader, flattening, conversion.
void BM_ReloadSampleFile(benchmark::State &bench) {
  Fake_Platform platform;
  platform.bytes = SAMPLE_CONFIG;
  fake_platform_install(&platform);
  Config config{};
  Reload_State state{};
  for (auto _ : bench) {
    platform.write_ticks++;  // a new save every time
    platform.now += RELOAD_INTERVAL_TICKS;
    Reload_Result r = update_config(&config, &state);
    benchmark::DoNotOptimize(r);
    arena_release(frame_scratch());
  }
  fake_platform_remove();
  bench.SetBytesProcessed(static_cast<int64_t>(bench.iterations() * SAMPLE_CONFIG.size()));
}
BENCHMARK(BM_ReloadSampleFile);

}  // namespace

BENCHMARK_MAIN();
