// The four host entry slots through which every call into the game goes. Written once by the module
// entry on process attach, before any script runs, and only read afterwards: no synchronisation.
#pragma once
#include <cstdint>

// The host's own parameter types (Windows' HMODULE, DWORD and UINT64). The slots hold the host's
// functions themselves, so their types are the host's, not <cstdint>'s: on Windows uint64_t is the
// same type, but DWORD is unsigned long, not uint32_t. Portable code sees only an opaque handle.
struct HINSTANCE__;
using Host_Module = HINSTANCE__ *;
using Host_Dword = unsigned long;
using Host_Uint64 = unsigned long long;

using Script_Entry_Point = void (*)();

using Script_Wait_Proc = void (*)(Host_Dword milliseconds);  // suspends the script; 0: until the next frame
using Native_Init_Proc = void (*)(Host_Uint64 hash);          // begins a call with an empty argument list
using Native_Push64_Proc = void (*)(Host_Uint64 value);       // appends one argument word
using Native_Call_Proc = Host_Uint64 *(*)();                   // performs the call; returns the result slot

struct Host_Functions {
  Script_Wait_Proc script_wait;
  Native_Init_Proc native_init;
  Native_Push64_Proc native_push64;
  Native_Call_Proc native_call;
};

// Zero at load (plain data, no constructor runs before the entry).
extern Host_Functions host_functions;
