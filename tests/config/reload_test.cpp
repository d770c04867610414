// The reloader's state machine against an in-memory file and a clock the test sets: when it looks,
// when it reads, what it installs and what it reports.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "runtime/context.h"
#include "runtime/log.h"
#include "sample_config.h"
#include "src/config/reload.h"
#include "src/config/messages.h"
#include "tests/support/fake_platform.h"

namespace {

constexpr uint64_t MS = TICKS_PER_SECOND / 1000;

// The sample with corvin's hair_primary set to `hair` (last occurrence wins).
std::string config_with_hair(int hair) {
  std::string text(SAMPLE_CONFIG);
  text.insert(text.find("[mael]"), "hair_primary = " + std::to_string(hair) + "\n");
  return text;
}

const std::string GOOD_A = config_with_hair(10);
const std::string GOOD_B = config_with_hair(20);
const std::string BAD = config_with_hair(10) + "[corvin]\nchin_primary = blue\n";

struct Step {
  const char *what;
  uint64_t advance;                            // clock ticks before this frame's update
  std::function<void(Fake_Platform &)> change;  // what happens to the file first
  bool want_unchanged;
  const char *want_message;  // checked when !want_unchanged
  int want_hair;             // corvin.hair_primary in force afterwards (0: nothing installed yet)
};

void keep(Fake_Platform &) {}

void run_steps(const char *scenario, const std::vector<Step> &steps, Fake_Platform &fs) {
  fake_platform_install(&fs);
  Config config{};
  Reload_State state{};
  for (const Step &step : steps) {
    fs.now += step.advance;
    step.change(fs);
    Reload_Result r = update_config(&config, &state);
    arena_release(frame_scratch());
    EXPECT_EQ(r.unchanged, step.want_unchanged) << scenario << " / " << step.what;
    if (!step.want_unchanged) {
      EXPECT_STREQ(r.message, step.want_message) << scenario << " / " << step.what;
    }
    EXPECT_EQ(config.corvin.hair_primary, step.want_hair) << scenario << " / " << step.what;
  }
  fake_platform_remove();
}

TEST(Reload, PollsAtMostOncePerSecond) {
  Fake_Platform fs;
  fs.bytes = GOOD_A;
  run_steps("poll", {
      {"first frame looks at once", 0, keep, false, "", 10},
      {"saved, but 0.999 s since the look", 999 * MS, [](Fake_Platform &f) { f.bytes = GOOD_B; f.write_ticks += 5; }, true, "", 10},
      {"1.000 s since the look: read", 1 * MS, keep, false, "", 20},
      {"a second later, unchanged time: nothing read", TICKS_PER_SECOND, keep, true, "", 20},
  }, fs);
  EXPECT_EQ(fs.file_reads, 2u);
  EXPECT_EQ(fs.attribute_reads, 3u);
}

TEST(Reload, FailuresKeepTheConfigAndAreNotRetriedUntilSavedAgain) {
  Fake_Platform fs;
  fs.bytes = GOOD_A;
  auto save = [](const std::string &bytes) {
    return [bytes](Fake_Platform &f) { f.bytes = bytes; f.write_ticks += TICKS_PER_SECOND; };
  };
  run_steps("bad then fixed", {
      {"good load", 0, keep, false, "", 10},
      {"a bad value is refused, old Config kept", TICKS_PER_SECOND, save(BAD), false, MESSAGE_BAD_VALUE, 10},
      {"the same bad version is not read again", TICKS_PER_SECOND, keep, true, "", 10},
      {"the fix is loaded at the next look", TICKS_PER_SECOND, save(GOOD_B), false, "", 20},
      {"truncated to zero bytes", TICKS_PER_SECOND, save(""), false, MESSAGE_BAD_VALUE, 20},
      {"replaced by a copy with the recorded time: not read", TICKS_PER_SECOND,
       [](Fake_Platform &f) { f.bytes = GOOD_A; }, true, "", 20},
      {"saved twice within a second: the later save wins", TICKS_PER_SECOND,
       [](Fake_Platform &f) { f.bytes = config_with_hair(30); f.write_ticks += 1; f.bytes = config_with_hair(40); f.write_ticks += 1; },
       false, "", 40},
  }, fs);
}

TEST(Reload, MissingDeletedRestoredAndLockedFiles) {
  Fake_Platform fs;
  fs.exists = false;
  fs.bytes = GOOD_A;
  uint64_t original_time = fs.write_ticks;
  run_steps("file comes and goes", {
      {"no file at start", 0, keep, false, MESSAGE_FAILED_TO_OPEN, 0},
      {"still none: the failure repeats every second", TICKS_PER_SECOND, keep, false, MESSAGE_FAILED_TO_OPEN, 0},
      {"created: loaded at the next look", TICKS_PER_SECOND, [](Fake_Platform &f) { f.exists = true; }, false, "", 10},
      {"deleted while running", TICKS_PER_SECOND, [](Fake_Platform &f) { f.exists = false; }, false, MESSAGE_FAILED_TO_OPEN, 10},
      {"restored with its old time: nothing to read", TICKS_PER_SECOND,
       [original_time](Fake_Platform &f) { f.exists = true; f.write_ticks = original_time; }, true, "", 10},
      {"held open without sharing", TICKS_PER_SECOND,
       [](Fake_Platform &f) { f.open_error = OS_SHARING_VIOLATION; f.write_ticks += 7; f.bytes = GOOD_B; }, false,
       MESSAGE_FAILED_TO_OPEN, 10},
      {"released: the seen version is not read again", TICKS_PER_SECOND,
       [](Fake_Platform &f) { f.open_error = OS_OK; }, true, "", 10},
      {"read fails after a good open", TICKS_PER_SECOND,
       [](Fake_Platform &f) { f.read_error = OS_IO_ERROR; f.write_ticks += 7; }, false, MESSAGE_FAILED_TO_PARSE, 10},
      {"out of memory while reading", TICKS_PER_SECOND,
       [](Fake_Platform &f) { f.read_error = OS_OUT_OF_MEMORY; f.write_ticks += 7; }, false, MESSAGE_FAILED_TO_PARSE, 10},
      {"good again", TICKS_PER_SECOND, [](Fake_Platform &f) { f.read_error = OS_OK; f.write_ticks += 7; }, false, "", 20},
  }, fs);
}

TEST(Reload, ClockSetBackLooksAtOnce) {
  Fake_Platform fs;
  fs.bytes = GOOD_A;
  run_steps("clock", {
      {"load", 0, keep, false, "", 10},
      // An hour back: the one-second rule alone would wait an hour for the next look.
      {"clock set back an hour, file saved", 0,
       [](Fake_Platform &f) { f.now -= 3600 * TICKS_PER_SECOND; f.bytes = GOOD_B; f.write_ticks += 1; }, false, "", 20},
      {"and the poll goes on from the new time", 500 * MS, [](Fake_Platform &f) { f.write_ticks += 1; }, true, "", 20},
      {"one second after the new time", 500 * MS, [](Fake_Platform &f) { f.bytes = config_with_hair(30); }, false, "", 30},
  }, fs);
}

TEST(Reload, HugeFileLoads) {
  Fake_Platform fs;
  std::string big;
  big.reserve(24u << 20);
  while (big.size() < (20u << 20)) big += "; padding padding padding padding padding padding padding\n[x]\nk = v\n";
  fs.bytes = big + GOOD_A;
  run_steps("huge", {{"20 MB of notes before the blocks", 0, keep, false, "", 10}}, fs);
}

std::vector<std::pair<Log_Level, std::string>> logged;
void capture(void *, const Log_Record *r) { logged.emplace_back(r->level, std::string(r->text)); }

TEST(Reload, LogRecordsAndLevels) {
  Fake_Platform fs;
  fs.bytes = GOOD_A;
  fs.exists = false;
  logged.clear();
  log_set_sink({capture, nullptr, LOG_DEBUG});
  run_steps("logs", {
      {"missing", 0, keep, false, MESSAGE_FAILED_TO_OPEN, 0},
      {"locked", TICKS_PER_SECOND, [](Fake_Platform &f) { f.exists = true; f.open_error = OS_SHARING_VIOLATION; }, false,
       MESSAGE_FAILED_TO_OPEN, 0},
      {"loaded", TICKS_PER_SECOND, [](Fake_Platform &f) { f.open_error = OS_OK; f.write_ticks++; }, false, "", 10},
  }, fs);
  log_set_sink({});
  const std::vector<std::pair<Log_Level, std::string>> want = {
      {LOG_FATAL, "last_write_time_by_name failed: File_Not_Found"},
      {LOG_FATAL, "open failed: Sharing_Violation"},
      {LOG_INFO, "Reloaded configuration"},
  };
  EXPECT_EQ(logged, want);
}

}  // namespace
