// The tint pass; see tint.h.
#include "src/script/tint.h"

#include <cstddef>

#include "host/bridge.h"

namespace {

// refresh_ped_variation's five truth values, always these after a re-tint. What each means is the
// game's business; these are the ones that make the new tints show.
constexpr bool REFRESH_P1 = false;
constexpr bool REFRESH_P2 = true;
constexpr bool REFRESH_P3 = true;
constexpr bool REFRESH_P4 = true;
constexpr bool REFRESH_P5 = false;

struct Tint_Group {
  uint32_t category;
  int32_t Character_Config::*primary;
  int32_t Character_Config::*secondary;
  int32_t Character_Config::*tertiary;
};

constexpr Tint_Group TINT_GROUPS[] = {
    {CATEGORY_HAIR, &Character_Config::hair_primary, &Character_Config::hair_secondary,
     &Character_Config::hair_tertiary},
    {CATEGORY_CHIN, &Character_Config::chin_primary, &Character_Config::chin_secondary,
     &Character_Config::chin_tertiary},
    {CATEGORY_CHOPS, &Character_Config::chops_primary, &Character_Config::chops_secondary,
     &Character_Config::chops_tertiary},
    {CATEGORY_STACHE, &Character_Config::stache_primary, &Character_Config::stache_secondary,
     &Character_Config::stache_tertiary},
    {CATEGORY_BEARD, &Character_Config::beard_primary, &Character_Config::beard_secondary,
     &Character_Config::beard_tertiary},
};

constexpr size_t TINT_GROUP_COUNT = sizeof TINT_GROUPS / sizeof TINT_GROUPS[0];

struct Tints {
  int32_t primary, secondary, tertiary;
};

const Tint_Group *tint_group_for(uint32_t category) {
  for (const Tint_Group &group : TINT_GROUPS) {
    if (group.category == category) return &group;
  }
  return nullptr;
}

void tint_component(Entity_Handle ped, int32_t index, Tints want) {
  uint32_t palette = 0;
  int32_t tint0 = 0, tint1 = 0, tint2 = 0;
  get_component_tint(ped, index, &palette, &tint0, &tint1, &tint2);
  if (tint0 == want.primary && tint1 == want.secondary && tint2 == want.tertiary) return;

  uint32_t asset1 = 0, asset2 = 0, asset3 = 0, asset4 = 0;
  get_component_assets(ped, index, &asset1, &asset2, &asset3, &asset4);
  set_component_tint(ped, asset1, asset2, asset3, asset4, palette, want.primary, want.secondary, want.tertiary);
  refresh_ped_variation(ped, REFRESH_P1, REFRESH_P2, REFRESH_P3, REFRESH_P4, REFRESH_P5);
}

}  // namespace

const Character_Config *character_for_model(const Config &config, uint32_t model) noexcept {
  if (model == MAEL_MODEL) return &config.mael;
  if (model == CORVIN_MODEL) return &config.corvin;
  return nullptr;
}

void tint_pass(const Config &config) noexcept {
  Entity_Handle ped = get_player_ped();
  const Character_Config *block = character_for_model(config, get_entity_model(ped));
  if (!block || !block->enabled) return;

  // A copy: the pass applies one consistent set of tints whatever happens to the Config.
  Tints tints[TINT_GROUP_COUNT];
  for (size_t g = 0; g < TINT_GROUP_COUNT; g++) {
    tints[g] = {block->*TINT_GROUPS[g].primary, block->*TINT_GROUPS[g].secondary, block->*TINT_GROUPS[g].tertiary};
  }

  int32_t count = get_num_components(ped);
  if (count > TINT_MAX_COMPONENTS) count = TINT_MAX_COMPONENTS;
  for (int32_t i = 0; i < count; i++) {
    const Tint_Group *group = tint_group_for(get_component_category(ped, i));
    if (!group) continue;
    tint_component(ped, i, tints[group - TINT_GROUPS]);
  }
}
