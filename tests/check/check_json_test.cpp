// The --dump JSON writer: escapes, bytes that are not UTF-8, and the order of object keys.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "tools/check/check_json.h"
#include "tools/json/json_write.h"

using namespace std::string_view_literals;

namespace {

struct Json_String_Row {
  std::string_view bytes;
  std::string_view expected;  // quotes included
  const char *fault;
};

TEST(CheckJson, StringsAreWrittenByTheFixedRules) {
  const Json_String_Row rows[] = {
      {"", R"("")", "empty text"},
      {"hair_primary", R"("hair_primary")", "plain text is copied"},
      {"a\"b\\c", R"("a\"b\\c")", "quote and backslash are escaped"},
      {"/", R"("/")", "a slash is not escaped"},
      {"\t\n\r\b\f", R"("\u0009\u000a\u000d\u0008\u000c")", "control bytes use \\u00nn, never the short escapes"},
      {"\0x"sv, R"("\u0000x")", "a NUL byte does not end the text"},
      {"\x1F\x20\x7E\x7F", R"("\u001f ~\u007f")", "0x1F and 0x7F escaped, lowercase hex; 0x20 and 0x7E not"},
      {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\"", "valid 2-, 3- and 4-byte sequences as themselves"},
      {"\xEF\xBF\xBD", "\"\xEF\xBF\xBD\"", "a real U+FFFD is valid UTF-8"},
      {"\xC2\x85\xC2\x9B\xC2\x9F\xC2\xA0", R"("\u0085\u009b\u009f)" "\xC2\xA0\"",
       "C1 controls (U+009B opens a terminal's escape) escaped as the characters they are; U+00A0 is not one"},
      {"\xFF", R"("\udcff")", "a byte that never starts UTF-8"},
      {"\x80", R"("\udc80")", "a lone continuation byte, not the character U+0080"},
      {"\xE9", R"("\udce9")", "the byte E9 written as U+00E9: one JSON name for an ANSI and a UTF-8 section"},
      {"a\xC3", R"("a\udcc3")", "a sequence cut short by the end of the text"},
      {"\xE2\x82" "a", R"("\udce2\udc82a")", "a sequence cut short by an ASCII byte: each byte on its own"},
      {"\xC0\x80", R"("\udcc0\udc80")", "an overlong form"},
      {"\xED\xA0\x80", R"("\udced\udca0\udc80")", "an encoded surrogate"},
      {"\xF4\x90\x80\x80", R"("\udcf4\udc90\udc80\udc80")", "above U+10FFFF"},
      {"\xFF\xC3\xA9", "\"\\udcff\xC3\xA9\"", "a valid sequence right after an invalid byte"},
  };
  for (const Json_String_Row &row : rows) {
    std::string out;
    json_append_string(&out, row.bytes, Json_Strings::text);
    EXPECT_EQ(out, row.expected) << row.fault;
  }
}

TEST(CheckJson, KeysAreSortedByRawBytesAtEveryLevel) {
  // Signed-char ordering would put the non-ASCII names first; locale ordering would mix cases.
  std::string text = "k=0\n";
  for (std::string_view name : {"b"sv, "\xFF"sv, "a"sv, "\xC3\xA9"sv, "Z"sv, "ab"sv}) text.append("[").append(name).append("]\nk=0\n");
  text += "[a]\nz=1\n\xC3\xA9=2\nB=3\nb=4\n=5\n";
  Section_Map sections{};
  ASSERT_TRUE(load_map_from_string(&sections, text, {"", /*lowercase_keys=*/false}).ok());
  EXPECT_EQ(check_dump_json(&sections, "", nullptr),
            "{\"config\":null,\"message\":\"\",\"sections\":{\"\":{\"k\":\"0\"},\"Z\":{\"k\":\"0\"},"
            "\"a\":{\"\":\"5\",\"B\":\"3\",\"b\":\"4\",\"k\":\"0\",\"z\":\"1\",\"\xC3\xA9\":\"2\"},"
            "\"ab\":{\"k\":\"0\"},\"b\":{\"k\":\"0\"},\"\xC3\xA9\":{\"k\":\"0\"},\"\\udcff\":{\"k\":\"0\"}}}");
  delete_map(&sections);
}

TEST(CheckJson, ConfigHoldsEveryFieldByNameInOrder) {
  Config config{};
  Section_Map empty;
  config.corvin.enabled = 1;
  config.corvin.beard_tertiary = 255;
  config.mael.hair_primary = 44;
  config.mael.stache_secondary = 7;
  EXPECT_EQ(check_dump_json(&empty, "", &config),
            "{\"config\":{"
            "\"corvin\":{\"beard_primary\":0,\"beard_secondary\":0,\"beard_tertiary\":255,\"chin_primary\":0,"
            "\"chin_secondary\":0,\"chin_tertiary\":0,\"chops_primary\":0,\"chops_secondary\":0,\"chops_tertiary\":0,"
            "\"enabled\":1,\"hair_primary\":0,\"hair_secondary\":0,\"hair_tertiary\":0,\"stache_primary\":0,"
            "\"stache_secondary\":0,\"stache_tertiary\":0},"
            "\"mael\":{\"beard_primary\":0,\"beard_secondary\":0,\"beard_tertiary\":0,\"chin_primary\":0,"
            "\"chin_secondary\":0,\"chin_tertiary\":0,\"chops_primary\":0,\"chops_secondary\":0,\"chops_tertiary\":0,"
            "\"enabled\":0,\"hair_primary\":44,\"hair_secondary\":0,\"hair_tertiary\":0,\"stache_primary\":0,"
            "\"stache_secondary\":7,\"stache_tertiary\":0}},"
            "\"message\":\"\",\"sections\":{}}");
}

}  // namespace
