// The simulated game's world: the player's ped with its appearance components, and the
// natives that the module calls, answered the way the game would (registered with the stand-in
// host). It also records, per frame, what a module did to it: re-tints, lines drawn, misuse.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "tools/sim/scenario.h"

struct Retint {
  std::string component;  // the scenario's name for it
  uint32_t from_palette, to_palette;
  int32_t from[3], to[3];
};

struct Drawn_Text {
  std::string text;
  float scale[2];
  int32_t color[4];
  float position[2];
};

struct World {
  uint64_t ped;
  uint32_t model;
  std::vector<Component_Spec> components;  // palette and tints change as the game and modules set them
  int64_t refresh_count;

  // What the next text drawn looks like (set_text_scale, set_text_color).
  float text_scale[2];
  int32_t text_color[4];
  // Texts made by make_text_string this frame; their addresses are handed to the module.
  std::deque<std::string> texts;

  // This frame's record, cleared by world_begin_frame.
  std::vector<Retint> retints;
  std::vector<Drawn_Text> drawn;
  std::vector<std::string> problems;  // a native called in a way the game would not accept
};

// What a native does to the game: only read its state, or change it (drawing on the screen included).
// The timeline calls a frame in which the modules made reads alone quiet.
enum class Native_Effect { reads_only, changes_game };

// What the native `hash` does; changes_game for a hash the game does not know.
Native_Effect world_native_effect(uint64_t hash);

// A world as the scenario starts it.
World world_from_scenario(const Scenario &scenario);

// Answers every native of the game's interface (tools/game) from `world` from now on.
void world_register_natives(World *world);

// Clears the frame's record and the texts of the previous frame.
void world_begin_frame(World *world);

// The component named `name`, or null.
Component_Spec *world_component(World *world, const std::string &name);
