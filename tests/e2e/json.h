// A small JSON reader for the simulated game's trace and events files (JSON Lines): enough to
// check them, not a general library. Objects keep their keys in file order.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct Json_Value {
  enum Kind { null_value, boolean, number, string, array, object } kind = null_value;
  bool truth = false;
  double number_value = 0;
  int64_t integer = 0;  // the number when it is written as an integer
  bool is_integer = false;
  std::string text;
  std::vector<Json_Value> items;
  std::vector<std::pair<std::string, Json_Value>> members;

  // The member `key`, or null (also when this is no object).
  const Json_Value *get(std::string_view key) const;
  // Conveniences for checks: the member's text, integer or truth; "" / 0 / false when absent.
  std::string str(std::string_view key) const;
  int64_t i64(std::string_view key) const;
  bool flag(std::string_view key) const;
};

// Parses one whole JSON text; false (with `error` set) on anything malformed or trailing.
bool parse_json(std::string_view text, Json_Value *out, std::string *error);
