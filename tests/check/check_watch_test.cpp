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

// Runs `frames` frames of 0.1 s of `fs`'s clock; what they wrote to `err`.
std::string frames_written(Check_Watch *watch, Fake_Platform *fs, int frames, FILE *err) {
  auto at = static_cast<size_t>(std::ftell(err));
  for (int i = 0; i < frames; i++) {
    check_watch_frame(watch, "T", err);
    fs->now += FRAME_TICKS;
  }
  std::string written = check_capture_read(err).substr(at);
  std::fseek(err, 0, SEEK_END);
  return written;
}

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
        "watched.ini:", "corvin.chin_primary = blue: not an integer"}},
      {"the broken version is not read again", 20, "", false, {}},
      {"broken at another line", 10, broken_at_chin, true,
       {"[T] Mane Shade: missing key", "watched.ini:" + std::to_string(chin_line) + ": corvin.chin_primary = red: not an integer"}},
      {"fixed there but broken further down: the same game's line, so it was never shown", 10, broken_at_beard, true,
       {"[T] Mane Shade: missing key", "watched.ini:" + std::to_string(beard_line) + ": corvin.beard_tertiary = red: not an integer"}},
      {"fixed", 10, sample_with_hair(40), true, {"[T] the game loads it: corvin: on, hair 40 57 57"}},
      {"saved again with the same values: a load all the same, and it was not shown", 10, sample_with_hair(40), true,
       {"[T] the game loads it: corvin: on, hair 40 57 57"}},
  };
  for (const Step &step : steps) {
    if (!step.change_bytes.empty()) fs.bytes = step.change_bytes;
    if (step.save) fs.write_ticks += FRAME_TICKS;
    std::string written = frames_written(&watch, &fs, step.frames, err);
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
  // One read a load: why a load failed comes from the load's own outcome, not from reading again.
  EXPECT_EQ(fs.file_reads, 7u);
  std::fclose(err);
  fake_platform_remove();
}

// A look or an open that fails comes back every second, with no new version of the file: shown
// once, and again whenever the reason changes.
TEST(CheckWatch, ARepeatingFailureIsShownOnceAndAgainWhenItsCauseChanges) {
  Fake_Platform fs;
  fs.path = "watched.ini";
  fake_platform_install(&fs);
  FILE *err = std::tmpfile();
  ASSERT_NE(err, nullptr);
  Check_Watch watch;
  watch.path = "watched.ini";
  struct Row {
    const char *fault;  // what the watch showed instead
    bool exists;
    Os_Error open_error;
    const char *cause;
  } rows[] = {
      {"a missing file shown every second", false, OS_OK, "no such file"},
      {"a folder kept the missing file's explanation", true, OS_IS_A_FOLDER, "it is a folder, not a file"},
      {"a pipe kept the first explanation", true, OS_NOT_A_FILE, "not a file (a device or a pipe)"},
      {"a link loop kept the first explanation", true, OS_SYMLINK_LOOP, "a symbolic link that leads back to itself"},
  };
  for (const Row &row : rows) {
    fs.exists = row.exists;
    fs.open_error = row.open_error;
    std::string written = frames_written(&watch, &fs, 35, err);
    EXPECT_EQ(written.find("[T] Mane Shade: failed to open config file"), 0u) << row.fault << ":\n" << written;
    EXPECT_EQ(written.find("[T]", 1), std::string::npos) << row.fault << ": repeated:\n" << written;
    EXPECT_NE(written.find(std::string("cannot read it: ") + row.cause), std::string::npos) << row.fault << ":\n" << written;
  }
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
