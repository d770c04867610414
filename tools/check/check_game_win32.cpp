// Windows: the system folder for --game; see check_game.h.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "tools/check/check_game.h"

namespace fs = std::filesystem;

fs::path check_game_system_folder() {
  // GetSystemDirectoryW returns the length without the NUL, or the size needed when the buffer is
  // too small, or 0 on failure.
  std::wstring folder(MAX_PATH, L'\0');
  UINT length = GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
  if (length >= folder.size()) {
    folder.resize(length);
    length = GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
  }
  if (length == 0 || length >= folder.size()) return {};
  folder.resize(length);
  return fs::path(folder);
}
