// The INI reader: each table row is one file text and the whole map it must give (map_dump.h).
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "encoding/ini/ini.h"
#include "map_dump.h"
#include "runtime/text.h"

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
    Owned<Section_Map> loaded;
    EXPECT_TRUE(load_map_from_string(&loaded.value, rows[i].text, options).ok()) << rows[i].fault;
    EXPECT_EQ(dump_map(loaded.value), rows[i].expected) << rows[i].fault;
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
      {"a=1\n\rb=2\n\r", "[]\na\t1\nb\t2\n", "a CR opening a line, or ending the text, is no blank line"},
      {" \ta = 1 \t\n\t[s] \nb=2  ", "[]\na\t1\n[s]\nb\t2\n", "spaces and tabs at both ends of a line"},
      {"\xC2\xA0" "a = 1\xE3\x80\x80\n", "[]\na\t1\n", "non-ASCII white space around a pair"},
      {"\xE2\x80\x8B" "a=1", "[]\n\xE2\x80\x8B" "a\t1\n", "U+200B is part of the key"},
      {"a=1\n\0b=2\0"sv, "[]\n\\x00b\t2\\x00\na\t1\n", "NUL bytes are ordinary bytes"},
      {"a\xFF=\xC3\n", "[]\na\xEF\xBF\xBD\t\xC3\n", "invalid UTF-8: lowercased key gets U+FFFD, value kept"},
  };
  expect_maps(rows);
}

// Every white-space code point is trimmed at every end: of the line, of the key before the
// separator and of the value after it. U+FEFF and U+200B are not white space and stay.
TEST(IniLines, EveryWhiteSpaceAtEveryEnd) {
  const std::string_view white[] = {"\t", "\v", "\f", "\r", " ", "\xC2\x85", "\xC2\xA0", "\xE1\x9A\x80",
                                    "\xE2\x80\x80", "\xE2\x80\x85", "\xE2\x80\x8A", "\xE2\x80\xA8",
                                    "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F", "\xE3\x80\x80"};
  for (std::string_view w : white) {
    const std::string ws(w);
    const std::string k = "k", ke = "k=";  // strings first: g++ 12 gives a false -Wrestrict for a literal plus a string
    const std::string texts[] = {ws + "k=v", k + ws + "=v", ke + ws + "v", ke + "v" + ws, k + ws + " = " + ws + "v"};
    for (const std::string &text : texts) {
      Owned<Section_Map> loaded;
      ASSERT_TRUE(load_map_from_string(&loaded.value, text, CONFIG_OPTIONS).ok());
      EXPECT_EQ(dump_map(loaded.value), "[]\nk\tv\n") << "white space trimmed: " << dump_bytes(text);
    }
  }
  for (std::string_view kept : {"\xEF\xBB\xBF"sv, "\xE2\x80\x8B"sv}) {
    const std::string k(kept), x = "x=1\n", dumped = "[]\n";  // x sorts first in the dump
    Owned<Section_Map> loaded;
    ASSERT_TRUE(load_map_from_string(&loaded.value, x + k + "a" + k + " = " + k + "b" + k, CONFIG_OPTIONS).ok());
    EXPECT_EQ(dump_map(loaded.value), dumped + "x\t1\n" + k + "a" + k + "\t" + k + "b" + k + "\n") << "not white space: " << dump_bytes(k);
  }
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
  std::string_view expected;  // the input itself when it is no literal
  const char *fault;
};

TEST(IniUnquote, LiteralsAndEveryEscape) {
  const Unquote_Row rows[] = {
      {"12", "12", "no quote: unchanged"},
      {"", "", "empty text: no first byte to look at"},
      {" \"12\"", " \"12\"", "unquote does not trim"},
      {"\"12\"", "12", "double quotes"},
      {"'12'", "12", "single quotes"},
      {"\"\"", "", "two double quotes"},
      {"''", "", "two single quotes"},
      {"\"", "\"", "one byte"},
      {"\"abc", "\"abc", "no closing quote"},
      {"'abc\"", "'abc\"", "closing quote of the other kind"},
      {"\"a\"b\"", "\"a\"b\"", "an unescaped double quote inside"},
      {"'a\"b'", "'a\"b'", "a double quote inside single quotes"},
      {"'a'b'", "a'b", "a single quote inside single quotes is plain"},
      {"\"a\nb\"", "\"a\nb\"", "a line feed inside"},
      {"\"\\a\\b\\f\\n\\r\\t\\v\"", "\x07\x08\x0C\x0A\x0D\x09\x0B", "control escapes"},
      {"'\\\\\\\"\\''", "\\\"'", "backslash and quote escapes"},
      {"\"\\012\"", "\n", "three octal digits"},
      {"\"\\0123\"", "\n3", "octal reads exactly three digits"},
      {"\"\\377\"", "\xFF", "octal 255"},
      {"\"\\400\"", "\"\\400\"", "octal above 255"},
      {"\"\\01\"", "\"\\01\"", "two octal digits"},
      {"\"\\018\"", "\"\\018\"", "a non-octal third digit"},
      {"\"\\8\"", "\"\\8\"", "8 is no escape"},
      {"\"\\0/7\"", "\"\\0/7\"", "the byte before 0 is no octal digit"},
      {"\"\\x4a\\x4A\"", "JJ", "hex digits of either case"},
      {"\"\\xff\"", "\xFF", "\\x writes a raw byte"},
      {"\"\\x4\"", "\"\\x4\"", "one hex digit"},
      {"\"\\xg0\"", "\"\\xg0\"", "a non-hex digit"},
      {"\"\\x/0\"", "\"\\x/0\"", "the byte before 0 is no hex digit"},
      {"\"\\x:0\"", "\"\\x:0\"", "the bytes between 9 and A are no hex digits"},
      {"\"\\u00e9\"", "\xC3\xA9", "\\u as UTF-8"},
      {"\"\\uD800\"", "\xEF\xBF\xBD", "a surrogate becomes U+FFFD"},
      {"\"\\u12\"", "\"\\u12\"", "too few \\u digits"},
      {"\"\\U0001F600\"", "\xF0\x9F\x98\x80", "\\U as UTF-8"},
      {"\"\\U0010FFFF\"", "\xF4\x8F\xBF\xBF", "the largest code point"},
      {"\"\\U00110000\"", "\"\\U00110000\"", "just above the largest code point"},
      {"\"\\UFFFFFFFF\"", "\"\\UFFFFFFFF\"", "far above the largest code point"},
      {"\"\\U1F600\"", "\"\\U1F600\"", "\\U takes exactly eight digits"},
      {"\"\\q\"", "\"\\q\"", "an unknown escape"},
      {"\"abc\\\"", "\"abc\\\"", "a backslash as the last inner byte"},
      {"\"\xFF\"", "\xFF", "no escape: inner bytes kept as they are"},
      {"\"\xFF\\t\"", "\xEF\xBF\xBD\t", "with an escape: an invalid byte becomes U+FFFD"},
      {"\"\xC3\xA9\\t\"", "\xC3\xA9\t", "with an escape: valid UTF-8 is kept"},
      {"\"a\0\\tb\""sv, "a\0\tb"sv, "NUL inside a literal"},
  };
  Arena arena{};
  for (const auto &row : rows) {
    std::string input(row.input);  // the copy must not depend on the input staying
    Result<std::string_view> result = unquote(&arena, input);
    input.assign(input.size(), '#');
    ASSERT_TRUE(result.ok()) << row.fault;
    EXPECT_EQ(result.value(), row.expected) << row.fault;
  }
  arena_destroy(&arena);
}

TEST(IniRobustness, HostileInput) {
  std::string long_value = std::string("k=").append(3 << 20, 'v');
  Owned<Section_Map> a;
  ASSERT_TRUE(load_map_from_string(&a.value, long_value, CONFIG_OPTIONS).ok());
  EXPECT_EQ(map_value(a.value, "", "k").size(), size_t{3} << 20);

  std::string many_equals(1 << 20, '=');
  Owned<Section_Map> b;
  ASSERT_TRUE(load_map_from_string(&b.value, many_equals, CONFIG_OPTIONS).ok());
  EXPECT_EQ(map_value(b.value, "", "").size(), (size_t{1} << 20) - 1);

  std::string quotes(1 << 16, '"');
  Owned<Section_Map> c;
  ASSERT_TRUE(load_map_from_string(&c.value, quotes, CONFIG_OPTIONS).ok());
  EXPECT_EQ(c.value.first, nullptr);

  std::string escapes = std::string("k=\"").append(1 << 16, '\\').append("\"");
  Owned<Section_Map> d;
  ASSERT_TRUE(load_map_from_string(&d.value, escapes, CONFIG_OPTIONS).ok());
  EXPECT_EQ(map_value(d.value, "", "k"), std::string(1 << 15, '\\'));
}

// The tables grow from a few slots: many sections and many keys, each found again afterwards, and
// keys whose hashes share their low bits (one table slot) kept apart.
TEST(IniMaps, GrowthKeepsEveryEntryFindable) {
  std::string text;
  for (int s = 0; s < 300; s++) {
    text.append("[s").append(std::to_string(s)).append("]\n");
    for (int k = 0; k <= s % 40; k++) {
      text.append("k").append(std::to_string(k)).append(" = ").append(std::to_string(s * 100 + k)).append("\n");
    }
  }
  text += "[s7]\nk3 = again\n";  // a repeated header continues its section; the later value wins
  Owned<Section_Map> loaded;
  ASSERT_TRUE(load_map_from_string(&loaded.value, text, CONFIG_OPTIONS).ok());
  EXPECT_EQ(loaded.value.count, 300u);
  size_t pairs = 0;
  for (int s = 0; s < 300; s++) {
    std::string name = std::string("s").append(std::to_string(s));
    const Ini_Section *section = ini_find_section(&loaded.value, name);
    ASSERT_NE(section, nullptr) << name;
    EXPECT_EQ(section->count, static_cast<uint32_t>(s % 40 + 1)) << name;
    for (int k = 0; k <= s % 40; k++, pairs++) {
      std::string want = s == 7 && k == 3 ? "again" : std::to_string(s * 100 + k);
      EXPECT_EQ(map_value(loaded.value, name, std::string("k").append(std::to_string(k))), want) << name << " k" << k;
    }
  }
  EXPECT_EQ(map_value(loaded.value, "s1", "k2"), "(none)");
  EXPECT_EQ(ini_find_section(&loaded.value, "S1"), nullptr);
  Owned<Section_Map> empty;  // a file of notes only: no table to look in
  ASSERT_TRUE(load_map_from_string(&empty.value, "; note\n[no pairs]\n", CONFIG_OPTIONS).ok());
  EXPECT_EQ(ini_find_section(&empty.value, "no pairs"), nullptr);

  // Iteration meets every pair once, and the probing above had collisions to get past: keys whose
  // hashes share a home slot. (A section of a few keys has no table yet.)
  size_t in_order = 0, displaced = 0;
  for (const Ini_Section *section = loaded.value.first; section; section = section->next) {
    for (const Ini_Pair *pair = section->first; pair; pair = pair->next) {
      in_order++;
      displaced += section->slots && section->slots[pair->hash & section->mask].entry != pair;
    }
  }
  EXPECT_EQ(in_order, pairs);
  EXPECT_GT(displaced, 100u);
}

// Two keys of one 64-bit hash cannot be written on purpose (the seed comes from a heap address), so
// one is made here: an entry is given the hash of another text. Every search must still compare the
// text, in a section's list and in both kinds of table.
TEST(IniMaps, AnEqualHashIsNoEqualKey) {
  std::string text = "[few]\na=1\nb=2\n[many]\n";
  for (int k = 0; k < 16; k++) text.append("k").append(std::to_string(k)).append("=v\n");
  Owned<Section_Map> loaded;
  Section_Map &map = loaded.value;
  ASSERT_TRUE(load_map_from_string(&map, text, CONFIG_OPTIONS).ok());
  const Ini_Section *few = ini_find_section(&map, "few");
  const Ini_Section *many = ini_find_section(&map, "many");
  few->first->hash = text_hash("b", map.seed);
  EXPECT_EQ(ini_find_pair(&map, few, "b"), few->first->next);

  // The entry at a text's home slot takes that text's hash: the search must go on past it.
  auto collide = [&](auto *slots, uint32_t mask, auto find) {
    for (int n = 0;; n++) {
      std::string absent = std::string("absent").append(std::to_string(n));
      uint64_t hash = text_hash(absent, map.seed);
      if (!slots[hash & mask].entry) continue;
      slots[hash & mask].hash = hash;
      EXPECT_EQ(find(absent), nullptr) << absent;
      return;
    }
  };
  collide(map.slots, map.mask, [&](const std::string &name) { return ini_find_section(&map, name); });
  collide(many->slots, many->mask, [&](const std::string &key) { return ini_find_pair(&map, many, key); });
}

TEST(IniMaps, DeleteEmptiesAndTheMapCanBeFilledAgain) {
  Section_Map map{};
  ASSERT_TRUE(load_map_from_string(&map, "[a]\nx=1", CONFIG_OPTIONS).ok());
  delete_map(&map);
  EXPECT_EQ(map.first, nullptr);
  EXPECT_EQ(map.count, 0u);
  EXPECT_EQ(arena_block_count(&map.arena), 0u);
  ASSERT_TRUE(load_map_from_string(&map, "[b]\ny=2", CONFIG_OPTIONS).ok());
  EXPECT_EQ(dump_map(map), "[b]\ny\t2\n");
  delete_map(&map);
}

TEST(IniErrors, NamesForLogs) {
  EXPECT_STREQ(failure_name(FAILURE_NONE), "Ok");
  EXPECT_STREQ(failure_name(FAILURE_OUT_OF_MEMORY), "Out_Of_Memory");
  EXPECT_STREQ(failure_name(FAILURE_READ), "Read_Failed");
}

}  // namespace
