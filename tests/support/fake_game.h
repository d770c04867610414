// An in-process stand-in for the game behind the Host_Functions slots, for unit tests and
// benchmarks: one player ped with components, every native of host/natives.h, and a record of the calls.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/host_functions.h"

struct Fake_Component {
  uint32_t category;
  uint32_t palette;
  int32_t tint0, tint1, tint2;
  uint32_t assets[4];
};

struct Fake_Call {
  uint64_t hash;
  std::vector<uint64_t> args;
};

struct Fake_Text {
  std::string text;
  uint64_t scale[2];
  uint64_t color[4];
  uint64_t position[2];
};

constexpr uint32_t FAKE_MAX_ARGS = 16;

struct Fake_Game {
  uint64_t ped = 0x00007FF6'12345678;  // uses the high half: a handle cut to 32 bits would not match
  uint32_t model = 0;
  std::vector<Fake_Component> components;
  std::optional<int32_t> reported_count;  // what get_num_components answers, when set
  bool fill_out_variables = true;      // false: the game leaves out-variables alone
  bool accept_tints = true;            // false: set_component_tint changes nothing
  bool record_calls = true;            // false: count only (no heap use while a frame runs)
  bool null_result_slot = false;       // true: native_call hands back no result slot at all

  std::vector<Fake_Call> calls;
  uint64_t call_count = 0;
  uint64_t set_tint_count = 0;
  uint64_t refresh_count = 0;
  uint64_t wait_count = 0;
  std::vector<Fake_Text> texts;

  // The call being built.
  uint64_t pending_hash = 0;
  uint64_t pending_args[FAKE_MAX_ARGS] = {};
  uint32_t pending_count = 0;
  Host_Uint64 result[4] = {};  // the result slot handed back by native_call
  Fake_Text pending_text{};
};

// Points the Host_Functions slots at `game` (one at a time).
void fake_game_install(Fake_Game *game);

// Number of recorded calls with `hash`.
size_t fake_game_count(const Fake_Game &game, uint64_t hash);
