// What the validator's reports share; see check_report.h.
#include "tools/check/check_report.h"

#include <new>

#include "runtime/utf8.h"
#include "src/config/messages.h"
#include "tools/check/check_console.h"
#include "tools/check/check_unseen.h"
#include "tools/owned/owned.h"

namespace {

constexpr char CHECK_HEX_DIGITS[] = "0123456789abcdef";

void check_append_byte_escape(std::string *out, unsigned char byte) {
  out->append("\\x");
  out->push_back(CHECK_HEX_DIGITS[byte >> 4]);
  out->push_back(CHECK_HEX_DIGITS[byte & 0xF]);
}

// A C0 control or DEL: a terminal acts on it (moves, clears, rings) instead of showing it.
bool check_is_control_byte(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

}  // namespace

void check_write(FILE *file, std::string_view text) {
  if (text.empty() || check_console_write(file, text)) return;
  std::fwrite(text.data(), 1, text.size(), file);
}

void check_write(std::string *report, std::string_view text) { report->append(text); }

std::string check_visible(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const char *at = text.data();
  const char *end = at + text.size();
  while (at < end) {
    auto byte = static_cast<unsigned char>(*at);
    if (byte < 0x80) {
      if (check_is_control_byte(byte)) {
        check_append_byte_escape(&out, byte);
      } else {
        out.push_back(*at);
      }
      at++;
      continue;
    }
    // utf8_decode takes one byte for anything that does not start a valid sequence: a terminal
    // that is not in UTF-8 mode would read 0x9B on its own as the escape introducer.
    Utf8_Decoded decoded = utf8_decode(at, end);
    bool c1_control = decoded.size == 2 && decoded.code_point >= 0x80 && decoded.code_point <= 0x9F;
    if (decoded.size == 1 || c1_control) {
      for (uint32_t i = 0; i < decoded.size; i++) check_append_byte_escape(&out, static_cast<unsigned char>(at[i]));
    } else if (check_is_invisible(decoded.code_point)) {
      // A zero-width or bidirectional character would hide, or reorder the line around it.
      out.append(check_invisible_escape(decoded.code_point));
    } else {
      out.append(at, decoded.size);
    }
    at += decoded.size;
  }
  return out;
}

std::string check_where(std::string_view path, size_t line) {
  std::string where = check_visible(path);
  if (line > 0) {
    where.push_back(':');
    where.append(std::to_string(line));
  }
  where.append(": ");
  return where;
}

std::string check_bracketed(std::string_view section) {
  std::string text = "[";
  text.append(check_visible(section));
  text.push_back(']');
  return text;
}

const char *check_reason(Os_Error error) {
  switch (error) {
    case OS_FILE_NOT_FOUND: return "no such file";
    case OS_PATH_NOT_FOUND: return "no such folder";
    case OS_ACCESS_DENIED: return "access denied";
    case OS_SHARING_VIOLATION: return "another program has it open and does not share it";
    case OS_NOT_A_FILE: return "not a file (a device or a pipe)";
    case OS_IS_A_FOLDER: return "it is a folder, not a file";
    case OS_SYMLINK_LOOP: return "a symbolic link that leads back to itself";
    case OS_UNREACHABLE: return "its drive or network share cannot be reached";
    case OS_OUT_OF_MEMORY: return "out of memory";
    case OS_TOO_LARGE: return "too large to read";
    case OS_INVALID_PATH: return "not a valid file name";
    case OS_IO_ERROR: return "a read error";
    case OS_OK:
    case OS_OTHER: break;
  }
  return "the system would not read it";
}

std::string check_player_line(std::string_view message) {
  Owned<Arena> arena;
  std::string_view line = message_line(arena.get(), message);
  if (!line.data()) throw std::bad_alloc();
  return std::string(line);
}
