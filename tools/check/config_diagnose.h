// Why the module would refuse a configuration file, line by line, for the validator: the module's
// own verdict (config_from_map on the map that the INI reader makes of the text) and, from the
// reader's own lines (ini_next_line), where the keys it names were written. Nothing here decides
// differently from the module; it only adds places.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "encoding/ini/ini.h"
#include "src/config/config.h"
#include "src/config/config_status.h"
#include "tools/owned/owned.h"

struct Arena;

// A line of the file and the section in force there, exactly as written.
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

struct Config_Diagnosis {
  Config_Status status;   // the module's verdict, as config_from_map gives it for `sections`
  Config config;         // what the module would install, when status is ok
  Owned<Section_Map> sections;  // what the reader read
  // CONFIG_DUPLICATE_KEY: every full key that two sections of one block hold, ordered by the first
  // line of each.
  std::vector<Config_Duplicate> duplicates;
  // CONFIG_MISSING_KEY: the sections of the failing key's block (byte order of their names), each
  // with the line of its first header; when there are none, the block's first header (its sections
  // hold no pairs, so the reader made no section of them), if any.
  std::vector<Config_Place> block_sections;
  std::vector<Config_Place> empty_block_headers;  // at most one
  // CONFIG_NOT_A_TRUTH_VALUE, _NOT_AN_INTEGER: every line that wrote the failing key in its block,
  // in file order; the last is the one the module read.
  std::vector<Config_Place> key_places;
};

// Diagnoses `text` into `*out`, which must be fresh. When the reader or the diagnosis runs out of
// memory, out->status is FAILURE_OUT_OF_MEMORY and the rest is incomplete; the standard containers
// throw std::bad_alloc. Work is linear in the size of the text. Temporaries go to `scratch`.
void config_diagnose(Arena *scratch, std::string_view text, Config_Diagnosis *out);
