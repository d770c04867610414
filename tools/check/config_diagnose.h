// Why the module would refuse a configuration file, line by line, for the validator: the module's
// own verdict (config_from_map on the map that the INI reader makes of the text), every problem the
// file holds and not only the first (each expected key converted by the module's own converter,
// config_convert_key), and, from the reader's own lines (ini_next_line), where each was written.
// Nothing here decides differently from the module; it only adds places and notes.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "encoding/ini/ini.h"
#include "src/config/config.h"
#include "src/config/config_status.h"
#include "src/config/keys.h"
#include "tools/owned/owned.h"

struct Arena;

// A line of the file and the section in force there, exactly as written; line 0: none.
struct Config_Place {
  uint32_t line;
  std::string section;
};

// A full key that two sections of one block both hold: for each section, the line that the reader
// took its value from (the last one), in file order.
struct Config_Duplicate {
  std::string full_key;
  std::vector<Config_Place> places;
  bool expected;  // one of the sixteen keys; the game refuses a duplicate of any other key all the same
};

// What the file makes of one expected key, as the module's converter has it.
struct Config_Key_Finding {
  Config_Failure failure;  // CONFIG_OK, _MISSING_KEY, _NOT_A_TRUTH_VALUE, _NOT_AN_INTEGER, or _DUPLICATE_KEY
                           // for a key that two sections of its block hold (never converted)
  std::vector<Config_Place> places;  // every line that wrote it in its block, in file order; the last counts
  std::string value;       // the value text converted (cut at ";" and trimmed)
  int32_t converted = 0;   // when ok: the value as converted (an integer's low 32 bits)
  int32_t used = 0;        // when ok: what the game uses (a tint normalised to 0..255)
  bool outside = false;    // when ok, a tint: the number as written lies outside 0..255
  bool past_32_bits = false;  // ... and outside the 32-bit range, so that its low 32 bits are `converted`
  std::string unquoted;    // a bad value that is a quoted literal with a note after it: the value as
                           // the player meant it, the literal's content and the note ("57 ; dark"); "" otherwise
  std::string unquoted_value;     // ... the literal's content alone, trimmed ("57")
  bool unquoted_converts = false;  // ... and whether `unquoted`, written so, converts
  Config_Place misspelt;   // a missing key: the line of a key of its block that looks a couple of
                           // letters off it (check_as_seen, then lowercased), closest first over all pairs
  std::string misspelt_key;      // that key, lowercased
  std::string misspelt_written;  // ... and as written, unquoted
};

// A key of a block section that is none of the sixteen, no likely misspelling of a missing one, and
// no duplicate.
struct Config_Unknown_Key {
  Config_Place place;
  std::string key;      // as the reader keeps it, lowercased
  std::string written;  // as the line writes it, unquoted
};

// A line that a player reads as a block's header and the game does not: a header whose name is the
// block's but for white space, invisible characters, look-alikes (`[ mael ]`, `[mael<U+00A0>]`,
// `[ｍａｅｌ]`), a second "[" (`[[mael]]`, whose name is "[mael") or one other character (`[mae1]`,
// `[corvın]`); or a line that the game skips, which would be such a header without the invisible
// characters before its "[" or with ASCII brackets (a byte-order mark pasted before `[mael]`,
// `［corvin］`).
struct Config_Near_Header {
  Config_Place place;   // the line, and the section in force after it as the game reads it
  size_t block;         // the block it looks like (index in CONFIG_BLOCKS)
  std::string written;  // the header's name as written; for a skipped line, the line
  bool skipped;         // the game took the line for no header at all
  bool white_space;     // the name holds white space
  bool bracket = false;    // the name starts with "["
  size_t differs_at = 0;   // the name is the block's but for one character: its position (1-based); 0: no
  std::string differs;     // ... that character, as written
};

// A line that holds carriage returns ending no line ("\r" not before "\n"): the game ends lines
// at "\n" alone, so what they separate is one line to it.
struct Config_Lone_Cr {
  uint32_t line;
  size_t count;
};

// A line that holds line or paragraph separators (U+2028, U+2029, U+0085 NEXT LINE) inside it (the
// game trims those at its ends as white space): some editors show them as line ends, the game ends
// lines at "\n" alone, so what they separate is one line to it, of the kind and content below.
struct Config_Line_Separators {
  uint32_t line;
  size_t count;
  std::vector<uint32_t> code_points;  // the distinct ones, in the order they first stand
  Ini_Line_Kind kind;
  std::string section;  // header: the section it names
  std::string key;      // pair: the key as written, unquoted
  std::string value;    // pair: the value cut at its first ";" and trimmed, as the game converts it
  bool note = false;    // pair: the value holds a ";", after which the game cuts it
};

struct Config_Diagnosis {
  Config_Status status;  // the module's verdict, as config_from_map gives it for `sections`
  Config config;         // what the module would install, when status is ok
  Owned<Section_Map> sections;  // what the reader read
  // Every full key that two sections of one block hold, ordered by the first line of each.
  std::vector<Config_Duplicate> duplicates;
  // For each block (CONFIG_BLOCKS): its sections (byte order of their names), each with the line
  // of its first header; when there are none, the block's first header, if any (its sections hold no
  // pairs, so the reader made no section of them).
  std::vector<Config_Place> block_sections[CONFIG_BLOCK_COUNT];
  Config_Place empty_block_header[CONFIG_BLOCK_COUNT];
  // The expected keys, by index in CONFIG_KEYS (empty when memory ran out).
  std::vector<Config_Key_Finding> keys;
  std::vector<Config_Unknown_Key> unknown;  // in file order
  std::vector<Config_Near_Header> near_headers;  // in file order
  std::vector<Config_Lone_Cr> lone_crs;           // in file order
  std::vector<Config_Line_Separators> separators;  // in file order
  // Lines the game skips for having no "=" that hold a look-alike of it (`hair_primary＝57`): the line
  // and its text. In file order.
  std::vector<std::pair<uint32_t, std::string>> lookalike_pairs;
  uint32_t line_count = 0;                        // lines, as the reader counts them
  // Lines the game skips (no pair, no header) that hold a byte-order mark past the file's start, as
  // when one file is pasted into another; those of near_headers aside. In file order.
  std::vector<uint32_t> stray_marks;
};

// Diagnoses `text` into `*out`, which must be fresh. When the module's reading runs out of memory,
// out->status is FAILURE_OUT_OF_MEMORY and the rest is empty; when the diagnosis itself does, it
// throws std::bad_alloc, as the standard containers do. Work is linear in the size of the text. Temporaries go to `scratch`. Logs
// what the module logs for its verdict, and nothing more.
void config_diagnose(Arena *scratch, std::string_view text, Config_Diagnosis *out);

// The edit distance of `a` and `b` (insertions, deletions, substitutions and swaps of neighbours,
// by bytes), or `limit` + 1 when it is larger than `limit`.
size_t config_edit_distance(std::string_view a, std::string_view b, size_t limit);
