// maneshade_probe.asi: a test module for the end-to-end tests, loaded beside ManeShade.asi. It shows
// what a module sees of the host and the game clock: every 100 ms of game time it pushes the system
// time it reads as the argument of a native the game does not know. In its first frame it misuses
// the calling sequence once in each way the host must report; at load it calls a native outside
// any script.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "host/script_hook.h"
#include "tests/e2e/probe.h"

namespace {

void probe_main() {
  nativeCall();  // without nativeInit
  nativeInit(PROBE_OVERFLOW);
  for (uint64_t i = 0; i < PROBE_OVERFLOW_PUSHES; i++) nativePush64(i);
  nativeCall();
  for (;;) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    nativeInit(PROBE_CLOCK);
    nativePush64((uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime);
    nativeCall();
    scriptWait(PROBE_WAIT_MS);
  }
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) noexcept {
  if (reason == DLL_PROCESS_ATTACH) {
    nativeInit(PROBE_AT_LOAD);
    nativeCall();
    scriptRegister(module, probe_main);
  }
  if (reason == DLL_PROCESS_DETACH) scriptUnregister(module);
  return TRUE;
}
