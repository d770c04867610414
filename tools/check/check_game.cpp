// The check of a game folder; see check_game.h.
#include "tools/check/check_game.h"

#include "tools/check/check.h"

int check_game(std::string_view dir, FILE *err) {
  check_write(err, "maneshade-check: --game is not built yet: " + std::string(dir) + "\n");
  return CHECK_EXIT_NOT_CHECKED;
}
