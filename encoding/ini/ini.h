// The INI reader: the text of an INI file in, a Section_Map out. What keys mean and how values are
// converted is left to the configuration layer (src/config).
//
// Syntax, in brief: lines are cut at "\n" (a "\r" before it is dropped) and trimmed of white space
// (text.h); a UTF-8 byte-order mark at the very start of the text is skipped. A trimmed line that
// is empty is skipped; one starting with "[" names the current section (up to the first "]", or the
// end of the line); one starting with `comment_prefix` is a comment; any other line is a pair split
// at its separator, or skipped when it has no "=". The separator is the "=" of the first " =" when
// the line has no double quote before that " =" other than at its very start, and the first "="
// otherwise. Key and value are trimmed, then unquoted (see `unquote`); keys are lowercased when
// asked. Pairs before the first header belong to the section with the empty name. The last
// occurrence of a key wins; a header seen twice continues the same section; a header with no pairs
// under it creates no section. The reader never fails on syntax.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/platform.h"
#include "runtime/format.h"

struct Ini_Options {
  std::string_view comment_prefix;  // a trimmed line starting with it is skipped; empty: no comments
  bool lowercase_keys;              // keys are lowercased (text.h) after unquoting
};

// Key to value, and section name to keys. All strings are UTF-8 as written in the file (after
// unquoting); section names are kept exactly as written between the brackets. The map owns copies
// of everything: the text it was read from may be released once it is built.
using Ini_Key_Map = std::unordered_map<std::string, std::string>;
using Section_Map = std::unordered_map<std::string, Ini_Key_Map>;

enum Ini_Error : uint32_t {
  INI_OK = 0,
  INI_OUT_OF_MEMORY,  // an allocation failed; whatever was partly built has been released
  INI_READ_FAILED,    // the file could not be read (load_map_from_path only; see os_error)
};

// "Ok", "Out_Of_Memory", "Read_Failed": the name that logs show.
const char *ini_error_name(Ini_Error error) noexcept;

inline void append_text(Format_Buffer *buffer, Ini_Error error) noexcept { append_text(buffer, ini_error_name(error)); }

struct Ini_Load_Result {
  Section_Map map;    // empty unless ok
  Ini_Error error;    // INI_OK, INI_READ_FAILED or INI_OUT_OF_MEMORY
  Os_Error os_error;  // what the OS reported when error is INI_READ_FAILED; OS_OK otherwise
  bool ok;            // error == INI_OK
};

// Reads the whole existing file at the UTF-8 `path` (opened for reading, sharing read and write with
// others; no handle stays open) and parses it as load_map_from_string does. The file's bytes are
// released before returning; temporaries such as the platform's form of the path are taken from the
// frame scratch (runtime/context.h). An unreadable file gives INI_READ_FAILED with the OS's reason;
// running out of memory gives INI_OUT_OF_MEMORY. In both cases the map is empty.
Ini_Load_Result load_map_from_path(std::string_view path, const Ini_Options &options) noexcept;

// Parses `text` (any bytes) into `*out`, which is cleared first. Returns INI_OK, or
// INI_OUT_OF_MEMORY with `*out` released (as delete_map leaves it). Never fails on syntax: unusable
// lines are skipped, and a key or value that fails to decode stays as written.
Ini_Error load_map_from_string(Section_Map *out, std::string_view text, const Ini_Options &options) noexcept;

// Releases every section name, key and value and both levels of `*map`; the map is empty afterwards.
void delete_map(Section_Map *map) noexcept;

struct Unquoted {
  std::string text;  // the caller's own copy
  Ini_Error error;   // INI_OK, or INI_OUT_OF_MEMORY with `text` empty
  bool decoded;      // `text` is the decoded literal, not the input as written
};

// The value of `text` as a key or value of the file. Text whose first byte is a double or single
// quote is decoded as a quoted literal when it is one, and otherwise returned as written, quotes
// included. A quoted literal is at least two bytes long and ends with the quote it starts with;
// between the quotes it holds no "\n", no unescaped double quote (whichever quote opened it) and
// only these escapes:
//   \a \b \f \n \r \t \v      the bytes 0x07 0x08 0x0C 0x0A 0x0D 0x09 0x0B
//   \\ \" \'                  backslash, double quote, single quote
//   \ooo                      exactly three octal digits: that byte; above 255 is not a literal
//   \xhh                      exactly two hexadecimal digits: that byte
//   \uhhhh, \Uhhhhhhhh        that code point as UTF-8; a surrogate becomes U+FFFD; above
//                             U+10FFFF is not a literal
// When the inner text has neither a backslash nor a double quote it is the result byte for byte;
// otherwise every byte sequence that is not valid UTF-8 comes out as U+FFFD.
Unquoted unquote(std::string_view text) noexcept;
