// Names of the settings' failures; see config_status.h.
#include "src/config/config_status.h"

const char *config_failure_name(Config_Failure failure) noexcept {
  switch (failure) {
    case CONFIG_OK: return "Ok";
    case CONFIG_DUPLICATE_KEY: return "Duplicate_Key";
    case CONFIG_MISSING_KEY: return "Missing_Key";
    case CONFIG_NOT_A_TRUTH_VALUE: return "Not_A_Truth_Value";
    case CONFIG_NOT_AN_INTEGER: return "Not_An_Integer";
  }
  return "Unknown";
}
