// The frame loop: the module's one script, one pass per game frame.
#pragma once
#include "src/config/config.h"
#include "src/config/reload.h"

// Owned by script_main for the life of the script.
struct Frame_State {
  Config config;               // all zero at start: both characters off
  Reload_State reload_state;   // both timestamps 0 at start
  const char *message;         // the current message, a constant text; "" when none
  Settings_Places places;      // where the settings file is looked for
};

// The state at start, looking for the settings file in the working folder only; script_main adds
// the place beside the module.
Frame_State frame_state_initial() noexcept;

// One pass without its yield: the settings refresh, the message and the tint pass.
void run_frame(Frame_State *state) noexcept;

// The script entry point: runs a pass, yields to the host until the next frame, releases the frame
// scratch, for ever.
extern "C" void script_main() noexcept;
