// The module's DLL entry: hands the host's exports to the attach and detach glue and does nothing
// else. It runs under the loader lock, so it allocates nothing, reads no file and starts no thread.
// With mingw-w64, and in the MSVC mode's link, it is the image's entry point itself
// (module/CMakeLists.txt): no C runtime start-up runs before it, no static constructor at all.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "module/attach.h"
#include "host/script_hook.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) noexcept {
  // Imported addresses are only known once the loader has bound them, so this is no constant.
  const Host_Exports host = {scriptRegister, scriptUnregister, scriptWait, nativeInit, nativePush64, nativeCall};
  if (reason == DLL_PROCESS_ATTACH) {
    // Thread attach and detach do nothing: the loader need not call the module for the game's
    // threads at all (it has no thread-local storage that would need them).
    DisableThreadLibraryCalls(module);
    module_attach(module, host);
  }
  // A non-null `reserved` at detach: the process is ending, not FreeLibrary.
  if (reason == DLL_PROCESS_DETACH) module_detach(module, host, reserved ? Module_Detach::process_exit : Module_Detach::unload);
  return TRUE;
}
