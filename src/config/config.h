// The settings record that the frame loop applies, and the reloader's timestamps.
#pragma once
#include <cstdint>

// One player character's block. A group's primary, secondary and tertiary values are the tint0,
// tint1 and tint2 given to the game for that group's components. In a Config that the reloader
// installed every tint lies in 0..255.
struct Character_Config {
  int32_t enabled;  // 0 off; any other value on
  int32_t hair_primary;
  int32_t hair_secondary;
  int32_t hair_tertiary;
  int32_t chin_primary;
  int32_t chin_secondary;
  int32_t chin_tertiary;
  int32_t chops_primary;
  int32_t chops_secondary;
  int32_t chops_tertiary;
  int32_t stache_primary;
  int32_t stache_secondary;
  int32_t stache_tertiary;
  int32_t beard_primary;
  int32_t beard_secondary;
  int32_t beard_tertiary;
};

// All zero (both characters off) until the first successful reload; only ever replaced whole.
struct Config {
  Character_Config corvin;  // applied when the player's model is CORVIN_MODEL
  Character_Config mael;    // applied for MAEL_MODEL
};

// When the file was last looked at, and the version last read: which file (the working folder's or
// the one beside the module), its last-write time (100 ns ticks since 1601) and its size. All zero
// at start: no version seen yet, so even a last-write time of 0 is new.
struct Reload_State {
  uint64_t last_check;
  uint64_t last_write;
  uint64_t last_size;
  bool write_seen;          // last_write and last_size hold a version that was read (none at start)
  bool looked;              // last_check holds the time of a look (none at start)
  bool seen_beside_module;  // the version seen is the file beside the module's, not the working folder's
};
