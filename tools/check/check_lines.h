// Where things stand in the configuration file's text, for the validator's report: the line of
// every section header and of every pair, as the INI reader sees them. The reader itself decides
// what a pair's key is; this only adds line numbers.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct Check_Line {
  size_t line;          // 1-based, counting every "\n" of the text
  std::string section;  // the section in force, exactly as written (the reader's section name)
  std::string key;      // for a pair: the key as the reader stores it; empty for a header
};

struct Check_Lines {
  std::vector<Check_Line> headers;  // every section header, in file order
  std::vector<Check_Line> pairs;    // every line that the reader takes as a pair, in file order
};

// Scans `text` line by line under the reader's rules: a UTF-8 byte-order mark at the very start is
// skipped, lines are cut at "\n" with one "\r" before it dropped, and trimmed; a trimmed line that
// starts with "[" is a header. Every other line is handed on its own to the reader with the
// configuration file's options, and is a pair when the reader makes a pair of it. Throws
// std::bad_alloc.
Check_Lines check_scan_lines(std::string_view text);

// The pairs whose section lowercases to `section` and whose key lowercases to `key`, as the
// configuration's flattening compares them, in file order.
std::vector<const Check_Line *> check_pairs_of(const Check_Lines &lines, std::string_view section, std::string_view key);

// The first header whose name is exactly `section`, or null.
const Check_Line *check_header_of(const Check_Lines &lines, std::string_view section);

// The lowercase of `text` as the configuration compares names. Throws std::bad_alloc.
std::string check_lower(std::string_view text);
