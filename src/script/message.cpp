// The on-screen message; see message.h.
#include "src/script/message.h"

#include "host/bridge.h"
#include "runtime/arena.h"
#include "runtime/format.h"

std::string_view message_line(Arena *scratch, std::string_view message) noexcept {
  size_t size = MESSAGE_LINE_PREFIX.size() + 1 + message.size();
  char *line = static_cast<char *>(arena_push(scratch, size + 1, 1));
  if (!line) return {};
  Format_Buffer buffer = format_buffer(line, size);
  format_to(&buffer, "{} {}", MESSAGE_LINE_PREFIX, message);
  line[size] = '\0';
  return {line, size};
}

void draw_message(const char *line) noexcept {
  const char *const parts[] = {MESSAGE_TEXT_LITERAL, line};
  for (const Message_Pass &pass : MESSAGE_PASSES) {
    set_text_scale(pass.scale_x, pass.scale_y);
    set_text_color(pass.red, pass.green, pass.blue, pass.alpha);
    uint64_t text = make_text_string(MESSAGE_TEXT_KIND, parts);
    display_text(text, pass.x, pass.y);
  }
}
