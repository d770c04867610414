// The tools' JSON writer (tools/json) as the simulated game's files use it: the escapes, the
// one-line layout, and that the tests' reader gives back every byte the writer was handed.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "tests/e2e/json.h"
#include "tools/json/json_write.h"

using namespace std::string_view_literals;

namespace {

struct Json_Escape_Row {
  std::string_view bytes;
  std::string_view written;  // quotes included
  const char *fault;
};

TEST(JsonWrite, StringsAreEscapedByTheDocumentedRules) {
  const Json_Escape_Row rows[] = {
      {"", R"("")", "empty text"},
      {"a\"b\\c", R"("a\"b\\c")", "quote and backslash are escaped"},
      {"/", R"("/")", "a slash is not escaped"},
      {"\t\n\r", R"("\u0009\u000a\u000d")", "control bytes use \\u00nn, never \\t \\n \\r"},
      {"\0x"sv, R"("\u0000x")", "a NUL byte does not end the text"},
      {"\x1F\x20\x7E\x7F", R"("\u001f ~\u007f")", "0x1F and 0x7F escaped in lowercase hex"},
      {"\xC3\xA9", "\"\xC3\xA9\"", "valid UTF-8 as itself"},
      {"\xFF\xC3", "\"\xFF\xC3\"", "bytes that are no UTF-8 as themselves too"},
  };
  for (const Json_Escape_Row &row : rows) {
    std::string written;
    json_append_string(&written, row.bytes);
    EXPECT_EQ(written, row.written) << row.fault;
  }
}

TEST(JsonWrite, WriterLaysOutMembersAndItemsOnOneLine) {
  // A separator missed or doubled after `{`, `[` or a key would show in this one line.
  Json_Writer w;
  json_begin_object(&w);
  json_member_string(&w, "event", "load");
  json_member_integer(&w, "frame", -1);
  json_member_boolean(&w, "ok", false);
  const int32_t tints[] = {12, 4, 0};
  json_member_integers(&w, "tints", tints, 3);
  json_key(&w, "empty");
  json_begin_array(&w);
  json_end_array(&w);
  json_key(&w, "list");
  json_begin_array(&w);
  json_begin_object(&w);
  json_key(&w, "scale");
  json_number_text(&w, "0.300000012");
  json_end_object(&w);
  json_begin_object(&w);
  json_end_object(&w);
  json_string(&w, "x y: ");
  json_end_array(&w);
  json_member_string(&w, "last", "");
  json_end_object(&w);
  EXPECT_EQ(w.text,
            R"({"event": "load", "frame": -1, "ok": false, "tints": [12, 4, 0], "empty": [], )"
            R"("list": [{"scale": 0.300000012}, {}, "x y: "], "last": ""})");
}

TEST(JsonWrite, ReaderGivesBackEveryByteTheWriterCopied) {
  std::string all;
  for (int byte = 0; byte < 256; byte++) all.push_back(static_cast<char>(byte));
  Json_Writer w;
  json_begin_object(&w);
  json_member_string(&w, all, all);
  json_end_object(&w);
  Json_Value v;
  std::string error;
  ASSERT_TRUE(parse_json(w.text, &v, &error)) << error;
  ASSERT_EQ(v.members.size(), 1u);
  EXPECT_EQ(v.members[0].first, all);
  EXPECT_EQ(v.str(all), all);
}

}  // namespace
