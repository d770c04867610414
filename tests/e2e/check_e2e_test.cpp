// maneshade-check.exe as a player runs it: --game in a game folder holding the real built
// ManeShade.asi, the stand-in ScriptHookVanta.dll and the shipped kind of ManeShade.ini; and a file
// dropped onto it.
#include <gtest/gtest.h>

#include <string>

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
};

// Runs `maneshade-check.exe ARGUMENTS` in `folder`, its report (standard error) to a file beside it.
Check_Run run_check(const std::wstring &folder, const std::wstring &arguments, const std::wstring &report) {
  Check_Run run;
  std::wstring command = L"\"" + test_program_folder() + L"maneshade-check.exe\" " + arguments;
  Program_Run program = run_program(command, folder, report + L".out", report);
  run.ended = program.ended;
  run.exit_code = program.exit_code;
  read_whole(report, &run.err);
  return run;
}

size_t count_of(const std::string &text, const std::string &part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) count++;
  return count;
}

// The built module really imports what the stand-in exports, so the only finding is the stand-in.
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
  EXPECT_NE(run.err.find("ScriptHookVanta.dll: ok: exports all 6 functions that ManeShade.asi imports"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("ManeShade.ini: ok: the game would use this file (corvin on, mael off)"), std::string::npos)
      << run.err;
  EXPECT_EQ(count_of(run.err, "problem:"), 1u) << run.err;
  EXPECT_NE(run.err.find("maneshade-check: .: 1 problem to fix (above)"), std::string::npos) << run.err;
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

}  // namespace
