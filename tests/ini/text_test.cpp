// Trimming and lowercasing (runtime/text.h): the white-space set and the case table, byte for byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/arena.h"
#include "runtime/text.h"
#include "tests/support/failing_heap.h"

using namespace std::string_view_literals;

namespace {

struct Trim_Row {
  std::string_view input;
  std::string_view expected;
  const char *fault;
};

TEST(TrimWhiteSpace, RemovesExactlyTheWhiteSpaceSet) {
  const Trim_Row rows[] = {
      {"", "", "empty text"},
      {" \t\n\v\f\r", "", "only ASCII white space"},
      {" \t a b \r\n", "a b", "inner space must stay"},
      {"\x1C" "a\x1F", "\x1C" "a\x1F", "U+001C..U+001F are not white space"},
      {"\xC2\x85" "a\xC2\xA0", "a", "U+0085 and U+00A0"},
      {"\xE1\x9A\x80" "a\xE3\x80\x80", "a", "U+1680 and U+3000"},
      {"\xE2\x80\x80" "a\xE2\x80\x8A", "a", "both ends of U+2000..U+200A"},
      {"\xE2\x80\xA8\xE2\x80\xA9\xE2\x80\xAF\xE2\x81\x9F", "", "U+2028, U+2029, U+202F, U+205F"},
      {"\xC2\xA0\xE3\x80\x80" "a", "a", "U+00A0 and U+3000 at the start"},
      // The end is matched byte by byte, backwards: each byte of a sequence must be compared.
      {"a\xE2\x80\xA8\xE2\x80\xA9\xE2\x80\xAF\xE2\x81\x9F", "a", "U+2028, U+2029, U+202F, U+205F at the end"},
      {"a\xE1\x9A\x80", "a", "U+1680 at the end"},
      {"a\xC2\x85", "a", "U+0085 at the end"},
      {"a\xE1\x9A\x81", "a\xE1\x9A\x81", "U+1681 at the end is a letter"},
      {"a\xE1\x9B\x80", "a\xE1\x9B\x80", "U+16C0 at the end is a letter"},
      {"a\xE3\x80\x81", "a\xE3\x80\x81", "U+3001 at the end is punctuation"},
      {"a\xE3\x81\x80", "a\xE3\x81\x80", "U+3040 at the end is no white space"},
      {"a\xE2\x81\xA0", "a\xE2\x81\xA0", "U+2060 at the end is just past U+205F"},
      {"a\xE2\x82\x80", "a\xE2\x82\x80", "U+2080 at the end shares only the first byte"},
      {"a\xC2\xA9", "a\xC2\xA9", "U+00A9 at the end shares only the first byte with U+00A0"},
      {"\xA0", "\xA0", "a lone continuation byte at the end is no U+00A0"},
      {"\xE2\x80\x8B" "a\xE2\x80\x8B", "\xE2\x80\x8B" "a\xE2\x80\x8B", "U+200B is just past the range"},
      {"\xE1\xA0\x8E" "a", "\xE1\xA0\x8E" "a", "U+180E is not white space"},
      {"\xEF\xBB\xBF" "a ", "\xEF\xBB\xBF" "a", "the byte-order mark is not white space"},
      {"\x85" "a\xA0", "\x85" "a\xA0", "bare continuation bytes are U+FFFD, not U+0085/U+00A0"},
      {"a\xC2", "a\xC2", "a truncated sequence at the end stays"},
      {"\xC2\xC2\xA0", "\xC2", "an invalid lead byte before a real U+00A0"},
      {"\xE2\x80 a", "\xE2\x80 a", "a truncated U+2000 is not white space"},
      {"a\0 "sv, "a\0"sv, "NUL is not white space"},
  };
  for (const auto &row : rows) {
    EXPECT_EQ(trim_white_space(row.input), row.expected) << row.fault;
  }
  // ASCII takes a fast path of its own: both must name the same white space.
  for (uint32_t c = 0; c < 0x80; c++) {
    EXPECT_EQ(is_white_space(c), trim_white_space(std::string("a") + static_cast<char>(c)).size() == 1) << c;
  }
}

struct Lower_Row {
  uint32_t input;
  uint32_t expected;
  const char *fault;
};

TEST(LowerCodePoint, FollowsTheCaseTable) {
  const Lower_Row rows[] = {
      {'A', 'a', "ASCII"},
      {'Z', 'z', "ASCII upper end"},
      {'@', '@', "just below A"},
      {'[', '[', "just above Z"},
      {0x00C0, 0x00E0, "first Latin-1 range"},
      {0x00D7, 0x00D7, "the gap between two ranges (multiplication sign)"},
      {0x00DF, 0x00DF, "sharp s has no simple lowercase"},
      {0x0189, 0x0256, "range with offset +205"},
      {0x0400, 0x0400, "just below the range U+0401..U+040C"},
      {0x040D, 0x040D, "the gap between U+040C and U+040E"},
      {0x0410, 0x0430, "Cyrillic range"},
      {0x10C5, 0x10F5, "last of the Georgian range"},
      {0x1F0F, 0x1F07, "negative offset"},
      {0x1FBA, 0x1F70, "range with offset -74"},
      {0x1FFB, 0x1F7D, "range with offset -126"},
      {0x2160, 0x2170, "Roman numerals"},
      {0x24CF, 0x24E9, "circled letters, last"},
      {0xFF21, 0xFF41, "fullwidth A"},
      {0xFF3B, 0xFF3B, "just above fullwidth Z"},
      {0x0130, 0x0069, "single: dotted capital I to i"},
      {0x0178, 0x00FF, "single with a negative offset"},
      {0x01C4, 0x01C6, "single +2"},
      {0x1FFC, 0x1FF3, "last single"},
      {0x0100, 0x0101, "first of a +1 run"},
      {0x012E, 0x012F, "last of a +1 run"},
      {0x0101, 0x0101, "odd member of an even run: already lowercase"},
      {0x0139, 0x013A, "a run that starts on an odd code point"},
      {0x013A, 0x013A, "parity of an odd-started run"},
      {0x0148, 0x0148, "one past the end of a run"},
      {0x0187, 0x0188, "a run of one"},
      {0x01F4, 0x01F5, "last of U+01F2..U+01F4"},
      {0x01F3, 0x01F3, "inside U+01F2..U+01F4 but off parity"},
      {0x1E94, 0x1E95, "end of U+1E00..U+1E94"},
      {0x1E96, 0x1E96, "past the end of U+1E00..U+1E94"},
      {0x1E9E, 0x1E9E, "capital sharp s is not in the table"},
      {0x1EF8, 0x1EF9, "last +1 code point"},
      {0x1EFA, 0x1EFA, "past the last run"},
      {0xFFFD, 0xFFFD, "replacement character"},
      {0x10400, 0x10400, "Deseret capitals are not in the table"},
  };
  for (const auto &row : rows) {
    EXPECT_EQ(lower_code_point(row.input), row.expected) << std::hex << "U+" << row.input << ": " << row.fault;
  }
}

struct Lower_Text_Row {
  std::string_view input;
  std::string_view expected;
  const char *fault;
};

const Lower_Text_Row LOWER_TEXT_ROWS[] = {
    {"", "", "empty"},
    {"Hair_Primary", "hair_primary", "ASCII"},
    {"\xC3\x80" "B", "\xC3\xA0" "b", "two-byte letter then ASCII"},
    {"\xC4\xB0", "i", "U+0130 shrinks to one byte"},
    {"\xD0\x90\xE2\x85\xA0", "\xD0\xB0\xE2\x85\xB0", "Cyrillic A, Roman numeral one"},
    {"K\xFF" "x", "k\xEF\xBF\xBD" "x", "an invalid byte becomes U+FFFD"},
    {"\xE2\x85", "\xEF\xBF\xBD\xEF\xBF\xBD", "a truncated sequence: one U+FFFD per byte"},
    {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", "four-byte sequence unchanged"},
    {"A\0B"sv, "a\0b"sv, "NUL is kept"},
};

TEST(LowerText, InTheArena) {
  for (const auto &row : LOWER_TEXT_ROWS) {
    Arena arena{};
    std::string_view in_arena = lower_from_utf8(&arena, row.input);
    ASSERT_NE(in_arena.data(), nullptr) << row.fault;
    EXPECT_EQ(in_arena, row.expected) << row.fault;
    EXPECT_EQ(in_arena.data()[in_arena.size()], '\0') << row.fault;
    arena_destroy(&arena);
  }
  Failing_Heap_Scope no_heap(0);
  for (std::string_view text : {"A"sv, "\xC3\x80"sv}) {  // each way of lowercasing asks for room
    Arena arena{};
    EXPECT_EQ(lower_from_utf8(&arena, text).data(), nullptr) << text;
  }
}

// The reader keeps a key as it is when is_lower_ascii says lowercasing would not change it; the
// check reads eight bytes at a time, so each row puts the byte that matters at another place.
TEST(LowerText, AlreadyLowerAsciiOnlyWhenItIs) {
  struct Row {
    std::string_view text;
    bool lower;
    const char *fault;
  } rows[] = {
      {"", true, "empty"},
      {"hair_primary", true, "lowercase ASCII over a word and a tail"},
      {"hair_priMary", false, "a capital in the tail"},
      {"hAir_primary", false, "a capital in the first word"},
      {"abcdefgh@[`{", true, "the bytes around A-Z and a-z"},
      {"abcdefgZ", false, "Z at the end of a word"},
      {"Aabcdefg", false, "A at the start of a word"},
      {"abcdefg\x80", false, "a high byte in a word"},
      {"abcdefghi\xC3\xA0", false, "lowercase beyond ASCII still needs the case table's look"},
      {"a\0b", true, "NUL is lowercase"},
  };
  for (const Row &row : rows) EXPECT_EQ(is_lower_ascii(row.text), row.lower) << row.fault;
}

// The configuration relies on two facts of the case table: lowercasing twice changes nothing (a key
// the reader lowercased is its own lowercase), and no code point but ASCII and U+0130 lowercases to
// ASCII (a section name longer than twice a block's name cannot name the block).
TEST(LowerCodePoint, IdempotentAndOnlyU0130BecomesAscii) {
  for (uint32_t c = 0; c <= 0x10FFFF; c++) {
    uint32_t lower = lower_code_point(c);
    ASSERT_EQ(lower_code_point(lower), lower) << std::hex << "U+" << c;
    if (c >= 0x80 && c != 0x130) {
      ASSERT_GE(lower, 0x80u) << std::hex << "U+" << c;
    }
  }
}

}  // namespace
