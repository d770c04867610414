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
       "expected yes/no: \\xc2\\x9b2J"},
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
    EXPECT_EQ(check_first_unsafe_byte(run.out), std::string::npos) << row.fault << "\n" << run.out;
  }
}

}  // namespace
