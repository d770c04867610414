// maneshade-check --game DIR: is a game folder set up so that Mane Shade loads and works? Checks the
// module, the host library and ManeShade.ini in DIR and says what to fix, one line per finding.
#pragma once
#include <cstdio>
#include <string_view>

constexpr std::string_view MODULE_FILE_NAME = "ManeShade.asi";     // the module, in the game's folder
constexpr std::string_view HOST_FILE_NAME = "ScriptHookVanta.dll";  // the script-hook host library

// The exit status of `maneshade-check --game DIR`: 0 when all is well, 1 otherwise. The findings
// go to `err`. Throws std::bad_alloc.
int check_game(std::string_view dir, FILE *err);
