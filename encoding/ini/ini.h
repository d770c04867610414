// The INI reader: the text of an INI file in, a Section_Map out. It reads no files (the caller
// brings the text) and leaves what keys mean, and how values are converted, to the configuration
// layer (src/config).
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
// under it creates no section. The reader never fails on syntax: its only failure is running out
// of memory.
#pragma once
#include <cstdint>
#include <string_view>

#include "runtime/arena.h"
#include "runtime/status.h"

struct Ini_Options {
  std::string_view comment_prefix;  // a trimmed line starting with it is skipped; empty: no comments
  bool lowercase_keys;              // keys are lowercased (text.h) after unquoting
};

// ---- The map. ----

// A slot of a table: the hash beside the entry, so that a search compares hashes without following
// the entry pointers. A slot whose entry is null is free.
template <class Entry>
struct Ini_Slot {
  uint64_t hash;
  Entry *entry;
};

// One key and its value. All strings are UTF-8 as written in the file (after unquoting) and live in
// the map's arena.
struct Ini_Pair {
  Ini_Pair *next;  // the section's next pair, in the order keys first appeared
  std::string_view key;
  std::string_view value;
  uint64_t hash;
};

struct Ini_Section {
  Ini_Section *next;      // the map's next section, in the order sections first appeared
  std::string_view name;  // exactly as written between the brackets
  uint64_t hash;
  Ini_Pair *first;
  Ini_Pair *last;
  Ini_Slot<Ini_Pair> *slots;  // open addressing by key hash; none while the section has few pairs
  uint32_t count;    // pairs
  uint32_t mask;     // slot count - 1; the slot count is a power of two
};

// Section name to keys, and key to value: hash tables that keep everything in the map's own arena,
// released at once by delete_map. A declared or zero-initialised map is empty. Iteration (sections from `first`,
// pairs from each section's `first`) follows the order of first appearance in the text; nothing
// may rely on that order.
struct Section_Map {
  Arena arena;
  Ini_Section *first = nullptr;
  Ini_Section *last = nullptr;
  Ini_Slot<Ini_Section> *slots = nullptr;
  uint32_t count = 0;  // sections
  uint32_t mask = 0;
  uint64_t seed = 0;   // of the hashes of this map: chosen when the map is built
  bool keys_lowercased = false;  // read with lowercase_keys: every key is its own lowercase
};

// The section named `name` (exactly), or null.
const Ini_Section *ini_find_section(const Section_Map *map, std::string_view name) noexcept;

// The pair of `section` whose key is `key` (exactly), or null.
const Ini_Pair *ini_find_pair(const Section_Map *map, const Ini_Section *section, std::string_view key) noexcept;

// ---- Lines, one at a time: the reader's rules in one place, for the map and for the validator. ----

enum class Ini_Line_Kind : uint8_t {
  pair,     // a key and a value, under `section`
  header,   // a section header: `section` is the new current section
  comment,  // a line that starts with the comment prefix
  skipped,  // an empty line, or one without "="
};

struct Ini_Line {
  Ini_Line_Kind kind;
  uint32_t number;               // 1-based, counting every "\n" of the text
  std::string_view text;         // the trimmed line
  std::string_view section;      // the section in force (after a header: the new one), as written
  std::string_view key;          // pair only: the key as the map stores it (unquoted, lowercased if asked)
  std::string_view written_key;  // pair only: the key as the line writes it (trimmed, quotes and all)
  std::string_view value;        // pair only: the value as the map stores it (unquoted)
};

// The text not yet read and the reader's state. The views of a line point into the text, or into
// `arena` where a key or value had to be decoded or lowercased.
struct Ini_Iterator {
  Arena *arena;
  std::string_view rest;
  std::string_view section;
  Ini_Options options;
  uint32_t number;
  Status status;  // FAILURE_OUT_OF_MEMORY once `arena` had no room: the iteration ended there
};

// An iterator at the start of `text`; a UTF-8 byte-order mark at the very start is skipped. Decoded
// and lowercased keys and values go to `arena`.
Ini_Iterator ini_iterator(Arena *arena, std::string_view text, const Ini_Options &options) noexcept;

// The next line into `*out`; false when the text is used up, or when `arena` had no room for a key
// or value (then it->status says so).
bool ini_next_line(Ini_Iterator *it, Ini_Line *out) noexcept;

// ---- Whole texts. ----

// Parses `text` (any bytes) into `*out`, which must be empty (zero-initialised, or as delete_map
// leaves it). STATUS_OK, or FAILURE_OUT_OF_MEMORY with `*out` released (as delete_map leaves it).
// The map holds a copy of everything it needs: `text` may be released once it is built.
Status load_map_from_string(Section_Map *out, std::string_view text, const Ini_Options &options) noexcept;

// Releases every section name, key and value and both levels of `*map`, all at once; the map is
// empty afterwards.
void delete_map(Section_Map *map) noexcept;

// The value of `text` as a key or value of the file, copied into `arena`; FAILURE_OUT_OF_MEMORY when
// the copy does not fit. Text whose first byte is a double or single quote is decoded as a quoted
// literal when it is one, and otherwise returned as written, quotes included. A quoted literal is at
// least two bytes long and ends with the quote it starts with; between the quotes it holds no "\n",
// no unescaped double quote (whichever quote opened it) and only these escapes:
//   \a \b \f \n \r \t \v      the bytes 0x07 0x08 0x0C 0x0A 0x0D 0x09 0x0B
//   \\ \" \'                  backslash, double quote, single quote
//   \ooo                      exactly three octal digits: that byte; above 255 is not a literal
//   \xhh                      exactly two hexadecimal digits: that byte
//   \uhhhh, \Uhhhhhhhh        that code point as UTF-8; a surrogate becomes U+FFFD; above
//                             U+10FFFF is not a literal
// When the inner text has neither a backslash nor a double quote it is the result byte for byte;
// otherwise every byte sequence that is not valid UTF-8 comes out as U+FFFD.
Result<std::string_view> unquote(Arena *arena, std::string_view text) noexcept;
