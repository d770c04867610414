// Why the module would refuse a configuration file, line by line, for the validator: the module's
// own verdict (config_from_map on the map that the INI reader makes of the text), every problem the
// file holds and not only the first (each expected key converted by the module's own converter,
// config_convert_key), and, from the reader's own lines (ini_next_line), where each was written.
// Nothing here decides differently from the module; it only adds places and notes.
#pragma once
#include <cstdint>
#include <string>
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
};

// What the file makes of one expected key, as the module's converter has it.
struct Config_Key_Finding {
  Config_Failure failure;  // CONFIG_OK, _MISSING_KEY, _NOT_A_TRUTH_VALUE, _NOT_AN_INTEGER, or _DUPLICATE_KEY
                           // for a key that two sections of its block hold (never converted)
  std::vector<Config_Place> places;  // every line that wrote it in its block, in file order; the last counts
  std::string value;       // the value text converted (cut at ";" and trimmed)
  int32_t converted = 0;   // when ok: the value as converted
  int32_t used = 0;        // when ok: what the game uses (a tint normalised to 0..255)
  std::string unquoted;    // a bad value that is a quoted literal with a note after it: the literal's
                           // content, which is what the player meant; "" otherwise
  Config_Place misspelt;   // a missing key: the line of a key of its block a couple of letters off
  std::string misspelt_key;
};

// A key of a block section that is none of the sixteen, and no likely misspelling of a missing one.
struct Config_Unknown_Key {
  Config_Place place;
  std::string key;
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
};

// Diagnoses `text` into `*out`, which must be fresh. When the module's reading runs out of memory,
// out->status is FAILURE_OUT_OF_MEMORY and the rest is empty; when the diagnosis itself does, it
// throws std::bad_alloc, as the standard containers do. Work is linear in the size of the text. Temporaries go to `scratch`. Logs
// what the module logs for its verdict, and nothing more.
void config_diagnose(Arena *scratch, std::string_view text, Config_Diagnosis *out);

// The edit distance of `a` and `b` (insertions, deletions, substitutions and swaps of neighbours,
// by bytes), or `limit` + 1 when it is larger than `limit`.
size_t config_edit_distance(std::string_view a, std::string_view b, size_t limit);
