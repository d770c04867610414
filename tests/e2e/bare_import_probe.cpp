// bare_import_probe.asi: a module built the way ManeShade.asi was built before it imported the
// host's decorated names. It imports a bare C name, scriptWait, from ScriptHookVanta.dll, which the
// real host does not export: Windows refuses to load it (error 127), and so must the simulated game.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

extern "C" __declspec(dllimport) void scriptWait(unsigned long milliseconds);

// Never called with this reason: the reference is what puts the import into the table.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) noexcept {
  if (reason == 0xBAD) scriptWait(0);
  return TRUE;
}
