// From INI text to Config: section and key matching, the ";" cut, duplicates, missing keys, the
// order of conversion, and normalisation of the tints.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "encoding/ini/ini.h"
#include "runtime/context.h"
#include "runtime/log.h"
#include "sample_config.h"
#include "src/config/schema.h"

namespace {

std::string block_text(const char *header, const std::string &extra) {
  std::string text = std::string(header) + "\n";
  for (const Config_Field &field : CONFIG_FIELDS) {
    text += std::string(field.name) + (field.kind == CONFIG_TRUTH ? " = yes\n" : " = 1\n");
  }
  return text + extra;  // later lines win in the reader: extra lines override
}

std::vector<std::string> logged;
void capture(void *, const Log_Record *r) { logged.emplace_back(r->text); }

struct Converted {
  Config_Status status;
  Config config;
};

Converted convert_text(const std::string &text) {
  Section_Map map;
  EXPECT_EQ(load_map_from_string(&map, text, {";", true}), INI_OK);
  Flat_Key_Table table;
  Converted out{{}, {}};
  out.config.corvin.hair_primary = -999;  // must stay unless the whole conversion succeeds
  out.status = config_from_sections(frame_scratch(), map, &table, &out.config);
  arena_release(frame_scratch());
  return out;
}

TEST(Schema, SampleFileConverts) {
  Converted c = convert_text(std::string(SAMPLE_CONFIG));
  ASSERT_TRUE(c.status.ok) << c.status.message;
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
    ASSERT_TRUE(c.status.ok) << row.fault << ": " << c.status.message;
    EXPECT_EQ(c.config.corvin.hair_primary, row.want_hair_primary) << row.fault;
  }
}

TEST(Schema, SectionNamesMatchInAnyCaseAndOthersAreIgnored) {
  Converted c = convert_text("[other]\nhair_primary = x\n" + block_text("[CORVIN]", "hair_primary = 3\n") +
                             block_text("[Mael]", "enabled = no\n"));
  ASSERT_TRUE(c.status.ok) << c.status.message;
  EXPECT_EQ(c.config.corvin.hair_primary, 3);
  EXPECT_EQ(c.config.mael.enabled, 0);
}

TEST(Schema, Refusals) {
  struct Row {
    const char *fault;
    std::string text;
    const char *want_message;
    std::vector<std::string> want_log;
  };
  const Row rows[] = {
      {"sections differing only in case holding one key",
       block_text("[corvin]", "") + block_text("[mael]", "") + "[Corvin]\nhair_primary = 2\n", MESSAGE_DUPLICATE_KEY,
       {"Duplicate key: hair_primary"}},
      {"mael section missing", block_text("[corvin]", ""), MESSAGE_BAD_VALUE, {"Missing expected key: mael.enabled"}},
      {"a note alone leaves an empty value", block_text("[corvin]", "chin_primary = ; none\n") + block_text("[mael]", ""),
       MESSAGE_BAD_VALUE, {"Failed to parse config value corvin.chin_primary, expected an integer: "}},
      {"numbers are not truth values", block_text("[corvin]", "enabled = 1\n") + block_text("[mael]", ""),
       MESSAGE_BAD_VALUE, {"Failed to parse config value corvin.enabled, expected yes/no: 1"}},
      {"the first failure ends the conversion",
       block_text("[corvin]", "stache_primary = lots\n") + block_text("[mael]", "beard_primary = many\n"),
       MESSAGE_BAD_VALUE, {"Failed to parse config value corvin.stache_primary, expected an integer: lots"}},
      {"an unterminated quote stays as written and is no integer",
       block_text("[corvin]", "hair_primary = \"12\n") + block_text("[mael]", ""), MESSAGE_BAD_VALUE,
       {"Failed to parse config value corvin.hair_primary, expected an integer: \"12"}},
  };
  for (const Row &row : rows) {
    logged.clear();
    log_set_sink({capture, nullptr, LOG_DEBUG});
    Converted c = convert_text(row.text);
    log_set_sink({});
    EXPECT_FALSE(c.status.ok) << row.fault;
    EXPECT_STREQ(c.status.message, row.want_message) << row.fault;
    EXPECT_EQ(logged, row.want_log) << row.fault;
    EXPECT_EQ(c.config.corvin.hair_primary, -999) << row.fault << ": a refused file changed the Config";
  }
}

TEST(Schema, FullKeysInConversionOrder) {
  char key[CONFIG_FULL_KEY_MAX_BYTES];
  EXPECT_EQ(CONFIG_KEY_COUNT, 32u);
  EXPECT_EQ(config_full_key(0, key), "corvin.enabled");
  EXPECT_EQ(config_full_key(15, key), "corvin.beard_tertiary");
  EXPECT_EQ(config_full_key(16, key), "mael.enabled");
  EXPECT_EQ(config_full_key(31, key), "mael.beard_tertiary");
}

}  // namespace
