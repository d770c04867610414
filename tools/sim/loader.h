// Loading and unloading the modules, as an ASI loader does, and the registrations they make: every
// *.asi of the working folder, refused when Windows would refuse it (module_check.h), handed the
// game's functions (rebind.h), and unloaded in reverse order at the end.
#pragma once
#include "tools/sim/session.h"
#include "tools/standin-host/standin.h"

// Loads every *.asi of the working folder in name order, reporting each (and each script it
// registers) on the timeline and in the events. A refused module is counted and the others still
// load. False when a loaded module cannot be handed the game's functions: the session cannot run.
bool loader_load_modules(Session *s);

// Unloads the loaded modules, the last loaded first.
void loader_unload_modules(Session *s);

// The host's registration events. A registration while a module loads is judged once LoadLibrary
// returns its handle; any other is reported at once.
void loader_on_register(Session *s, const Standin_Event &e);
void loader_on_unregister(Session *s, const Standin_Event &e);
