// From INI text to Config: section and key matching, the ";" cut, duplicates, missing keys, the
// order of conversion, and normalisation of the tints.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "encoding/ini/ini.h"
#include "runtime/arena.h"
#include "runtime/log.h"
#include "sample_config.h"
#include "src/config/messages.h"
#include "src/config/schema.h"
#include "tests/support/failing_heap.h"

namespace {

std::string block_text(const char *header, const std::string &extra) {
  std::string text = std::string(header) + "\n";
  for (const Config_Key &key : CONFIG_KEYS) {
    if (key.section() != "corvin") continue;  // the same sixteen fields in both blocks
    text += std::string(key.field_name()) + (key.after == CONFIG_AS_READ ? " = yes\n" : " = 1\n");
  }
  return text + extra;  // later lines win in the reader: extra lines override
}

std::vector<std::string> logged;
void capture(void *, const Log_Record *r) { logged.emplace_back(r->text); }

struct Converted {
  Config_Status status;
  const char *message;  // what the game would show
  Config config;        // all zero unless the conversion succeeded
};

Converted convert_text(const std::string &text) {
  Section_Map map;
  EXPECT_TRUE(load_map_from_string(&map, text, {";", true}).ok());
  Config_Result converted = config_from_map(frame_scratch(), map);
  arena_release(frame_scratch());
  delete_map(&map);
  Converted out{converted.status(), reload_message(converted.status()), {}};
  if (converted.ok()) out.config = converted.value();
  return out;
}

TEST(Schema, SampleFileConverts) {
  Converted c = convert_text(std::string(SAMPLE_CONFIG));
  ASSERT_TRUE(c.status.ok()) << c.message;
  EXPECT_EQ(c.config.corvin.enabled, 1);
  EXPECT_EQ(c.config.corvin.beard_tertiary, 57);
  EXPECT_EQ(c.config.mael.enabled, 0);
  EXPECT_EQ(c.config.mael.hair_primary, 12);
}

TEST(Schema, ValuesAsApplied) {
  struct Row {
    const char *fault;
    std::string corvin_extra;
    int32_t want_hair_primary;
  };
  const Row rows[] = {
      {"above 255 folds modulo 256", "hair_primary = 300\n", 44},
      {"negative takes the absolute value", "hair_primary = -5\n", 5},
      {"-300 folds too", "hair_primary = -300\n", 44},
      {"256 is 0", "hair_primary = 256\n", 0},
      {"255 stays", "hair_primary = 255\n", 255},
      {"4294967295 is -1, applied as 1", "hair_primary = 4294967295\n", 1},
      {"smallest 32-bit value gives 0, not a negative", "hair_primary = -2147483648\n", 0},
      {"keys match in any letter case", "HAIR_PRIMARY = 9\n", 9},
      {"a note after a value is cut", "hair_primary = 5 ; five\n", 5},
      {"the cut comes after unquoting", "hair_primary = \"6;x\"\n", 6},
      {"blanks inside quotes are trimmed", "hair_primary = \" 7 \"\n", 7},
      {"single quotes too", "hair_primary = '8'\n", 8},
      {"unknown keys are ignored", "hair_colour = red\n", 1},
  };
  for (const Row &row : rows) {
    Converted c = convert_text(block_text("[corvin]", row.corvin_extra) + block_text("[mael]", ""));
    ASSERT_TRUE(c.status.ok()) << row.fault << ": " << c.message;
    EXPECT_EQ(c.config.corvin.hair_primary, row.want_hair_primary) << row.fault;
  }
}

TEST(Schema, SectionNamesMatchInAnyCaseAndOthersAreIgnored) {
  Converted c = convert_text("[other]\nhair_primary = x\n" + block_text("[CORVIN]", "hair_primary = 3\n") +
                             block_text("[Mael]", "enabled = no\n"));
  ASSERT_TRUE(c.status.ok()) << c.message;
  EXPECT_EQ(c.config.corvin.hair_primary, 3);
  EXPECT_EQ(c.config.mael.enabled, 0);
}

// A block written in sections whose names differ in case is one block: its keys are found in any of
// them. The conversion runs out of memory at each of its pushes in turn (the scratch's blocks of
// every small size, the heap refusing from each request on): every attempt gives that same Config or
// says out of memory, never another failure, which the reloader would not retry.
TEST(Schema, CaseTwinsAreOneBlockAndOutOfMemoryIsReportedAsSuch) {
  const std::string moved = "hair_primary = 1\n";
  std::string corvin = block_text("[Corvin]", "");
  corvin.erase(corvin.find(moved), moved.size());
  const std::string twins = corvin + "[CORVIN]\nhair_primary = 4\n" + block_text("[MAEL]", "");
  EXPECT_EQ(convert_text(twins).config.corvin.hair_primary, 4);
  int failures = 0;
  for (const std::string &text : {twins, std::string(SAMPLE_CONFIG)}) {
    Section_Map map{};
    ASSERT_TRUE(load_map_from_string(&map, text, {";", true}).ok());
    const int32_t want = convert_text(text).config.corvin.hair_primary;
    for (size_t block = 1; block <= 64; block++) {
      for (long long grants = 0; grants < 4; grants++) {
        Failing_Heap_Scope heap(grants);
        Arena scratch{};
        scratch.block_bytes = block;
        Config_Result got = config_from_map(&scratch, map);
        arena_destroy(&scratch);
        if (got.ok()) {
          EXPECT_EQ(got.value().corvin.hair_primary, want);
          continue;
        }
        ASSERT_EQ(got.status(), Config_Status(status_fail(FAILURE_OUT_OF_MEMORY))) << "blocks of " << block << ", " << grants << " granted";
        failures++;
      }
    }
    delete_map(&map);
  }
  EXPECT_GT(failures, 64);

  // Keys of one hash in case twins (made here: no file can aim at the seed) are two keys, no duplicate.
  Section_Map map{};
  ASSERT_TRUE(load_map_from_string(&map, twins + "[CORVIN]\nhair_colour = 5\n", {";", true}).ok());
  const Ini_Section *upper = ini_find_section(&map, "CORVIN");
  upper->last->hash = upper->first->hash;
  EXPECT_TRUE(config_from_map(frame_scratch(), map).ok());
  arena_release(frame_scratch());
  delete_map(&map);
}

TEST(Schema, Refusals) {
  struct Row {
    const char *fault;
    std::string text;
    Config_Status want_status;  // the failure, and for a key's failure its index in CONFIG_KEYS
    const char *want_message;
    std::vector<std::string> want_log;
  };
  const Row rows[] = {
      {"sections differing only in case holding one key",
       block_text("[corvin]", "") + block_text("[mael]", "") + "[Corvin]\nhair_primary = 2\n",
       Config_Status(CONFIG_DUPLICATE_KEY), MESSAGE_DUPLICATE_KEY,
       {"Duplicate key: hair_primary"}},
      {"the search for duplicates goes on past the first",
       block_text("[corvin]", "") + block_text("[mael]", "") + "[Corvin]\nhair_primary = 2\n[CORVIN]\nchin_primary = 3\n",
       Config_Status(CONFIG_DUPLICATE_KEY), MESSAGE_DUPLICATE_KEY, {"Duplicate key: hair_primary"}},
      {"mael section missing", block_text("[corvin]", ""), Config_Status(CONFIG_MISSING_KEY, 16), MESSAGE_BAD_VALUE, {"Missing expected key: mael.enabled"}},
      {"a note alone leaves an empty value", block_text("[corvin]", "chin_primary = ; none\n") + block_text("[mael]", ""),
       Config_Status(CONFIG_NOT_AN_INTEGER, 4), MESSAGE_BAD_VALUE, {"Failed to parse config value corvin.chin_primary, expected an integer: "}},
      {"numbers are not truth values", block_text("[corvin]", "enabled = 1\n") + block_text("[mael]", ""),
       Config_Status(CONFIG_NOT_A_TRUTH_VALUE, 0), MESSAGE_BAD_VALUE, {"Failed to parse config value corvin.enabled, expected yes/no: 1"}},
      {"the first failure ends the conversion",
       block_text("[corvin]", "stache_primary = lots\n") + block_text("[mael]", "beard_primary = many\n"),
       Config_Status(CONFIG_NOT_AN_INTEGER, 10), MESSAGE_BAD_VALUE, {"Failed to parse config value corvin.stache_primary, expected an integer: lots"}},
      {"an unterminated quote stays as written and is no integer",
       block_text("[corvin]", "hair_primary = \"12\n") + block_text("[mael]", ""),
       Config_Status(CONFIG_NOT_AN_INTEGER, 1), MESSAGE_BAD_VALUE,
       {"Failed to parse config value corvin.hair_primary, expected an integer: \"12"}},
  };
  for (const Row &row : rows) {
    logged.clear();
    log_set_sink({capture, nullptr, LOG_DEBUG});
    Converted c = convert_text(row.text);
    log_set_sink({});
    EXPECT_EQ(c.status, row.want_status) << row.fault;
    EXPECT_STREQ(c.message, row.want_message) << row.fault;
    EXPECT_EQ(logged, row.want_log) << row.fault;
  }
}

TEST(Schema, FullKeysInConversionOrder) {
  const char *const want[] = {
      "corvin.enabled", "corvin.hair_primary", "corvin.hair_secondary", "corvin.hair_tertiary",
      "corvin.chin_primary", "corvin.chin_secondary", "corvin.chin_tertiary", "corvin.chops_primary",
      "corvin.chops_secondary", "corvin.chops_tertiary", "corvin.stache_primary", "corvin.stache_secondary",
      "corvin.stache_tertiary", "corvin.beard_primary", "corvin.beard_secondary", "corvin.beard_tertiary",
      "mael.enabled", "mael.hair_primary", "mael.hair_secondary", "mael.hair_tertiary",
      "mael.chin_primary", "mael.chin_secondary", "mael.chin_tertiary", "mael.chops_primary",
      "mael.chops_secondary", "mael.chops_tertiary", "mael.stache_primary", "mael.stache_secondary",
      "mael.stache_tertiary", "mael.beard_primary", "mael.beard_secondary", "mael.beard_tertiary"};
  ASSERT_EQ(CONFIG_KEY_COUNT, std::size(want));
  for (size_t i = 0; i < CONFIG_KEY_COUNT; i++) EXPECT_EQ(CONFIG_KEYS[i].full_key, want[i]) << i;
}

// Each row fills its own field: a row pointing at another block's or another key's field would
// convert silently into the wrong place.
TEST(Schema, EveryRowFillsTheFieldItNames) {
  for (size_t i = 0; i < CONFIG_KEY_COUNT; i++) {
    Config config{};
    (config.*CONFIG_KEYS[i].block).*CONFIG_KEYS[i].field = 1;
    const int32_t *fields = reinterpret_cast<const int32_t *>(&config);
    size_t position = static_cast<size_t>(std::find(fields, fields + 32, 1) - fields);
    EXPECT_EQ(position, i) << CONFIG_KEYS[i].full_key << ": Config's fields are in the keys' order";
    EXPECT_EQ(CONFIG_KEYS[i].after == CONFIG_AS_READ, CONFIG_KEYS[i].field_name() == "enabled") << CONFIG_KEYS[i].full_key;
  }
}

// Every text a player can see for a failed reload, word for word.
TEST(Messages, EachFailureShowsItsText) {
  struct Row {
    Config_Status status;
    const char *text;
  } rows[] = {
      {CONFIG_STATUS_OK, ""},
      {status_fail(FAILURE_FILE_TIME), "failed to open config file"},
      {status_fail(FAILURE_OPEN), "failed to open config file"},
      {status_fail(FAILURE_READ), "failed to parse config file"},
      {status_fail(FAILURE_TOO_LARGE), "failed to parse config file"},
      {status_fail(FAILURE_OUT_OF_MEMORY), "failed to parse config file"},
      {CONFIG_DUPLICATE_KEY, "duplicate key"},
      {CONFIG_MISSING_KEY, "missing key, or failed to parse value"},
      {CONFIG_NOT_A_TRUTH_VALUE, "missing key, or failed to parse value"},
      {CONFIG_NOT_AN_INTEGER, "missing key, or failed to parse value"},
  };
  for (const Row &row : rows) {
    EXPECT_STREQ(reload_message(row.status), row.text) << failure_name(row.status.runtime.failure) << " "
                                                       << config_failure_name(row.status.content);
  }
  // Logs name each failure of the settings by a name of its own.
  std::set<std::string> names;
  for (int f = CONFIG_OK; f <= CONFIG_NOT_AN_INTEGER; f++) names.insert(config_failure_name(static_cast<Config_Failure>(f)));
  EXPECT_EQ(names.size(), size_t{CONFIG_NOT_AN_INTEGER} + 1);
  EXPECT_STREQ(config_failure_name(static_cast<Config_Failure>(200)), "Unknown");

  // Tests compare statuses whole: a field left out of the comparison would let them pass unseen.
  const Config_Status base(CONFIG_NOT_AN_INTEGER, 3);
  for (const Config_Status &other : {Config_Status(CONFIG_MISSING_KEY, 3), Config_Status(CONFIG_NOT_AN_INTEGER, 4),
                                     Config_Status(status_fail(FAILURE_OUT_OF_MEMORY))}) {
    EXPECT_FALSE(base == other) << config_failure_name(other.content) << " " << other.key_index;
  }
}

// One key alone, as the validator converts every key: the module's lookup and converter.
TEST(Schema, OneKeyAlone) {
  Section_Map map{};
  ASSERT_TRUE(load_map_from_string(&map, block_text("[CORVIN]", "hair_primary = blue\n") + block_text("[mael]", ""), {";", true}).ok());
  int32_t value = 7;
  std::string_view text;
  Arena scratch{};
  EXPECT_EQ(config_convert_key(&scratch, map, 1, &value, &text), Config_Status(CONFIG_NOT_AN_INTEGER, 1));
  EXPECT_EQ(text, "blue");
  EXPECT_EQ(config_convert_key(&scratch, map, 2, &value, &text), CONFIG_STATUS_OK);
  EXPECT_EQ(text, "1");
  arena_destroy(&scratch);
  {
    Failing_Heap_Scope no_heap(0);  // the section's name must be lowercased: no room for it
    EXPECT_EQ(config_convert_key(&scratch, map, 2, &value, &text), Config_Status(status_fail(FAILURE_OUT_OF_MEMORY)));
  }
  delete_map(&map);
}

}  // namespace
