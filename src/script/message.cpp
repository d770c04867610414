// The on-screen message; see message.h.
#include "src/script/message.h"

#include "host/bridge.h"

void draw_message(const char *line) noexcept {
  const char *const parts[] = {MESSAGE_TEXT_LITERAL, line};
  for (const Message_Pass &pass : MESSAGE_PASSES) {
    set_text_scale(pass.scale_x, pass.scale_y);
    set_text_color(pass.red, pass.green, pass.blue, pass.alpha);
    uint64_t text = make_text_string(MESSAGE_TEXT_KIND, parts);
    display_text(text, pass.x, pass.y);
  }
}
