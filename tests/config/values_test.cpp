// The value forms: the integer syntax, the 32-bit store, and truth values.
#include <gtest/gtest.h>

#include "runtime/arena.h"

#include <string>
#include <vector>

#include "runtime/log.h"
#include "src/config/values.h"
#include "tests/support/failing_heap.h"

namespace {

TEST(IntegerSyntax, Matches) {
  struct Row {
    const char *fault;
    const char *text;
    int64_t want;
  };
  const Row rows[] = {
      {"plain decimal", "255", 255},
      {"plus sign", "+7", 7},
      {"minus sign", "-5", -5},
      {"leading zero is not octal", "010", 10},
      {"hexadecimal", "0x1F", 31},
      {"hex digits in either case", "0xaB", 171},
      {"binary with sign", "-0b101", -5},
      {"octal", "0o17", 15},
      {"explicit decimal", "0d19", 19},
      {"base twelve", "0zB", 11},
      {"underscores skipped", "1_000", 1000},
      {"underscore alone reads as zero", "_", 0},
      {"sign and underscores read as zero", "-__", 0},
      {"underscores around the prefix digits", "0x_F_F_", 255},
      {"lone zero", "0", 0},
      {"largest magnitude that fits", "18446744073709551615", -1},
      {"negative wraps within 64 bits", "-18446744073709551615", 1},
      {"zero with base prefix needs a digit after it", "0b0", 0},
  };
  for (const Row &row : rows) {
    int64_t got = 0;
    ASSERT_TRUE(parse_integer_text(row.text, &got)) << row.fault;
    EXPECT_EQ(got, row.want) << row.fault;
  }
}

TEST(IntegerSyntax, DoesNotMatch) {
  struct Row {
    const char *fault;
    std::string text;
  };
  const Row rows[] = {
      {"empty", ""},
      {"lone plus", "+"},
      {"lone minus", "-"},
      {"capital X is no prefix", "0X1F"},
      {"prefix without digits", "0x"},
      {"digit beyond the base", "0b102"},
      {"letter in decimal", "12a"},
      {"the byte after z is no digit", "0x1{"},
      {"the byte after Z is no digit", "0x1["},
      {"inner blank", "1 2"},
      {"double sign", "--5"},
      {"magnitude past 64 bits must not wrap", "18446744073709551616"},
      {"long digit string must not wrap", "99999999999999999999999999"},
      {"hex past 64 bits", "0x1_0000_0000_0000_0000"},
      {"non-ASCII digit", "\xD9\xA1"},
      {"embedded NUL", std::string("1\0" "2", 3)},
  };
  for (const Row &row : rows) {
    int64_t got = 7;
    EXPECT_FALSE(parse_integer_text(row.text, &got)) << row.fault;
    EXPECT_EQ(got, 7) << row.fault;
  }
}

std::vector<std::string> logged;
void capture(void *, const Log_Record *r) { logged.emplace_back(r->text); }

TEST(ParseI32, StoresLowBitsAndLogsFailures) {
  struct Row {
    const char *text;
    bool ok;
    int32_t want;
  };
  const Row rows[] = {
      {"4294967295", true, -1},         // low 32 bits, two's complement
      {"4294967296", true, 0},
      {"2147483648", true, INT32_MIN},  // INT32_MAX + 1
      {"-2147483649", true, INT32_MAX},
      {"12x", false, 99},
  };
  logged.clear();
  log_set_sink({capture, nullptr, LOG_DEBUG});
  for (const Row &row : rows) {
    int32_t got = 99;
    EXPECT_EQ(parse_i32(nullptr, &got, "corvin.hair_primary", row.text), row.ok ? CONFIG_STATUS_OK : Config_Status(CONFIG_NOT_AN_INTEGER))
        << row.text;
    EXPECT_EQ(got, row.want) << row.text;
  }
  log_set_sink({});
  EXPECT_EQ(logged, std::vector<std::string>{"Failed to parse config value corvin.hair_primary, expected an integer: 12x"});
}

TEST(ParseB32, TruthValuesInAnyCase) {
  struct Row {
    const char *text;
    bool ok;
    int32_t want;
  };
  const Row rows[] = {
      {"yes", true, 1}, {"Yes", true, 1}, {"TRUE", true, 1}, {"no", true, 0}, {"False", true, 0},
      {"on", false, 7}, {"1", false, 7},  {"0", false, 7},   {"", false, 7},  {"yes ", false, 7},
      {"\xC3\xBF" "es", false, 7},  // a non-ASCII letter must not pass for y
      {"yesyesyesyesyesyesyesyes", false, 7},
  };
  logged.clear();
  log_set_sink({capture, nullptr, LOG_DEBUG});
  Arena scratch{};
  for (const Row &row : rows) {
    int32_t got = 7;
    EXPECT_EQ(parse_b32(&scratch, &got, "mael.enabled", row.text), row.ok ? CONFIG_STATUS_OK : Config_Status(CONFIG_NOT_A_TRUTH_VALUE))
        << row.text;
    EXPECT_EQ(got, row.want) << row.text;
  }
  arena_destroy(&scratch);
  {
    // Out of memory is no bad value: the reloader reads that version again at the next look.
    Failing_Heap_Scope no_heap(0);
    int32_t got = 7;
    EXPECT_EQ(parse_b32(&scratch, &got, "mael.enabled", "yes"), status_fail(FAILURE_OUT_OF_MEMORY));
    EXPECT_EQ(got, 7);
  }
  log_set_sink({});
  ASSERT_EQ(logged.size(), 7u);
  EXPECT_EQ(logged[0], "Failed to parse config value mael.enabled, expected yes/no: on");
}

}  // namespace
