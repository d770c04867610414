// The game's side of the interface that ManeShade uses, as the game defines it: its natives by hash
// and name, the two character models, the five component categories, and how the module's line is
// drawn. Written here once, as literals, for the simulated game and the tests; the module keeps its
// own copies (host/natives.h, src/script/), which the tests compare with these.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr uint64_t GAME_NATIVE_GET_PLAYER_PED = 0x096275889B8E0EE0;
constexpr uint64_t GAME_NATIVE_GET_ENTITY_MODEL = 0xDA76A9F39210D365;
constexpr uint64_t GAME_NATIVE_GET_NUM_COMPONENTS = 0x90403E8107B60E81;
constexpr uint64_t GAME_NATIVE_GET_COMPONENT_CATEGORY = 0x9B90842304C938A7;
constexpr uint64_t GAME_NATIVE_GET_COMPONENT_TINT = 0xE7998FEC53A33BBE;
constexpr uint64_t GAME_NATIVE_GET_COMPONENT_ASSETS = 0xA9C28516A6DC9D56;
constexpr uint64_t GAME_NATIVE_SET_COMPONENT_TINT = 0xBC6DF00D7A4A6819;
constexpr uint64_t GAME_NATIVE_REFRESH_PED_VARIATION = 0xCC8CA3E88256E58F;
constexpr uint64_t GAME_NATIVE_SET_TEXT_SCALE = 0xA1253A3C870B6843;
constexpr uint64_t GAME_NATIVE_SET_TEXT_COLOR = 0x16FA5CE47F184F1E;
constexpr uint64_t GAME_NATIVE_MAKE_TEXT_STRING = 0xFA925AC00EB830B9;
constexpr uint64_t GAME_NATIVE_DISPLAY_TEXT = 0x16794E044C9EFB58;

struct Game_Native {
  uint64_t hash;
  const char *name;  // the name the trace and the tests use
};

// Every native the module calls, in the order of the constants above.
constexpr Game_Native GAME_NATIVES[] = {
    {GAME_NATIVE_GET_PLAYER_PED, "get_player_ped"},
    {GAME_NATIVE_GET_ENTITY_MODEL, "get_entity_model"},
    {GAME_NATIVE_GET_NUM_COMPONENTS, "get_num_components"},
    {GAME_NATIVE_GET_COMPONENT_CATEGORY, "get_component_category"},
    {GAME_NATIVE_GET_COMPONENT_TINT, "get_component_tint"},
    {GAME_NATIVE_GET_COMPONENT_ASSETS, "get_component_assets"},
    {GAME_NATIVE_SET_COMPONENT_TINT, "set_component_tint"},
    {GAME_NATIVE_REFRESH_PED_VARIATION, "refresh_ped_variation"},
    {GAME_NATIVE_SET_TEXT_SCALE, "set_text_scale"},
    {GAME_NATIVE_SET_TEXT_COLOR, "set_text_color"},
    {GAME_NATIVE_MAKE_TEXT_STRING, "make_text_string"},
    {GAME_NATIVE_DISPLAY_TEXT, "display_text"},
};
constexpr size_t GAME_NATIVE_COUNT = sizeof GAME_NATIVES / sizeof GAME_NATIVES[0];

// The row of `hash` in GAME_NATIVES, or null for a hash the module never calls.
constexpr const Game_Native *game_native(uint64_t hash) {
  for (const Game_Native &native : GAME_NATIVES) {
    if (native.hash == hash) return &native;
  }
  return nullptr;
}

// The models of the two characters, as get_entity_model answers them.
constexpr uint32_t GAME_MODEL_CORVIN = 0x0D7114C9;
constexpr uint32_t GAME_MODEL_MAEL = 0x00B69710;

struct Game_Category {
  uint32_t hash;     // as get_component_category answers it
  const char *name;  // the key group of ManeShade.ini, and the simulated game's name for it
};

constexpr Game_Category GAME_CATEGORIES[] = {
    {0x864B03AE, "hair"}, {0x15D3C7F2, "chin"}, {0xB6B63737, "chops"}, {0xECC8B25A, "stache"}, {0xF8016BCA, "beard"},
};

// make_text_string's arguments: this kind, then this string, then the text's own string.
constexpr int32_t GAME_TEXT_KIND_LITERAL = 10;
constexpr const char *GAME_TEXT_LITERAL_STRING = "LITERAL_STRING";

// One drawing pass of the module's line. Floats as their IEEE-754 bit patterns, as they are pushed.
struct Game_Text_Pass {
  uint32_t scale_x_bits, scale_y_bits;
  int32_t red, green, blue, alpha;
  uint32_t x_bits, y_bits;
};

constexpr uint32_t GAME_FLOAT_0_3_BITS = 0x3E99999A;
constexpr uint32_t GAME_FLOAT_0_011_BITS = 0x3C343958;
constexpr uint32_t GAME_FLOAT_0_041_BITS = 0x3D27EF9E;
constexpr uint32_t GAME_FLOAT_0_01_BITS = 0x3C23D70A;
constexpr uint32_t GAME_FLOAT_0_04_BITS = 0x3D23D70A;

// The black shadow first, then the white line over it.
constexpr Game_Text_Pass GAME_MESSAGE_PASSES[] = {
    {GAME_FLOAT_0_3_BITS, GAME_FLOAT_0_3_BITS, 0, 0, 0, 255, GAME_FLOAT_0_011_BITS, GAME_FLOAT_0_041_BITS},
    {GAME_FLOAT_0_3_BITS, GAME_FLOAT_0_3_BITS, 255, 255, 255, 255, GAME_FLOAT_0_01_BITS, GAME_FLOAT_0_04_BITS},
};
