// The game clock, and handing it to a loaded module as its system clock: rebinds the module's
// imported GetSystemTimeAsFileTime (from KERNEL32 or its sysinfo API set) to a function of the caller's.
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

using System_Time_Proc = void(WINAPI *)(LPFILETIME out);

struct Rebind_Result {
  bool ok;      // false: the module's headers or import table could not be read or changed
  int slots;    // import slots rewritten; 0 when the module does not import the function by name
  DWORD error;  // GetLastError of a failed VirtualProtect
};

// Rewrites every import slot of `module` that names GetSystemTimeAsFileTime so that it calls
// `replacement`. Only this module's calls change; the process and other modules keep the real clock.
Rebind_Result rebind_system_time(HMODULE module, System_Time_Proc replacement);
