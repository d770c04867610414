// Loading and unloading the modules, as an ASI loader does, and the registrations they make: every
// *.asi of the game's folder, refused when Windows would refuse it (module_check.h), handed the
// game's functions (rebind.h), and unloaded in reverse order at the end.
#pragma once
#include "tools/sim/session.h"
#include "tools/standin-host/standin.h"

// Loads every *.asi of the game's folder `folder` ("" for the working folder, or a path ending in a
// separator) in name order into `modules`, reporting each (and each script it registers) on the
// timeline and in the events. A refused module is counted and the others still load. Each is handed
// the game's functions (the game clock unless `wall_clock`). False when a loaded module cannot be:
// the session cannot run.
bool loader_load_modules(Module_List *modules, Session_Record *record, bool wall_clock, const std::wstring &folder);

// Unloads the loaded modules, the last loaded first.
void loader_unload_modules(Module_List *modules, Session_Record *record);

// The host's registration events. A registration while a module loads is judged once LoadLibrary
// returns its handle; any other is reported at once.
void loader_on_register(Module_List *modules, Session_Record *record, const Standin_Event &e);
void loader_on_unregister(Module_List *modules, Session_Record *record, const Standin_Event &e);
