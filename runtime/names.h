// The module's names and units, as players and the game see them; shared by the module and the tools,
// so that each is written once.
#pragma once
#include <cstdint>
#include <string_view>

constexpr std::string_view MODULE_FILE_NAME = "ManeShade.asi";     // the module, in the game's folder
constexpr std::string_view HOST_FILE_NAME = "ScriptHookVanta.dll";  // the script-hook host library
constexpr std::string_view CONFIG_FILE_NAME = "ManeShade.ini";      // in the process's working folder

// The on-screen line is this prefix, one space, and the reload's message.
constexpr std::string_view MESSAGE_LINE_PREFIX = "Mane Shade:";

// The module's clock and file times: 100 ns ticks since 1601-01-01 UTC (Windows' FILETIME).
constexpr uint64_t TICKS_PER_SECOND = 10'000'000;
constexpr uint64_t TICKS_PER_MICROSECOND = TICKS_PER_SECOND / 1'000'000;
