// The simulated game's scenario parser: what a scenario means, and that a broken one is refused
// with the line of the fault.
#include <gtest/gtest.h>

#include "tools/game/game_interface.h"
#include "tools/sim/scenario.h"

namespace {

Scenario parse_ok(const std::string &text) {
  Scenario_Result r = parse_scenario(text);
  EXPECT_TRUE(r.ok) << "line " << r.error_line << ": " << r.error;
  return r.scenario;
}

TEST(Scenario, EmptyTextGivesTheDefaults) {
  Scenario s = parse_ok("# nothing but a comment\n\n");
  EXPECT_EQ(s.frame_count, DEFAULT_FRAME_COUNT);
  EXPECT_EQ(s.frame_time_us, DEFAULT_FRAME_TIME_US);
  EXPECT_EQ(s.clock_start_ticks, 134'116'992'000'000'000u) << "2026-01-01T00:00:00Z";
  EXPECT_EQ(s.ped, DEFAULT_PED_HANDLE);
  EXPECT_TRUE(s.components.empty());
}

TEST(Scenario, ReadsTheSessionSettingsAndComponents) {
  Scenario s = parse_ok(
      "frames 90   # a comment after a line\r\n"
      "frame_time 33.333ms\r\n"
      "start 2024-02-29T23:59:59Z\r\n"
      "ped 0xFFFFFFFF00000001\r\n"
      "model mael\r\n"
      "component locks hair palette 0x10 tints -1 255 2147483647 assets 1 2 3 0xFFFFFFFF\r\n"
      "component cape 0xABCDEF01 palette 0 tints 0 0 0 assets 5 6 7 8\r\n");
  EXPECT_EQ(s.frame_count, 90);
  EXPECT_EQ(s.frame_time_us, 33'333u);
  // 2024-02-29T23:59:59Z: a leap day.
  EXPECT_EQ(s.clock_start_ticks, 133'537'247'990'000'000u);
  EXPECT_EQ(s.ped, 0xFFFFFFFF00000001u);
  EXPECT_EQ(s.model, GAME_MODEL_MAEL);
  ASSERT_EQ(s.components.size(), 2u);
  EXPECT_EQ(s.components[0].name, "locks");
  EXPECT_EQ(s.components[0].category, 0x864B03AEu) << "hair";
  EXPECT_EQ(s.components[0].palette, 16u);
  EXPECT_EQ(s.components[0].tints[0], -1);
  EXPECT_EQ(s.components[0].tints[2], 2147483647);
  EXPECT_EQ(s.components[0].assets[3], 0xFFFFFFFFu);
  EXPECT_EQ(s.components[1].category, 0xABCDEF01u);
}

TEST(Scenario, StepsRunInFrameOrderAndKeepTheirWrittenOrderWithinAFrame) {
  Scenario s = parse_ok(
      "component hair hair palette 1 tints 1 2 3 assets 1 2 3 4\n"
      "at 9 model corvin\n"
      "at 2 ini delete\n"
      "at 9 tint hair 7 8 9 palette 4\n"
      "at 2 ped 0x55\n");
  ASSERT_EQ(s.steps.size(), 4u);
  EXPECT_EQ(s.steps[0].kind, Step_Kind::ini_delete);
  EXPECT_EQ(s.steps[1].kind, Step_Kind::ped);
  EXPECT_EQ(s.steps[1].ped, 0x55u);
  EXPECT_EQ(s.steps[2].kind, Step_Kind::model);
  EXPECT_EQ(s.steps[3].kind, Step_Kind::tint);
  EXPECT_TRUE(s.steps[3].set_palette);
  EXPECT_EQ(s.steps[3].palette, 4u);
  EXPECT_EQ(s.steps[3].line, 4);
}

TEST(Scenario, IniContentIsTakenLiterally) {
  Scenario s = parse_ok(
      "at 1 ini write mtime +3.5s <<EOF\n"
      "[corvin]   # not a comment here\n"
      "\n"
      "enabled = yes\r\n"
      "EOF\n"
      "at 2 ini replace mtime now data \"a\\tb\\r\\n\\x00\\\"\\\\\"\n"
      "at 3 ini write <<X\n"
      "X\n"
      "at 4 ini touch mtime -0.25s\n"
      "at 5 ini touch mtime +1500ms\n");
  ASSERT_EQ(s.steps.size(), 5u);
  EXPECT_EQ(s.steps[0].content, "[corvin]   # not a comment here\n\nenabled = yes\n");
  EXPECT_FALSE(s.steps[0].mtime.now);
  EXPECT_EQ(s.steps[0].mtime.offset_ticks, 35'000'000);
  EXPECT_EQ(s.steps[1].kind, Step_Kind::ini_replace);
  EXPECT_EQ(s.steps[1].content, std::string("a\tb\r\n\0\"\\", 8));
  EXPECT_TRUE(s.steps[1].mtime.now);
  EXPECT_EQ(s.steps[2].content, "") << "an empty file";
  EXPECT_TRUE(s.steps[2].mtime.now) << "the default time is the game clock";
  EXPECT_EQ(s.steps[3].mtime.offset_ticks, -2'500'000);
  EXPECT_EQ(s.steps[4].mtime.offset_ticks, 15'000'000);
}

TEST(Scenario, ReadsTheClockHeapAndReadFailureSteps) {
  Scenario s = parse_ok(
      "at 1 clock back 3600s\n"
      "at 2 clock back 0.25ms\n"
      "at 3 heap fail after 0\n"
      "at 4 heap fail after 12\n"
      "at 5 heap ok\n"
      "at 6 ini read fail\n"
      "at 7 ini folder game\n"
      "at 8 ini folder working\n");
  ASSERT_EQ(s.steps.size(), 8u);
  EXPECT_EQ(s.steps[0].kind, Step_Kind::clock_back);
  EXPECT_EQ(s.steps[0].clock_back_ticks, 36'000'000'000u);
  EXPECT_EQ(s.steps[1].clock_back_ticks, 2'500u);
  EXPECT_EQ(s.steps[2].kind, Step_Kind::heap_fail);
  EXPECT_EQ(s.steps[2].heap_allowed, 0) << "every request fails at once";
  EXPECT_EQ(s.steps[3].heap_allowed, 12);
  EXPECT_EQ(s.steps[4].kind, Step_Kind::heap_ok);
  EXPECT_EQ(s.steps[5].kind, Step_Kind::ini_read_fail);
  EXPECT_EQ(s.steps[6].kind, Step_Kind::ini_folder);
  EXPECT_TRUE(s.steps[6].game_folder);
  EXPECT_FALSE(s.steps[7].game_folder);
}

struct Bad_Case {
  const char *text;
  int line;
  const char *message_part;
};

// Each row: a fault the parser must refuse, the line it must name, a part of its message.
const Bad_Case BAD_CASES[] = {
    {"frames 0\n", 1, "not an integer from 1"},
    {"frames 10\nframes 20\n", 2, "given twice"},
    {"\n\nframes ten\n", 3, "'ten' is not an integer"},
    {"frame_time 16\n", 1, "not a duration"},
    {"frame_time 0ms\n", 1, "not a duration"},
    {"frame_time 1.0001ms\n", 1, "not a duration"},  // finer than a microsecond
    {"start 2026-02-30T00:00:00Z\n", 1, "not a UTC time"},
    {"start 2026-01-01 00:00:00\n", 1, "expected: start"},
    {"model nobody\n", 1, "unknown model 'nobody'"},
    {"component a hair palette 1 tints 1 2 3 assets 1 2 3\n", 1, "expected: component"},
    {"component a hair palette 1 tints 1 2 2147483648 assets 1 2 3 4\n", 1, "2147483648"},
    {"component a hair palette -1 tints 1 2 3 assets 1 2 3 4\n", 1, "'-1' is not an integer"},
    {"component a hair palette 1 tints 1 2 3 assets 1 2 3 4\ncomponent a chin palette 1 tints 1 2 3 assets 1 2 3 4\n", 2,
     "defined twice"},
    {"component a hats palette 1 tints 1 2 3 assets 1 2 3 4\n", 1, "unknown category 'hats'"},
    {"frames 10\nat 10 model mael\n", 2, "after the last frame, 9"},
    {"at 1 tint ghost 1 2 3\n", 1, "no component named 'ghost'"},
    {"at 1 dance\n", 1, "unknown step 'dance'"},
    {"at 1 ini write mtime +3.5 data \"x\"\n", 1, "modification time '+3.5'"},
    {"at 1 ini write mtime 3s data \"x\"\n", 1, "modification time '3s'"},
    {"at 1 ini write data \"x\\q\"\n", 1, "unknown escape"},
    {"at 1 ini write data \"x\\x4\"\n", 1, "two hexadecimal digits"},
    {"at 1 ini write data \"x\n", 1, "unterminated"},
    {"model corvin\nat 1 ini write <<EOF\n[corvin]\n", 2, "no closing line 'EOF'"},
    {"at 1 ini touch\n", 1, "ini touch mtime"},
    {"at 1 ini delete now\n", 1, "ini delete"},
    {"at 1 ini rename\n", 1, "unknown ini action 'rename'"},
    {"at 1 ini size\n", 1, "ini size BYTES"},
    {"at 1 ini size 2GB\n", 1, "'2GB'"},
    {"at 1 ini size 10 mtime\n", 1, "ini size BYTES"},
    {"at 1 ini torn mtime now\n", 1, "expected the content"},
    {"at 1 ini read\n", 1, "ini read fail"},
    {"at 1 ini read fails\n", 1, "ini read fail"},
    {"at 1 clock back 10\n", 1, "'10' is not a duration"},
    {"at 1 clock forward 10s\n", 1, "clock back DURATION"},
    // Before 1601-01-01, which the game clock (a FILETIME) cannot show: at frame 1 of 16.667 ms.
    {"start 1601-01-01T00:00:00Z\nat 1 clock back 0.016667s\nat 1 clock back 1ms\n", 3, "before 1601"},
    {"at 1 heap fail after -1\n", 1, "'-1' is not an integer"},
    {"at 1 heap fail 3\n", 1, "heap fail after COUNT"},
    {"at 1 heap ok now\n", 1, "expected: at FRAME heap ok"},
    {"at 1 ini folder mods\n", 1, "ini folder 'mods' is neither game nor working"},
    {"at -1 model mael\n", 1, "'-1' is not an integer"},
    {"colour red\n", 1, "unknown line 'colour'"},
    {"ped 0x1FFFFFFFFFFFFFFFF\n", 1, "not a 64-bit handle"},
};

TEST(Scenario, RefusesFaultsNamingTheirLine) {
  for (const Bad_Case &c : BAD_CASES) {
    Scenario_Result r = parse_scenario(c.text);
    EXPECT_FALSE(r.ok) << c.text;
    EXPECT_EQ(r.error_line, c.line) << c.text << " -> " << r.error;
    EXPECT_NE(r.error.find(c.message_part), std::string::npos) << c.text << " -> " << r.error;
  }
}

TEST(Scenario, LinesAfterAContentBlockKeepTheirNumbers) {
  Scenario_Result r = parse_scenario("at 1 ini write <<EOF\na\nb\nEOF\nbogus\n");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error_line, 5);
}

TEST(Scenario, FormatsTheClock) {
  EXPECT_EQ(format_clock(DEFAULT_CLOCK_START_TICKS), "2026-01-01T00:00:00Z");
  EXPECT_EQ(format_clock(DEFAULT_CLOCK_START_TICKS + 86'399 * CLOCK_TICKS_PER_SECOND + 9'999'999), "2026-01-01T23:59:59Z");
  EXPECT_EQ(format_clock(133'537'247'990'000'000u), "2024-02-29T23:59:59Z");
}

}  // namespace
