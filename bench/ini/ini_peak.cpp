// Peak memory of one read of the ~20 MB benchmark text: `ini_peak maneshade|inih|inireader|none`
// reads it once with that reader and prints the process's peak resident size before and after.
// Native (POSIX) only, like the benchmarks.
#include <INIReader.h>
#include <ini.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>

#include "encoding/ini/ini.h"
#include "ini_bench_text.h"

namespace {

using Inih_Map = std::unordered_map<std::string, std::unordered_map<std::string, std::string>>;

int peak_inih_store(void *user, const char *section, const char *name, const char *value) {
  (*static_cast<Inih_Map *>(user))[section][name] = value;
  return 1;
}

long peak_rss_kib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;  // KiB on Linux
}

size_t peak_entries(const Section_Map &map) {
  size_t n = 0;
  for (const Ini_Section *section = map.first; section; section = section->next) n += section->count;
  return n;
}

}  // namespace

int main(int argc, char **argv) {
  const char *reader = argc > 1 ? argv[1] : "maneshade";
  const std::string &text = bench_large_text();
  long before = peak_rss_kib();
  size_t entries = 0;
  if (std::strcmp(reader, "maneshade") == 0) {
    Section_Map map{};
    if (!load_map_from_string(&map, text, {";", true}).ok()) return 1;
    entries = peak_entries(map);
    delete_map(&map);
  } else if (std::strcmp(reader, "inih") == 0) {
    Inih_Map map;
    ini_parse_string(text.c_str(), peak_inih_store, &map);
    for (const auto &section : map) entries += section.second.size();
  } else if (std::strcmp(reader, "inireader") == 0) {
    INIReader parsed(text.data(), text.size());
    entries = parsed.ParseError() == 0 ? 1 : 0;
  }
  long after = peak_rss_kib();
  std::printf("%s: text %zu bytes, %zu pairs, peak RSS %ld KiB before the read, %ld KiB after (+%ld KiB)\n",
              reader, text.size(), entries, before, after, after - before);
  return 0;
}
