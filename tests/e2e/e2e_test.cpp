// The real ManeShade.asi in the simulated game: registration and unload, the frame pass seen from
// the game, and the game's own machinery (clock, waits, file steps) through a probe module.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "tools/game/game_interface.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/probe.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace {

constexpr uint64_t PED = 0x0000000100000042;
constexpr uint64_t OTHER_PED = 0x00000002000000A7;
// 2026-01-01T00:00:00Z in 100-ns units since 1601.
constexpr uint64_t CLOCK_START = 134'116'992'000'000'000;

const char COMPONENTS[] =
    "component hair   hair   palette 3 tints 12 4 0 assets 0x1a01 0x1a02 0x1a03 0x1a04\n"
    "component beard  beard  palette 3 tints 12 4 0 assets 0x2b01 0x2b02 0x2b03 0x2b04\n"
    "component chin   chin   palette 3 tints 12 4 0 assets 0x3c01 0x3c02 0x3c03 0x3c04\n"
    "component coat   0x7A1C0F3E palette 9 tints 1 2 3 assets 0x4d01 0x4d02 0x4d03 0x4d04\n";

std::string session(int frames, const std::string &model, const std::string &more = "") {
  return "frames " + std::to_string(frames) + "\nframe_time 16ms\nped 0x0000000100000042\nmodel " + model + "\n" +
         COMPONENTS + more;
}

Sim_Options module_session(std::string scenario) {
  Sim_Options options;
  options.scenario = std::move(scenario);
  return options;
}

// Both characters off: the module loads the file and from then on only reads.
Sim_Options disabled_session(std::string scenario) {
  Sim_Options options = module_session(std::move(scenario));
  options.files.push_back({"ManeShade.ini", full_ini("no", 57, "no", 12)});
  return options;
}

Sim_Options probe_session(std::string scenario, bool with_module = false) {
  Sim_Options options = module_session(std::move(scenario));
  options.with_module = with_module;
  options.with_probe = true;
  return options;
}

// The game alone: no module in the folder.
Sim_Options game_only(std::string scenario) {
  Sim_Options options = module_session(std::move(scenario));
  options.with_module = false;
  return options;
}

// Natives that change the game or draw: never called while both characters are off.
const std::set<std::string> WRITING_NATIVES = {"set_component_tint", "refresh_ped_variation", "set_text_scale",
                                               "set_text_color", "make_text_string", "display_text"};

// Checks that hold for every session of the module alone with both characters off.
void expect_reads_only(const Sim_Run &run, int frames, uint64_t (*ped_at)(int64_t), uint32_t (*model_at)(int64_t)) {
  ASSERT_TRUE(run.started) << run.summary();
  EXPECT_EQ(run.exit_code, 0u) << run.summary();
  EXPECT_TRUE(run.format_errors.empty()) << run.summary();
  EXPECT_TRUE(run.events_of("problem").empty()) << run.summary();
  for (const Trace_Record &r : run.trace) {
    EXPECT_NE(r.name, "unknown") << "frame " << r.frame;
    EXPECT_EQ(WRITING_NATIVES.count(r.name), 0u) << r.name << " in frame " << r.frame;
    EXPECT_TRUE(r.frame >= 0 && r.frame < frames) << "a call outside the frames: " << r.name;
  }
  for (int64_t f = 0; f < frames; f++) {
    std::vector<Trace_Record> calls = run.calls_in_frame(f);
    ASSERT_EQ(calls.size(), 2u) << "frame " << f;
    EXPECT_EQ(calls[0].name, "get_player_ped");
    EXPECT_EQ(calls[0].hash, GAME_NATIVE_GET_PLAYER_PED);
    EXPECT_TRUE(calls[0].args.empty());
    EXPECT_EQ(calls[0].result, ped_at(f)) << "frame " << f;
    EXPECT_EQ(calls[1].name, "get_entity_model");
    EXPECT_EQ(calls[1].hash, GAME_NATIVE_GET_ENTITY_MODEL);
    // The handle goes back whole: a 32-bit truncation would lose the high half.
    ASSERT_EQ(calls[1].args.size(), 1u);
    EXPECT_EQ(calls[1].args[0], calls[0].result) << "frame " << f;
    EXPECT_EQ(calls[1].result, model_at(f)) << "frame " << f;
  }
}

uint64_t always_ped(int64_t) { return PED; }

struct Model_Case {
  const char *scenario_model;
  uint32_t model;
};

class Module_With_Model : public testing::TestWithParam<Model_Case> {};

uint32_t model_of_case;
uint32_t case_model(int64_t) { return model_of_case; }

TEST_P(Module_With_Model, ReadsPedAndModelEveryFrameAndWritesNothing) {
  const Model_Case &c = GetParam();
  model_of_case = c.model;
  Sim_Run run = run_sim(std::string("model_") + c.scenario_model, disabled_session(session(20, c.scenario_model)));
  expect_reads_only(run, 20, always_ped, case_model);
  // Nothing changed on the ped.
  ASSERT_EQ(run.components.size(), 4u) << run.summary();
  const Final_Component *hair = run.component("hair");
  ASSERT_NE(hair, nullptr);
  EXPECT_EQ(hair->tints[0], 12);
  EXPECT_EQ(hair->palette, 3u);
}

// Both characters and a model that is neither: with both blocks off each is left alone.
INSTANTIATE_TEST_SUITE_P(Models, Module_With_Model,
                         testing::Values(Model_Case{"corvin", GAME_MODEL_CORVIN}, Model_Case{"mael", GAME_MODEL_MAEL},
                                         Model_Case{"0x12345678", 0x12345678}),
                         [](const testing::TestParamInfo<Model_Case> &param_info) {
                           return std::string(param_info.param.scenario_model).substr(0, 6);
                         });

uint64_t ped_switching_at_5(int64_t frame) { return frame < 5 ? PED : OTHER_PED; }
uint32_t model_switching_at_8(int64_t frame) { return frame < 8 ? GAME_MODEL_CORVIN : GAME_MODEL_MAEL; }

// A module that kept the first frame's handle would ask for the model of a ped that is gone.
TEST(Module, AsksForTheModelOfThisFramesPed) {
  Sim_Run run = run_sim("ped_switch", disabled_session(session(12, "corvin", "at 5 ped 0x00000002000000A7\nat 8 model mael\n")));
  expect_reads_only(run, 12, ped_switching_at_5, model_switching_at_8);
}

TEST(Module, RegistersOneScriptWithItsOwnHandleAndUnregistersItOnUnload) {
  Sim_Run run = run_sim("registration", disabled_session(session(3, "corvin")));
  ASSERT_TRUE(run.started) << run.summary();
  std::vector<const Json_Value *> loads = run.events_of("load");
  std::vector<const Json_Value *> registers = run.events_of("register");
  std::vector<const Json_Value *> unregisters = run.events_of("unregister");
  ASSERT_EQ(loads.size(), 1u) << run.summary();
  ASSERT_EQ(registers.size(), 1u) << run.summary();
  EXPECT_TRUE(registers[0]->flag("own_module"));
  EXPECT_TRUE(registers[0]->flag("entry_in_module"));
  EXPECT_EQ(registers[0]->str("module"), loads[0]->str("module"));
  EXPECT_EQ(registers[0]->i64("frame"), -1) << "registered while loading";

  ASSERT_EQ(unregisters.size(), 1u) << run.summary();
  EXPECT_TRUE(unregisters[0]->flag("during_unload"));
  EXPECT_TRUE(unregisters[0]->flag("own_module"));
  EXPECT_EQ(unregisters[0]->str("module"), loads[0]->str("module"));

  // In file order: load, register, ..., unregister, then the end of FreeLibrary.
  size_t unregister_at = 0, unload_at = 0;
  for (size_t i = 0; i < run.events.size(); i++) {
    if (&run.events[i] == unregisters[0]) unregister_at = i;
    if (run.events[i].str("event") == "unload") unload_at = i;
  }
  EXPECT_LT(unregister_at, unload_at);
  const Json_Value *unload = run.events_of("unload").at(0);
  EXPECT_TRUE(unload->flag("ok"));
}

// With the character off the module must not fight the game: a tint the game sets stays.
TEST(Module, LeavesTintsThatTheGameSets) {
  Sim_Run run = run_sim("game_tint", disabled_session(session(10, "corvin", "at 3 tint beard 90 91 92 palette 5\n")));
  expect_reads_only(run, 10, always_ped, [](int64_t) { return GAME_MODEL_CORVIN; });
  const Final_Component *beard = run.component("beard");
  ASSERT_NE(beard, nullptr) << run.summary();
  EXPECT_EQ(beard->tints[0], 90);
  EXPECT_EQ(beard->tints[1], 91);
  EXPECT_EQ(beard->tints[2], 92);
  EXPECT_EQ(beard->palette, 5u);
}

// Without a file the Config stays all zero: nothing is tinted, and the line says why.
TEST(Module, WithoutTheFileTintsNothingAndShowsTheLine) {
  Sim_Run run = run_sim("no_ini", module_session(session(5, "corvin", "at 2 tint beard 90 91 92\n")));
  ASSERT_TRUE(run.started) << run.summary();
  EXPECT_TRUE(run.events_of("problem").empty()) << run.summary();
  for (const Trace_Record &r : run.trace) {
    EXPECT_NE(r.name, "set_component_tint") << "frame " << r.frame;
    EXPECT_NE(r.name, "refresh_ped_variation") << "frame " << r.frame;
    EXPECT_NE(r.name, "unknown");
  }
  std::vector<const Json_Value *> texts = run.events_of("text");
  ASSERT_EQ(texts.size(), 10u) << "shadow and text in each of 5 frames";
  for (const Json_Value *t : texts) EXPECT_EQ(t->str("text"), "Mane Shade: failed to open config file");
  EXPECT_EQ(run.component("beard")->tints[0], 90);
}

// Corvin on: the first frame puts every hair and facial-hair component in the file's tints, the
// next frames only read, and a tint the game changes is put back in the frame it changed.
TEST(Module, PutsTheConfiguredTintsBackWithTheComponentsOwnAssetsAndPalette) {
  Sim_Options options = module_session(session(8, "corvin", "at 5 tint beard 90 91 92 palette 6\n"));
  options.files.push_back({"ManeShade.ini", full_ini("yes", 57, "no", 12)});
  Sim_Run run = run_sim("retint", options);
  ASSERT_TRUE(run.started) << run.summary();
  EXPECT_TRUE(run.events_of("problem").empty()) << run.summary();
  std::vector<const Json_Value *> retints = run.events_of("retint");
  ASSERT_EQ(retints.size(), 4u) << run.out;
  EXPECT_EQ(retints[0]->str("component"), "hair");
  EXPECT_EQ(retints[1]->str("component"), "beard");
  EXPECT_EQ(retints[2]->str("component"), "chin");
  for (int i = 0; i < 3; i++) EXPECT_EQ(retints[i]->i64("frame"), 0);
  EXPECT_EQ(retints[3]->str("component"), "beard");
  EXPECT_EQ(retints[3]->i64("frame"), 5);
  EXPECT_EQ(retints[3]->i64("palette_to"), 6) << "the component keeps the palette it has";

  std::vector<Trace_Record> frame5 = run.calls_in_frame(5);
  const Trace_Record *set = nullptr;
  for (const Trace_Record &r : frame5) {
    if (r.name == "set_component_tint") set = &r;
  }
  ASSERT_NE(set, nullptr);
  const std::vector<uint64_t> expected = {PED,
                                          0x00002b0100002b01, 0x00002b0200002b02, 0x00002b0300002b03, 0x00002b0400002b04,
                                          0x0000000600000006,
                                          0x0000003900000039, 0x0000003900000039, 0x0000003900000039};
  EXPECT_EQ(set->args, expected);
  for (const Final_Component &c : run.components) {
    if (c.name == "coat") {
      EXPECT_EQ(c.tints[0], 1) << "other categories are never touched";
    } else {
      EXPECT_EQ(c.tints[0], 57) << c.name;
      EXPECT_EQ(c.tints[2], 57) << c.name;
    }
  }
  for (int64_t f : {1, 2, 3, 4, 6, 7}) {
    for (const Trace_Record &r : run.calls_in_frame(f)) EXPECT_NE(r.name, "set_component_tint") << "frame " << f;
  }
}

TEST(Demo, BuiltInScenarioRunsWithoutProblems) {
  Sim_Run run = run_sim("demo", Sim_Options());
  ASSERT_TRUE(run.started) << run.summary();
  EXPECT_EQ(run.exit_code, 0u) << run.summary();
  EXPECT_TRUE(run.format_errors.empty()) << run.summary();
  EXPECT_TRUE(run.events_of("problem").empty()) << run.summary();
  EXPECT_EQ(run.events_of("register").size(), 1u);
  EXPECT_FALSE(run.trace.empty());
  EXPECT_NE(run.out.find("totals:"), std::string::npos) << run.out;
}

// ---- The host and the game clock, seen through the probe module. ----

std::vector<Trace_Record> probe_clock_calls(const Sim_Run &run) {
  std::vector<Trace_Record> out;
  for (const Trace_Record &r : run.trace) {
    if (r.hash == PROBE_CLOCK) out.push_back(r);
  }
  return out;
}

// scriptWait(100) at 16 ms frames: a script resumes on the first frame at least 100 ms after the
// frame it waited in (frames 0, 7, 14, 21 at 0, 112, 224, 336 ms), and reads that frame's clock.
TEST(Probe, ResumesAfterItsWaitAndReadsTheGameClock) {
  Sim_Run run = run_sim("probe_clock", probe_session("frames 25\nframe_time 16ms\nmodel corvin\n"));
  ASSERT_TRUE(run.started) << run.summary();
  EXPECT_EQ(run.exit_code, 0u) << run.summary();
  std::vector<Trace_Record> calls = probe_clock_calls(run);
  const int64_t expected_frames[] = {0, 7, 14, 21};
  ASSERT_EQ(calls.size(), std::size(expected_frames)) << run.summary();
  for (size_t i = 0; i < calls.size(); i++) {
    EXPECT_EQ(calls[i].frame, expected_frames[i]);
    ASSERT_EQ(calls[i].args.size(), 1u);
    uint64_t expected_clock = CLOCK_START + static_cast<uint64_t>(expected_frames[i]) * 16 * 10'000;
    EXPECT_EQ(calls[i].args[0], expected_clock) << "frame " << calls[i].frame;
    EXPECT_EQ(calls[i].name, "unknown");
    EXPECT_EQ(calls[i].result, 0u);
  }
}

TEST(Probe, StartOfTheClockComesFromTheScenario) {
  Sim_Run run = run_sim("probe_start",
                        probe_session("frames 1\nstart 2030-06-15T12:30:00Z\nmodel corvin\n"));
  std::vector<Trace_Record> calls = probe_clock_calls(run);
  ASSERT_EQ(calls.size(), 1u) << run.summary();
  // 2030-06-15T12:30:00Z, in 100-ns units since 1601.
  EXPECT_EQ(calls[0].args[0], 135'522'306'000'000'000u);
}

TEST(Probe, HostReportsMisuseAndUnknownNativesAndCarriesOn) {
  Sim_Run run = run_sim("probe_misuse", probe_session("frames 3\nframe_time 16ms\nmodel corvin\n"));
  ASSERT_TRUE(run.started) << run.summary();
  EXPECT_EQ(run.exit_code, 0u) << run.summary();
  std::string problems;
  for (const Json_Value *p : run.events_of("problem")) problems += std::to_string(p->i64("frame")) + " " + p->str("text") + "\n";
  // At load: a native outside any script (and unknown).
  EXPECT_NE(problems.find("-1 host: native 0x50524f4245000003 called outside a script"), std::string::npos) << problems;
  // In the first frame: a call without nativeInit, too many arguments, unknown natives.
  EXPECT_NE(problems.find("0 host: nativeCall without nativeInit"), std::string::npos) << problems;
  EXPECT_NE(problems.find("0 host: native 0x50524f4245000002: more than 32 arguments"), std::string::npos) << problems;
  EXPECT_NE(problems.find("0 host: unknown native 0x50524f4245000001"), std::string::npos) << problems;
  EXPECT_NE(run.err.find("unknown native 0x50524f4245000001"), std::string::npos) << run.err;
  // The overflowing call kept the first 32 words, exactly as pushed.
  bool saw_overflow_call = false;
  for (const Trace_Record &r : run.trace) {
    if (r.hash != PROBE_OVERFLOW) continue;
    saw_overflow_call = true;
    ASSERT_EQ(r.args.size(), 32u);
    EXPECT_EQ(r.args[31], 31u);
  }
  EXPECT_TRUE(saw_overflow_call);
}

// Two modules: each registration and unregistration carries its own module's handle.
TEST(Probe, BesideTheModuleEachModuleKeepsItsOwnHandle) {
  Sim_Run run = run_sim("two_modules", probe_session(session(4, "corvin"), /*with_module=*/true));
  ASSERT_TRUE(run.started) << run.summary();
  std::vector<const Json_Value *> registers = run.events_of("register");
  std::vector<const Json_Value *> unregisters = run.events_of("unregister");
  ASSERT_EQ(registers.size(), 2u) << run.summary();
  ASSERT_EQ(unregisters.size(), 2u) << run.summary();
  EXPECT_NE(registers[0]->str("module"), registers[1]->str("module"));
  for (const Json_Value *r : registers) EXPECT_TRUE(r->flag("own_module")) << r->str("file");
  for (const Json_Value *u : unregisters) EXPECT_TRUE(u->flag("own_module"));
  // The module still does its job beside the probe.
  for (int64_t f = 0; f < 4; f++) {
    int reads = 0;
    for (const Trace_Record &r : run.calls_in_frame(f)) reads += r.name == "get_player_ped" || r.name == "get_entity_model";
    EXPECT_EQ(reads, 2) << "frame " << f;
  }
}

// ---- The game's file steps, which the configuration tests rely on. ----

uint64_t write_time_of(const std::string &folder, const char *name, bool *exists) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  std::wstring path(folder.begin(), folder.end());
  path += std::wstring(name, name + std::strlen(name));
  *exists = GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) != 0;
  return (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
}

std::string content_of(const std::string &folder, const char *name) {
  std::string path = folder + name;
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (!file) return "<missing>";
  std::string text;
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  std::fclose(file);
  return text;
}

TEST(Game, WritesReplacesAndTouchesTheIniWithTheGivenTimes) {
  const std::string scenario = session(6, "corvin",
                                       "at 1 ini write mtime +3.5s data \"a\\r\\nb\"\n"
                                       "at 2 ini replace mtime -1s <<END\n"
                                       "[corvin]\n"
                                       "enabled = no\n"
                                       "END\n"
                                       "at 3 ini lock\n"
                                       "at 4 ini unlock\n"
                                       "at 5 ini touch mtime now\n");
  Sim_Run run = run_sim("ini_steps", game_only(scenario));
  ASSERT_TRUE(run.started) << run.summary();
  EXPECT_EQ(run.exit_code, 0u) << run.summary();
  std::vector<const Json_Value *> steps = run.events_of("step");
  ASSERT_EQ(steps.size(), 5u) << run.summary();
  for (const Json_Value *s : steps) EXPECT_TRUE(s->flag("ok")) << s->str("text");
  EXPECT_EQ(content_of(run.folder, "ManeShade.ini"), "[corvin]\nenabled = no\n");
  bool exists = false;
  // "now" at frame 5 of 16 ms frames.
  EXPECT_EQ(write_time_of(run.folder, "ManeShade.ini", &exists), CLOCK_START + 5 * 16 * 10'000);
  EXPECT_TRUE(exists);
  write_time_of(run.folder, "ManeShade.ini.new", &exists);
  EXPECT_FALSE(exists) << "the replacement was renamed over the file";
}

TEST(Game, WriteSetsTheExactBytesAndTime) {
  Sim_Run run = run_sim("ini_write", game_only(session(2, "corvin", "at 1 ini write mtime +3.5s data \"\\xef\\xbb\\xbfa\\r\\nb\"\n")));
  ASSERT_EQ(run.exit_code, 0u) << run.summary();
  EXPECT_EQ(content_of(run.folder, "ManeShade.ini"), "\xef\xbb\xbf" "a\r\nb");
  bool exists = false;
  EXPECT_EQ(write_time_of(run.folder, "ManeShade.ini", &exists), CLOCK_START + 35'000'000);
}

// A step that fails says what did not happen and why, and counts as a failed step, not a problem.
TEST(Game, DeletesTheIniAndReportsAStepThatFails) {
  Sim_Run run = run_sim("ini_delete", game_only(session(7, "corvin",
                                                        "at 0 ini write data \"x\"\nat 1 ini delete\nat 2 ini delete\n"
                                                        "at 3 ini write data \"y\"\nat 4 ini lock\nat 5 ini write data \"z\"\n"
                                                        "at 6 ini unlock\nat 6 ini unlock\n")));
  ASSERT_TRUE(run.started) << run.summary();
  std::vector<const Json_Value *> steps = run.events_of("step");
  ASSERT_EQ(steps.size(), 8u);
  EXPECT_TRUE(steps[1]->flag("ok"));
  EXPECT_FALSE(steps[2]->flag("ok")) << "nothing left to delete";
  EXPECT_EQ(steps[2]->i64("line"), 11);
  struct Row {
    size_t step;
    const char *fault;
    const char *text;
  } rows[] = {
      {2, "\"deleted: FAILED, error 2\" for a delete that did not happen",
       "could not delete ManeShade.ini: there is no such file (error 2, file not found)"},
      {5, "\"written: FAILED, error 32\", the error unexplained",
       "could not write ManeShade.ini: another program holds it open (error 32, a sharing violation)"},
      {7, "an unlock with nothing held", "could not close ManeShade.ini: no ini lock step holds it open"},
  };
  for (const Row &row : rows) {
    EXPECT_FALSE(steps[row.step]->flag("ok")) << row.fault;
    EXPECT_EQ(steps[row.step]->str("text"), row.text) << row.fault;
    EXPECT_NE(run.out.find(std::string("  FAILED  ") + row.text), std::string::npos) << row.fault << "\n" << run.out;
  }
  EXPECT_NE(run.out.find(" 0 problems, 3 failed steps, "), std::string::npos) << "failed steps counted as problems\n" << run.out;
  EXPECT_EQ(content_of(run.folder, "ManeShade.ini"), "y");
}

TEST(Game, RefusesABadScenarioNamingItsLine) {
  Sim_Run run = run_sim("bad_scenario", module_session("frames 10\nmodel corvin\nat 3 tint nobody 1 2 3\n"));
  ASSERT_TRUE(run.started) << run.summary();
  EXPECT_EQ(run.exit_code, 2u);
  EXPECT_NE(run.err.find("session.scenario:3: no component named 'nobody'"), std::string::npos) << run.err;
  EXPECT_TRUE(run.events_of("load").empty()) << "nothing is loaded for a bad scenario";
}

}  // namespace
