// The module's copies of the game's constants against the game's own (tools/game), which are written
// there once as literals: a typo in a hash, a model, a category or a float of the line fails here.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string_view>
#include <utility>

#include "host/natives.h"
#include "src/script/message.h"
#include "src/script/tint.h"
#include "tools/game/game_interface.h"

namespace {

struct Named_Constant {
  std::string_view name;  // the game's name
  uint64_t module_value;
};

uint64_t game_native_hash(std::string_view name) {
  for (const Game_Native &native : GAME_NATIVES) {
    if (native.name == name) return native.hash;
  }
  ADD_FAILURE() << "the game has no native " << name;
  return 0;
}

uint32_t game_category_hash(std::string_view name) {
  for (const Game_Category &category : GAME_CATEGORIES) {
    if (category.name == name) return category.hash;
  }
  ADD_FAILURE() << "the game has no category " << name;
  return 0;
}

uint32_t bits_of(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

TEST(GameInterface, TheModuleCallsEachNativeByTheGamesHash) {
  const Named_Constant natives[] = {
      {"get_player_ped", NATIVE_GET_PLAYER_PED},
      {"get_entity_model", NATIVE_GET_ENTITY_MODEL},
      {"get_num_components", NATIVE_GET_NUM_COMPONENTS},
      {"get_component_category", NATIVE_GET_COMPONENT_CATEGORY},
      {"get_component_tint", NATIVE_GET_COMPONENT_TINT},
      {"get_component_assets", NATIVE_GET_COMPONENT_ASSETS},
      {"set_component_tint", NATIVE_SET_COMPONENT_TINT},
      {"refresh_ped_variation", NATIVE_REFRESH_PED_VARIATION},
      {"set_text_scale", NATIVE_SET_TEXT_SCALE},
      {"set_text_color", NATIVE_SET_TEXT_COLOR},
      {"make_text_string", NATIVE_MAKE_TEXT_STRING},
      {"display_text", NATIVE_DISPLAY_TEXT},
  };
  ASSERT_EQ(std::size(natives), GAME_NATIVE_COUNT);
  for (const Named_Constant &c : natives) {
    uint64_t game = game_native_hash(c.name);
    EXPECT_EQ(c.module_value, game) << c.name << std::hex << ": the module's 0x" << c.module_value
                                    << ", the game's 0x" << game;
  }
}

TEST(GameInterface, TheModuleKnowsTheGamesModelsAndCategories) {
  EXPECT_EQ(CORVIN_MODEL, GAME_MODEL_CORVIN);
  EXPECT_EQ(MAEL_MODEL, GAME_MODEL_MAEL);
  const Named_Constant categories[] = {
      {"hair", CATEGORY_HAIR}, {"chin", CATEGORY_CHIN}, {"chops", CATEGORY_CHOPS},
      {"stache", CATEGORY_STACHE}, {"beard", CATEGORY_BEARD},
  };
  ASSERT_EQ(std::size(categories), std::size(GAME_CATEGORIES));
  for (const Named_Constant &c : categories) {
    uint32_t game = game_category_hash(c.name);
    EXPECT_EQ(c.module_value, game) << c.name << std::hex << ": the module's 0x" << c.module_value
                                    << ", the game's 0x" << game;
  }
}

// Floats by their bit patterns: a value that prints alike (0.04 and 0.0400001) still differs.
TEST(GameInterface, TheModuleDrawsItsLineAsTheGameExpects) {
  EXPECT_EQ(MESSAGE_TEXT_KIND, GAME_TEXT_KIND_LITERAL);
  EXPECT_STREQ(MESSAGE_TEXT_LITERAL, GAME_TEXT_LITERAL_STRING);
  ASSERT_EQ(std::size(MESSAGE_PASSES), std::size(GAME_MESSAGE_PASSES));
  for (size_t i = 0; i < std::size(MESSAGE_PASSES); i++) {
    const Message_Pass &m = MESSAGE_PASSES[i];
    const Game_Text_Pass &g = GAME_MESSAGE_PASSES[i];
    const std::pair<float, uint32_t> floats[] = {{m.scale_x, g.scale_x_bits}, {m.scale_y, g.scale_y_bits},
                                                  {m.x, g.x_bits}, {m.y, g.y_bits}};
    for (const auto &[value, bits] : floats) {
      EXPECT_EQ(bits_of(value), bits) << "pass " << i << ", " << value << std::hex << ": the module's 0x"
                                      << bits_of(value) << ", the game's 0x" << bits;
    }
    EXPECT_EQ(m.red, g.red) << "pass " << i;
    EXPECT_EQ(m.green, g.green) << "pass " << i;
    EXPECT_EQ(m.blue, g.blue) << "pass " << i;
    EXPECT_EQ(m.alpha, g.alpha) << "pass " << i;
  }
}

}  // namespace
