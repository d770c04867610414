// Rebinding a loaded module's imports to the game's own functions (hooks.h, and the reader of
// steps.h): only that module's calls change; the process and other modules keep the real ones.
#pragma once
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "tools/sim/session.h"

struct Rebind_Result {
  bool ok;            // false: the module's headers or import table could not be read or changed
  int slots;          // import slots rewritten; 0 when the module does not import the function by name
  DWORD error;        // GetLastError of a failed VirtualProtect
  uint64_t original;  // what the last slot rewritten held: the function the loader had bound
};

// Rewrites every import slot of `module` that names `function` from one of `dlls` so that it calls
// `replacement`, which must have the function's type. DLL names compare as Windows compares them;
// a name ending in '*' stands for every DLL whose name begins with the rest (an API set family).
Rebind_Result rebind_import(HMODULE module, std::span<const std::string_view> dlls, const char *function,
                            const void *replacement);

// Hands the loaded module `handle` the game's functions: its ReadFile, its heap functions and,
// unless the session keeps the real clock (`wall_clock`), its GetSystemTimeAsFileTime. Reports each
// on the timeline and in the events under the file name `shown`. False when the module's import
// table cannot be changed: the session cannot run.
bool rebind_module(const Output_Files &files, bool wall_clock, const std::string &shown, HMODULE handle);
