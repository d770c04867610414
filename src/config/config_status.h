// Why a settings file gave no Config: a failure of the runtime under it (memory, the file's look
// or read), or what is wrong with the settings it holds, with the key at fault.
#pragma once
#include <cstdint>

#include "runtime/status.h"

enum Config_Failure : uint8_t {
  CONFIG_OK = 0,
  CONFIG_DUPLICATE_KEY,      // two sections of one block hold the same key
  CONFIG_MISSING_KEY,        // an expected key is not in the file
  CONFIG_NOT_A_TRUTH_VALUE,  // an expected key's value is not yes, no, true or false
  CONFIG_NOT_AN_INTEGER,     // an expected key's value is not an integer
};

// "Ok", "Duplicate_Key", "Missing_Key", "Not_A_Truth_Value", "Not_An_Integer".
const char *config_failure_name(Config_Failure failure) noexcept;

constexpr int16_t CONFIG_NO_KEY = -1;

struct [[nodiscard]] Config_Status {
  Status runtime = STATUS_OK;      // memory ran out, or the file could not be looked at or read
  Config_Failure content = CONFIG_OK;  // else what is wrong with the file's settings
  int16_t key_index = CONFIG_NO_KEY;   // for the key failures: the key's index in CONFIG_KEYS (keys.h)

  constexpr Config_Status() = default;
  constexpr Config_Status(Status failed) noexcept : runtime(failed) {}
  constexpr Config_Status(Config_Failure failed, int16_t key = CONFIG_NO_KEY) noexcept : content(failed), key_index(key) {}

  constexpr bool ok() const noexcept { return runtime.ok() && content == CONFIG_OK; }
  friend constexpr bool operator==(const Config_Status &, const Config_Status &) = default;
};

constexpr Config_Status CONFIG_STATUS_OK = {};
