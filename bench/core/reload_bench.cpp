// One reload of the settings file, natively, for the shipped sample and for the files of at most
// 1 MiB (the most the module reads) that are hardest for the reader, the flattening and the
// conversion: each benchmark is one shape of file, refilled to just under the bound. The sample is
// timed twice: on the in-memory platform (the module's own work) and on a real file (with the file
// system's calls). The worst time of the hard files is printed at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "runtime/arena.h"
#include "sample_config.h"
#include "src/config/reload.h"
#include "src/config/settings_file.h"
#include "tests/support/fake_platform.h"

namespace {

constexpr size_t BENCH_FILE_BYTES = CONFIG_FILE_MAX_BYTES - 64;

// `line(i)` for i = 0, 1, ... until the next line would pass the bound.
template <class Line>
std::string bench_fill(std::string text, Line line) {
  for (size_t i = 0;; i++) {
    std::string next = line(i);
    if (text.size() + next.size() > BENCH_FILE_BYTES) return text;
    text += next;
  }
}

std::string bench_number(size_t i) { return std::to_string(i); }

// The pieces one after the other (g++ 12 warns falsely on "literal" + std::string).
template <class... Pieces>
std::string bench_cat(const Pieces &...pieces) {
  std::string out;
  (out.append(pieces), ...);
  return out;
}

std::string bench_utf16_le(const std::string &ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) out += c, out += '\0';
  return out;
}

struct Bench_File {
  const char *name;
  std::string (*make)();
};

const Bench_File BENCH_FILES[] = {
    {"one_key_sections", [] { return bench_fill("", [](size_t i) { return bench_cat("[s", bench_number(i), "]\nk=1\n"); }); }},
    {"keys_in_one_block",
     [] { return bench_fill("[corvin]\n", [](size_t i) { return bench_cat("k", bench_number(i), "=1\n"); }); }},
    {"case_twin_blocks",  // every key twice: under [corvin] and under [CORVIN] (a duplicate, found last)
     [] {
       std::string half = bench_fill("", [](size_t i) { return bench_cat("k", bench_number(i), "=1\n"); });
       half.resize(BENCH_FILE_BYTES / 2 - 16);
       half.resize(half.rfind('\n') + 1);
       std::string twin = bench_cat("[CORVIN]\n", half);
       twin.insert(twin.find('\n', twin.size() / 2) + 1, "K0=2\n");  // the duplicate, deep in the twin
       return bench_cat("[corvin]\n", half, twin);
     }},
    {"uppercase_sections", [] { return bench_fill("", [](size_t i) { return bench_cat("[SECTION_", bench_number(i), "]\nK=1\n"); }); }},
    {"escaped_values",
     [] {
       return bench_fill("[corvin]\n", [](size_t i) {
         return bench_cat("k", bench_number(i), " = \"\\x41\\u00e9\\t\\101\\U0001F600\\\\\\\"\"\n");
       });
     }},
    {"non_ascii_keys",
     [] {
       return bench_fill("[corvin]\n", [](size_t i) {
         return bench_cat("\xC3\x80\xCE\x91\xD0\x96\xE1\xBC\x88_", bench_number(i), " = 1\n");  // À, Α, Ж, Ἀ: the case table
       });
     }},
    {"long_lines",
     [] {
       return bench_fill("[corvin]\n", [](size_t i) { return bench_cat("k", bench_number(i), " = ", std::string(16000, 'v'), std::string("\n")); });
     }},
    {"one_line", [] { return bench_cat("[corvin]\nk = ", std::string(BENCH_FILE_BYTES - 20, 'v'), "\n"); }},
    {"blank_lines", [] { return std::string(BENCH_FILE_BYTES, '\n'); }},
    {"blank_lines_crlf", [] { return bench_fill("", [](size_t) { return std::string("\r\n"); }); }},
    {"blank_lines_then_sample", [] { return bench_cat(std::string(BENCH_FILE_BYTES - SAMPLE_CONFIG.size(), '\n'), std::string(SAMPLE_CONFIG)); }},
    {"spaces_and_equals", [] { return bench_fill("[corvin]\n", [](size_t) { return bench_cat(std::string(60, '='), " =\n"); }); }},
    {"short_pairs", [] { return bench_fill("[corvin]\n", [](size_t i) { return bench_cat(bench_number(i), "=\n"); }); }},
    {"utf16_keys",
     [] {
       std::string ascii = bench_fill("[corvin]\n", [](size_t i) { return bench_cat("k", bench_number(i), "=1\n"); });
       ascii.resize(BENCH_FILE_BYTES / 2 - 2);
       return bench_utf16_le(ascii);
     }},
};

// Reloads `bytes` once per iteration, on the in-memory platform: every look finds a new save.
void bench_reload(benchmark::State &bench, const std::string &bytes) {
  Fake_Platform platform;
  platform.bytes = bytes;
  fake_platform_install(&platform);
  Config config{};
  Reload_State state{};
  for (auto _ : bench) {
    platform.write_ticks++;
    platform.now += RELOAD_INTERVAL_TICKS;
    Reload_Result r = update_config(&config, &state, SETTINGS_WORKING_FOLDER_ONLY);
    benchmark::DoNotOptimize(r);
    arena_release(frame_scratch());
  }
  fake_platform_remove();
}

void BM_ReloadHardFile(benchmark::State &bench, const Bench_File *file) {
  std::string bytes = file->make();
  bench_reload(bench, bytes);
  bench.counters["file_bytes"] = static_cast<double>(bytes.size());
}

// The sample on the in-memory platform: the module's own work on a reload.
void BM_ReloadSample(benchmark::State &bench) { bench_reload(bench, std::string(SAMPLE_CONFIG)); }
BENCHMARK(BM_ReloadSample);

// The sample as a real file: the same work, and the file system's look, open, read and look again.
void BM_ReloadSampleOnDisk(benchmark::State &bench) {
  std::filesystem::path path = std::filesystem::temp_directory_path() / "ManeShade_reload_bench.ini";
  std::ofstream(path, std::ios::binary) << SAMPLE_CONFIG;
  std::string utf8 = path.string();
  Config config{};
  for (auto _ : bench) {
    Reload_State state{};  // every look finds a version not yet read
    Reload_Result r = update_config_at(frame_scratch(), utf8, &config, &state);
    benchmark::DoNotOptimize(r);
    arena_release(frame_scratch());
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_ReloadSampleOnDisk);

// The console report, then the worst of the hard files.
class Worst_Reporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
      if (run.run_type != Run::RT_Iteration || run.benchmark_name().find("HardFile") == std::string::npos) continue;
      double ms = run.GetAdjustedRealTime() / 1e6;  // the time unit is nanoseconds
      if (ms > worst_ms_) worst_ms_ = ms, worst_ = run.benchmark_name();
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    if (!worst_.empty()) std::printf("worst reload of a file of at most 1 MiB: %.2f ms (%s)\n", worst_ms_, worst_.c_str());
  }

 private:
  double worst_ms_ = 0;
  std::string worst_;
};

}  // namespace

int main(int argc, char **argv) {
  for (const Bench_File &file : BENCH_FILES) {
    benchmark::RegisterBenchmark((std::string("BM_ReloadHardFile/") + file.name).c_str(), BM_ReloadHardFile, &file);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Worst_Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
