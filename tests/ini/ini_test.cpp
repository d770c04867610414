// The INI reader: each table row is one file text and the whole map it must give (map_dump.h).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "encoding/ini/ini.h"
#include "map_dump.h"

using namespace std::string_view_literals;

namespace {

constexpr Ini_Options CONFIG_OPTIONS = {";", /*lowercase_keys=*/true};
constexpr Ini_Options RAW_OPTIONS = {"", /*lowercase_keys=*/false};

struct Map_Row {
  std::string_view text;
  std::string_view expected;  // dump_map of the result
  const char *fault;
};

void expect_maps(const Map_Row *rows, size_t count, const Ini_Options &options) {
  for (size_t i = 0; i < count; i++) {
    Section_Map map;
    EXPECT_TRUE(load_map_from_string(&map, rows[i].text, options).ok()) << rows[i].fault;
    EXPECT_EQ(dump_map(map), rows[i].expected) << rows[i].fault;
  }
}

template <size_t N>
void expect_maps(const Map_Row (&rows)[N], const Ini_Options &options = CONFIG_OPTIONS) {
  expect_maps(rows, N, options);
}

TEST(IniLines, CuttingAndTrimming) {
  const Map_Row rows[] = {
      {"", "", "empty file"},
      {"; only a comment\n\n   \n\t\n", "", "comments and blank lines give no section"},
      {"a=1\r\nb=2\r\n", "[]\na\t1\nb\t2\n", "CRLF line ends"},
      {"a=1\nb=2", "[]\na\t1\nb\t2\n", "last line without a line end"},
      {"a=1\r\r\nb=2\r", "[]\na\t1\nb\t2\n", "extra carriage returns are trimmed"},
      {"a=1\rb=2", "[]\na\t1\\x0Db=2\n", "a lone CR does not end a line"},
      {"\xC2\xA0" "a = 1\xE3\x80\x80\n", "[]\na\t1\n", "non-ASCII white space around a pair"},
      {"\xE2\x80\x8B" "a=1", "[]\n\xE2\x80\x8B" "a\t1\n", "U+200B is part of the key"},
      {"a=1\n\0b=2\0"sv, "[]\n\\x00b\t2\\x00\na\t1\n", "NUL bytes are ordinary bytes"},
      {"a\xFF=\xC3\n", "[]\na\xEF\xBF\xBD\t\xC3\n", "invalid UTF-8: lowercased key gets U+FFFD, value kept"},
  };
  expect_maps(rows);
}

TEST(IniSections, HeadersAndComments) {
  const Map_Row rows[] = {
      {"[s]\na=1", "[s]\na\t1\n", "a plain section"},
      {"[s]\n", "", "a header without pairs creates no section"},
      {"[s]\n; note\n[t]\na=1", "[t]\na\t1\n", "only the section with pairs appears"},
      {"[ S x ]\nK=1", "[ S x ]\nk\t1\n", "names keep inner spaces and case; keys are lowercased"},
      {"[s\na=1", "[s]\na\t1\n", "no closing bracket: the rest of the line names it"},
      {"[s] ignored=1\na=1", "[s]\na\t1\n", "text after the bracket is ignored"},
      {"[a]b]\na=1", "[a]\na\t1\n", "the first closing bracket ends the name"},
      {"[]\na=1", "[]\na\t1\n", "an empty name is the unnamed section"},
      {"x=0\n[s]\na=1", "[]\nx\t0\n[s]\na\t1\n", "pairs before the first header"},
      {"[s]\na=1\n[t]\nb=2\n[s]\nc=3", "[s]\na\t1\nc\t3\n[t]\nb\t2\n", "a repeated header continues its section"},
      {"[S]\na=1\n[s]\nb=2", "[S]\na\t1\n[s]\nb\t2\n", "section names are not case-folded"},
      {"#a=1", "[]\n#a\t1\n", "# does not start a comment"},
      {"  ;a=1", "", "a comment after leading white space"},
      {"a=1 ; note", "[]\na\t1 ; note\n", "a trailing note stays in the value"},
      {"[", "", "a file of only ["},
      {"[[\n", "", "a header line with no pairs"},
  };
  expect_maps(rows);

  const Map_Row no_comment_rows[] = {
      {";a=1", "[]\n;a\t1\n", "an empty prefix means no comment lines"},
  };
  expect_maps(no_comment_rows, RAW_OPTIONS);

  const Map_Row slash_rows[] = {
      {"//a=1\n/b=2", "[]\n/b\t2\n", "a two-byte prefix must match whole"},
  };
  expect_maps(slash_rows, {"//", true});

  const Map_Row bracket_rows[] = {
      {"[s]\na=1", "[s]\na\t1\n", "a header is recognised before comments"},
  };
  expect_maps(bracket_rows, {"[", true});
}

TEST(IniSeparators, SpaceEqualsRule) {
  const Map_Row rows[] = {
      {"a=1\nb = 2\nc =3\nd= 4", "[]\na\t1\nb\t2\nc\t3\nd\t4\n", "spacing around the equals sign"},
      {"a=", "[]\na\t\n", "nothing after the equals sign"},
      {"=v", "[]\n\tv\n", "nothing before the equals sign"},
      {"novalue", "", "a line without = is skipped"},
      {"x=a =b", "[]\nx=a\tb\n", "a later \" =\" wins over the first ="},
      {"a= =b", "[]\na=\tb\n", "the = of \" =\" separates, not the first ="},
      {"x = a = b", "[]\nx\ta = b\n", "only the first \" =\" separates"},
      {"a==b", "[]\na\t=b\n", "no \" =\": the first = separates"},
      {"x=a\t=b", "[]\nx\ta\\x09=b\n", "a tab before = is not \" =\""},
      {"\"k=1\" = v", "[]\nk=1\tv\n", "a quoted key holds = when \" =\" follows"},
      {"k\"=1\" = v", "[]\nk\"\t1\" = v\n", "a quote inside the key: the first = separates"},
      {"a=\"b =c\"", "[]\na\tb =c\n", "a quote before \" =\": the first = separates"},
      {"a = \"b =c\"", "[]\na\tb =c\n", "a quote after \" =\" does not matter"},
      {"a=1\na=2\nA=3", "[]\na\t3\n", "the last occurrence wins, across letter case"},
      {"\"=\"", "[]\n\"\t\"\n", "a lone quote on each side stays as written"},
  };
  expect_maps(rows);

  const Map_Row raw_rows[] = {
      {"A=1\na=2", "[]\nA\t1\na\t2\n", "without lowercasing, case makes different keys"},
      {"K\xFF=1", "[]\nK\xFF\t1\n", "without lowercasing, bytes are kept"},
  };
  expect_maps(raw_rows, RAW_OPTIONS);
}

TEST(IniLowercase, KeysOnlyAfterUnquoting) {
  const Map_Row rows[] = {
      {"\xC3\x80" "B=V", "[]\n\xC3\xA0" "b\tV\n", "non-ASCII key lowercased, value untouched"},
      {"\"K\\x41\" = 1", "[]\nka\t1\n", "the escape's result is lowercased too"},
      {"\xC4\xB0\xC4\x80\xC4\x81=1", "[]\ni\xC4\x81\xC4\x81\t1\n", "single and +1 run code points"},
      {"\xE2\x85\xA0=1\n\xE2\x85\xB0=2", "[]\n\xE2\x85\xB0\t2\n", "two spellings of one key: the later wins"},
  };
  expect_maps(rows);
}

TEST(IniMends, ByteOrderMarkAndClosingQuote) {
  const Map_Row rows[] = {
      {"\xEF\xBB\xBF[s]\na=1", "[s]\na\t1\n", "a BOM at the start does not hide the first header"},
      {"\xEF\xBB\xBF; note\na=1", "[]\na\t1\n", "a BOM at the start does not hide a comment"},
      {"a=1\n\xEF\xBB\xBF[s]\nb=2", "[]\na\t1\nb\t2\n", "a BOM elsewhere is kept: that line is no header"},
      {"\xEF\xBB\xBF\xEF\xBB\xBF[s]\nb=2", "[]\nb\t2\n", "only one BOM is skipped"},
      {"\xEF\xBB", "", "a partial BOM alone"},
      {"hair_primary = \"12", "[]\nhair_primary\t\"12\n", "an unclosed quote stays as written"},
      {"a = \"12'", "[]\na\t\"12'\n", "a literal must close with its own quote"},
      {"a = \"12\" ; note", "[]\na\t\"12\" ; note\n", "a note after a literal keeps it as written"},
  };
  expect_maps(rows);
}

struct Unquote_Row {
  std::string_view input;
  std::string_view expected;
  bool decoded;
  const char *fault;
};

TEST(IniUnquote, LiteralsAndEveryEscape) {
  const Unquote_Row rows[] = {
      {"12", "12", false, "no quote: unchanged"},
      {" \"12\"", " \"12\"", false, "unquote does not trim"},
      {"\"12\"", "12", true, "double quotes"},
      {"'12'", "12", true, "single quotes"},
      {"\"\"", "", true, "two double quotes"},
      {"''", "", true, "two single quotes"},
      {"\"", "\"", false, "one byte"},
      {"\"abc", "\"abc", false, "no closing quote"},
      {"'abc\"", "'abc\"", false, "closing quote of the other kind"},
      {"\"a\"b\"", "\"a\"b\"", false, "an unescaped double quote inside"},
      {"'a\"b'", "'a\"b'", false, "a double quote inside single quotes"},
      {"'a'b'", "a'b", true, "a single quote inside single quotes is plain"},
      {"\"a\nb\"", "\"a\nb\"", false, "a line feed inside"},
      {"\"\\a\\b\\f\\n\\r\\t\\v\"", "\x07\x08\x0C\x0A\x0D\x09\x0B", true, "control escapes"},
      {"'\\\\\\\"\\''", "\\\"'", true, "backslash and quote escapes"},
      {"\"\\012\"", "\n", true, "three octal digits"},
      {"\"\\0123\"", "\n3", true, "octal reads exactly three digits"},
      {"\"\\377\"", "\xFF", true, "octal 255"},
      {"\"\\400\"", "\"\\400\"", false, "octal above 255"},
      {"\"\\01\"", "\"\\01\"", false, "two octal digits"},
      {"\"\\018\"", "\"\\018\"", false, "a non-octal third digit"},
      {"\"\\8\"", "\"\\8\"", false, "8 is no escape"},
      {"\"\\x4a\\x4A\"", "JJ", true, "hex digits of either case"},
      {"\"\\xff\"", "\xFF", true, "\\x writes a raw byte"},
      {"\"\\x4\"", "\"\\x4\"", false, "one hex digit"},
      {"\"\\xg0\"", "\"\\xg0\"", false, "a non-hex digit"},
      {"\"\\u00e9\"", "\xC3\xA9", true, "\\u as UTF-8"},
      {"\"\\uD800\"", "\xEF\xBF\xBD", true, "a surrogate becomes U+FFFD"},
      {"\"\\u12\"", "\"\\u12\"", false, "too few \\u digits"},
      {"\"\\U0001F600\"", "\xF0\x9F\x98\x80", true, "\\U as UTF-8"},
      {"\"\\U0010FFFF\"", "\xF4\x8F\xBF\xBF", true, "the largest code point"},
      {"\"\\U00110000\"", "\"\\U00110000\"", false, "just above the largest code point"},
      {"\"\\UFFFFFFFF\"", "\"\\UFFFFFFFF\"", false, "far above the largest code point"},
      {"\"\\q\"", "\"\\q\"", false, "an unknown escape"},
      {"\"abc\\\"", "\"abc\\\"", false, "a backslash as the last inner byte"},
      {"\"\xFF\"", "\xFF", true, "no escape: inner bytes kept as they are"},
      {"\"\xFF\\t\"", "\xEF\xBF\xBD\t", true, "with an escape: an invalid byte becomes U+FFFD"},
      {"\"\xC3\xA9\\t\"", "\xC3\xA9\t", true, "with an escape: valid UTF-8 is kept"},
      {"\"a\0\\tb\""sv, "a\0\tb"sv, true, "NUL inside a literal"},
  };
  for (const auto &row : rows) {
    Result<Unquoted> result = unquote(row.input);
    ASSERT_TRUE(result.ok()) << row.fault;
    EXPECT_EQ(result.value().text, row.expected) << row.fault;
    EXPECT_EQ(result.value().decoded, row.decoded) << row.fault;
  }
}

TEST(IniRobustness, HostileInput) {
  std::string long_value = std::string("k=").append(3 << 20, 'v');
  Section_Map map;
  ASSERT_TRUE(load_map_from_string(&map, long_value, CONFIG_OPTIONS).ok());
  EXPECT_EQ(map[""]["k"].size(), size_t{3} << 20);

  std::string many_equals(1 << 20, '=');
  ASSERT_TRUE(load_map_from_string(&map, many_equals, CONFIG_OPTIONS).ok());
  EXPECT_EQ(map[""][""].size(), (size_t{1} << 20) - 1);

  std::string quotes(1 << 16, '"');
  ASSERT_TRUE(load_map_from_string(&map, quotes, CONFIG_OPTIONS).ok());
  EXPECT_TRUE(map.empty());

  std::string escapes = std::string("k=\"").append(1 << 16, '\\').append("\"");
  ASSERT_TRUE(load_map_from_string(&map, escapes, CONFIG_OPTIONS).ok());
  EXPECT_EQ(map[""]["k"], std::string(1 << 15, '\\'));
}

TEST(IniMaps, ReloadReplacesAndDeleteEmpties) {
  Section_Map map;
  ASSERT_TRUE(load_map_from_string(&map, "[a]\nx=1", CONFIG_OPTIONS).ok());
  ASSERT_TRUE(load_map_from_string(&map, "[b]\ny=2", CONFIG_OPTIONS).ok());
  EXPECT_EQ(dump_map(map), "[b]\ny\t2\n");
  delete_map(&map);
  EXPECT_TRUE(map.empty());
}

std::filesystem::path write_temp_file(const std::u8string &name, std::string_view bytes) {
  std::filesystem::path path = std::filesystem::temp_directory_path() / name;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::string utf8_from_path(const std::filesystem::path &path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

TEST(IniPath, ReadsAFileAndReportsAMissingOne) {
  const char *text = "\xEF\xBB\xBF[corvin]\r\nEnabled = 1\r\nhair_primary = \"12\"\r\n";
  std::filesystem::path path = write_temp_file(u8"ManeShade_ini_test_\u00e9.ini", text);
  Section_Map loaded;
  EXPECT_EQ(load_map_from_path(&loaded, utf8_from_path(path), CONFIG_OPTIONS), STATUS_OK);
  EXPECT_EQ(dump_map(loaded), "[corvin]\nenabled\t1\nhair_primary\t12\n");

  std::filesystem::path empty_path = write_temp_file(u8"ManeShade_ini_test_empty.ini", "");
  Section_Map empty;
  EXPECT_TRUE(load_map_from_path(&empty, utf8_from_path(empty_path), CONFIG_OPTIONS).ok());
  EXPECT_TRUE(empty.empty());

  std::filesystem::remove(path);
  Section_Map missing = loaded;
  EXPECT_EQ(load_map_from_path(&missing, utf8_from_path(path), CONFIG_OPTIONS), status_fail(FAILURE_READ, OS_FILE_NOT_FOUND));
  EXPECT_TRUE(missing.empty());

  Section_Map directory;
  EXPECT_EQ(load_map_from_path(&directory, utf8_from_path(std::filesystem::temp_directory_path()), CONFIG_OPTIONS).failure,
            FAILURE_READ);

  std::filesystem::remove(empty_path);
}

TEST(IniErrors, NamesForLogs) {
  EXPECT_STREQ(failure_name(FAILURE_NONE), "Ok");
  EXPECT_STREQ(failure_name(FAILURE_OUT_OF_MEMORY), "Out_Of_Memory");
  EXPECT_STREQ(failure_name(FAILURE_READ), "Read_Failed");
}

// Files as Windows editors save "Unicode": UTF-16 with a byte-order mark, decoded before reading.
TEST(IniUtf16, DecodedFromTheMarkOnAsTheReaderThenReadsIt) {
  using namespace std::string_view_literals;
  struct Row {
    std::string_view bytes;
    std::string_view text;  // what the reader reads
    const char *fault;
  } rows[] = {
      {"\xFF\xFE[\0a\0]\0"sv, "[a]", "little endian read as bytes, NULs and all"},
      {"\xFE\xFF\0[\0a\0]"sv, "[a]", "big endian"},
      {"\xFF\xFE\x3D\xD8\x00\xDE"sv, "\xF0\x9F\x98\x80", "a surrogate pair is one code point, not two U+FFFD"},
      {"\xFF\xFE\x3D\xD8\x41\x00"sv, "\xEF\xBF\xBD" "A", "a high surrogate alone, then a letter"},
      {"\xFF\xFE\x00\xDE\x41\x00"sv, "\xEF\xBF\xBD" "A", "a low surrogate alone"},
      {"\xFF\xFE\x41\x00\x3D\xD8"sv, "A\xEF\xBF\xBD", "a high surrogate as the last unit"},
      {"\xFF\xFE\x41\x00\x42"sv, "A\xEF\xBF\xBD", "an odd last byte"},
      {"\xFF\xFE"sv, "", "only a mark"},
      {"\xFF\xFE\xFF\xFE[\0a\0]\0"sv, "\xEF\xBB\xBF[a]", "a U+FEFF after the mark becomes the UTF-8 mark"},
      {"\xFE\xFF\x00\xE9"sv, "\xC3\xA9", "a letter beyond ASCII"},
      {"[a]\r\n"sv, "[a]\r\n", "UTF-8 stays byte for byte"},
      {"\xFF[a]"sv, "\xFF[a]", "one byte of a mark is no mark"},
  };
  for (const Row &row : rows) {
    std::string decoded;
    std::string_view text;
    ASSERT_TRUE(ini_text_from_file(row.bytes, &decoded, &text).ok()) << row.fault;
    EXPECT_EQ(text, row.text) << row.fault;
  }
}

TEST(IniUtf16, FileSavedAsUtf16ReadsLikeTheSameFileInUtf8) {
  const std::string utf8 = "\xEF\xBB\xBF[Corvin]\r\nhair_primary = \"1\u00e9\"\r\n; note\r\n[mael]\r\nk=v\r\n";
  // The same text as Notepad saves it as "Unicode" (little endian) and "Unicode big endian".
  std::u16string units;
  for (char32_t c : std::u32string(U"[Corvin]\r\nhair_primary = \"1\u00e9\"\r\n; note\r\n[mael]\r\nk=v\r\n")) {
    units.push_back(static_cast<char16_t>(c));
  }
  std::string little = "\xFF\xFE", big = "\xFE\xFF";
  for (char16_t u : units) {
    little += static_cast<char>(u & 0xFF), little += static_cast<char>(u >> 8);
    big += static_cast<char>(u >> 8), big += static_cast<char>(u & 0xFF);
  }
  Section_Map want;
  ASSERT_TRUE(load_map_from_path(&want, utf8_from_path(write_temp_file(u8"ManeShade_utf8.ini", utf8)), CONFIG_OPTIONS).ok());
  for (const std::string &bytes : {little, big}) {
    std::filesystem::path path = write_temp_file(u8"ManeShade_utf16.ini", bytes);
    Section_Map got;
    ASSERT_TRUE(load_map_from_path(&got, utf8_from_path(path), CONFIG_OPTIONS).ok());
    EXPECT_EQ(dump_map(got), dump_map(want));
    std::filesystem::remove(path);
  }
  std::filesystem::remove(std::filesystem::temp_directory_path() / u8"ManeShade_utf8.ini");
}

}  // namespace
