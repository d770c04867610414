// The game functions the module calls, by 64-bit hash, each with what the module relies on.
// The bridge (bridge.h) wraps each in a typed procedure of the same name.
#pragma once
#include <cstdint>

// The player's ped for this frame, as a 64-bit entity handle.
constexpr uint64_t NATIVE_GET_PLAYER_PED = 0x096275889B8E0EE0;
// The model that a ped wears now (32-bit hash).
constexpr uint64_t NATIVE_GET_ENTITY_MODEL = 0xDA76A9F39210D365;
// How many appearance components a ped wears; indices 0 to count - 1 are valid.
constexpr uint64_t NATIVE_GET_NUM_COMPONENTS = 0x90403E8107B60E81;
// The category hash of the component at an index.
constexpr uint64_t NATIVE_GET_COMPONENT_CATEGORY = 0x9B90842304C938A7;
// Fills four 32-bit out-variables: the component's palette and its three tints.
constexpr uint64_t NATIVE_GET_COMPONENT_TINT = 0xE7998FEC53A33BBE;
// Fills four 32-bit out-variables with the component's asset ids, only ever handed back.
constexpr uint64_t NATIVE_GET_COMPONENT_ASSETS = 0xA9C28516A6DC9D56;
// Puts the component named by its four asset ids on the ped with a palette and three tints.
constexpr uint64_t NATIVE_SET_COMPONENT_TINT = 0xBC6DF00D7A4A6819;
// Makes the ped's appearance show the changes.
constexpr uint64_t NATIVE_REFRESH_PED_VARIATION = 0xCC8CA3E88256E58F;
// Scale of the next text drawn.
constexpr uint64_t NATIVE_SET_TEXT_SCALE = 0xA1253A3C870B6843;
// Colour of the next text drawn.
constexpr uint64_t NATIVE_SET_TEXT_COLOR = 0x16FA5CE47F184F1E;
// A game-owned displayable text built from strings; returns its 64-bit address.
constexpr uint64_t NATIVE_MAKE_TEXT_STRING = 0xFA925AC00EB830B9;
// Draws a text made by make_text_string with the scale and colour set before it.
constexpr uint64_t NATIVE_DISPLAY_TEXT = 0x16794E044C9EFB58;
