// What the module entry does on process attach and detach, written against the host's exports
// passed in as data, so that it runs (and is tested) without the real host.
#pragma once
#include "host/host_functions.h"
#include "src/script/exports.h"

constexpr int32_t MODULE_SCRIPT_SLOTS = 64;

using Script_Register_Proc = void (*)(Host_Module module, Script_Entry_Point entry);
using Script_Unregister_Proc = void (*)(Host_Module module);

struct Host_Exports {
  Script_Register_Proc script_register;
  Script_Unregister_Proc script_unregister;
  Script_Wait_Proc script_wait;
  Native_Init_Proc native_init;
  Native_Push64_Proc native_push64;
  Native_Call_Proc native_call;
};

using Setup_Proc = int32_t (*)(Script_Entry_Point *out_scripts, int32_t scripts_cap) noexcept;
using Cleanup_Proc = void (*)() noexcept;

// The module's own exports as the entry calls them: `setup` and `cleanup` in the module.
struct Module_Exports {
  Setup_Proc setup;
  Cleanup_Proc cleanup;
};

constexpr Module_Exports MODULE_EXPORTS = {setup, cleanup};

// Fills the Host_Functions slots (wait, init, push, call, in that order), asks `setup` for the
// script entry points and registers each with the host under `module`.
void module_attach(Host_Module module, const Host_Exports &host, const Module_Exports &exports = MODULE_EXPORTS) noexcept;

// Why the module is being detached: the entry's reserved argument tells them apart.
enum class Module_Detach : uint8_t {
  unload,        // FreeLibrary: the process goes on
  process_exit,  // the process is ending; other DLLs may already be gone
};

// Calls `cleanup`; then, on an unload, withdraws the module's scripts from the host and shuts the
// runtime down (its memory goes back to the heap). At process exit it calls nothing in another
// DLL, as Windows' rules for DLL entries ask: the host may be gone, and the memory goes with the
// process.
void module_detach(Host_Module module, const Host_Exports &host, Module_Detach why,
                   const Module_Exports &exports = MODULE_EXPORTS) noexcept;
