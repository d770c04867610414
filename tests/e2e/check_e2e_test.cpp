// maneshade-check.exe as a player runs it: --game in a game folder holding the real built
// ManeShade.asi, the stand-in ScriptHookVanta.dll and the shipped kind of ManeShade.ini; a file
// dropped onto it; and --dump and the report as a script and a console receive them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/check/check_capture.h"
#include "tests/e2e/harness.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace {

struct Check_Run {
  bool ended = false;
  DWORD exit_code = 0;
  std::string err;
  std::string out;
};

// Runs `maneshade-check.exe ARGUMENTS` in `folder`, its report (standard error) to a file beside it
// and its standard output to that name with ".out" added.
Check_Run run_check(const std::wstring &folder, const std::wstring &arguments, const std::wstring &report) {
  Check_Run run;
  std::wstring command = L"\"" + test_program_folder() + L"maneshade-check.exe\" " + arguments;
  Program_Run program = run_program(command, folder, report + L".out", report);
  run.ended = program.ended;
  run.exit_code = program.exit_code;
  read_whole(report, &run.err);
  read_whole(report + L".out", &run.out);
  return run;
}

size_t count_of(const std::string &text, const std::string &part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) count++;
  return count;
}

// The built module really imports what the stand-in exports, so the only finding is the stand-in,
// in one line: no "ok" for a file the game must not have.
TEST(CheckGameE2e, TheBuiltFilesPassButTheStandInIsNamed) {
  wchar_t current[MAX_PATH * 4];
  GetCurrentDirectoryW(MAX_PATH * 4, current);
  std::wstring runs = std::wstring(current) + L"\\e2e-runs\\";
  std::wstring folder = runs + L"check_game\\";
  CreateDirectoryW(runs.c_str(), nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  std::wstring programs = test_program_folder();
  ASSERT_TRUE(CopyFileW((programs + L"ManeShade.asi").c_str(), (folder + L"ManeShade.asi").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW((programs + L"ScriptHookVanta.dll").c_str(), (folder + L"ScriptHookVanta.dll").c_str(), FALSE));
  ASSERT_TRUE(write_whole(folder + L"ManeShade.ini", full_ini("yes", 57, "no", 12)));

  Check_Run run = run_check(folder, L"--game .", runs + L"check_game_report.txt");
  ASSERT_TRUE(run.ended) << "maneshade-check.exe did not start, or did not end";
  EXPECT_EQ(run.exit_code, 1u) << run.err;
  EXPECT_NE(run.err.find("ManeShade.asi: ok: a 64-bit (x86-64) DLL"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("ScriptHookVanta.dll: problem: this is Mane Shade's development stand-in"), std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("ScriptHookVanta.dll: ok"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("ManeShade.ini: ok: the game would use this file (corvin on, mael off)"), std::string::npos)
      << run.err;
  EXPECT_EQ(count_of(run.err, "problem:"), 1u) << run.err;
  EXPECT_NE(run.err.find("\\check_game: 1 problem to fix (above)"), std::string::npos) << "the folder in full\n" << run.err;
}

// Where the game reads ManeShade.ini, with the real module wherever an ASI loader may load it from:
// the file beside a module in scripts when the game folder holds none, and a folder named
// ManeShade.ini named as the problem, never the settings saved as .txt beside it.
TEST(CheckGameE2e, TheFileTheGameReadsWhereverTheModuleIs) {
  wchar_t current[MAX_PATH * 4];
  GetCurrentDirectoryW(MAX_PATH * 4, current);
  std::wstring runs = std::wstring(current) + L"\\e2e-runs\\";
  CreateDirectoryW(runs.c_str(), nullptr);
  const std::wstring programs = test_program_folder();
  const std::string ini = full_ini("yes", 57, "no", 12);
  std::string module;
  ASSERT_TRUE(read_whole(programs + L"ManeShade.asi", &module));
  struct Row {
    const char *fault;
    std::wstring name;
    std::vector<std::wstring> module;   // where ManeShade.asi goes, below the folder
    std::vector<std::wstring> inis;     // where ManeShade.ini (or a look-alike) goes
    std::vector<std::wstring> folders;  // folders made first
    std::vector<std::string> said;
    std::vector<std::string> not_said;
    std::vector<std::pair<std::wstring, std::string>> files = {};  // written last, over any of the above
    std::wstring held = L"";  // held open without sharing while the check runs
  } rows[] = {
      {"a module and its ini in scripts: the ini called missing", L"check_scripts", {L"scripts\\ManeShade.asi"},
       {L"scripts\\ManeShade.ini"}, {L"scripts"},
       {"\\scripts\\ManeShade.asi: ok: a 64-bit (x86-64) DLL, in the subfolder scripts",
        "\\scripts\\ManeShade.ini: ok: the game would use this file (corvin on, mael off)"},
       {"missing", "where the game does not look"}},
      {"a folder named ManeShade.ini, the module in scripts: the file beside it is read", L"check_folder_scripts",
       {L"scripts\\ManeShade.asi"}, {L"scripts\\ManeShade.ini"}, {L"scripts", L"ManeShade.ini"},
       {"check_folder_scripts\\ManeShade.ini: note: a folder, not a file: the game finds no settings file here, and looks for",
        "\\scripts\\ManeShade.ini: ok: the game would use this file"},
       {"missing"}},
      {"a folder named ManeShade.ini beside the settings saved as .txt: delete the .txt, it said",
       L"check_folder_txt", {L"ManeShade.asi"}, {L"ManeShade.ini.txt"}, {L"ManeShade.ini"},
       {"check_folder_txt\\ManeShade.ini: problem: a folder, not a file: the game looks for a file of this name and "
        "finds none, so it shows \"Mane Shade: failed to open config file\"",
        "ManeShade.ini.txt: problem: Windows hides the .txt: once the ManeShade.ini beside it that is not a file is out "
        "of the way, rename this file to ManeShade.ini"},
       {"delete this one", "the game would use this file"}},
      {"a damaged copy in the game folder beside a whole one in scripts was to be copied again: loaded twice",
       L"check_damaged_beside", {L"ManeShade.asi", L"scripts\\ManeShade.asi"}, {L"scripts\\ManeShade.ini"}, {L"scripts"},
       {"check_damaged_beside\\ManeShade.asi: problem: damaged", "delete this file: ",
        "\\scripts\\ManeShade.ini: ok: the game would use this file"},
       {"copy ManeShade.asi again", "missing"},
       {{L"ManeShade.asi", module.substr(0, 30000)}}},
      {"a shortcut named ManeShade.ini.lnk was to be renamed", L"check_shortcut", {L"ManeShade.asi"}, {}, {},
       {"check_shortcut\\ManeShade.ini.lnk: problem: a Windows shortcut, not a settings file"}, {"rename"},
       {{L"ManeShade.ini.lnk", std::string("\x4C\0\0\0\x01\x14\x02\0", 8) + std::string(68, '\0')}}},
      {"ManeShade.ini held open by another program: the program's own lines, not the report's", L"check_held",
       {L"ManeShade.asi"}, {L"ManeShade.ini"}, {},
       {"check_held\\ManeShade.ini: problem: cannot read it: another program has it open and does not share it; a "
        "running game that has read this version of the file (the same time and size) keeps it and shows nothing",
        "would show \"Mane Shade: failed to open config file\""},
       {"maneshade-check: cannot read", "ok: the game would use"}, {}, L"ManeShade.ini"},
  };
  for (const Row &row : rows) {
    std::wstring folder = runs + row.name + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const std::wstring &sub : row.folders) CreateDirectoryW((folder + sub).c_str(), nullptr);
    for (const std::wstring &at : row.module) {
      ASSERT_TRUE(CopyFileW((programs + L"ManeShade.asi").c_str(), (folder + at).c_str(), FALSE)) << row.fault;
    }
    ASSERT_TRUE(CopyFileW((programs + L"ScriptHookVanta.dll").c_str(), (folder + L"ScriptHookVanta.dll").c_str(), FALSE));
    for (const std::wstring &at : row.inis) ASSERT_TRUE(write_whole(folder + at, ini)) << row.fault;
    for (const auto &[at, bytes] : row.files) ASSERT_TRUE(write_whole(folder + at, bytes)) << row.fault;
    HANDLE held = row.held.empty() ? INVALID_HANDLE_VALUE
                                   : CreateFileW((folder + row.held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    Check_Run run = run_check(folder, L"--game .", runs + row.name + L"_report.txt");
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    ASSERT_TRUE(run.ended) << row.fault << ": maneshade-check.exe did not start, or did not end";
    EXPECT_EQ(run.exit_code, 1u) << row.fault << " (the stand-in host is always a problem)\n" << run.err;
    for (const std::string &part : row.said) EXPECT_NE(run.err.find(part), std::string::npos) << row.fault << "\n" << run.err;
    for (const std::string &part : row.not_said) EXPECT_EQ(run.err.find(part), std::string::npos) << row.fault << "\n" << run.err;
  }
}

// ASCII `text` as UTF-32, little endian, with its byte-order mark.
std::string utf32_le(const std::string &text) {
  std::string out("\xFF\xFE\0\0", 4);
  for (char c : text) out += std::string{c, '\0', '\0', '\0'};
  return out;
}

// What the real module does in the simulated game started in `folder`, whose .asi files load as with
// an ASI loader that looks there, with `working` as the game's working folder: how many modules
// loaded, corvin's hair in the last frame and the line on screen then.
struct Game_Outcome {
  int loaded = 0;
  int hair = -1;
  std::string line;
};

Game_Outcome play(const std::wstring &folder, const std::wstring &working, const std::wstring &events) {
  const int frames = 15;
  std::wstring scenario = events + L".scenario";
  write_whole(scenario, "frames " + std::to_string(frames) +
                            "\nframe_time 100ms\nmodel corvin\n"
                            "component hair hair palette 3 tints 1 1 1 assets 0x1a01 0x1a02 0x1a03 0x1a04\n");
  DeleteFileW(events.c_str());
  // A backslash before the closing quote would escape it.
  std::wstring working_folder = working.ends_with(L'\\') ? working.substr(0, working.size() - 1) : working;
  std::wstring command = L"\"" + test_program_folder() + L"maneshade-sim.exe\" --events \"" + events +
                         L"\" --working-folder \"" + working_folder + L"\" \"" + scenario + L"\"";
  run_program(command, folder, events + L".out", events + L".err");
  Game_Outcome outcome;
  std::string text;
  read_whole(events, &text);
  for (size_t at = 0, end = 0; at < text.size(); at = end + 1) {
    end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    Json_Value event;
    std::string error;
    if (!parse_json(text.substr(at, end - at), &event, &error)) continue;
    std::string kind = event.str("event");
    if (kind == "load" && event.flag("ok")) outcome.loaded++;
    if (kind == "text" && event.i64("frame") == frames - 1) outcome.line = event.str("text");
    const Json_Value *components = event.get("components");
    if (kind == "final" && components && !components->items.empty()) {
      const Json_Value *tints = components->items[0].get("tints");
      if (tints && !tints->items.empty()) outcome.hair = static_cast<int>(tints->items[0].integer);
    }
  }
  return outcome;
}

// The report's advice followed, in a folder with the real module: the check then finds nothing but
// the stand-in host, and the game tints the player's settings with a loader that looks in the game
// folder alone and with one that looks in scripts or plugins too (which then finds no second copy).
TEST(CheckGameE2e, TheAdviceWorksWithEitherKindOfLoader) {
  wchar_t current[MAX_PATH * 4];
  GetCurrentDirectoryW(MAX_PATH * 4, current);
  std::wstring runs = std::wstring(current) + L"\\e2e-runs\\";
  CreateDirectoryW(runs.c_str(), nullptr);
  const std::wstring programs = test_program_folder();
  const std::string mine = full_ini("yes", 99, "no", 12);
  struct Row {
    const char *fault;
    std::wstring name;
    std::wstring subfolder;                   // scripts or plugins
    std::vector<std::wstring> modules;        // copies of ManeShade.asi, below the folder
    std::vector<std::pair<std::wstring, std::string>> files;
    std::vector<std::string> said;            // before the advice is followed
    std::vector<std::pair<std::wstring, std::wstring>> follow;  // renames (to "": delete), as the report says
  } rows[] = {
      {"the game folder's copy was to be deleted: then nothing loads with a loader that looks there alone",
       L"advice_keep_game_folder", L"scripts", {L"ManeShade.asi", L"scripts\\ManeShade.asi"},
       {{L"scripts\\ManeShade.ini", mine}},
       {"advice_keep_game_folder\\scripts\\ManeShade.asi: problem: another copy", "missing: move "},
       {{L"scripts\\ManeShade.asi", L""}, {L"scripts\\ManeShade.ini", L"ManeShade.ini"}}},
      {"the settings saved as .txt in plugins were left, and the release's copied",
       L"advice_txt_in_plugins", L"plugins", {L"ManeShade.asi", L"plugins\\ManeShade.asi"},
       {{L"plugins\\ManeShade.ini.txt", mine}},
       {"advice_txt_in_plugins\\plugins\\ManeShade.asi: problem: another copy", "ManeShade.ini.txt (Windows hides the "
        ".txt, so Explorer names it ManeShade.ini) into the game folder, named ManeShade.ini"},
       {{L"plugins\\ManeShade.asi", L""}, {L"plugins\\ManeShade.ini.txt", L"ManeShade.ini"}}},
      {"of a fragment and the whole settings under other names, the fragment was to be renamed",
       L"advice_whole_one", L"scripts", {L"ManeShade.asi"},
       {{L"ManeShade.ini.log", "[corvin]\n"}, {L"ManeShade.ini.txt", mine}},
       {"advice_whole_one\\ManeShade.ini.txt: problem: Windows hides the .txt: rename the file"},
       {{L"ManeShade.ini.txt", L"ManeShade.ini"}}},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.fault);
    std::wstring folder = runs + row.name + L"\\";
    std::wstring sub = folder + row.subfolder;
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW(sub.c_str(), nullptr);
    for (const auto &[from, to] : row.follow) DeleteFileW((folder + to).c_str());  // a run before this one's
    for (const std::wstring &at : row.modules) {
      ASSERT_TRUE(CopyFileW((programs + L"ManeShade.asi").c_str(), (folder + at).c_str(), FALSE));
    }
    ASSERT_TRUE(CopyFileW((programs + L"ScriptHookVanta.dll").c_str(), (folder + L"ScriptHookVanta.dll").c_str(), FALSE));
    for (const auto &[at, bytes] : row.files) ASSERT_TRUE(write_whole(folder + at, bytes));
    Check_Run before = run_check(folder, L"--game .", runs + row.name + L"_before.txt");
    for (const std::string &part : row.said) EXPECT_NE(before.err.find(part), std::string::npos) << before.err;
    EXPECT_EQ(before.err.find("release ZIP"), std::string::npos) << before.err;
    for (const auto &[from, to] : row.follow) {
      EXPECT_TRUE(to.empty() ? DeleteFileW((folder + from).c_str()) : MoveFileW((folder + from).c_str(), (folder + to).c_str()));
    }
    Check_Run after = run_check(folder, L"--game .", runs + row.name + L"_after.txt");
    EXPECT_EQ(count_of(after.err, "problem:"), 1u) << "the stand-in host alone\n" << after.err;
    EXPECT_NE(after.err.find("ManeShade.ini: ok: the game would use this file"), std::string::npos) << after.err;
    DeleteFileW((folder + L"ScriptHookVanta.dll").c_str());  // the game finds the stand-in beside itself
    Game_Outcome in_game_folder = play(folder, folder, runs + row.name + L"_game_folder.jsonl");
    EXPECT_EQ(in_game_folder.loaded, 1);
    EXPECT_EQ(in_game_folder.hair, 99);
    EXPECT_EQ(in_game_folder.line, "");
    Game_Outcome in_subfolder = play(sub, folder, runs + row.name + L"_subfolder.jsonl");
    EXPECT_EQ(in_subfolder.loaded, 0) << "a loader that looks in " << std::string(row.subfolder.begin(), row.subfolder.end())
                                      << " too loads no second copy";
  }
}

// `text` with its first `from` replaced by `to`.
std::string replaced(std::string text, const std::string &from, const std::string &to) {
  size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// What the report says of a file, and what the real module makes of the same file in the simulated
// game: the line it shows and corvin's hair in the last frame.
TEST(CheckFileE2e, TheGameDoesWhatTheReportSays) {
  const std::string good = full_ini("yes", 57, "no", 12);
  const std::string value_line = "Mane Shade: missing key, or failed to parse value";
  const std::string without_secondary = replaced(good, "hair_secondary = 57\n", "");
  struct Row {
    const char *fault;
    std::string ini;
    bool locked;  // held open without sharing from frame 5 on, and while the check runs
    std::string said;
    std::string line;  // the game's, in the last frame
    int hair;
  } rows[] = {
      {"a key missing from a block written twice, added under one header: the game takes it",
       without_secondary + "[Corvin]\nhair_secondary = 57\n", false, "ok: the game would use this file", "", 57},
      {"... and added under both, as the report once told: a duplicate key",
       good + "[Corvin]\nhair_secondary = 57\n", false, "duplicate key corvin.hair_secondary", "Mane Shade: duplicate key", 1},
      {"a pair after a line separator in a note is no pair",
       replaced(good, "hair_secondary", "; dark brown:\u2028hair_primary = 200\nhair_secondary"), false,
       "this line holds a U+2028 LINE SEPARATOR", "", 57},
      {"a pair after a paragraph separator in a value's note is none either",
       replaced(good, "hair_primary = 57", "hair_primary = 200 ; \u2029hair_primary = 57"), false,
       "hair_primary = 200, the rest after its ; a note", "", 200},
      {"a no-break space inside a header's brackets", replaced(good, "[mael]", "[mael\u00a0]"), false,
       "a U+00A0 NO-BREAK SPACE, is part of its name", value_line, 1},
      {"a Greek question mark is no ;", replaced(good, "hair_primary = 57", "hair_primary = 57 \u037e dark"), false,
       "U+037E GREEK QUESTION MARK, not the ASCII ;", value_line, 1},
      {"UTF-32 with its mark", utf32_le(good), false, "the file is UTF-32 (little endian, with a byte-order mark)",
       value_line, 1},
      {"a shortcut renamed ManeShade.ini", std::string("\x4C\0\0\0\x01\x14\x02\0", 8) + std::string(68, '\0'), false,
       "the file is a Windows shortcut, not a settings file", value_line, 1},
      {"held open by another program, unchanged: a running game that read it shows nothing", good, true,
       "a running game that has read this version of the file (the same time and size) keeps it and shows nothing", "",
       57},
  };
  const int frames = 15;
  int n = 0;
  for (const Row &row : rows) {
    SCOPED_TRACE(row.fault);
    Sim_Options options;
    options.scenario = "frames " + std::to_string(frames) +
                       "\nframe_time 100ms\nmodel corvin\n"
                       "component hair hair palette 3 tints 1 1 1 assets 0x1a01 0x1a02 0x1a03 0x1a04\n" +
                       (row.locked ? "at 5 ini lock\n" : "");
    options.files = {{"ManeShade.ini", row.ini}};
    Sim_Run run = run_sim("check_agrees_" + std::to_string(n++), options);
    ASSERT_TRUE(run.completed()) << run.summary();
    std::string line;
    for (const Json_Value *t : run.events_of("text")) {
      if (t->i64("frame") == frames - 1) line = t->str("text");
    }
    EXPECT_EQ(line, row.line) << run.summary();
    const Final_Component *hair = run.component("hair");
    ASSERT_NE(hair, nullptr);
    EXPECT_EQ(hair->tints[0], row.hair);

    std::wstring folder(run.folder.begin(), run.folder.end());  // the case's name is ASCII
    HANDLE held = row.locked ? CreateFileW((folder + L"ManeShade.ini").c_str(), GENERIC_READ, 0, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                             : INVALID_HANDLE_VALUE;
    Check_Run check = run_check(folder, L"ManeShade.ini", folder + L"check.txt");
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    ASSERT_TRUE(check.ended);
    EXPECT_NE(check.err.find(row.said), std::string::npos) << check.err;
  }
}

// A file dropped onto the program in Explorer arrives as its full path, in quotes when it holds
// spaces: names with spaces and letters beyond ASCII must reach the check as they are.
TEST(CheckFileE2e, ADroppedFileArrivesAsItsFullPath) {
  wchar_t current[MAX_PATH * 4];
  GetCurrentDirectoryW(MAX_PATH * 4, current);
  std::wstring runs = std::wstring(current) + L"\\e2e-runs\\";
  std::wstring folder = runs + L"My Games \u00c9t\u00e9\\";
  CreateDirectoryW(runs.c_str(), nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  std::wstring file = folder + L"Mane Shade \u00e9dit\u00e9.ini";
  ASSERT_TRUE(write_whole(file, full_ini("yes", 57, "no", 12)));
  Check_Run run = run_check(runs, L"\"" + file + L"\"", runs + L"check_dropped_report.txt");
  ASSERT_TRUE(run.ended) << "maneshade-check.exe did not start, or did not end";
  EXPECT_EQ(run.exit_code, 0u) << run.err;
  EXPECT_NE(run.err.find("Mane Shade \xC3\xA9" "dit\xC3\xA9.ini: ok: the game would use this file"), std::string::npos)
      << run.err;
}

// What a script reads from --dump, and what a console shows, as the .exe writes them: binary
// standard output, arguments in UTF-8.
TEST(CheckFileE2e, DumpAndReportAsAScriptAndAConsoleGetThem) {
  wchar_t current[MAX_PATH * 4];
  GetCurrentDirectoryW(MAX_PATH * 4, current);
  std::wstring runs = std::wstring(current) + L"\\e2e-runs\\";
  CreateDirectoryW(runs.c_str(), nullptr);
  ASSERT_TRUE(write_whole(runs + L"check_names.ini", "[\xC3\xA9]\nk = 1\n[\xE9]\nk = 2\n[corvin]\nenabled = \xC2\x9B" "2J\n"));
  ASSERT_TRUE(write_whole(runs + L"check_huge.ini", full_ini("yes", 57, "no", 12) + std::string(1 << 20, ';')));
  struct Row {
    const char *fault;
    std::wstring arguments;
    DWORD exit_code;
    std::vector<std::string> in_out;  // parts of standard output
    std::string in_err;
  } rows[] = {
      {"a name in UTF-8 and the same in ANSI came out as one JSON name; U+009B passed raw", L"--dump check_names.ini", 1,
       {"\"\xC3\xA9\":{\"k\":\"1\"}", "\"\\udce9\":{\"k\":\"2\"}", "\"enabled\":\"\\u009b2J\""},
       "corvin.enabled = \\xc2\\x9b2J: not yes, no, true or false"},
      {"a file over 1 MiB exited 1 without JSON", L"--dump check_huge.ini", 1,
       {"{\"config\":null,\"message\":\"failed to parse config file\",\"sections\":null}\n"},
       "the game would refuse this file and show:\nMane Shade: failed to parse config file\n"},
      {"\"cannot read PATH\" wrote the name's controls raw", L"\"gone\x1b]0;owned\x07\x9b.ini\"", 2, {},
       "maneshade-check: cannot read gone\\x1b]0;owned\\x07\\xc2\\x9b.ini: "},
  };
  int n = 0;
  for (const Row &row : rows) {
    Check_Run run = run_check(runs, row.arguments, runs + L"check_bytes_" + std::to_wstring(n++) + L".txt");
    ASSERT_TRUE(run.ended) << row.fault << ": maneshade-check.exe did not start, or did not end";
    // The report is text: its line ends are the console's "\r\n".
    for (size_t at = run.err.find("\r\n"); at != std::string::npos; at = run.err.find("\r\n", at)) run.err.erase(at, 1);
    EXPECT_EQ(run.exit_code, row.exit_code) << row.fault << "\n" << run.err;
    if (row.in_out.empty()) {
      EXPECT_EQ(run.out, "") << row.fault;
    }
    for (const std::string &part : row.in_out) EXPECT_NE(run.out.find(part), std::string::npos) << row.fault << "\n" << run.out;
    EXPECT_NE(run.err.find(row.in_err), std::string::npos) << row.fault << "\n" << run.err;
    EXPECT_EQ(check_first_unsafe_byte(run.err), std::string::npos) << row.fault << "\n" << run.err;
    EXPECT_EQ(check_first_control_byte(run.out), std::string::npos) << row.fault << "\n" << run.out;
  }
}

}  // namespace
