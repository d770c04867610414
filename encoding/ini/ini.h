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

#include "runtime/status.h"

struct Ini_Options {
  std::string_view comment_prefix;  // a trimmed line starting with it is skipped; empty: no comments
  bool lowercase_keys;              // keys are lowercased (text.h) after unquoting
};

// Key to value, and section name to keys. All strings are UTF-8 as written in the file (after
// unquoting); section names are kept exactly as written between the brackets. The map owns copies
// of everything: the text it was read from may be released once it is built.
using Ini_Key_Map = std::unordered_map<std::string, std::string>;
using Section_Map = std::unordered_map<std::string, Ini_Key_Map>;

// ---- Lines, one at a time: the reader's rules in one place, for the map and for the validator. ----

enum class Ini_Line_Kind : uint8_t {
  pair,     // a key and a value, under `section`
  header,   // a section header: `section` is the new current section
  comment,  // a line that starts with the comment prefix
  skipped,  // an empty line, or one without "="
};

struct Ini_Line {
  Ini_Line_Kind kind;
  uint32_t number;           // 1-based, counting every "\n" of the text
  std::string_view text;     // the trimmed line
  std::string_view section;  // the section in force (after a header: the new one), as stored
  std::string_view key;      // pair only: the key as the map stores it (unquoted, lowercased if asked)
  std::string_view written_key;  // pair only: the key as the line writes it (trimmed, quotes and all)
  std::string_view value;    // pair only: the value as the map stores it (unquoted)
};

// The text not yet read and the reader's state. The views of a line it yields stay valid until the
// next ini_next_line (keys and values that had to be decoded live in its buffers).
struct Ini_Iterator {
  std::string_view rest;
  std::string_view section;
  Ini_Options options;
  uint32_t number;
  std::string key_decoded;  // a quoted key, decoded
  std::string key_lowered;
  std::string value_decoded;
};

// An iterator at the start of `text`; a UTF-8 byte-order mark at the very start is skipped.
Ini_Iterator ini_iterator(std::string_view text, const Ini_Options &options) noexcept;

// The next line into `*out`; false when the text is used up. Throws std::bad_alloc when a key or
// value that must be decoded or lowercased does not fit in memory (the iterator's buffers grow).
bool ini_next_line(Ini_Iterator *it, Ini_Line *out);

// ---- Whole files. ----

// Parses `text` (any bytes) into `*out`, which is cleared first. STATUS_OK, or FAILURE_OUT_OF_MEMORY
// with `*out` released (as delete_map leaves it). Never fails on syntax: unusable lines are skipped,
// and a key or value that fails to decode stays as written.
Status load_map_from_string(Section_Map *out, std::string_view text, const Ini_Options &options) noexcept;

// The text that a file's `bytes` hold, as the reader reads it. Bytes that start with a UTF-16
// byte-order mark (FF FE: little endian; FE FF: big endian), as Windows editors save "Unicode", are
// decoded from UTF-16 into `*decoded` (a U+FEFF right after the mark is then the UTF-8 byte-order
// mark that the reader skips; unpaired surrogates and an odd last byte become U+FFFD) and `*text`
// views it; any other bytes are the text byte for byte. FAILURE_OUT_OF_MEMORY when the decoded
// text does not fit.
Status ini_text_from_file(std::string_view bytes, std::string *decoded, std::string_view *text) noexcept;

// Reads the whole existing file at the UTF-8 `path` (opened for reading, sharing read and write with
// others; no handle stays open), when it holds at most `max_bytes`, takes its text as
// ini_text_from_file does, and parses it as load_map_from_string does. The file's bytes are
// released before returning; temporaries such as the platform's form of the path are taken from the
// frame scratch (runtime/context.h). An unreadable file gives the platform's FAILURE_READ (with the
// OS's reason, OS_TOO_LARGE past `max_bytes`) unchanged; running out of memory while parsing gives
// FAILURE_OUT_OF_MEMORY. On failure `*out` is empty.
Status load_map_from_path(Section_Map *out, std::string_view path, const Ini_Options &options,
                          uint64_t max_bytes = UINT64_MAX) noexcept;

// Releases every section name, key and value and both levels of `*map`; the map is empty afterwards.
void delete_map(Section_Map *map) noexcept;

struct Unquoted {
  std::string text;  // the caller's own copy
  bool decoded;      // `text` is the decoded literal, not the input as written
};

// The value of `text` as a key or value of the file; FAILURE_OUT_OF_MEMORY when the copy does not
// fit. Text whose first byte is a double or single quote is decoded as a quoted literal when it is
// one, and otherwise returned as written, quotes included. A quoted literal is at least two bytes long and ends with the quote it starts with;
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
Result<Unquoted> unquote(std::string_view text) noexcept;
