// maneshade-check's --watch over the in-memory file system and clock, and the decision to keep a
// console window open.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "platform/platform.h"
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

// The sample with corvin's `key` given `value` instead; `line` is set to the key's line.
std::string sample_with(std::string text, std::string_view key, std::string_view value, size_t *line) {
  size_t at = text.find(std::string(key) + " = ");
  size_t end = text.find('\n', at);
  text.replace(at, end - at, std::string(key) + " = " + std::string(value));
  *line = 1;
  for (size_t i = 0; i < at; i++) *line += text[i] == '\n';
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
  size_t chin_line = 0, beard_line = 0;
  const std::string broken_at_chin = sample_with(sample_with_hair(30), "chin_primary", "red", &chin_line);
  const std::string broken_at_beard = sample_with(sample_with_hair(30), "beard_tertiary", "red", &beard_line);
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
      {"broken at another line", 10, broken_at_chin, true,
       {"[T] Mane Shade: missing key", "watched.ini:" + std::to_string(chin_line) + ": corvin.chin_primary is written"}},
      {"fixed there but broken further down: the same game's line, so it was never shown", 10, broken_at_beard, true,
       {"[T] Mane Shade: missing key", "watched.ini:" + std::to_string(beard_line) + ": corvin.beard_tertiary is written"}},
      {"fixed", 10, sample_with_hair(40), true, {"[T] the game loads it: corvin: on, hair 40 57 57"}},
      {"saved again with the same values: a load all the same, and it was not shown", 10, sample_with_hair(40), true,
       {"[T] the game loads it: corvin: on, hair 40 57 57"}},
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
    } else {
      EXPECT_EQ(written.find("[T]", 1), std::string::npos) << step.what << ": more than one report:\n" << written;
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

uint64_t test_clock_ticks = 0x01DC'0000'0000'0000;
uint64_t test_clock() noexcept { return test_clock_ticks; }

// The file keeps failing the look, once a second, for a reason that changes: each new reason is a
// report of its own, and each is shown once. The real file system, with a clock the test moves.
TEST(CheckWatch, AFailureWhoseCauseChangesIsShownAgain) {
  namespace fs = std::filesystem;
  fs::path folder = fs::temp_directory_path() / "maneshade_check_watch_causes";
  fs::remove_all(folder);
  fs::create_directories(folder);
  fs::path file = folder / "ManeShade.ini";
  Platform_Services services = PLATFORM_NATIVE_SERVICES;
  services.now_ticks = test_clock;
  const Platform_Services *previous = platform_use_services(&services);
  FILE *err = std::tmpfile();
  ASSERT_NE(err, nullptr);
  std::u8string utf8 = file.u8string();
  Check_Watch watch;
  watch.path = std::string(utf8.begin(), utf8.end());

  struct Row {
    const char *fault;   // what the watch showed instead
    void (*make)(const fs::path &);
    const char *cause;
  } rows[] = {
      {"the first cause", [](const fs::path &f) { fs::create_directory(f); }, "it is a folder, not a file (Is_A_Folder)"},
#ifndef _WIN32
      {"a FIFO kept the folder's explanation",
       [](const fs::path &f) {
         fs::remove(f);
         ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0);
       },
       "not a file (a device or a pipe) (Not_A_File)"},
      {"a link loop kept the first explanation",
       [](const fs::path &f) {
         fs::remove(f);
         fs::create_symlink(f.filename(), f);
       },
       "a symbolic link that leads back to itself (Symlink_Loop)"},
#endif
  };
  long at = 0;
  for (const Row &row : rows) {
    row.make(file);
    for (int i = 0; i < 30; i++) {
      check_watch_frame(&watch, "T", err);
      test_clock_ticks += FRAME_TICKS;
    }
    std::string all = check_capture_read(err);
    std::string written = all.substr(static_cast<size_t>(at));
    at = static_cast<long>(all.size());
    std::fseek(err, 0, SEEK_END);
    EXPECT_EQ(written.find("[T] Mane Shade: failed to open config file"), 0u) << row.fault << ":\n" << written;
    EXPECT_EQ(written.find("[T]", 1), std::string::npos) << row.fault << ": shown every second:\n" << written;
    EXPECT_NE(written.find(std::string("cannot read it: ") + row.cause), std::string::npos) << row.fault << ":\n" << written;
  }
  std::fclose(err);
  platform_use_services(previous);
  fs::remove_all(folder);
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
