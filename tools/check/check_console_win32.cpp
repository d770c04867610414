// Windows: binary output, the local time and the console's facts; see check_console.h.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "tools/check/check_console.h"

namespace {

// What one WriteConsoleW call takes: UTF-8 bytes, and at most as many UTF-16 units.
constexpr size_t CHECK_CONSOLE_CHUNK_BYTES = 4096;

// FILE_TYPE_CHAR is a console (or another character device, like NUL); files give FILE_TYPE_DISK,
// pipes FILE_TYPE_PIPE.
bool check_console_is_console(DWORD which) {
  HANDLE handle = GetStdHandle(which);
  return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_CHAR;
}

}  // namespace

void check_console_binary_output(FILE *file) noexcept {
  std::fflush(file);
  // _setmode returns the previous mode, or -1 when the descriptor is not valid (no console at all):
  // then there is nothing to write to anyway.
  (void)_setmode(_fileno(file), _O_BINARY);
}

bool check_console_write(FILE *file, std::string_view text) noexcept {
  int descriptor = _fileno(file);
  if (descriptor < 0) return false;
  auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
  DWORD mode = 0;
  // GetConsoleMode succeeds on a console handle alone: not on a file, a pipe or the NUL device.
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return false;
  std::fflush(file);
  wchar_t units[CHECK_CONSOLE_CHUNK_BYTES];
  while (!text.empty()) {
    size_t take = text.size() < CHECK_CONSOLE_CHUNK_BYTES ? text.size() : CHECK_CONSOLE_CHUNK_BYTES;
    // Never split a UTF-8 sequence between two chunks: back off its continuation bytes.
    while (take < text.size() && take > 1 && (static_cast<unsigned char>(text[take]) & 0xC0) == 0x80) take--;
    int count = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(take), units,
                                    static_cast<int>(CHECK_CONSOLE_CHUNK_BYTES));
    for (int at = 0; at < count;) {
      DWORD written = 0;
      if (!WriteConsoleW(handle, units + at, static_cast<DWORD>(count - at), &written, nullptr) || written == 0) return true;
      at += static_cast<int>(written);
    }
    text.remove_prefix(take);
  }
  return true;
}

std::string check_console_local_time() {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", static_cast<unsigned>(local.wHour),
                static_cast<unsigned>(local.wMinute), static_cast<unsigned>(local.wSecond));
  return text;
}

Check_Console_Facts check_console_facts() noexcept {
  Check_Console_Facts facts{};
  DWORD processes[2];
  // The number of processes attached to this console; 0 when there is none (and on failure).
  facts.processes_on_console = GetConsoleProcessList(processes, 2);
  facts.input_is_console = check_console_is_console(STD_INPUT_HANDLE);
  facts.output_is_console = check_console_is_console(STD_OUTPUT_HANDLE);
  facts.error_is_console = check_console_is_console(STD_ERROR_HANDLE);
  return facts;
}
