// The script-hook host library's sixteen exports (ScriptHookVanta.dll), declared exactly as the host
// declares them, so that the module imports them as the real host exports them, and the stand-in
// host (tools/standin-host) defines them. Windows x64 only.
//
// The host is a C++ library built with MSVC: these are plain C++ functions (no extern "C"), and its
// export table holds their MSVC-decorated names, which encode every parameter type. The types below
// are therefore Windows' own (HMODULE is HINSTANCE__ *, DWORD unsigned long, UINT64 unsigned long
// long, BYTE unsigned char, WORD unsigned short, BOOL int) and must not be "tidied". MSVC derives the
// decorated names from these declarations by itself; mingw-w64 mangles C++ names differently, so
// ScriptHookVanta.def maps each mingw name to the decorated one.
#pragma once

#include "host/host_functions.h"

#if defined(SCRIPT_HOOK_BUILDING_HOST)
// The stand-in exports these through ScriptHookVanta.def, under the decorated names only.
#define SCRIPT_HOOK_API
#else
#define SCRIPT_HOOK_API __declspec(dllimport)
#endif

using Keyboard_Handler = void (*)(unsigned long key, unsigned short repeats, unsigned char scan_code, int is_extended,
                                  int is_with_alt, int was_down_before, int is_up_now);

// The host's name for the game version type: it is part of a decorated name, so it stays as it is.
enum eGameVersion : int;

// The six the module calls.
SCRIPT_HOOK_API void scriptRegister(Host_Module module, Script_Entry_Point entry);
SCRIPT_HOOK_API void scriptUnregister(Host_Module module);
SCRIPT_HOOK_API void scriptWait(Host_Dword milliseconds);
SCRIPT_HOOK_API void nativeInit(Host_Uint64 hash);
SCRIPT_HOOK_API void nativePush64(Host_Uint64 value);
SCRIPT_HOOK_API Host_Uint64 *nativeCall();

// The ten it never calls.
SCRIPT_HOOK_API void scriptRegisterAdditionalThread(Host_Module module, Script_Entry_Point entry);
SCRIPT_HOOK_API void keyboardHandlerRegister(Keyboard_Handler handler);
SCRIPT_HOOK_API void keyboardHandlerUnregister(Keyboard_Handler handler);
SCRIPT_HOOK_API Host_Uint64 *getGlobalPtr(int global_id);
SCRIPT_HOOK_API int worldGetAllVehicles(int *handles, int capacity);
SCRIPT_HOOK_API int worldGetAllPeds(int *handles, int capacity);
SCRIPT_HOOK_API int worldGetAllObjects(int *handles, int capacity);
SCRIPT_HOOK_API int worldGetAllPickups(int *handles, int capacity);
SCRIPT_HOOK_API unsigned char *getScriptHandleBaseAddress(int handle);
SCRIPT_HOOK_API eGameVersion getGameVersion();
