// The stand-in host's own exports, beyond the sixteen of ScriptHookVanta.dll: what a simulated game
// (tools/sim) needs to answer natives, watch what a module does and drive frames. Windows x64 only.
// None of these exist in the real host; a module must never call them.
#pragma once
#include <cstdint>

#include "host/script_hook.h"

#if defined(SCRIPT_HOOK_BUILDING_HOST)
#define STANDIN_API extern "C" __declspec(dllexport)
#else
#define STANDIN_API extern "C" __declspec(dllimport)
#endif

// Words in the result slot that nativeCall hands back; all zero before a handler runs.
constexpr int32_t STANDIN_RESULT_WORDS = 4;
// Argument words one call may carry; a push beyond this is reported and dropped.
constexpr int32_t STANDIN_MAX_ARGS = 32;
// Scripts and native handlers the host keeps at once.
constexpr int32_t STANDIN_MAX_SCRIPTS = 64;
constexpr int32_t STANDIN_MAX_HANDLERS = 64;

// One native call as a handler sees it. `args` holds the words exactly as pushed; the handler
// writes its answer into `result` (STANDIN_RESULT_WORDS words, zeroed) and may leave it alone.
struct Standin_Call {
  uint64_t hash;
  const uint64_t *args;
  int32_t arg_count;
  uint64_t *result;
};
using Standin_Native_Handler = void (*)(void *context, const Standin_Call *call);

enum Standin_Event_Kind : int32_t {
  STANDIN_EVENT_SCRIPT_REGISTERED = 1,    // module, entry
  STANDIN_EVENT_SCRIPT_UNREGISTERED = 2,  // module (once per scriptUnregister call)
  STANDIN_EVENT_NATIVE_CALL = 3,          // hash, args, result, flags
  STANDIN_EVENT_PROBLEM = 4,              // text: a misuse of the host, also written to stderr
  STANDIN_EVENT_SCRIPT_RETURNED = 5,      // module, entry: a script's entry point returned or threw
};

// Flags of a native call event.
constexpr uint32_t STANDIN_CALL_UNKNOWN = 1;         // no handler for the hash: answered zeros
constexpr uint32_t STANDIN_CALL_OUTSIDE_SCRIPT = 2;  // not called from a script's fiber
constexpr uint32_t STANDIN_CALL_NOT_BEGUN = 4;       // nativeCall without nativeInit: hash reads 0
constexpr uint32_t STANDIN_CALL_TOO_MANY_ARGS = 8;   // pushes beyond STANDIN_MAX_ARGS were dropped

// Every event of the host, delivered synchronously on the thread where it happens. Pointers in it
// are valid only during the observer call.
struct Standin_Event {
  int32_t kind;
  uint32_t flags;
  void *module;
  Script_Entry_Point entry;
  uint64_t hash;
  const uint64_t *args;
  int32_t arg_count;
  const uint64_t *result;
  int32_t result_count;
  const char *text;
};
using Standin_Observer = void (*)(void *context, const Standin_Event *event);

// Answers calls of `hash` with `handler` from now on (replacing any earlier one; a null handler
// removes it). Returns 0 when the handler table is full, else 1.
STANDIN_API int32_t standin_set_native_handler(uint64_t hash, Standin_Native_Handler handler, void *context);

// Sends every later event to `observer` (null: to nobody).
STANDIN_API void standin_set_observer(Standin_Observer observer, void *context);

// Runs one frame at `game_time_us` (microseconds of game time, never decreasing): on the calling
// thread, which becomes the game's fiber on the first call, every registered script whose wait is
// over runs until it calls scriptWait. A script registered before this frame starts in it.
// Must not be called from a script. Returns the number of scripts that ran.
STANDIN_API int32_t standin_run_frame(uint64_t game_time_us);

// Scripts registered and not yet unregistered (returned ones included).
STANDIN_API int32_t standin_script_count();
