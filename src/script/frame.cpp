// The frame loop; see frame.h.
#include "src/script/frame.h"

#include "host/bridge.h"
#include "runtime/arena.h"
#include "src/config/messages.h"
#include "src/config/reload.h"
#include "src/script/message.h"
#include "src/script/tint.h"

Frame_State frame_state_initial() noexcept {
  Frame_State state{};
  state.message = "";
  state.places = SETTINGS_WORKING_FOLDER_ONLY;
  return state;
}

void run_frame(Frame_State *state) noexcept {
  Reload_Result reload = update_config(&state->config, &state->reload_state, state->places);
  if (!reload.unchanged) state->message = reload.message;

  if (state->message[0] != '\0') {
    Arena *scratch = frame_scratch();
    std::string_view line = message_line(scratch, state->message);
    if (line.data()) draw_message(line.data());
  }

  tint_pass(state->config);
}

extern "C" void script_main() noexcept {
  Frame_State state = frame_state_initial();
  // The module's folder is named once, here on the script's thread rather than in the DLL entry.
  state.places = settings_places(lasting_memory());
  for (;;) {
    run_frame(&state);
    script_wait(0);
    arena_release(frame_scratch());
  }
}
