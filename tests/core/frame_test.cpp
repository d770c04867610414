// The frame pass with the reloader and the message: what is drawn, with which words, and when.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/natives.h"
#include "runtime/arena.h"
#include "sample_config.h"
#include "src/config/messages.h"
#include "src/script/frame.h"
#include "src/script/message.h"
#include "src/script/tint.h"
#include "tests/support/failing_heap.h"
#include "tests/support/fake_game.h"
#include "tests/support/fake_platform.h"

namespace {

struct Frame_Fixture {
  Fake_Game game;
  Fake_Platform fs;
  Frame_State state = frame_state_initial();

  Frame_Fixture() {
    game.model = CORVIN_MODEL;
    game.components = {{CATEGORY_HAIR, 3, 1, 1, 1, {1, 2, 3, 4}}};
    fs.bytes = SAMPLE_CONFIG;
    fake_game_install(&game);
    fake_platform_install(&fs);
  }
  ~Frame_Fixture() { fake_platform_remove(); }

  // Runs one frame a second after the last and returns the lines it drew.
  std::vector<std::string> frame() {
    fs.now += TICKS_PER_SECOND;
    size_t before = game.texts.size();
    run_frame(&state);
    arena_release(frame_scratch());
    std::vector<std::string> lines;
    for (size_t i = before; i < game.texts.size(); i++) lines.push_back(game.texts[i].text);
    return lines;
  }
  void save(const std::string &bytes) {
    fs.bytes = bytes;
    fs.write_ticks += TICKS_PER_SECOND;
  }
};

const std::string BAD = std::string(SAMPLE_CONFIG) + "[mael]\nenabled = maybe\n";

using Lines = std::vector<std::string>;

TEST(Frame, MessageStandsUntilAGoodReloadAndIsReplacedNotAppended) {
  Frame_Fixture f;
  f.fs.exists = false;
  const std::string open_line = "LITERAL_STRING|Mane Shade: failed to open config file";
  EXPECT_EQ(f.frame(), (Lines{open_line, open_line})) << "shadow and text, each with its own handle";
  f.game.model = 0x1234;  // neither character: the line is still drawn
  EXPECT_EQ(f.frame(), (Lines{open_line, open_line}));
  f.game.model = CORVIN_MODEL;

  f.fs.exists = true;
  f.save(BAD);
  const std::string bad_line = "LITERAL_STRING|Mane Shade: missing key, or failed to parse value";
  EXPECT_EQ(f.frame(), (Lines{bad_line, bad_line})) << "the newer cause replaces the older";
  EXPECT_EQ(f.frame(), (Lines{bad_line, bad_line})) << "unchanged file: the message stays";
  EXPECT_EQ(f.game.set_tint_count, 0u) << "nothing installed yet, so nothing applied";

  f.save(std::string(SAMPLE_CONFIG));
  EXPECT_EQ(f.frame(), Lines{}) << "a good reload clears the line in the same frame";
  EXPECT_EQ(f.game.components[0].tint0, 57) << "and its tints apply in that same frame";
  EXPECT_EQ(f.frame(), Lines{});
}

TEST(Frame, DrawingPassesPushExactWords) {
  Frame_Fixture f;
  f.fs.exists = false;
  f.game.calls.clear();
  f.frame();
  std::vector<Fake_Call> text_calls;
  for (const Fake_Call &c : f.game.calls) {
    if (c.hash == NATIVE_SET_TEXT_SCALE || c.hash == NATIVE_SET_TEXT_COLOR || c.hash == NATIVE_MAKE_TEXT_STRING ||
        c.hash == NATIVE_DISPLAY_TEXT)
      text_calls.push_back(c);
  }
  ASSERT_EQ(text_calls.size(), 8u);
  const uint64_t scale = 0x3E99999A3E99999Aull;
  const uint64_t full = 0x000000FF000000FFull;
  const uint64_t kind = 0x0000000A0000000Aull;
  struct Want {
    uint64_t hash;
    std::vector<uint64_t> args;  // for make_text_string only the kind; display_text's first is the handle
  };
  const Want want[] = {
      {NATIVE_SET_TEXT_SCALE, {scale, scale}},
      {NATIVE_SET_TEXT_COLOR, {0, 0, 0, full}},
      {NATIVE_MAKE_TEXT_STRING, {kind}},
      {NATIVE_DISPLAY_TEXT, {0x0000'1000'0000'0000ull, 0x3C3439583C343958ull, 0x3D27EF9E3D27EF9Eull}},
      {NATIVE_SET_TEXT_SCALE, {scale, scale}},
      {NATIVE_SET_TEXT_COLOR, {full, full, full, full}},
      {NATIVE_MAKE_TEXT_STRING, {kind}},
      {NATIVE_DISPLAY_TEXT, {0x0000'1000'0000'0001ull, 0x3C23D70A3C23D70Aull, 0x3D23D70A3D23D70Aull}},
  };
  for (size_t i = 0; i < 8; i++) {
    EXPECT_EQ(text_calls[i].hash, want[i].hash) << "call " << i;
    if (want[i].hash == NATIVE_MAKE_TEXT_STRING) {
      ASSERT_EQ(text_calls[i].args.size(), 3u);
      EXPECT_EQ(text_calls[i].args[0], kind);
      continue;
    }
    EXPECT_EQ(text_calls[i].args, want[i].args) << "call " << i;
  }
  EXPECT_EQ(f.game.texts[0].text, "LITERAL_STRING|Mane Shade: failed to open config file");
}

TEST(Frame, NoRoomForTheLineDrawsNothingThatFrame) {
  Frame_Fixture f;
  f.fs.exists = false;
  arena_destroy(frame_scratch());
  {
    Failing_Heap_Scope no_heap(0);
    EXPECT_EQ(f.frame(), Lines{});
  }
  EXPECT_EQ(f.frame().size(), 2u) << "drawn again once there is room";
}

TEST(Message, LineIsPrefixSpaceMessage) {
  Arena arena{};
  std::string_view line = message_line(&arena, MESSAGE_DUPLICATE_KEY);
  EXPECT_EQ(line, "Mane Shade: duplicate key");
  EXPECT_EQ(line.data()[line.size()], '\0');
  arena_destroy(&arena);
}

TEST(Frame, EmptyMessageDrawsNothingAndDisabledBlockLeavesPed) {
  Frame_Fixture f;
  f.save(std::string(SAMPLE_CONFIG));
  f.game.model = MAEL_MODEL;  // mael is off in the sample
  EXPECT_EQ(f.frame(), Lines{});
  EXPECT_EQ(f.game.set_tint_count, 0u);
  EXPECT_EQ(fake_game_count(f.game, NATIVE_GET_COMPONENT_CATEGORY), 0u);
}

}  // namespace
