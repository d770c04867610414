// The on-screen message: one line, "Mane Shade: <message>", white with a black shadow at the top
// left of the screen, drawn on every frame while a reload failure stands.
#pragma once
#include <cstdint>
#include <string_view>

struct Arena;

// The on-screen line is this prefix, one space, and the reload's message.
constexpr std::string_view MESSAGE_LINE_PREFIX = "Mane Shade:";

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

// "Mane Shade:", one space and `message`, NUL-terminated, in `scratch`. data() is null when the
// scratch is exhausted.
std::string_view message_line(Arena *scratch, std::string_view message) noexcept;

// Draws the NUL-terminated `line` in each pass, with a new text handle per pass.
void draw_message(const char *line) noexcept;
