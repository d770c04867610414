// The real ManeShade.asi following ManeShade.ini in the simulated game, on the Windows file system:
// when a save is picked up, what a failed save shows, what the module keeps, and the exact words of
// the line it draws; and a reload whose heap requests the game refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace {

// 100 ms frames: the module looks at the file in frames 0, 10, 20, ... (once a second, on the
// game clock the simulated game gives it).
std::string file_session(int frames, const std::string &steps) {
  return "frames " + std::to_string(frames) +
         "\nframe_time 100ms\nped 0x0000000100000042\nmodel corvin\n"
         "component hair hair palette 3 tints 1 1 1 assets 0x1a01 0x1a02 0x1a03 0x1a04\n"
         "component coat 0x7A1C0F3E palette 9 tints 1 2 3 assets 0x4d01 0x4d02 0x4d03 0x4d04\n" +
         steps;
}

std::string ini_write(int frame, const std::string &how, const std::string &mtime, const std::string &content) {
  return "at " + std::to_string(frame) + " ini " + how + " mtime " + mtime + " <<END_OF_INI\n" + content +
         "END_OF_INI\n";
}

const std::string GOOD_57 = full_ini("yes", 57, "no", 12);
const std::string GOOD_80 = full_ini("yes", 80, "no", 12);
const std::string GOOD_99 = full_ini("yes", 99, "no", 12);
const std::string BAD_VALUE = full_ini("yes", 80, "no", 12) + "[corvin]\nbeard_primary = dark\n";

const std::string OPEN_LINE = "Mane Shade: failed to open config file";
const std::string VALUE_LINE = "Mane Shade: missing key, or failed to parse value";
const std::string PARSE_LINE = "Mane Shade: failed to parse config file";

// What a session showed, frame by frame: the line drawn (checked to be drawn twice, shadow and
// text, or not at all) and the hair's primary tint after the frame.
struct Frame_View {
  std::string line;
  int hair = 1;
};

std::vector<Frame_View> frames_of(const Sim_Run &run, int frames) {
  std::vector<Frame_View> view(static_cast<size_t>(frames));
  std::map<int64_t, std::vector<std::string>> lines;
  for (const Json_Value *t : run.events_of("text")) lines[t->i64("frame")].push_back(t->str("text"));
  int hair = 1;
  std::vector<const Json_Value *> retints = run.events_of("retint");
  size_t next = 0;
  for (int f = 0; f < frames; f++) {
    for (; next < retints.size() && retints[next]->i64("frame") == f; next++) {
      if (retints[next]->str("component") == "hair") hair = static_cast<int>(retints[next]->get("to")->items[0].integer);
    }
    view[static_cast<size_t>(f)].hair = hair;
    const std::vector<std::string> &drawn = lines[f];
    if (drawn.empty()) continue;
    EXPECT_EQ(drawn.size(), 2u) << "frame " << f << ": the line is drawn as shadow and text";
    EXPECT_EQ(drawn.front(), drawn.back()) << "frame " << f;
    view[static_cast<size_t>(f)].line = drawn.front();
  }
  return view;
}

struct Expect {
  int from, to;  // frames, inclusive
  std::string line;
  int hair;
};

struct File_Case {
  const char *name;
  int frames;
  std::string steps;
  std::vector<std::pair<std::string, std::string>> files;  // in the folder before the session
  std::vector<Expect> expect;
  std::string working_folder = "";  // a subfolder the game runs in (--working-folder); "": its own
  std::vector<std::string> folders = {};  // more folders made before the session (after the working folder)
};

void run_file_case(const File_Case &c) {
  Sim_Options options;
  options.scenario = file_session(c.frames, c.steps);
  options.files = c.files;
  if (!c.working_folder.empty()) {
    options.folders = {c.working_folder};
    options.extra_args = {"--working-folder", c.working_folder};
  }
  options.folders.insert(options.folders.end(), c.folders.begin(), c.folders.end());
  Sim_Run run = run_sim(c.name, options);
  ASSERT_TRUE(run.started) << c.name << ": " << run.summary();
  ASSERT_EQ(run.exit_code, 0u) << c.name << ": " << run.summary();
  EXPECT_TRUE(run.events_of("problem").empty()) << c.name << ": " << run.summary();
  for (const Json_Value *step : run.events_of("step")) EXPECT_TRUE(step->flag("ok")) << c.name << ": " << step->str("text");
  std::vector<Frame_View> view = frames_of(run, c.frames);
  for (const Expect &e : c.expect) {
    for (int f = e.from; f <= e.to; f++) {
      EXPECT_EQ(view[static_cast<size_t>(f)].line, e.line) << c.name << ", frame " << f;
      EXPECT_EQ(view[static_cast<size_t>(f)].hair, e.hair) << c.name << ", frame " << f;
    }
  }
}

TEST(ConfigFile, MissingAtStartThenCreated) {
  run_file_case({"missing_then_created", 30, ini_write(14, "write", "now", GOOD_57), {},
                 {{0, 19, OPEN_LINE, 1},     // looked at in frames 0 and 10: no file
                  {20, 29, "", 57}}});       // created in 14, loaded at the look in 20, line gone that frame
}

// A game started from another folder (a launcher, a shortcut, a search box): the working folder's
// ManeShade.ini when it has one, else the one beside ManeShade.asi; the choice is made at every look.
TEST(ConfigFile, AnotherWorkingFolder) {
  run_file_case({"elsewhere_beside_the_module", 20, "", {{"ManeShade.ini", GOOD_57}}, {{0, 19, "", 57}}, "elsewhere"});
  run_file_case({"elsewhere_in_the_working_folder", 20, "", {{"elsewhere\\ManeShade.ini", GOOD_80}}, {{0, 19, "", 80}},
                 "elsewhere"});
  run_file_case({"elsewhere_created_later", 30, ini_write(14, "write", "now", GOOD_80), {{"ManeShade.ini", GOOD_57}},
                 {{0, 19, "", 57}, {20, 29, "", 80}},  // the working folder's, from the look after it appeared
                 "elsewhere"});
  run_file_case({"elsewhere_saved_beside_the_module", 30, "at 0 ini folder game\n" + ini_write(14, "write", "now", GOOD_80),
                 {{"ManeShade.ini", GOOD_57}}, {{0, 19, "", 57}, {20, 29, "", 80}}, "elsewhere"});
  run_file_case({"elsewhere_neither", 15, "", {}, {{0, 14, OPEN_LINE, 1}}, "elsewhere"});
}

// A file put back exactly as it was (from the Recycle Bin, a ZIP unpacked again, a sync tool) is read
// again: the line says what it holds, not that it was missing.
TEST(ConfigFile, DeletedWhileRunningAndPutBackAsItWas) {
  run_file_case({"deleted_put_back", 50,
                 ini_write(0, "write", "-60s", GOOD_57) + "at 12 ini delete\n" + ini_write(25, "write", "-60s", GOOD_57),
                 {},
                 {{0, 19, "", 57},
                  {20, 29, OPEN_LINE, 57},   // gone: the tints in force stay
                  {30, 49, "", 57}}});       // back as it was: read at the next look, the line goes
  run_file_case({"broken_put_back", 50,
                 ini_write(0, "write", "-60s", BAD_VALUE) + "at 12 ini delete\n" + ini_write(25, "write", "-60s", BAD_VALUE),
                 {},
                 {{0, 19, VALUE_LINE, 1}, {20, 29, OPEN_LINE, 1}, {30, 49, VALUE_LINE, 1}}});  // its own fault again
}

// The working folder holds no file when what is there under the name is no file, or when the folder
// itself is gone; then the file beside the module is read. Two files of the same time and size are
// two versions.
TEST(ConfigFile, TheFileBesideTheModuleWhenTheWorkingFolderHoldsNone) {
  run_file_case({"a_folder_named_like_the_file", 20, "", {{"ManeShade.ini", GOOD_57}}, {{0, 19, "", 57}}, "elsewhere",
                 {"elsewhere\\ManeShade.ini"}});
  const std::string twins = "at 0 ini folder game\n" + ini_write(0, "write", "-60s", GOOD_57) + "at 0 ini folder working\n" +
                            ini_write(0, "write", "-60s", GOOD_80);
  run_file_case({"twins_of_one_time_and_size", 40, twins + "at 12 ini delete\n",
                 {},
                 {{0, 19, "", 80},    // the working folder's
                  {20, 39, "", 57}},  // gone: its twin beside the module, of the same time and size, is read
                 "elsewhere"});
  if (!running_under_wine()) GTEST_SKIP() << "Windows refuses to delete the folder a process runs in";
  run_file_case({"working_folder_deleted", 40, twins + "at 12 working folder delete\n",
                 {},
                 {{0, 19, "", 80}, {20, 39, "", 57}},  // no such folder: the file beside the module
                 "elsewhere"});
}

TEST(ConfigFile, ReplacedBySavesAndSavedTwiceWithinASecond) {
  run_file_case({"replaced", 40,
                 ini_write(0, "write", "-60s", GOOD_57) + ini_write(13, "replace", "now", GOOD_80) +
                     ini_write(21, "replace", "+2.1s", GOOD_57) + ini_write(25, "replace", "+2.5s", GOOD_99),
                 {},
                 {{0, 19, "", 57},
                  {20, 29, "", 80},    // picked up at the first look after the save
                  {30, 39, "", 99}}});  // two saves in one second: the later one counts
}

TEST(ConfigFile, BrokenSaveKeepsTheTintsUntilFixed) {
  run_file_case({"broken_then_fixed", 50,
                 ini_write(0, "write", "-60s", GOOD_57) + ini_write(15, "replace", "now", BAD_VALUE) +
                     ini_write(35, "replace", "now", GOOD_80),
                 {},
                 {{0, 19, "", 57},
                  {20, 39, VALUE_LINE, 57},  // refused: old tints, the line every frame
                  {40, 49, "", 80}}});       // the fix clears the line in the frame it loads
}

TEST(ConfigFile, TruncatedToZeroBytes) {
  run_file_case({"truncated", 25, ini_write(0, "write", "-60s", GOOD_57) + "at 5 ini write mtime now data \"\"\n", {},
                 {{0, 9, "", 57}, {10, 24, VALUE_LINE, 57}}});
}

// Another program holds the file open without sharing: the open fails cleanly, and once it lets
// go, the save it held is read at the next look.
TEST(ConfigFile, HeldOpenWithoutSharing) {
  run_file_case({"locked", 60,
                 ini_write(0, "write", "-60s", GOOD_57) + ini_write(15, "write", "now", GOOD_80) + "at 15 ini lock\n" +
                     "at 32 ini unlock\n" + ini_write(45, "write", "now", GOOD_99),
                 {},
                 {{0, 19, "", 57}, {20, 39, OPEN_LINE, 57}, {40, 49, "", 80}, {50, 59, "", 99}}});
}

// Each case is a way a save could be lost or torn, or the game stalled, on the real file system.
TEST(ConfigFile, SavesThatAreNeverLostNorTorn) {
  std::string huge;
  huge.reserve(21u << 20);
  while (huge.size() < (20u << 20)) huge += "; a long note, repeated to make a file of twenty megabytes\n[x]\nk = v\n";
  const File_Case cases[] = {
      // A virus scanner opens the file for one frame right after the save, as the module looks.
      {"one_frame_lock", 40,
       ini_write(0, "write", "-60s", GOOD_57) + ini_write(20, "write", "now", GOOD_80) + "at 20 ini lock\n" +
           "at 21 ini unlock\n",
       {},
       {{0, 19, "", 57}, {20, 29, OPEN_LINE, 57}, {30, 39, "", 80}}},
      // The editor rewrites the file in place while the module reads it: what it read is not installed.
      {"torn_save", 40,
       ini_write(0, "write", "-60s", GOOD_57) + ini_write(20, "write", "now", GOOD_99) +
           ini_write(20, "torn", "+2.05s", GOOD_80),
       {},
       {{0, 29, "", 57}, {30, 39, "", 80}}},
      {"huge", 12, "", {{"ManeShade.ini", huge + GOOD_80}}, {{0, 11, PARSE_LINE, 1}}},
      // 2 GiB of nothing after a good file: refused at the first look, without reading it.
      {"sparse_2_gib", 12, ini_write(0, "write", "-60s", GOOD_57) + "at 0 ini size 2147483648 mtime -59s\n", {},
       {{0, 11, PARSE_LINE, 1}}},
  };
  for (const File_Case &c : cases) run_file_case(c);
}

// The game clock set back an hour: the module looks at once (waiting for the clock to pass the last
// look by a second would mean an hour without a look), then once a second from the new time.
TEST(ConfigFile, ClockSetBack) {
  run_file_case({"clock_back", 40,
                 ini_write(0, "write", "-60s", GOOD_57) + "at 15 clock back 3600s\n" +
                     ini_write(15, "replace", "now", GOOD_80) + ini_write(17, "replace", "now", GOOD_99),
                 {},
                 {{0, 14, "", 57},
                  {15, 24, "", 80},    // looked at once; the save of frame 17 waits for the look a second on
                  {25, 39, "", 99}}});
}

// Another program locked a part of the file: the module's read fails after a good open. Nothing
// was read, so the same version is read again at the next look.
TEST(ConfigFile, ReadFailsAfterTheOpen) {
  run_file_case({"read_fails", 40,
                 ini_write(0, "write", "-60s", GOOD_57) + ini_write(15, "replace", "now", GOOD_80) +
                     "at 15 ini read fail\n",
                 {},
                 {{0, 19, "", 57}, {20, 29, PARSE_LINE, 57}, {30, 39, "", 80}}});
}

// The heap requests of the module in `frame`, and how many the game refused.
std::pair<int64_t, int64_t> heap_in_frame(const Sim_Run &run, int64_t frame) {
  for (const Json_Value *h : run.events_of("heap")) {
    if (h->i64("frame") == frame) return {h->i64("requests"), h->i64("refused")};
  }
  return {0, 0};
}

// A reload that runs out of memory at each of its heap requests in turn. From frame 20, the look
// that reads a changed save, the module's next K requests succeed and every later one fails; from
// frame 21 the heap is back, and a save of frame 25 is read at the look in frame 30. K grows until a
// reload completes within its K requests.
// GOOD_80 with eighteen thousand notes of a section the module ignores, about 750 KB: the module
// keeps the memory of a reload for the next, so a save far larger than the one before is what makes
// a reload ask the heap for more.
std::string big_good_80() {
  std::string text = GOOD_80 + "[notes]\n";
  for (int i = 0; i < 18000; i++) text.append("note_").append(std::to_string(i)).append(" = a note that the game ignores\n");
  return text;
}

TEST(HeapFailure, EachRequestOfAReloadRefusedInTurn) {
  constexpr int MAX_REQUESTS = 64;
  const std::string big_80 = big_good_80();
  bool completed = false;
  for (int k = 0; k <= MAX_REQUESTS && !completed; k++) {
    Sim_Options options;
    options.scenario = file_session(40, ini_write(0, "write", "-60s", GOOD_57) +
                                            ini_write(15, "replace", "now", big_80) + "at 20 heap fail after " +
                                            std::to_string(k) + "\nat 21 heap ok\n" +
                                            ini_write(25, "replace", "now", GOOD_99));
    Sim_Run run = run_sim("heap_" + std::to_string(k), options);
    ASSERT_TRUE(run.completed() && run.exit_code == 0)
        << "K = " << k << ": the game did not survive the reload (exit code 0x" << std::hex << run.exit_code
        << std::dec << ")\nthe timeline ends:\n"
        << run.out.substr(run.out.size() - std::min<size_t>(run.out.size(), 300)) << "\n" << run.summary();
    EXPECT_TRUE(run.events_of("problem").empty()) << "K = " << k << ": " << run.summary();
    std::vector<const Json_Value *> imports = run.events_of("heap_imports");
    ASSERT_EQ(imports.size(), 1u) << run.summary();
    ASSERT_FALSE(imports[0]->get("functions")->items.empty()) << "the module's heap goes through the game";

    auto [requests, refused] = heap_in_frame(run, 20);
    completed = refused == 0;
    ASSERT_TRUE(k > 0 || refused > 0) << "the reload asked the heap for nothing: the test would prove nothing";
    std::vector<Frame_View> view = frames_of(run, 40);
    auto expect = [&](int from, int to, const std::string &line, int hair) {
      for (int f = from; f <= to; f++) {
        EXPECT_EQ(view[static_cast<size_t>(f)].line, line) << "K = " << k << ", frame " << f;
        EXPECT_EQ(view[static_cast<size_t>(f)].hair, hair) << "K = " << k << ", frame " << f;
      }
    };
    expect(0, 19, "", 57);
    if (completed) {
      expect(20, 29, "", 80);  // the reload needed no more than K requests
    } else {
      // In the frame of the failure itself the line may find no memory to be drawn in.
      EXPECT_TRUE(view[20].line.empty() || view[20].line == PARSE_LINE) << "K = " << k << ": " << view[20].line;
      EXPECT_EQ(view[20].hair, 57) << "K = " << k;
      expect(21, 29, PARSE_LINE, 57);
    }
    expect(30, 39, "", 99);  // the next save, with the heap back
    if (testing::Test::HasFailure()) break;
    std::printf("K = %d: %lld heap requests in the reload's frame, %lld refused\n", k, static_cast<long long>(requests),
                static_cast<long long>(refused));
  }
  EXPECT_TRUE(completed) << "no reload completed within " << MAX_REQUESTS << " heap requests";
}

// The text of `ascii` with CRLF line ends, saved as Notepad saves "Unicode": UTF-16 with its mark.
std::string as_utf16(const std::string &ascii, bool little_endian) {
  std::string out = little_endian ? "\xFF\xFE" : "\xFE\xFF";
  for (char c : ascii) {
    for (char unit : c == '\n' ? std::string("\r\n") : std::string(1, c)) {
      out += little_endian ? std::string{unit, '\0'} : std::string{'\0', unit};
    }
  }
  return out;
}

TEST(ConfigFile, SavedAsUtf16ByAWindowsEditor) {
  for (bool little : {true, false}) {
    run_file_case({little ? "utf16_le" : "utf16_be", 12, "", {{"ManeShade.ini", as_utf16(GOOD_80, little)}},
                   {{0, 11, "", 80}}});
  }
}

// The two drawing passes as the game receives them, word for word.
TEST(ConfigFile, LineIsDrawnWithExactWords) {
  Sim_Options options;
  options.scenario = file_session(2, "");
  Sim_Run run = run_sim("line_words", options);
  ASSERT_TRUE(run.started) << run.summary();
  std::vector<Trace_Record> drawn;
  for (const Trace_Record &r : run.calls_in_frame(1)) {
    if (r.name == "set_text_scale" || r.name == "set_text_color" || r.name == "make_text_string" ||
        r.name == "display_text")
      drawn.push_back(r);
  }
  ASSERT_EQ(drawn.size(), 8u);
  const uint64_t scale = 0x3e99999a3e99999a, full = 0x000000ff000000ff;
  const char *const names[] = {"set_text_scale", "set_text_color", "make_text_string", "display_text"};
  const std::vector<uint64_t> colors[] = {{0, 0, 0, full}, {full, full, full, full}};
  const std::vector<uint64_t> positions[] = {{0x3c3439583c343958, 0x3d27ef9e3d27ef9e},
                                             {0x3c23d70a3c23d70a, 0x3d23d70a3d23d70a}};
  for (size_t pass = 0; pass < 2; pass++) {
    const Trace_Record *call = &drawn[pass * 4];
    for (size_t i = 0; i < 4; i++) EXPECT_EQ(call[i].name, names[i]) << "pass " << pass;
    EXPECT_EQ(call[0].args, (std::vector<uint64_t>{scale, scale})) << "pass " << pass;
    EXPECT_EQ(call[1].args, colors[pass]) << "pass " << pass;
    ASSERT_EQ(call[2].args.size(), 3u) << "the kind and two string addresses";
    EXPECT_EQ(call[2].args[0], 0x0000000a0000000au);
    EXPECT_NE(call[2].args[1], call[2].args[2]);
    ASSERT_EQ(call[3].args.size(), 3u);
    EXPECT_EQ(call[3].args[0], call[2].result) << "the text handle made in this pass";
    EXPECT_EQ(std::vector<uint64_t>(call[3].args.begin() + 1, call[3].args.end()), positions[pass]);
  }
  EXPECT_NE(drawn[2].result, drawn[6].result) << "a new text handle per pass";
}

}  // namespace
