// The script-hook host library's exports (ScriptHookVanta.dll), as the module imports them and as
// the stand-in host (tools/standin-host) defines them. Windows x64 only: one calling convention.
#pragma once
#include <cstdint>

#if defined(SCRIPT_HOOK_BUILDING_HOST)
#define SCRIPT_HOOK_API extern "C" __declspec(dllexport)
#else
#define SCRIPT_HOOK_API extern "C" __declspec(dllimport)
#endif

using Script_Entry = void (*)();
using Keyboard_Handler = void (*)(uint32_t key, uint16_t repeats, uint8_t scan_code, int32_t is_extended,
                                  int32_t is_with_alt, int32_t was_down_before, int32_t is_up_now);

// The six the module calls.
SCRIPT_HOOK_API void scriptRegister(void *module, Script_Entry entry);
SCRIPT_HOOK_API void scriptUnregister(void *module);
SCRIPT_HOOK_API void scriptWait(uint32_t milliseconds);
SCRIPT_HOOK_API void nativeInit(uint64_t hash);
SCRIPT_HOOK_API void nativePush64(uint64_t value);
SCRIPT_HOOK_API uint64_t *nativeCall();

// The ten it never calls.
SCRIPT_HOOK_API uint8_t *getScriptHandleBaseAddress(int32_t handle);
SCRIPT_HOOK_API int32_t worldGetAllPickups(int32_t *handles, int32_t capacity);
SCRIPT_HOOK_API void keyboardHandlerRegister(Keyboard_Handler handler);
SCRIPT_HOOK_API void scriptRegisterAdditionalThread(void *module, Script_Entry entry);
SCRIPT_HOOK_API int32_t worldGetAllPeds(int32_t *handles, int32_t capacity);
SCRIPT_HOOK_API int32_t worldGetAllObjects(int32_t *handles, int32_t capacity);
SCRIPT_HOOK_API void keyboardHandlerUnregister(Keyboard_Handler handler);
SCRIPT_HOOK_API int32_t worldGetAllVehicles(int32_t *handles, int32_t capacity);
SCRIPT_HOOK_API int32_t getGameVersion();
SCRIPT_HOOK_API uint64_t *getGlobalPtr(int32_t global_id);
