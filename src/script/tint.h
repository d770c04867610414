// The tint pass: makes the player's hair and facial-hair components wear the configured tints.
#pragma once
#include <cstdint>

#include "src/config/config.h"

constexpr uint32_t CORVIN_MODEL = 0x0D7114C9;
constexpr uint32_t MAEL_MODEL = 0x00B69710;

// Component categories of the five groups, by the hash the game reports.
constexpr uint32_t CATEGORY_HAIR = 0x864B03AE;
constexpr uint32_t CATEGORY_CHIN = 0x15D3C7F2;
constexpr uint32_t CATEGORY_CHOPS = 0xB6B63737;
constexpr uint32_t CATEGORY_STACHE = 0xECC8B25A;
constexpr uint32_t CATEGORY_BEARD = 0xF8016BCA;

// The block for `model`, or null for a model that is neither character.
const Character_Config *character_for_model(const Config &config, uint32_t model) noexcept;

// The most components of one ped that a pass looks at: far above any real ped (a few dozen), so
// that a game reporting a wild count cannot make one frame call it billions of times.
constexpr int32_t TINT_MAX_COMPONENTS = 1024;

// Finds the player's ped; when its character's block is on, re-applies every component of the five
// groups whose tints differ from the block's, each followed by a refresh. Writes nothing to a ped
// whose tints already match.
void tint_pass(const Config &config) noexcept;
