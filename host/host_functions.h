// The four host entry slots through which every call into the game goes. Written once by the module
// entry on process attach, before any script runs, and only read afterwards: no synchronisation.
#pragma once
#include <cstdint>

using Script_Wait_Proc = void (*)(uint32_t milliseconds);  // suspends the script; 0: until the next frame
using Native_Init_Proc = void (*)(uint64_t hash);          // begins a call with an empty argument list
using Native_Push64_Proc = void (*)(uint64_t value);       // appends one argument word
using Native_Call_Proc = uint64_t *(*)();                   // performs the call; returns the result slot

struct Host_Functions {
  Script_Wait_Proc script_wait;
  Native_Init_Proc native_init;
  Native_Push64_Proc native_push64;
  Native_Call_Proc native_call;
};

// Zero at load (plain data, no constructor runs before the entry).
extern Host_Functions host_functions;
