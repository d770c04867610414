// One steady frame pass against in-process fake natives: a ped of 40 components, 8 of them in the
// five groups, all already wearing the configured tints, with the sample configuration loaded and
// unchanged. Reports time, heap allocations and native calls per pass; the floor under it, the
// same 51 native calls made straight through the host's function pointers into the same fake game,
// and the ratio of the two (what the bridge and the frame's own work cost). Reloads are timed in
// reload_bench.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "host/bridge.h"
#include "host/host_functions.h"
#include "host/natives.h"
#include "runtime/arena.h"
#include "sample_config.h"
#include "src/config/reload.h"
#include "src/script/frame.h"
#include "src/script/tint.h"
#include "tests/support/fake_game.h"
#include "tests/support/heap_counter.h"
#include "tests/support/fake_platform.h"

namespace {

constexpr uint32_t BENCH_COMPONENTS = 40;

// The ped of the steady pass: 40 components, every fifth of one of the five groups, each wearing
// the sample file's corvin tints.
Fake_Game bench_steady_game() {
  const uint32_t group_categories[] = {CATEGORY_HAIR,   CATEGORY_CHIN,  CATEGORY_CHOPS, CATEGORY_STACHE,
                                       CATEGORY_BEARD,  CATEGORY_HAIR,  CATEGORY_BEARD, CATEGORY_CHIN};
  Fake_Game game;
  game.model = CORVIN_MODEL;
  game.record_calls = false;
  for (uint32_t i = 0; i < BENCH_COMPONENTS; i++) game.components.push_back({0x5000 + i, 2, 0, 0, 0, {i, i, i, i}});
  for (uint32_t g = 0; g < 8; g++) {
    Fake_Component &c = game.components[g * 5];
    c.category = group_categories[g];
    c.tint0 = c.tint1 = c.tint2 = 57;  // the sample file's corvin tints
  }
  return game;
}

bool bench_is_group(uint32_t category) {
  return category == CATEGORY_HAIR || category == CATEGORY_CHIN || category == CATEGORY_CHOPS ||
         category == CATEGORY_STACHE || category == CATEGORY_BEARD;
}

void BM_SteadyFramePass(benchmark::State &bench) {
  Fake_Game game = bench_steady_game();
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

// The floor: the steady pass's native calls alone, through bare function pointers, with nothing of
// the module between them: no bridge procedures, no look at the clock, no Config.
void BM_SteadyFrameFloor(benchmark::State &bench) {
  Fake_Game game = bench_steady_game();
  fake_game_install(&game);
  Native_Init_Proc init = host_functions.native_init;
  Native_Push64_Proc push = host_functions.native_push64;
  Native_Call_Proc call = host_functions.native_call;
  uint64_t calls = game.call_count;
  for (auto _ : bench) {
    init(NATIVE_GET_PLAYER_PED);
    Host_Uint64 ped = call()[0];
    init(NATIVE_GET_ENTITY_MODEL);
    push(ped);
    benchmark::DoNotOptimize(call()[0]);
    init(NATIVE_GET_NUM_COMPONENTS);
    push(ped);
    auto count = static_cast<int32_t>(call()[0]);
    for (int32_t i = 0; i < count; i++) {
      init(NATIVE_GET_COMPONENT_CATEGORY);
      push(ped);
      push(native_word_from_i32(i));
      push(0);
      if (!bench_is_group(static_cast<uint32_t>(call()[0]))) continue;
      uint32_t palette = 0;
      int32_t tints[3] = {};
      init(NATIVE_GET_COMPONENT_TINT);
      push(ped);
      push(native_word_from_i32(i));
      push(native_word_from_address(&palette));
      for (int32_t &t : tints) push(native_word_from_address(&t));
      call();
      benchmark::DoNotOptimize(tints);
    }
  }
  bench.counters["native_calls_per_pass"] =
      static_cast<double>(game.call_count - calls) / static_cast<double>(bench.iterations());
}
BENCHMARK(BM_SteadyFrameFloor);

// The console report, then the steady pass's time over its floor's.
class Ratio_Reporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
      if (run.run_type == Run::RT_Iteration) ns_per_pass_[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto pass = ns_per_pass_.find("BM_SteadyFramePass");
    auto floor = ns_per_pass_.find("BM_SteadyFrameFloor");
    if (pass == ns_per_pass_.end() || floor == ns_per_pass_.end() || floor->second <= 0) return;
    std::printf("steady pass / bare native calls: %.2f (%.1f ns over the floor of %.1f ns)\n",
                pass->second / floor->second, pass->second - floor->second, floor->second);
  }

 private:
  std::map<std::string, double> ns_per_pass_;
};

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Ratio_Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
