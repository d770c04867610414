// The tint pass against the fake game: which components are read, which are written, and with what.
#include <gtest/gtest.h>

#include "host/natives.h"
#include "src/script/tint.h"
#include "tests/support/fake_game.h"

namespace {

constexpr uint32_t CATEGORY_OTHER = 0x12345678;  // a shirt, say: never touched

Character_Config block_with(int32_t enabled, int32_t base) {
  Character_Config b{};
  b.enabled = enabled;
  int32_t *tints = &b.hair_primary;
  for (int i = 0; i < 15; i++) tints[i] = base + i;  // hair base..base+2, chin base+3.., beard base+12..
  return b;
}

Fake_Component component(uint32_t category, int32_t t0, int32_t t1, int32_t t2, uint32_t id) {
  return {category, 0x100 + id, t0, t1, t2, {id, id + 1, id + 2, id + 3}};
}

struct Outcome {
  size_t reads_category, reads_tint, reads_assets, writes, refreshes;
};

Outcome outcome_of(const Fake_Game &g) {
  return {fake_game_count(g, NATIVE_GET_COMPONENT_CATEGORY), fake_game_count(g, NATIVE_GET_COMPONENT_TINT),
          fake_game_count(g, NATIVE_GET_COMPONENT_ASSETS), fake_game_count(g, NATIVE_SET_COMPONENT_TINT),
          fake_game_count(g, NATIVE_REFRESH_PED_VARIATION)};
}

TEST(TintPass, ModelAndBlockSelection) {
  struct Row {
    const char *fault;
    uint32_t model;
    int32_t corvin_enabled, mael_enabled;
    Outcome want;
    int32_t want_hair_primary;  // on component 0 afterwards
  };
  // Config: corvin hair 10,11,12; mael hair 50,51,52. Ped: one hair component at 1,2,3 and a shirt.
  const Row rows[] = {
      {"unknown model touches nothing", 0xABCDEF01, 1, 1, {0, 0, 0, 0, 0}, 1},
      {"corvin model uses the corvin block", CORVIN_MODEL, 1, 1, {2, 1, 1, 1, 1}, 10},
      {"mael model uses the mael block", MAEL_MODEL, 1, 1, {2, 1, 1, 1, 1}, 50},
      {"disabled block reads nothing", CORVIN_MODEL, 0, 1, {0, 0, 0, 0, 0}, 1},
      {"any non-zero enabled counts as on", MAEL_MODEL, 0, -7, {2, 1, 1, 1, 1}, 50},
  };
  for (const Row &row : rows) {
    Fake_Game game;
    game.model = row.model;
    game.components = {component(CATEGORY_HAIR, 1, 2, 3, 10), component(CATEGORY_OTHER, 1, 2, 3, 20)};
    fake_game_install(&game);
    Config config{block_with(row.corvin_enabled, 10), block_with(row.mael_enabled, 50)};
    tint_pass(config);
    Outcome got = outcome_of(game);
    EXPECT_EQ(got.reads_category, row.want.reads_category) << row.fault;
    EXPECT_EQ(got.reads_tint, row.want.reads_tint) << row.fault;
    EXPECT_EQ(got.writes, row.want.writes) << row.fault;
    EXPECT_EQ(got.refreshes, row.want.refreshes) << row.fault;
    EXPECT_EQ(game.components[0].tint0, row.want_hair_primary) << row.fault;
    EXPECT_EQ(game.components[1].tint0, 1) << row.fault << " (other category)";
    // The ped and model are read on every pass, whatever follows.
    EXPECT_EQ(fake_game_count(game, NATIVE_GET_PLAYER_PED), 1u) << row.fault;
    EXPECT_EQ(fake_game_count(game, NATIVE_GET_ENTITY_MODEL), 1u) << row.fault;
  }
}

TEST(TintPass, ComparesAllThreeTintsPerComponent) {
  struct Row {
    const char *fault;
    int32_t t0, t1, t2;
    size_t want_writes;
  };
  // Configured hair: 10, 11, 12.
  const Row rows[] = {
      {"all equal: read only", 10, 11, 12, 0},
      {"tint2 differs alone", 10, 11, 13, 1},
      {"tint1 differs alone", 10, 99, 12, 1},
      {"tint0 differs alone", 0, 11, 12, 1},
      {"tints rotated", 11, 12, 10, 1},
  };
  for (const Row &row : rows) {
    Fake_Game game;
    game.model = CORVIN_MODEL;
    game.components = {component(CATEGORY_HAIR, row.t0, row.t1, row.t2, 1)};
    fake_game_install(&game);
    tint_pass(Config{block_with(1, 10), {}});
    EXPECT_EQ(outcome_of(game).writes, row.want_writes) << row.fault;
    EXPECT_EQ(outcome_of(game).refreshes, row.want_writes) << row.fault;
  }
}

TEST(TintPass, WritesBackOwnAssetsAndPaletteWithEachGroupsTints) {
  Fake_Game game;
  game.model = CORVIN_MODEL;
  game.components = {component(CATEGORY_OTHER, 0, 0, 0, 1), component(CATEGORY_HAIR, 0, 0, 0, 10),
                     component(CATEGORY_CHIN, 0, 0, 0, 20),  component(CATEGORY_CHOPS, 0, 0, 0, 30),
                     component(CATEGORY_STACHE, 0, 0, 0, 40), component(CATEGORY_BEARD, 0, 0, 0, 50),
                     component(CATEGORY_BEARD, 0, 0, 0, 60)};
  fake_game_install(&game);
  tint_pass(Config{block_with(1, 100), {}});

  const int32_t want_primary[] = {0, 100, 103, 106, 109, 112, 112};
  for (size_t i = 0; i < game.components.size(); i++) {
    EXPECT_EQ(game.components[i].tint0, want_primary[i]) << "component " << i;
    if (i == 0) continue;
    EXPECT_EQ(game.components[i].tint1, want_primary[i] + 1) << "component " << i;
    EXPECT_EQ(game.components[i].tint2, want_primary[i] + 2) << "component " << i;
  }
  // Two beards are compared and written independently, each with its own refresh.
  EXPECT_EQ(outcome_of(game).writes, 6u);
  EXPECT_EQ(outcome_of(game).refreshes, 6u);

  // The write carries the component's own assets and palette, and the refresh its fixed flags.
  for (const Fake_Call &call : game.calls) {
    if (call.hash == NATIVE_REFRESH_PED_VARIATION) {
      const std::vector<uint64_t> want = {game.ped, 0, 0x100000001ull, 0x100000001ull, 0x100000001ull, 0};
      EXPECT_EQ(call.args, want);
    }
    if (call.hash != NATIVE_SET_COMPONENT_TINT || call.args[1] != 0x0000000A0000000Aull) continue;
    const std::vector<uint64_t> want = {game.ped,        0x0000000A0000000Aull, 0x0000000B0000000Bull,
                                        0x0000000C0000000Cull, 0x0000000D0000000Dull, 0x0000010A0000010Aull,
                                        0x0000006400000064ull, 0x0000006500000065ull, 0x0000006600000066ull};
    EXPECT_EQ(call.args, want);
  }
}

TEST(TintPass, RepeatsEveryFrameWhileGameDisagrees) {
  // A game that never takes the tint: every pass writes again, with a refresh each time.
  Fake_Game game;
  game.model = MAEL_MODEL;
  game.components = {component(CATEGORY_STACHE, 0, 0, 0, 1)};
  game.accept_tints = false;
  fake_game_install(&game);
  Config config{{}, block_with(1, 5)};
  for (int frame = 0; frame < 3; frame++) tint_pass(config);
  EXPECT_EQ(outcome_of(game).writes, 3u);
  EXPECT_EQ(outcome_of(game).refreshes, 3u);
}

TEST(TintPass, EdgeCountsAndZeroTints) {
  struct Row {
    const char *fault;
    int32_t reported_count;  // what the game answers for the number of components
    bool fill;
    size_t want_reads, want_writes;
  };
  // The ped wears one hair component at 9, 9, 9; the block is enabled with all tints 0.
  const Row rows[] = {
      {"negative count means no components", -1, true, 0, 0},
      {"zero count means no components", 0, true, 0, 0},
      {"count is honoured", 1, true, 1, 1},
      // Out-variables the game leaves alone read 0, which matches an all-zero block.
      {"unfilled out-variables read as zero", 1, false, 1, 0},
  };
  for (const Row &row : rows) {
    Fake_Game game;
    game.model = CORVIN_MODEL;
    game.fill_out_variables = row.fill;
    game.reported_count = row.reported_count;
    game.components = {component(CATEGORY_HAIR, 9, 9, 9, 1)};
    fake_game_install(&game);
    Character_Config zero{};
    zero.enabled = 1;
    tint_pass(Config{zero, {}});
    EXPECT_EQ(outcome_of(game).reads_tint, row.want_reads) << row.fault;
    EXPECT_EQ(outcome_of(game).writes, row.want_writes) << row.fault;
  }

  // A game that reports a wild count: the pass looks at TINT_MAX_COMPONENTS at most, not billions.
  {
    Fake_Game wild;
    wild.model = CORVIN_MODEL;
    wild.reported_count = INT32_MAX;
    wild.components = {component(CATEGORY_HAIR, 9, 9, 9, 1)};
    fake_game_install(&wild);
    Character_Config on{};
    on.enabled = 1;
    tint_pass(Config{on, {}});
    EXPECT_EQ(fake_game_count(wild, NATIVE_GET_COMPONENT_CATEGORY), size_t{TINT_MAX_COMPONENTS});
    EXPECT_EQ(outcome_of(wild).writes, 1u);
  }

  // An enabled all-zero block applies 0, 0, 0.
  Fake_Game game;
  game.model = CORVIN_MODEL;
  game.components = {component(CATEGORY_CHIN, 4, 5, 6, 1)};
  fake_game_install(&game);
  Character_Config zero{};
  zero.enabled = 1;
  tint_pass(Config{zero, {}});
  EXPECT_EQ(game.components[0].tint0 + game.components[0].tint1 + game.components[0].tint2, 0);
  EXPECT_EQ(outcome_of(game).writes, 1u);
}

}  // namespace
