// The player's line; see messages.h.
#include "src/config/messages.h"

#include "runtime/arena.h"
#include "runtime/format.h"

std::string_view message_line(Arena *arena, std::string_view message) noexcept {
  size_t size = MESSAGE_LINE_PREFIX.size() + 1 + message.size();
  char *line = static_cast<char *>(arena_push(arena, size + 1, 1));
  if (!line) return {};
  Format_Buffer buffer = format_buffer(line, size);
  format_to(&buffer, "{} {}", MESSAGE_LINE_PREFIX, message);
  line[size] = '\0';
  return {line, size};
}
