// Scenarios of the simulated game: the text format that scripts a session (docs/simulated-game.md
// describes it for users) and its parser. Portable: no file or OS access here.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>


// Clock values and file times are Windows' FILETIME: 100-nanosecond ticks since 1601-01-01 UTC.
constexpr uint64_t CLOCK_TICKS_PER_SECOND = 10'000'000;
constexpr uint64_t CLOCK_TICKS_PER_MICROSECOND = CLOCK_TICKS_PER_SECOND / 1'000'000;

// The file that the ini steps act on, in the game's working folder (or in the game's own folder,
// after an ini folder game step): the module's settings file.
constexpr std::string_view SCENARIO_INI_FILE_NAME = "ManeShade.ini";

// 2026-01-01T00:00:00Z in 100-nanosecond units since 1601-01-01.
constexpr uint64_t DEFAULT_CLOCK_START_TICKS = 134'116'992'000'000'000;
constexpr uint64_t DEFAULT_FRAME_TIME_US = 16'667;
constexpr int64_t DEFAULT_FRAME_COUNT = 300;
constexpr int64_t MAX_FRAME_COUNT = 10'000'000;
constexpr uint64_t DEFAULT_PED_HANDLE = 0x0000'0001'0000'0042;

struct Component_Spec {
  std::string name;  // the scenario's name for it, used by steps and in the output
  uint32_t category;
  uint32_t palette;
  int32_t tints[3];
  uint32_t assets[4];
};

enum class Step_Kind {
  model,        // the player's ped now wears `model`
  ped,          // the player's ped is now `ped` (the old handle becomes unknown)
  tint,         // the game sets `component`'s tints (and palette when `set_palette`)
  ini_write,    // writes `content` to ManeShade.ini in place, then sets its modification time
  ini_replace,  // writes `content` to a new file, sets its time, renames it over ManeShade.ini
  ini_delete,   // deletes ManeShade.ini
  ini_touch,    // only sets ManeShade.ini's modification time
  ini_lock,     // opens ManeShade.ini with no sharing and holds it open
  ini_unlock,   // closes the handle of ini_lock
  ini_size,     // sets ManeShade.ini's length to `size` (zeros past its end; no disk used where the
                // file system allows), then its modification time
  ini_torn,     // the next time a module reads ManeShade.ini, writes `content` (and the time) right
                // after that read: the module has read a save that its editor was still writing
  ini_read_fail,  // the next time a module reads ManeShade.ini, the read fails (the open went well)
  ini_folder,     // the later ini steps act on ManeShade.ini of the game's folder (`game_folder`) or
                  // of its working folder (the two differ with --working-folder)
  working_folder_delete,  // the working folder is deleted with all it holds (under Wine, as a Linux
                          // program deletes it: Windows refuses while a process runs in it)
  clock_back,     // the game clock is set back by `clock_back_ticks`, from this frame on
  heap_fail,      // the modules' next `heap_allowed` heap requests succeed, then every one fails
  heap_ok,        // every heap request of the modules succeeds again
};

// A modification time: the game clock when the step runs, or a fixed offset from the clock start.
struct Mtime {
  bool now;
  int64_t offset_ticks;
};

struct Step {
  int64_t frame;
  int line;  // where the step is written, for messages
  Step_Kind kind;
  uint32_t model;
  uint64_t ped;
  std::string component;
  bool set_palette;
  uint32_t palette;
  int32_t tints[3];
  std::string content;
  Mtime mtime;
  uint64_t size;
  uint64_t clock_back_ticks;
  int64_t heap_allowed;
  bool game_folder;
};

struct Scenario {
  int64_t frame_count = DEFAULT_FRAME_COUNT;
  uint64_t frame_time_us = DEFAULT_FRAME_TIME_US;
  uint64_t clock_start_ticks = DEFAULT_CLOCK_START_TICKS;
  uint64_t ped = DEFAULT_PED_HANDLE;
  uint32_t model = 0;
  std::vector<Component_Spec> components;
  std::vector<Step> steps;  // in frame order; steps of one frame in the order written
};

struct Scenario_Result {
  bool ok;
  Scenario scenario;
  int error_line;     // 1-based line of the fault when !ok
  std::string error;  // what is wrong, without the line number
};

// Parses a whole scenario text. Never throws but for std::bad_alloc.
Scenario_Result parse_scenario(std::string_view text);

// The scenario's name for a category hash ("hair", ...), or null for one outside the five groups.
const char *category_name(uint32_t category);

// "2026-01-01T00:00:00Z" form of a clock value (100-ns units since 1601), to the second.
std::string format_clock(uint64_t ticks);
