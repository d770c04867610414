// The module's two exported procedures, setup and cleanup, which the entry glue (module/) calls.
#pragma once
#include <cstdint>

#include "host/host_functions.h"  // Script_Entry_Point

// Creates the runtime context and writes the module's script entry points into `out_scripts`
// (capacity `scripts_cap`); returns how many it wrote. A capacity below 1 is a broken contract and
// stops the process with a runtime assertion.
extern "C" int32_t setup(Script_Entry_Point *out_scripts, int32_t scripts_cap) noexcept;

// Does nothing. What the module holds (the runtime context: the frame scratch and the blocks kept for
// reuse) is freed by the entry at detach, after the host has let go of the script.
extern "C" void cleanup() noexcept;
