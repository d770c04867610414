// The stand-in ScriptHookVanta.dll: runs each registered script on its own fiber, once per frame,
// and hands every native call to the handler that the simulated game registered for its hash.
// Single-threaded by design: everything happens on the game's thread (the game fiber and the
// script fibers it switches to), so no state here is locked.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "tools/standin-host/standin.h"

namespace {

struct Script {
  Host_Module module;
  Script_Entry_Point entry;
  void *fiber;                // null until the script starts
  uint64_t registered_frame;  // frames run when it was registered; it starts in a later one
  uint64_t wake_time_us;      // runs again on the first frame at or after this time
  bool returned;              // the entry point came back (or threw): never resumed
  bool removed;               // unregistered while running; its fiber is deleted once it is left
};

struct Handler {
  uint64_t hash;
  Standin_Native_Handler proc;
  void *context;
};

struct Pending_Call {
  bool begun;
  uint64_t hash;
  uint64_t args[STANDIN_MAX_ARGS];
  int32_t arg_count;
  bool overflow;
};

// Plain zero-initialised data: no constructor of its own runs before the DLL entry. A script's slot never moves
// while it is registered (its fiber holds the slot's address); `scripts` keeps registration order.
Script script_slots[STANDIN_MAX_SCRIPTS];
bool slot_used[STANDIN_MAX_SCRIPTS];
Script *scripts[STANDIN_MAX_SCRIPTS];
int32_t script_total;
Handler handlers[STANDIN_MAX_HANDLERS];
int32_t handler_total;
Standin_Observer observer;
void *observer_context;
void *game_fiber;
Script *current_script;  // the script whose fiber runs now; null on the game fiber
uint64_t frames_run;
uint64_t frame_time_us;
Pending_Call pending;
uint64_t result_slot[STANDIN_RESULT_WORDS];

void standin_emit(const Standin_Event &event) {
  if (observer) observer(observer_context, &event);
}

void standin_problem(const char *text) {
  std::fprintf(stderr, "ScriptHookVanta (stand-in): %s\n", text);
  std::fflush(stderr);
  Standin_Event event{};
  event.kind = STANDIN_EVENT_PROBLEM;
  event.text = text;
  standin_emit(event);
}

const Handler *standin_handler_for(uint64_t hash) {
  for (int32_t i = 0; i < handler_total; i++) {
    if (handlers[i].hash == hash) return &handlers[i];
  }
  return nullptr;
}

void WINAPI standin_fiber_main(void *parameter) {
  Script *script = static_cast<Script *>(parameter);
  try {
    script->entry();
  } catch (...) {
    standin_problem("a script's entry point threw an exception");
  }
  script->returned = true;
  Standin_Event event{};
  event.kind = STANDIN_EVENT_SCRIPT_RETURNED;
  event.module = script->module;
  event.entry = script->entry;
  standin_emit(event);
  // A fiber's procedure must never return (that would end the thread): park it for good.
  for (;;) SwitchToFiber(game_fiber);
}

void standin_forget_removed() {
  int32_t kept = 0;
  for (int32_t i = 0; i < script_total; i++) {
    Script *script = scripts[i];
    if (!script->removed) {
      scripts[kept++] = script;
      continue;
    }
    if (script->fiber) DeleteFiber(script->fiber);
    *script = Script{};
    slot_used[script - script_slots] = false;
  }
  for (int32_t i = kept; i < script_total; i++) scripts[i] = nullptr;
  script_total = kept;
}

Script *standin_take_slot() {
  for (int32_t i = 0; i < STANDIN_MAX_SCRIPTS; i++) {
    if (slot_used[i]) continue;
    slot_used[i] = true;
    script_slots[i] = Script{};
    return &script_slots[i];
  }
  return nullptr;
}

bool standin_ensure_game_fiber() {
  if (game_fiber) return true;
  game_fiber = ConvertThreadToFiber(nullptr);
  if (game_fiber) return true;
  standin_problem("ConvertThreadToFiber failed: no script can run");
  return false;
}

}  // namespace

// ---- The six exports a module calls. ----

void scriptRegister(Host_Module module, Script_Entry_Point entry) {
  if (!entry) {
    standin_problem("scriptRegister with a null entry point: ignored");
    return;
  }
  Script *script = script_total < STANDIN_MAX_SCRIPTS ? standin_take_slot() : nullptr;
  if (!script) {
    standin_problem("scriptRegister: too many scripts, ignored");
    return;
  }
  scripts[script_total++] = script;
  script->module = module;
  script->entry = entry;
  script->registered_frame = frames_run;
  Standin_Event event{};
  event.kind = STANDIN_EVENT_SCRIPT_REGISTERED;
  event.module = module;
  event.entry = entry;
  standin_emit(event);
}

// Called from a module's DllMain during FreeLibrary, under the loader lock: it only deletes
// fibers and compacts an array.
void scriptUnregister(Host_Module module) {
  Standin_Event event{};
  event.kind = STANDIN_EVENT_SCRIPT_UNREGISTERED;
  event.module = module;
  standin_emit(event);
  for (int32_t i = 0; i < script_total; i++) {
    if (scripts[i]->module == module) scripts[i]->removed = true;
  }
  // A script cannot delete the fiber it runs on; standin_run_frame forgets it once it has left.
  if (!current_script) standin_forget_removed();
}

void scriptWait(Host_Dword milliseconds) {
  if (!current_script) {
    standin_problem("scriptWait called outside a script: ignored");
    return;
  }
  current_script->wake_time_us = frame_time_us + uint64_t{milliseconds} * 1000;
  SwitchToFiber(game_fiber);
}

void nativeInit(Host_Uint64 hash) {
  if (pending.begun) {
    char text[128];
    std::snprintf(text, sizeof text, "nativeInit(0x%016" PRIx64 ") while the call of 0x%016" PRIx64
                  " was never performed: that call is dropped", hash, pending.hash);
    standin_problem(text);
  }
  pending.begun = true;
  pending.hash = hash;
  pending.arg_count = 0;
  pending.overflow = false;
}

void nativePush64(Host_Uint64 value) {
  if (!pending.begun) {
    standin_problem("nativePush64 without nativeInit: the word is dropped");
    return;
  }
  if (pending.arg_count == STANDIN_MAX_ARGS) {
    if (!pending.overflow) {
      char text[128];
      std::snprintf(text, sizeof text, "native 0x%016" PRIx64 ": more than %d arguments pushed; the rest are dropped",
                    pending.hash, static_cast<int>(STANDIN_MAX_ARGS));
      standin_problem(text);
    }
    pending.overflow = true;
    return;
  }
  pending.args[pending.arg_count++] = value;
}

Host_Uint64 *nativeCall() {
  std::memset(result_slot, 0, sizeof result_slot);
  Standin_Event event{};
  event.kind = STANDIN_EVENT_NATIVE_CALL;
  if (!pending.begun) {
    standin_problem("nativeCall without nativeInit: answered zeros");
    event.flags |= STANDIN_CALL_NOT_BEGUN;
    pending.arg_count = 0;
  }
  if (!current_script) {
    char text[128];
    std::snprintf(text, sizeof text, "native 0x%016" PRIx64 " called outside a script", pending.hash);
    standin_problem(text);
    event.flags |= STANDIN_CALL_OUTSIDE_SCRIPT;
  }
  if (pending.overflow) event.flags |= STANDIN_CALL_TOO_MANY_ARGS;
  uint64_t hash = pending.begun ? pending.hash : 0;
  const Handler *handler = pending.begun ? standin_handler_for(hash) : nullptr;
  if (pending.begun && !handler) {
    char text[96];
    std::snprintf(text, sizeof text, "unknown native 0x%016" PRIx64 ": answered zeros", hash);
    standin_problem(text);
    event.flags |= STANDIN_CALL_UNKNOWN;
  }
  if (handler) {
    Standin_Call call{hash, pending.args, pending.arg_count, result_slot};
    handler->proc(handler->context, &call);
  }
  pending.begun = false;
  event.hash = hash;
  event.args = pending.args;
  event.arg_count = pending.arg_count;
  event.result = result_slot;
  event.result_count = STANDIN_RESULT_WORDS;
  event.module = current_script ? current_script->module : nullptr;
  standin_emit(event);
  return result_slot;
}

// ---- The ten a module may import but this host never needs: harmless answers. ----

void scriptRegisterAdditionalThread(Host_Module, Script_Entry_Point) {}
void keyboardHandlerRegister(Keyboard_Handler) {}
void keyboardHandlerUnregister(Keyboard_Handler) {}
Host_Uint64 *getGlobalPtr(int) { return nullptr; }
int worldGetAllVehicles(int *, int) { return 0; }
int worldGetAllPeds(int *, int) { return 0; }
int worldGetAllObjects(int *, int) { return 0; }
int worldGetAllPickups(int *, int) { return 0; }
unsigned char *getScriptHandleBaseAddress(int) { return nullptr; }
eGameVersion getGameVersion() { return eGameVersion{}; }

// ---- The simulated game's side. ----

STANDIN_API int32_t standin_set_native_handler(uint64_t hash, Standin_Native_Handler handler, void *context) {
  for (int32_t i = 0; i < handler_total; i++) {
    if (handlers[i].hash != hash) continue;
    if (handler) {
      handlers[i].proc = handler;
      handlers[i].context = context;
    } else {
      handlers[i] = handlers[--handler_total];
    }
    return 1;
  }
  if (!handler) return 1;
  if (handler_total == STANDIN_MAX_HANDLERS) return 0;
  handlers[handler_total++] = Handler{hash, handler, context};
  return 1;
}

STANDIN_API void standin_set_observer(Standin_Observer proc, void *context) {
  observer = proc;
  observer_context = context;
}

STANDIN_API int32_t standin_run_frame(uint64_t game_time_us) {
  if (current_script) {
    standin_problem("standin_run_frame called from a script: ignored");
    return 0;
  }
  if (!standin_ensure_game_fiber()) return 0;
  frames_run++;
  frame_time_us = game_time_us;
  int32_t ran = 0;
  // By index: a script may register another one while it runs (it starts next frame).
  for (int32_t i = 0; i < script_total; i++) {
    Script *script = scripts[i];
    if (script->removed || script->returned || script->registered_frame >= frames_run) continue;
    if (script->fiber && script->wake_time_us > game_time_us) continue;
    if (!script->fiber) {
      script->fiber = CreateFiber(0, standin_fiber_main, script);
      if (!script->fiber) {
        standin_problem("CreateFiber failed: the script is dropped");
        script->removed = true;
        continue;
      }
    }
    current_script = script;
    SwitchToFiber(script->fiber);
    current_script = nullptr;
    ran++;
  }
  standin_forget_removed();
  return ran;
}

STANDIN_API int32_t standin_script_count() { return script_total; }
