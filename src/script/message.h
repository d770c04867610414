// The on-screen message: one line, "Mane Shade: <message>", white with a black shadow at the top
// left of the screen, drawn on every frame while a reload failure stands.
#pragma once
#include <cstdint>

// How the game builds a text from string arguments: the kind, then "LITERAL_STRING" and the line.
constexpr int32_t MESSAGE_TEXT_KIND = 10;
constexpr const char *MESSAGE_TEXT_LITERAL = "LITERAL_STRING";

struct Message_Pass {
  float scale_x, scale_y;
  int32_t red, green, blue, alpha;
  float x, y;  // screen position, as fractions of the screen
};

// The shadow first, offset by 0.001 in both directions, then the white line over it.
constexpr Message_Pass MESSAGE_PASSES[] = {
    {0.3f, 0.3f, 0, 0, 0, 255, 0.011f, 0.041f},
    {0.3f, 0.3f, 255, 255, 255, 255, 0.01f, 0.04f},
};

// The line itself is message_line (src/config/messages.h).
// Draws the NUL-terminated `line` in each pass, with a new text handle per pass.
void draw_message(const char *line) noexcept;
