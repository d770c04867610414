// maneshade-check's --watch over the in-memory file system and clock, and the decision to keep a
// console window open.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sample_config.h"
#include "tests/support/fake_platform.h"
#include "tests/check/check_capture.h"
#include "tools/check/check_console.h"
#include "tools/check/check_watch.h"

namespace {

// The sample with corvin's hair_primary set to `hair`.
std::string sample_with_hair(int hair) {
  std::string text(SAMPLE_CONFIG);
  text.insert(text.find("[mael]"), "hair_primary = " + std::to_string(hair) + "\n");
  return text;
}

constexpr uint64_t FRAME_TICKS = TICKS_PER_SECOND / 10;

// Each frame of the table is 0.1 s of the game, as the watch runs; the reloader looks once a second.
TEST(CheckWatch, OneLinePerAttemptAsTheGameSeesIt) {
  const std::string good_summary = "corvin: on, hair 10 57 57, chin 57 57 57, chops 57 57 57, stache 57 57 57, "
                                   "beard 57 57 57, mael: off";
  Fake_Platform fs;
  fs.path = "watched.ini";
  fs.bytes = sample_with_hair(10);
  fake_platform_install(&fs);
  FILE *err = std::tmpfile();
  ASSERT_NE(err, nullptr);
  Check_Watch watch;
  watch.path = "watched.ini";

  struct Step {
    const char *what;
    int frames;  // frames to run after the change
    std::string change_bytes;  // "" keeps the bytes
    bool save;                 // a new modification time
    std::vector<std::string> want;
  };
  const std::string broken = sample_with_hair(10) + "[corvin]\nchin_primary = blue\n";
  const Step steps[] = {
      {"first look loads it", 1, "", false, {"[T] the game loads it: " + good_summary}},
      {"nothing changes for a second", 10, "", false, {}},
      {"saved, 0.3 s before the next look", 3, sample_with_hair(20), true, {}},
      {"saved again within that second: one load, of the later save", 10, sample_with_hair(30), true,
       {"[T] the game loads it: corvin: on, hair 30 57 57"}},
      {"broken: the game's line and the key's line", 10, broken, true,
       {"[T] Mane Shade: missing key, or failed to parse value (the game keeps corvin: on, hair 30 57 57",
        "watched.ini:", "corvin.chin_primary is written here, in [corvin]"}},
      {"the broken version is not read again", 20, "", false, {}},
      {"fixed", 10, sample_with_hair(40), true, {"[T] the game loads it: corvin: on, hair 40 57 57"}},
  };
  long at = 0;
  for (const Step &step : steps) {
    if (!step.change_bytes.empty()) fs.bytes = step.change_bytes;
    if (step.save) fs.write_ticks += FRAME_TICKS;
    for (int i = 0; i < step.frames; i++) {
      check_watch_frame(&watch, "T", err);
      fs.now += FRAME_TICKS;
    }
    std::string all = check_capture_read(err);
    std::string written = all.substr(static_cast<size_t>(at));
    at = static_cast<long>(all.size());
    std::fseek(err, 0, SEEK_END);
    size_t from = 0;
    for (const std::string &want : step.want) {
      size_t found = written.find(want, from);
      EXPECT_NE(found, std::string::npos) << step.what << ": no '" << want << "' in:\n" << written;
      if (found != std::string::npos) from = found + want.size();
    }
    if (step.want.empty()) {
      EXPECT_EQ(written, "") << step.what;
    }
    EXPECT_EQ(written.find("hair 20"), std::string::npos) << step.what << ": the earlier save was loaded";
  }
  std::fclose(err);
  fake_platform_remove();
}

TEST(CheckWatch, AMissingFileIsShownOnceNotEverySecond) {
  Fake_Platform fs;
  fs.path = "watched.ini";
  fs.exists = false;
  fake_platform_install(&fs);
  FILE *err = std::tmpfile();
  ASSERT_NE(err, nullptr);
  Check_Watch watch;
  watch.path = "watched.ini";
  for (int i = 0; i < 35; i++) {
    check_watch_frame(&watch, "T", err);
    fs.now += FRAME_TICKS;
  }
  std::string written = check_capture_read(err);
  EXPECT_EQ(written.find("[T] Mane Shade: failed to open config file"), 0u) << written;
  EXPECT_EQ(written.find("[T]", 1), std::string::npos) << "repeated:\n" << written;
  EXPECT_NE(written.find("cannot read it: no such file"), std::string::npos) << written;
  std::fclose(err);
  fake_platform_remove();
}

TEST(CheckWatch, TheWatchedPathReachesTheTerminalEscaped) {
  FILE *err = std::tmpfile();
  ASSERT_NE(err, nullptr);
  Check_Watch watch;
  check_watch_begin(&watch, "a\x1b]0;owned\x07\xC2\x9B.ini", err);
  std::string written = check_capture_read(err);
  std::fclose(err);
  EXPECT_EQ(written.rfind("watching a\\x1b]0;owned\\x07\\xc2\\x9b.ini as the game does", 0), 0u) << written;
  EXPECT_EQ(check_first_unsafe_byte(written), std::string::npos) << written;
  EXPECT_EQ(watch.path, "a\x1b]0;owned\x07\xC2\x9B.ini") << "the watch must follow the file, not its shown name";
}

TEST(CheckConsole, WaitsForEnterOnlyInAWindowOfItsOwn) {
  struct Row {
    const char *fault;  // what waiting, or not waiting, would do wrong
    Check_Console_Facts facts;
    bool dump;
    bool want;
  } rows[] = {
      {"a double-click: the window closes before the report is read", {1, true, true, true}, false, true},
      {"started from a terminal: it would hang the prompt", {2, true, true, true}, false, false},
      {"input redirected: nobody can press Enter", {1, false, true, true}, false, false},
      {"output redirected to a file", {1, true, false, true}, false, false},
      {"the report redirected to a file", {1, true, true, false}, false, false},
      {"--dump: the JSON's reader is a program", {1, true, true, true}, true, false},
      {"no console at all", {0, false, false, false}, false, false},
  };
  for (const Row &row : rows) EXPECT_EQ(check_console_should_pause(row.facts, row.dump), row.want) << row.fault;
}

}  // namespace
