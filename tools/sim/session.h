// The simulated game's session: what the parts of maneshade-sim share while a scenario plays, in
// parts, each with the file that keeps it. Each function takes the parts it uses. Windows only.
#pragma once
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "host/script_hook.h"
#include "tools/game/game_interface.h"
#include "tools/sim/scenario.h"
#include "tools/sim/world.h"

// The command line (main.cpp).
struct Options {
  const char *scenario_path = nullptr;  // null: the built-in demo
  const char *trace_path = nullptr;
  const char *events_path = nullptr;
  bool realtime = false;
  bool wall_clock = false;
  bool print_scenario = false;
  const char *working_folder = nullptr;  // null: the game runs in its own folder
};

struct Loaded_Module {
  std::string name;  // file name, UTF-8
  HMODULE handle;
};

struct Registration {
  void *module;
  Script_Entry_Point entry;
};

// The modules (loader.cpp): those loaded, in load order, and who registers while one loads or unloads.
struct Module_List {
  std::vector<Loaded_Module> loaded;
  const Loaded_Module *unloading = nullptr;
  std::vector<Registration> registered_while_loading;
};

// The JSON Lines files (events.cpp writes them); null when not asked for.
struct Output_Files {
  std::FILE *trace = nullptr;
  std::FILE *events = nullptr;
};

// A line of what the game did in a frame: a step or a registration, or a step that could not do
// its part (what did not happen, and why).
struct Game_Line {
  std::string text;
  bool failed = false;
};

// What happened in the current frame: noted by the host observer and the steps, reported by the
// timeline, cleared when the next frame starts (main.cpp).
struct Frame_Record {
  int64_t number = -1;  // -1 outside the frames (loading, unloading)
  int64_t calls = 0;
  bool changed_game = false;  // a native other than a read was called
  std::vector<Game_Line> steps;  // what the steps and the host did, in order
  std::vector<std::string> host_problems;
};

// Counts over the session, written out at its end (timeline.cpp).
struct Totals {
  int64_t calls = 0;
  int64_t calls_by_native[GAME_NATIVE_COUNT] = {};  // in the order of GAME_NATIVES
  int64_t unknown = 0;
  int64_t retints = 0;
  int64_t drawn = 0;
  int64_t problems = 0;      // misuse of the host or the game by a module
  int64_t failed_steps = 0;  // steps that could not do their part (a file step the system refused)
  int64_t registrations = 0;
  int64_t unregistrations = 0;
  int64_t refused_modules = 0;  // not loaded: Windows would refuse them, or LoadLibrary did
  int64_t heap_requests = 0;
  int64_t heap_refused = 0;
};

// What the session reports to: the output files, the current frame's record and the totals. The
// events and the timeline write it; the loader and the steps report through it.
struct Session_Record {
  Output_Files files;
  Frame_Record frame;
  Totals totals;
};

// What the steps keep from one frame to the next (steps.cpp).
struct Step_State {
  uint64_t clock_start_ticks = 0;          // the scenario's: modification times are offsets from it
  HANDLE ini_lock = INVALID_HANDLE_VALUE;  // the file that an ini lock step holds open
  uint64_t clock_set_back_ticks = 0;       // how far clock steps have set the game clock back
  std::wstring game_folder;                // the game's own folder (of its modules), with a final "\\"
  bool ini_in_game_folder = false;         // an ini folder game step is in force
};

struct Session {
  Options options;
  Scenario scenario;
  World world;
  Module_List modules;
  Session_Record record;
  Step_State steps;
};
