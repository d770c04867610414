// Runtime support: UTF-8 decoding and UTF-16, the {} formatter, and the logging facade's filtering.
#include <gtest/gtest.h>
#include <algorithm>

#include <set>
#include <string>
#include <vector>

#include "runtime/format.h"
#include "runtime/log.h"
#include "runtime/status.h"
#include "runtime/utf8.h"

namespace {

TEST(Utf8, DecodeTakesEachBadByteAsReplacement) {
  struct Row {
    const char *fault;
    std::string bytes;
    uint32_t code_point;
    uint32_t size;
  };
  const Row rows[] = {
      {"ascii", "A", 0x41, 1},
      {"two bytes", "\xC3\xA9", 0xE9, 2},
      {"three bytes", "\xE2\x80\xA8", 0x2028, 3},
      {"four bytes", "\xF0\x9F\x98\x80", 0x1F600, 4},
      {"highest scalar", "\xF4\x8F\xBF\xBF", 0x10FFFF, 4},
      {"overlong two-byte", "\xC0\x80", 0xFFFD, 1},
      {"overlong three-byte", "\xE0\x80\x80", 0xFFFD, 1},
      {"overlong four-byte", "\xF0\x80\x80\x80", 0xFFFD, 1},
      {"surrogate", "\xED\xA0\x80", 0xFFFD, 1},
      {"above U+10FFFF", "\xF4\x90\x80\x80", 0xFFFD, 1},
      {"lone continuation", "\x80", 0xFFFD, 1},
      {"truncated at end", "\xE2\x80", 0xFFFD, 1},
      {"bad continuation", "\xE2\x41\x80", 0xFFFD, 1},
      {"F5 never starts a sequence", "\xF5\x80\x80\x80", 0xFFFD, 1},
  };
  for (const Row &row : rows) {
    Utf8_Decoded d = utf8_decode(row.bytes.data(), row.bytes.data() + row.bytes.size());
    EXPECT_EQ(d.code_point, row.code_point) << row.fault;
    EXPECT_EQ(d.size, row.size) << row.fault;
  }
}

TEST(Utf8, EncodeAndValidity) {
  char out[4];
  EXPECT_EQ(std::string(out, utf8_encode(0xD800, out)), "\xEF\xBF\xBD");  // surrogate: U+FFFD
  EXPECT_EQ(std::string(out, utf8_encode(0x110000, out)), "\xEF\xBF\xBD");
  EXPECT_EQ(std::string(out, utf8_encode(0x1F600, out)), "\xF0\x9F\x98\x80");
  EXPECT_TRUE(utf8_is_valid("Mane \xC3\xA9"));
  EXPECT_FALSE(utf8_is_valid("Mane \xC3"));
}

TEST(Utf8, Utf16FromUtf8) {
  const std::string text = "a\xC3\xA9\xF0\x9F\x98\x80\xFF";
  ASSERT_EQ(utf16_length_from_utf8(text), 5u);
  char16_t out[5];
  ASSERT_EQ(utf16_from_utf8(text, out), 5u);
  EXPECT_EQ(std::u16string(out, 5), u"a\u00E9\U0001F600\uFFFD");
}

TEST(Format, ReplacesPlaceholdersInOrderAndCutsAtCapacity) {
  char text[128];
  Format_Buffer b = format_buffer(text, sizeof text);
  format_to(&b, "Failed to parse config value {}, expected an integer: {}", std::string_view("corvin.hair"), -42);
  EXPECT_EQ(format_text(b), "Failed to parse config value corvin.hair, expected an integer: -42");
  EXPECT_FALSE(b.truncated);

  char small[8];
  Format_Buffer s = format_buffer(small, sizeof small);
  format_to(&s, "{}.{}", "corvin", 18446744073709551615ull);
  EXPECT_EQ(format_text(s), "corvin.1");
  EXPECT_TRUE(s.truncated);

  // A status by the OS's reason when it has one; a null text as nothing.
  Format_Buffer n = format_buffer(text, sizeof text);
  format_to(&n, "{} {}{}", status_fail(FAILURE_OPEN, OS_SHARING_VIOLATION), status_fail(FAILURE_CHANGED),
            static_cast<const char *>(nullptr));
  EXPECT_EQ(format_text(n), "Sharing_Violation Changed_While_Read");
}

// Logs and the validator name failures, OS errors and levels: each must have a name of its own, and
// none may fall through to the name of an unknown value.
TEST(Names, EachValueHasItsOwn) {
  std::set<std::string> os_errors, failures, levels;
  for (int e = OS_OK; e <= OS_OTHER; e++) os_errors.insert(os_error_name(static_cast<Os_Error>(e)));
  for (int f = FAILURE_NONE; f <= FAILURE_CHANGED; f++) failures.insert(failure_name(static_cast<Failure>(f)));
  for (Log_Level l : {LOG_DEBUG, LOG_INFO, LOG_WARNING, LOG_ERROR, LOG_FATAL}) levels.insert(log_level_name(l));
  EXPECT_EQ(os_errors.size(), size_t{OS_OTHER} + 1);
  EXPECT_EQ(failures.size(), size_t{FAILURE_CHANGED} + 1);
  EXPECT_FALSE(failures.contains("Unknown"));
  EXPECT_EQ(levels.size(), 5u);
  EXPECT_FALSE(levels.contains("level"));
  // A value that no name was written for (a newer build's, a stray cast) is named as unknown.
  EXPECT_STREQ(os_error_name(static_cast<Os_Error>(200)), "Other");
  EXPECT_STREQ(failure_name(static_cast<Failure>(200)), "Unknown");
  EXPECT_STREQ(log_level_name(static_cast<Log_Level>(5)), "level");
}

// Tests compare statuses whole: a field left out of the comparison would let them pass unseen.
TEST(Names, StatusesDifferingInAnyFieldDiffer) {
  const Status base = status_fail(FAILURE_OPEN, OS_ACCESS_DENIED);
  for (const Status &other : {status_fail(FAILURE_READ, OS_ACCESS_DENIED), status_fail(FAILURE_OPEN, OS_OTHER)}) {
    EXPECT_FALSE(base == other) << failure_name(other.failure) << " " << os_error_name(other.os_error);
  }
}

std::vector<Log_Record> records;
std::vector<std::string> texts;
void capture(void *, const Log_Record *r) {
  records.push_back(*r);
  texts.emplace_back(r->text);
}

TEST(Log, SinkFilteringAndRecords) {
  records.clear(), texts.clear();
  log_set_sink({});
  log_error("dropped: no sink {}", 1);
  log_set_sink({log_default_sink, nullptr, LOG_DEBUG});
  log_error("dropped: default sink {}", 2);
  log_set_sink({capture, nullptr, LOG_ERROR});
  log_info("dropped: below the lowest level");
  log_error("Missing expected key: {}", "mael.enabled");
  int line = __LINE__ - 1;
  log_fatal("open failed: {}", "File_Not_Found");
  log_emit(LOG_INFO, SOURCE_HERE, "dropped: a record handed over directly is filtered too");
  log_set_sink({});
  log_emit(LOG_FATAL, SOURCE_HERE, "dropped: no sink to call");

  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].level, LOG_ERROR);
  EXPECT_EQ(texts[0], "Missing expected key: mael.enabled");
  EXPECT_EQ(records[0].location.line, line);
  // The call site names its file from the repository's root, whatever folder it was built in.
  std::string file = records[0].location.file;
  std::replace(file.begin(), file.end(), '\\', '/');
  EXPECT_EQ(file, "tests/core/runtime_test.cpp");
  EXPECT_EQ(records[1].level, LOG_FATAL);
  EXPECT_EQ(texts[1], "open failed: File_Not_Found");
}

}  // namespace
