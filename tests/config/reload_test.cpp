// The reloader's state machine against an in-memory file and a clock the test sets: when it looks,
// when it reads, what it installs and what it reports.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "runtime/arena.h"
#include "runtime/log.h"
#include "sample_config.h"
#include "src/config/reload.h"
#include "src/config/messages.h"
#include "tests/support/failing_heap.h"
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
  const char *want_path = nullptr;  // the file looked at, when given
};

void keep(Fake_Platform &) {}

void run_steps(const char *scenario, const std::vector<Step> &steps, Fake_Platform &fs,
               const Settings_Places &places = SETTINGS_WORKING_FOLDER_ONLY) {
  fake_platform_install(&fs);
  Config config{};
  Reload_State state{};
  for (const Step &step : steps) {
    fs.now += step.advance;
    step.change(fs);
    Reload_Result r = update_config(&config, &state, places);
    if (step.want_path) {
      EXPECT_EQ(r.path, step.want_path) << scenario << " / " << step.what;
    }
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
  EXPECT_EQ(fs.attribute_reads, 5u);  // three looks, and after each of the two reads a look at what was read
}

// A game started from another folder (a launcher, a shortcut) finds the file beside the module; a
// file in the working folder comes first, from the next look on.
TEST(Reload, TheFileBesideTheModuleWhenTheWorkingFolderHasNone) {
  Fake_Platform fs;
  fs.exists = false;
  fs.others = {{"game/ManeShade.ini", GOOD_A, fs.write_ticks - TICKS_PER_SECOND}};  // saved before the other
  const Settings_Places places = {CONFIG_FILE_NAME, "game/ManeShade.ini"};
  run_steps("two places", {
      {"only beside the module: read there", 0, keep, false, "", 10, "game/ManeShade.ini"},
      {"a second later, unchanged", TICKS_PER_SECOND, keep, true, "", 10, "game/ManeShade.ini"},
      {"a file appears in the working folder: taken at the next look", TICKS_PER_SECOND,
       [](Fake_Platform &f) { f.exists = true, f.bytes = GOOD_B; }, false, "", 20, "ManeShade.ini"},
      {"the working folder's file is gone: the one beside the module, a version of its own", TICKS_PER_SECOND,
       [](Fake_Platform &f) { f.exists = false; }, false, "", 10, "game/ManeShade.ini"},
      {"neither: the working folder's failure", TICKS_PER_SECOND, [](Fake_Platform &f) { f.others.clear(); }, false,
       MESSAGE_FAILED_TO_OPEN, 10, "ManeShade.ini"},
  }, fs, places);
  // The module's folder comes from the platform, with the file's name after it.
  Arena arena{};
  fake_platform_install(&fs);
  Settings_Places found = settings_places(&arena);
  EXPECT_EQ(found.working, CONFIG_FILE_NAME);
  EXPECT_EQ(found.beside_module, "game/ManeShade.ini");
  fs.module_folder.clear();  // the module's file cannot be named: the working folder alone
  EXPECT_TRUE(settings_places(&arena).beside_module.empty());
  arena_destroy(&arena);

  // Memory runs out at the look beside the module: the heap's failure, not a missing file.
  Arena scratch{};
  scratch.block_bytes = 1;  // every push takes a block of its own
  Config config{};
  Reload_State state{};
  Reload_Result r;
  {
    Failing_Heap_Scope heap(1);  // the working folder's look gets its block, the look beside the module none
    r = update_config_from(&scratch, places, &config, &state);
    arena_destroy(&scratch);
  }
  EXPECT_STREQ(r.message, MESSAGE_FAILED_TO_PARSE);
  fake_platform_remove();
}

// What the working folder holds under the file's name decides whether the file beside the module is
// read: only a place that holds no file falls back; a file there that will not be read is a failure
// of its own, so that a moment's lock never switches the game to the other file's tints.
TEST(Reload, TheWorkingFolderHoldsNoFileOnlyWhenNoFileIsThere) {
  struct Case {
    const char *what;
    Os_Error absent_as;  // OS_OK: the working folder's file is there
    Os_Error open_error;
    const char *want_message;
    const char *want_path;
    int want_hair;
  };
  const Case cases[] = {
      {"no such file", OS_FILE_NOT_FOUND, OS_OK, "", "game/ManeShade.ini", 10},
      {"the working folder deleted", OS_PATH_NOT_FOUND, OS_OK, "", "game/ManeShade.ini", 10},
      {"a folder named ManeShade.ini", OS_IS_A_FOLDER, OS_OK, "", "game/ManeShade.ini", 10},
      {"a device under the name", OS_NOT_A_FILE, OS_OK, "", "game/ManeShade.ini", 10},
      {"a drive or share gone", OS_UNREACHABLE, OS_OK, "", "game/ManeShade.ini", 10},
      {"a link that leads back to itself", OS_SYMLINK_LOOP, OS_OK, "", "game/ManeShade.ini", 10},
      {"a file that cannot be looked at", OS_ACCESS_DENIED, OS_OK, MESSAGE_FAILED_TO_OPEN, "ManeShade.ini", 0},
      {"a look that fails otherwise", OS_IO_ERROR, OS_OK, MESSAGE_FAILED_TO_OPEN, "ManeShade.ini", 0},
      {"a pipe or a device that the look takes for a file", OS_OK, OS_NOT_A_FILE, "", "game/ManeShade.ini", 10},
      {"a file held by another program", OS_OK, OS_SHARING_VIOLATION, MESSAGE_FAILED_TO_OPEN, "ManeShade.ini", 0},
      {"a file that may not be opened", OS_OK, OS_ACCESS_DENIED, MESSAGE_FAILED_TO_OPEN, "ManeShade.ini", 0},
  };
  for (const Case &c : cases) {
    Fake_Platform fs;
    fs.bytes = GOOD_B;
    fs.exists = c.absent_as == OS_OK;
    fs.absent_as = c.absent_as;
    fs.open_error = c.open_error;
    fs.others = {{"game/ManeShade.ini", GOOD_A, fs.write_ticks}};
    run_steps(c.what, {{"first look", 0, keep, false, c.want_message, c.want_hair, c.want_path}}, fs,
              {CONFIG_FILE_NAME, "game/ManeShade.ini"});
  }
}

// A version is which file it is as well as its time and size: two files unpacked from one archive,
// or copied with their times, may match in both and still differ.
TEST(Reload, TheOtherFileIsReadWhateverItsTimeAndSize) {
  Fake_Platform fs;
  fs.bytes = GOOD_A;
  fs.exists = false;
  fs.others = {{"game/ManeShade.ini", GOOD_B, fs.write_ticks}};  // the same time and size, other tints
  ASSERT_EQ(GOOD_A.size(), GOOD_B.size());
  run_steps("twins", {
      {"beside the module", 0, keep, false, "", 20, "game/ManeShade.ini"},
      {"its twin put into the working folder: read", TICKS_PER_SECOND, [](Fake_Platform &f) { f.exists = true; }, false, "", 10,
       "ManeShade.ini"},
      {"and taken away again: the one beside the module, read again", TICKS_PER_SECOND,
       [](Fake_Platform &f) { f.exists = false; }, false, "", 20, "game/ManeShade.ini"},
  }, fs, {CONFIG_FILE_NAME, "game/ManeShade.ini"});
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
      // Two-second file times (FAT32), or a tool that restores times: the size tells the versions apart.
      {"saved again within the same file time, another size: read", TICKS_PER_SECOND,
       [](Fake_Platform &f) { f.bytes = GOOD_B; }, false, "", 20},
      {"replaced by a copy with the recorded time and size: not read", TICKS_PER_SECOND,
       [](Fake_Platform &f) { f.bytes = config_with_hair(30); }, true, "", 20},
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
      {"put back as it was: read again, and the line goes", TICKS_PER_SECOND,
       [original_time](Fake_Platform &f) { f.exists = true; f.write_ticks = original_time; }, false, "", 10},
      {"then that version counts as seen", TICKS_PER_SECOND, keep, true, "", 10},
      {"held open without sharing", TICKS_PER_SECOND,
       [](Fake_Platform &f) { f.open_error = OS_SHARING_VIOLATION; f.write_ticks += 7; f.bytes = GOOD_B; }, false,
       MESSAGE_FAILED_TO_OPEN, 10},
      {"released: the save that was locked is read at the next look", TICKS_PER_SECOND,
       [](Fake_Platform &f) { f.open_error = OS_OK; }, false, "", 20},
      {"read fails after a good open", TICKS_PER_SECOND,
       [](Fake_Platform &f) { f.read_error = OS_IO_ERROR; f.write_ticks += 7; f.bytes = config_with_hair(30); }, false,
       MESSAGE_FAILED_TO_PARSE, 20},
      {"out of memory while reading", TICKS_PER_SECOND,
       [](Fake_Platform &f) { f.read_error = OS_OUT_OF_MEMORY; f.write_ticks += 7; }, false, MESSAGE_FAILED_TO_PARSE, 20},
      {"good again", TICKS_PER_SECOND, [](Fake_Platform &f) { f.read_error = OS_OK; f.write_ticks += 7; }, false, "", 30},
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

// Each row is a way a save could be lost, torn or never read.
TEST(Reload, SavesAreNeverLostNorTorn) {
  struct Case {
    const char *fault;
    std::vector<Step> steps;
  };
  auto save = [](int hair) {
    return [hair](Fake_Platform &f) { f.bytes = config_with_hair(hair); f.write_ticks += TICKS_PER_SECOND; };
  };
  const Case cases[] = {
      {"a save made while a scanner holds the file for a moment is lost",
       {{"loaded", 0, keep, false, "", 10},
        {"saved while locked", TICKS_PER_SECOND,
         [](Fake_Platform &f) { f.bytes = GOOD_B; f.write_ticks += 1; f.open_error = OS_SHARING_VIOLATION; }, false,
         MESSAGE_FAILED_TO_OPEN, 10},
        {"unlocked: applied a second later", TICKS_PER_SECOND, [](Fake_Platform &f) { f.open_error = OS_OK; }, false,
         "", 20}}},
      {"a read that failed is only retried at the next save",
       {{"loaded", 0, keep, false, "", 10},
        {"saved, the read fails", TICKS_PER_SECOND,
         [](Fake_Platform &f) { f.bytes = GOOD_B; f.write_ticks += 1; f.read_error = OS_IO_ERROR; }, false,
         MESSAGE_FAILED_TO_PARSE, 10},
        {"readable again: read a second later", TICKS_PER_SECOND, [](Fake_Platform &f) { f.read_error = OS_OK; },
         false, "", 20}}},
      {"a save caught half-written is installed",
       {{"loaded", 0, keep, false, "", 10},
        {"\"100\" read as \"10\", the editor still writing", TICKS_PER_SECOND,
         [](Fake_Platform &f) {
           f.bytes = config_with_hair(20);
           f.write_ticks += 1;
           f.during_read = [](Fake_Platform &g) { g.bytes = config_with_hair(200); g.write_ticks += 1; g.during_read = nullptr; };
         },
         true, "", 10},
        {"the whole save is read at the next look", TICKS_PER_SECOND, keep, false, "", 200}}},
      {"a torn read that the size alone betrays is installed",
       {{"loaded", 0, keep, false, "", 10},
        {"the size grows during the read, the time does not", TICKS_PER_SECOND,
         [](Fake_Platform &f) {
           f.bytes = config_with_hair(20);
           f.write_ticks += 1;
           f.during_read = [](Fake_Platform &g) { g.stamp_size = g.bytes.size() + 1; g.during_read = nullptr; };
         },
         true, "", 10}}},
      {"a torn read replaces the message of a broken file",
       {{"broken", 0, [](Fake_Platform &f) { f.bytes = BAD; }, false, MESSAGE_BAD_VALUE, 0},
        {"torn read of the fix", TICKS_PER_SECOND,
         [](Fake_Platform &f) {
           f.bytes = GOOD_A;
           f.write_ticks += 1;
           f.during_read = [](Fake_Platform &g) { g.write_ticks += 1; g.during_read = nullptr; };
         },
         true, "", 0},
        {"the fix, whole", TICKS_PER_SECOND, keep, false, "", 10}}},
      {"a save deleted while it is read is installed",
       {{"loaded", 0, keep, false, "", 10},
        {"saved, then deleted during the read", TICKS_PER_SECOND,
         [](Fake_Platform &f) {
           f.bytes = GOOD_B;
           f.write_ticks += 1;
           f.during_read = [](Fake_Platform &g) { g.exists = false; g.during_read = nullptr; };
         },
         true, "", 10},
        {"gone at the next look", TICKS_PER_SECOND, keep, false, MESSAGE_FAILED_TO_OPEN, 10}}},
      {"a file whose last-write time is 0 is never loaded",
       {{"first look", 0, [](Fake_Platform &f) { f.write_ticks = 0; }, false, "", 10},
        {"and it counts as seen", TICKS_PER_SECOND, keep, true, "", 10}}},
      {"a file far larger than a settings file is read whole",
       {{"loaded", 0, keep, false, "", 10},
        {"1 MiB and one byte: refused unread", TICKS_PER_SECOND,
         [](Fake_Platform &f) { f.bytes = GOOD_B + std::string(CONFIG_FILE_MAX_BYTES + 1 - GOOD_B.size(), ' '); f.write_ticks += 1; },
         false, MESSAGE_FAILED_TO_PARSE, 10},
        {"that version counts as seen", TICKS_PER_SECOND, keep, true, "", 10},
        {"exactly 1 MiB: read", TICKS_PER_SECOND,
         [](Fake_Platform &f) { f.bytes.pop_back(); f.write_ticks += 1; }, false, "", 20}}},
      {"a clock within a second of its epoch looks at the file every frame",
       {{"first look at the clock's 0", 0, [](Fake_Platform &f) { f.now = 0; }, false, "", 10},
        {"saved, 0.5 s later: too soon", 500 * MS, [](Fake_Platform &f) { f.bytes = GOOD_B; f.write_ticks += 1; }, true,
         "", 10},
        {"a second after the look", 500 * MS, keep, false, "", 20}}},
      {"a version that failed to convert is read again every second",
       {{"broken", 0, [](Fake_Platform &f) { f.bytes = BAD; }, false, MESSAGE_BAD_VALUE, 0},
        {"not read again", TICKS_PER_SECOND, keep, true, "", 0},
        {"saved fixed", TICKS_PER_SECOND, save(30), false, "", 30}}},
      {"a broken file put back as it was hides its fault behind \"failed to open\"",
       {{"broken", 0, [](Fake_Platform &f) { f.bytes = BAD; }, false, MESSAGE_BAD_VALUE, 0},
        {"moved out", TICKS_PER_SECOND, [](Fake_Platform &f) { f.exists = false; }, false, MESSAGE_FAILED_TO_OPEN, 0},
        {"moved back: its fault again", TICKS_PER_SECOND, [](Fake_Platform &f) { f.exists = true; }, false, MESSAGE_BAD_VALUE, 0}}},
      {"a lock that ends on the version seen before keeps \"failed to open\" on screen",
       {{"loaded", 0, keep, false, "", 10},
        {"saved while locked", TICKS_PER_SECOND,
         [](Fake_Platform &f) { f.bytes = GOOD_B; f.write_ticks += 1; f.open_error = OS_SHARING_VIOLATION; }, false,
         MESSAGE_FAILED_TO_OPEN, 10},
        {"the save undone (a sync tool restores the old file), unlocked: read", TICKS_PER_SECOND,
         [](Fake_Platform &f) { f.bytes = GOOD_A; f.write_ticks -= 1; f.open_error = OS_OK; }, false, "", 10}}},
  };
  for (const Case &c : cases) {
    Fake_Platform fs;
    fs.bytes = GOOD_A;
    run_steps(c.fault, c.steps, fs);
  }
}

// Each heap request of a reload refused in turn: the Config in force stays, the game says "failed to
// parse config file", and the same version is read at the next look, when memory is back. The
// scratch's blocks are of the smallest size (each step asks the heap), then of each size about the
// file's (a block runs out after the read, in the conversion).
TEST(Reload, OutOfMemoryAtEachRequestIsRetried) {
  std::string utf16 = "\xFF\xFE";  // the same file as Notepad's "Unicode": one more step that takes memory
  for (char c : GOOD_B) utf16 += std::string{c, '\0'};
  Fake_Platform fs;
  fake_platform_install(&fs);
  for (const std::string &bytes : {GOOD_B, utf16}) {
    fs.bytes = bytes;
    for (size_t block = bytes.size() - 1; block < bytes.size() + 128; block++) {
      for (long long grants = 0;; grants++) {
        ASSERT_LT(grants, 64);
        Config config{};
        Reload_State state{};
        Arena scratch{};
        scratch.block_bytes = block < bytes.size() ? 1 : block;
        Reload_Result r;
        {
          Failing_Heap_Scope heap(grants);
          r = update_config_at(&scratch, CONFIG_FILE_NAME, &config, &state);
          arena_destroy(&scratch);
        }
        if (r.message[0] == '\0') break;  // every request granted: installed
        ASSERT_STREQ(r.message, MESSAGE_FAILED_TO_PARSE) << grants << " granted";
        ASSERT_EQ(config.corvin.hair_primary, 0) << grants << " granted";
        fs.now += TICKS_PER_SECOND;
        r = update_config_at(&scratch, CONFIG_FILE_NAME, &config, &state);
        arena_destroy(&scratch);
        ASSERT_EQ(config.corvin.hair_primary, 20) << "read again with memory back, after " << grants << " granted";
      }
    }
  }
  fake_platform_remove();
}

TEST(Reload, HugeFileIsRefusedUnread) {
  Fake_Platform fs;
  std::string big;
  big.reserve(24u << 20);
  while (big.size() < (20u << 20)) big += "; padding padding padding padding padding padding padding\n[x]\nk = v\n";
  fs.bytes = big + GOOD_A;
  run_steps("huge", {{"20 MB of notes before the blocks", 0, keep, false, MESSAGE_FAILED_TO_PARSE, 0}}, fs);
  EXPECT_EQ(fs.file_reads, 0u) << "refused from its size alone";
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
