// The module against the reference, on generated settings files: each file is read both ways and
// the texts, the sections, the verdicts (the Config, or the refusal and its key) and the player's
// lines must agree byte for byte. A difference names the seed that draws the file again
// (MANESHADE_REFERENCE_SEED=<seed> MANESHADE_REFERENCE_COUNT=1), the file and both readings.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

#include "encoding/ini/ini.h"
#include "runtime/arena.h"
#include "runtime/text.h"
#include "src/config/messages.h"
#include "src/config/schema.h"
#include "src/config/settings_file.h"
#include "tests/reference/differential.h"
#include "tests/reference/generator.h"
#include "tests/reference/reference.h"

namespace {

constexpr uint64_t FILES_PER_RUN = 20'000;
constexpr int FAILURES_SHOWN = 3;

// Reader options besides the configuration file's: the reader takes any, and its rules hold for each.
const ref::Options OTHER_OPTIONS[] = {{"", false}, {"#", false}, {"//", true}};

TEST(Differential, SettingsFilesReadAsTheRulesSay) {
  uint64_t seed = ref::run_seed(), count = ref::run_count(FILES_PER_RUN);
  std::printf("settings files from seed %llu, %llu of them\n", static_cast<unsigned long long>(seed),
              static_cast<unsigned long long>(count));
  int failures = 0;
  for (uint64_t i = 0; i < count && failures < FAILURES_SHOWN; i++) {
    ref::Random random{seed + i};
    std::string bytes = ref::generate_file(&random);
    const ref::Options &options = i % 4 == 3 ? OTHER_OPTIONS[(i / 4) % std::size(OTHER_OPTIONS)] : ref::Options{";", true};
    std::string difference = differential_read(bytes, options);
    if (difference.empty()) continue;
    failures++;
    ADD_FAILURE() << "seed " << seed + i << " (options \"" << options.comment_prefix << "\", " << options.lowercase_keys
                  << ")\nfile: " << ref::escaped(bytes) << "\n" << difference;
  }
}

// Every code point, and every byte that starts no sequence, through the text operations.
TEST(Differential, EveryCodePointLowercasedAndTrimmed) {
  int failures = 0;
  for (uint32_t cp = 0; cp <= 0x110000 && failures < FAILURES_SHOWN; cp++) {
    std::string c;
    ref::append_utf8(&c, cp);
    std::string text = std::string("a") + c + "A" + c;
    Arena arena{};
    std::string module_lower(lower_from_utf8(&arena, text));
    arena_destroy(&arena);
    bool same = lower_code_point(cp) == ref::lower(cp) && is_white_space(cp) == ref::is_white_space(cp) &&
                module_lower == ref::lower(text) && std::string(trim_white_space(c + "x" + c)) == ref::trim(c + "x" + c);
    if (same) continue;
    failures++;
    ADD_FAILURE() << "code point " << std::hex << cp << ": lower " << lower_code_point(cp) << " against " << ref::lower(cp)
                  << ", white space " << is_white_space(cp) << " against " << ref::is_white_space(cp);
  }
  for (int byte = 0x80; byte <= 0xFF; byte++) {
    std::string alone(1, static_cast<char>(byte));
    Arena arena{};
    EXPECT_EQ(std::string(lower_from_utf8(&arena, alone)), ref::lower(alone)) << byte;
    EXPECT_EQ(std::string(trim_white_space(alone)), ref::trim(alone)) << byte;
    arena_destroy(&arena);
  }
}

}  // namespace
