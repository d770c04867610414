// The game's own functions that stand in for a module's imports (rebind.h puts them in place): the
// game clock for GetSystemTimeAsFileTime, and the module heap for the C runtime's malloc, calloc,
// realloc and free, through which a scenario can make a module's heap requests fail. They take no
// context, so their state is global; the modules run on the game's thread alone.
#pragma once
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstddef>
#include <cstdint>

// The game clock in FILETIME units: frame N of a session is at its clock start plus N frame times,
// less the time that clock steps set it back.
extern uint64_t game_clock_ticks;

// A GetSystemTimeAsFileTime that reads game_clock_ticks.
void WINAPI game_clock_as_filetime(LPFILETIME out);

// The modules' heap requests (malloc, calloc, realloc to a size) and frees since they were last taken.
struct Heap_Counts {
  int64_t requests = 0;
  int64_t refused = 0;  // of the requests: answered null by the game
  int64_t frees = 0;    // free of a block, or realloc to size 0
};

// From now on, the next `allowed` requests pass to the C runtime and every later one is refused.
void game_heap_fail_after(int64_t allowed);
// From now on, every request passes to the C runtime.
void game_heap_allow_all();

// The counts since the last call, which start again from zero.
Heap_Counts game_heap_take_counts();

// The stand-ins, each for the C runtime's function of the name. game_heap_set_original records the
// function that a module's import was bound to, which they call when they pass a request on.
void *__cdecl game_malloc(size_t size);
void *__cdecl game_calloc(size_t count, size_t size);
void *__cdecl game_realloc(void *block, size_t size);
void __cdecl game_free(void *block);

enum class Heap_Function { malloc, calloc, realloc, free };
void game_heap_set_original(Heap_Function function, uint64_t original);
