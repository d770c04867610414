// Reading speed of the INI reader, side by side with other readers on the same bytes: inih's C
// parser filling an equivalent two-level hash map, inih's INIReader class, and SimpleIni. At the
// end, the reader's time over inih's on the large text and over SimpleIni's on the small one.
// Run with --benchmark_repetitions=N --benchmark_enable_random_interleaving=true to interleave the
// readers' runs, so that the machine's drift weighs on all of them alike.
#include <benchmark/benchmark.h>

#include <INIReader.h>
#include <SimpleIni.h>
#include <ini.h>

#include <cstdio>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "encoding/ini/ini.h"
#include "ini_bench_text.h"

namespace {

using Bench_Text = const std::string &(*)();

using Inih_Map = std::unordered_map<std::string, std::unordered_map<std::string, std::string>>;

int bench_inih_store(void *user, const char *section, const char *name, const char *value) {
  (*static_cast<Inih_Map *>(user))[section][name] = value;
  return 1;
}

void bm_maneshade(benchmark::State &state, Bench_Text make_text) {
  const std::string &text = make_text();
  const Ini_Options options = {";", /*lowercase_keys=*/true};
  for (auto _ : state) {
    Section_Map map;
    Status status = load_map_from_string(&map, text, options);
    benchmark::DoNotOptimize(status);
    benchmark::DoNotOptimize(map);
    delete_map(&map);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// Parses of the small text into many maps alive at once, then all deleted: the time of a parse
// must not grow with the number of maps (or of blocks kept for reuse) beside it.
void bm_maneshade_many(benchmark::State &state, Bench_Text make_text) {
  constexpr size_t MAPS = 4000;
  const std::string &text = make_text();
  const Ini_Options options = {";", /*lowercase_keys=*/true};
  std::vector<Section_Map> maps(MAPS);
  for (auto _ : state) {
    for (Section_Map &map : maps) {
      Status status = load_map_from_string(&map, text, options);
      benchmark::DoNotOptimize(status);
    }
    state.PauseTiming();
    for (Section_Map &map : maps) delete_map(&map);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * MAPS));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * MAPS * text.size()));
}

void bm_inih(benchmark::State &state, Bench_Text make_text) {
  const std::string &text = make_text();
  for (auto _ : state) {
    Inih_Map map;
    int error = ini_parse_string(text.c_str(), bench_inih_store, &map);
    benchmark::DoNotOptimize(error);
    benchmark::DoNotOptimize(map);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void bm_inireader(benchmark::State &state, Bench_Text make_text) {
  const std::string &text = make_text();
  for (auto _ : state) {
    INIReader reader(text.data(), text.size());
    benchmark::DoNotOptimize(reader.ParseError());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void bm_simpleini(benchmark::State &state, Bench_Text make_text) {
  const std::string &text = make_text();
  for (auto _ : state) {
    CSimpleIniA ini(/*isUtf8=*/true);
    SI_Error error = ini.LoadData(text.data(), text.size());
    benchmark::DoNotOptimize(error);
    benchmark::DoNotOptimize(ini.GetSectionSize(""));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// The console report, then the reader's time over the others' (means over repetitions).
class Ratio_Reporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      Mean &mean = means_[run.run_name.str()];
      mean.total += run.GetAdjustedRealTime();
      mean.count++;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    ratio("bm_maneshade/large", "bm_inih/large", "large text: time over inih's");
    ratio("bm_maneshade/small", "bm_simpleini/small", "small text: time over SimpleIni's");
    // 4,000 parses a run against one.
    ratio("bm_maneshade_many/small", "bm_maneshade/small", "small text, a parse among 4,000 maps alive over a parse alone", 4000);
  }

 private:
  struct Mean {
    double total = 0;
    int count = 0;
  };
  // `ours` over `theirs`, where one run of `ours` does `runs` of what one run of `theirs` does.
  void ratio(const std::string &ours, const std::string &theirs, const char *what, double runs = 1) {
    auto a = means_.find(ours), b = means_.find(theirs);
    if (a == means_.end() || b == means_.end() || b->second.total <= 0) return;
    std::printf("%s: %.2f\n", what, (a->second.total / a->second.count / runs) / (b->second.total / b->second.count));
  }
  std::map<std::string, Mean> means_;
};

}  // namespace

BENCHMARK_CAPTURE(bm_maneshade, small, bench_small_text);
BENCHMARK_CAPTURE(bm_maneshade_many, small, bench_small_text);  // in ns, as the one-map run the ratio takes
BENCHMARK_CAPTURE(bm_inih, small, bench_small_text);
BENCHMARK_CAPTURE(bm_inireader, small, bench_small_text);
BENCHMARK_CAPTURE(bm_simpleini, small, bench_small_text);
BENCHMARK_CAPTURE(bm_maneshade, large, bench_large_text)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bm_inih, large, bench_large_text)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bm_inireader, large, bench_large_text)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bm_simpleini, large, bench_large_text)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Ratio_Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
