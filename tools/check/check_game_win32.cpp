// Windows: links and the system folder for --game; see check_game.h. mingw-w64's standard library
// reads a link's or a junction's status as its target's, so the attributes come from the system.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "tools/check/check_game.h"

namespace fs = std::filesystem;

bool check_game_is_link(const fs::directory_entry &entry) {
  // INVALID_FILE_ATTRIBUTES has every bit set: an entry gone since the listing is no link.
  DWORD attributes = GetFileAttributesW(entry.path().c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  // Links and junctions are name surrogates; other reparse points (a cloud drive's placeholder
  // folders) hold their own files. Wine marks a Unix link as a reparse point with no tag.
  WIN32_FIND_DATAW data{};
  HANDLE search = FindFirstFileW(entry.path().c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return true;
  FindClose(search);
  return data.dwReserved0 == 0 || IsReparseTagNameSurrogate(data.dwReserved0);
}

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
