// maneshade-check --game DIR: is a game folder set up so that Mane Shade loads and works? Checks the
// module, the host library and ManeShade.ini in DIR and says what to fix, one line per finding.
#pragma once
#include <cstdio>
#include <filesystem>
#include <string_view>

constexpr std::string_view MODULE_FILE_NAME = "ManeShade.asi";     // the module, in the game's folder
constexpr std::string_view HOST_FILE_NAME = "ScriptHookVanta.dll";  // the script-hook host library

// The exit status of `maneshade-check --game DIR`: 0 when all is well, 1 otherwise. The findings
// go to `err`. Throws std::bad_alloc.
int check_game(std::string_view dir, FILE *err);

// @per_os_impl Whether `entry` is a link or a junction to a folder, which the search below DIR
// does not look into. check_game_win32.cpp and check_game_posix.cpp; CMake picks.
bool check_game_is_link(const std::filesystem::directory_entry &entry);

// @per_os_impl The folder where Windows finds the system's DLLs (System32), or empty where there
// is none to look in.
std::filesystem::path check_game_system_folder();
