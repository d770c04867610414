// The module entry's work on attach and detach; see attach.h.
#include "module/attach.h"

#include "runtime/arena.h"

void module_attach(Host_Module module, const Host_Exports &host, const Module_Exports &exports) noexcept {
  host_functions.script_wait = host.script_wait;
  host_functions.native_init = host.native_init;
  host_functions.native_push64 = host.native_push64;
  host_functions.native_call = host.native_call;

  // Only the slots below the returned count are read; the rest are never cleared.
  Script_Entry_Point scripts[MODULE_SCRIPT_SLOTS];
  int32_t count = exports.setup(scripts, MODULE_SCRIPT_SLOTS);
  for (int32_t i = 0; i < count; i++) host.script_register(module, scripts[i]);
}

void module_detach(Host_Module module, const Host_Exports &host, Module_Detach why,
                   const Module_Exports &exports) noexcept {
  exports.cleanup();
  if (why == Module_Detach::process_exit) return;
  host.script_unregister(module);
  runtime_context_destroy();
}
