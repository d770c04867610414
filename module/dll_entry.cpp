// The module's DLL entry: hands the host's exports to the attach and detach glue and does nothing
// else. It runs under the loader lock, so it allocates nothing, reads no file and starts no thread.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "module/attach.h"
#include "host/script_hook.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) noexcept {
  // Imported addresses are only known once the loader has bound them, so this is no constant.
  const Host_Exports host = {scriptRegister, scriptUnregister, scriptWait, nativeInit, nativePush64, nativeCall};
  try {
    if (reason == DLL_PROCESS_ATTACH) module_attach(module, host);
    // A non-null `reserved` at detach: the process is ending, not FreeLibrary.
    if (reason == DLL_PROCESS_DETACH) module_detach(module, host, reserved ? Module_Detach::process_exit : Module_Detach::unload);
  } catch (...) {
    // Nothing the entry calls throws; this only keeps an exception from reaching the loader.
  }
  return TRUE;
}
