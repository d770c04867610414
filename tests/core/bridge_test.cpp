// The native call bridge: argument words, result decoding, and what each typed procedure sends.
#include <gtest/gtest.h>

#include "host/bridge.h"
#include "host/natives.h"
#include "tests/support/fake_game.h"

namespace {

TEST(Bridge, ArgumentWords) {
  EXPECT_EQ(native_word_from_i32(-1), 0xFFFFFFFFFFFFFFFFull);  // sign must not leak past one half
  EXPECT_EQ(native_word_from_i32(5), 0x0000000500000005ull);
  EXPECT_EQ(native_word_from_i32(INT32_MIN), 0x8000000080000000ull);
  EXPECT_EQ(native_word_from_u32(0xECC8B25Au), 0xECC8B25AECC8B25Aull);
  EXPECT_EQ(native_word_from_f32(0.3f), 0x3E99999A3E99999Aull);  // bit pattern, not a converted value
  EXPECT_EQ(native_word_from_f32(0.04f), 0x3D23D70A3D23D70Aull);
  EXPECT_EQ(native_word_from_bool(true), 0x0000000100000001ull);
  EXPECT_EQ(native_word_from_bool(false), 0u);
}

TEST(Bridge, PedHandleRoundTripsAsWholeWord) {
  Fake_Game game;
  game.ped = 0xFFFF8000'00000007ull;  // a handle that a 32-bit path would cut
  game.model = 0x0D7114C9;
  fake_game_install(&game);

  Entity_Handle ped = get_player_ped();
  EXPECT_EQ(ped, 0xFFFF8000'00000007ull);
  EXPECT_EQ(get_entity_model(ped), 0x0D7114C9u);
  ASSERT_EQ(game.calls.size(), 2u);
  EXPECT_EQ(game.calls[0].args.size(), 0u);
  EXPECT_EQ(game.calls[1].args, std::vector<uint64_t>{0xFFFF8000'00000007ull});
}

TEST(Bridge, ResultsUseLowHalfForThirtyTwoBitValues) {
  Fake_Game game;
  game.components.push_back({0xF8016BCA, 0, 0, 0, 0, {}});
  fake_game_install(&game);
  EXPECT_EQ(get_component_category(game.ped, 0), 0xF8016BCAu);
  EXPECT_EQ(get_num_components(game.ped), 1);
}

// A host that hands back no result slot must not crash the game: every result reads 0.
TEST(Bridge, NoResultSlotReadsAsZero) {
  Fake_Game game;
  game.model = 0x0D7114C9;
  game.components.push_back({0xF8016BCA, 0, 0, 0, 0, {}});
  game.null_result_slot = true;
  fake_game_install(&game);
  const char *const strings[] = {"LITERAL_STRING", "x"};
  EXPECT_EQ(get_player_ped(), 0u);
  EXPECT_EQ(get_entity_model(game.ped), 0u);
  EXPECT_EQ(get_num_components(game.ped), 0);
  EXPECT_EQ(get_component_category(game.ped, 0), 0u);
  EXPECT_EQ(make_text_string(10, strings), 0u);
  EXPECT_EQ(game.call_count, 5u);
}

TEST(Bridge, OutVariablesStayZeroWhenGameLeavesThem) {
  Fake_Game game;
  game.components.push_back({0x864B03AE, 7, 1, 2, 3, {1, 2, 3, 4}});
  game.fill_out_variables = false;
  fake_game_install(&game);
  uint32_t palette = 0;
  int32_t t0 = 0, t1 = 0, t2 = 0;
  get_component_tint(game.ped, 0, &palette, &t0, &t1, &t2);
  EXPECT_EQ(palette + static_cast<uint32_t>(t0 + t1 + t2), 0u);
}

struct Sent {
  const char *what;
  void (*call)();
  uint64_t hash;
  std::vector<uint64_t> args;
};

constexpr Entity_Handle PED = 0x0000'0123'4567'89ABull;
const char *const TEXT_PARTS[] = {"LITERAL_STRING", "Mane Shade: x"};

TEST(Bridge, EachProcedureSendsItsHashAndWordsInOrder) {
  const Sent rows[] = {
      {"category pushes a 64-bit zero third", [] { get_component_category(PED, 3); },
       NATIVE_GET_COMPONENT_CATEGORY, {PED, 0x0000000300000003ull, 0}},
      {"set tint: assets, palette, then tints", [] { set_component_tint(PED, 1, 2, 3, 0xFFFFFFFF, 5, -1, 0, 255); },
       NATIVE_SET_COMPONENT_TINT,
       {PED, 0x0000000100000001ull, 0x0000000200000002ull, 0x0000000300000003ull, 0xFFFFFFFFFFFFFFFFull,
        0x0000000500000005ull, 0xFFFFFFFFFFFFFFFFull, 0, 0x000000FF000000FFull}},
      {"refresh with five truth values", [] { refresh_ped_variation(PED, false, true, true, true, false); },
       NATIVE_REFRESH_PED_VARIATION,
       {PED, 0, 0x0000000100000001ull, 0x0000000100000001ull, 0x0000000100000001ull, 0}},
      {"text scale as float patterns", [] { set_text_scale(0.3f, 0.3f); }, NATIVE_SET_TEXT_SCALE,
       {0x3E99999A3E99999Aull, 0x3E99999A3E99999Aull}},
      {"text colour as 32-bit integers", [] { set_text_color(0, 0, 0, 255); }, NATIVE_SET_TEXT_COLOR,
       {0, 0, 0, 0x000000FF000000FFull}},
      {"display: handle unchanged, then floats", [] { display_text(0x0000'1000'0000'0000ull, 0.01f, 0.04f); },
       NATIVE_DISPLAY_TEXT, {0x0000'1000'0000'0000ull, 0x3C23D70A3C23D70Aull, 0x3D23D70A3D23D70Aull}},
  };
  for (const Sent &row : rows) {
    Fake_Game game;
    fake_game_install(&game);
    row.call();
    ASSERT_EQ(game.calls.size(), 1u) << row.what;
    EXPECT_EQ(game.calls[0].hash, row.hash) << row.what;
    EXPECT_EQ(game.calls[0].args, row.args) << row.what;
  }
}

TEST(Bridge, MakeTextStringPushesKindThenEachAddress) {
  Fake_Game game;
  fake_game_install(&game);
  uint64_t handle = make_text_string(10, TEXT_PARTS);
  ASSERT_EQ(game.calls.size(), 1u);
  const std::vector<uint64_t> want = {0x0000000A0000000Aull, native_word_from_address(TEXT_PARTS[0]),
                                      native_word_from_address(TEXT_PARTS[1])};
  EXPECT_EQ(game.calls[0].args, want);
  EXPECT_EQ(handle, 0x0000'1000'0000'0000ull);  // the full 64-bit address comes back
}

}  // namespace
