// POSIX: links and the system folder for --game; see check_game.h. A game folder here is one that
// a compatibility layer runs, whose system folder lies in a prefix this program does not know.
#include "tools/check/check_game.h"

namespace fs = std::filesystem;

bool check_game_is_link(const fs::directory_entry &entry) {
  std::error_code ignored;
  return entry.symlink_status(ignored).type() == fs::file_type::symlink;
}

fs::path check_game_system_folder() { return {}; }
