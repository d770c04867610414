// The game clock, and rebinding a loaded module's imports of KERNEL32 functions to the game's own:
// GetSystemTimeAsFileTime to the game clock, ReadFile to a reader through which the scenario can
// change the file right after a module has read it.
#pragma once
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>

// The game clock in FILETIME units: frame N of a session is at its clock start plus N frame times.
// A global, because the GetSystemTimeAsFileTime that answers it takes no context.
extern uint64_t game_clock_ticks;

// A GetSystemTimeAsFileTime that reads game_clock_ticks.
void WINAPI game_clock_as_filetime(LPFILETIME out);

struct Rebind_Result {
  bool ok;      // false: the module's headers or import table could not be read or changed
  int slots;    // import slots rewritten; 0 when the module does not import the function by name
  DWORD error;  // GetLastError of a failed VirtualProtect
};

// Rewrites every import slot of `module` that names `function` from KERNEL32.dll (or an API set of
// the core, which forwards to it) so that it calls `replacement`, which must have the function's
// type. Only this module's calls change; the process and other modules keep the real function.
Rebind_Result rebind_import(HMODULE module, const char *function, const void *replacement);
