// Reading speed of the INI reader, side by side with inih on the same bytes: inih's C parser
// filling an equivalent two-level hash map, and inih's INIReader class.
#include <benchmark/benchmark.h>

#include <INIReader.h>
#include <ini.h>

#include <string>
#include <unordered_map>

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

}  // namespace

BENCHMARK_CAPTURE(bm_maneshade, small, bench_small_text);
BENCHMARK_CAPTURE(bm_inih, small, bench_small_text);
BENCHMARK_CAPTURE(bm_inireader, small, bench_small_text);
BENCHMARK_CAPTURE(bm_maneshade, large, bench_large_text)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bm_inih, large, bench_large_text)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bm_inireader, large, bench_large_text)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
