// The reloader; see reload.h.
#include "src/config/reload.h"

#include <new>

#include "encoding/ini/ini.h"
#include "platform/platform.h"
#include "runtime/context.h"
#include "runtime/log.h"
#include "src/config/schema.h"

namespace {

constexpr Reload_Result RELOAD_UNCHANGED = {true, ""};

// Less than a second since the last look; a clock that went back means "look now".
bool reload_is_too_soon(const Reload_State &state, uint64_t now) {
  if (now < state.last_check) return false;
  return state.last_check > now - RELOAD_INTERVAL_TICKS;
}

// Reads, flattens and converts the file. May throw std::bad_alloc; the caller contains it.
Reload_Result reload_read(Config *config) {
  Ini_Load_Result loaded = load_map_from_path(CONFIG_FILE_NAME, CONFIG_FILE_INI_OPTIONS);
  if (!loaded.ok) {
    if (loaded.error == INI_READ_FAILED) {
      log_fatal("load_map_from_path failed: {}", os_error_name(loaded.os_error));
    } else {
      log_fatal("load_map_from_path failed: {}", loaded.error);
    }
    return {false, MESSAGE_FAILED_TO_PARSE};
  }
  Flat_Key_Table table;
  Config_Status status = config_from_sections(frame_scratch(), loaded.map, &table, config);
  if (!status.ok) return {false, status.message};
  log_info("Reloaded configuration");
  return {false, ""};
}

}  // namespace

Reload_Result update_config(Config *config, Reload_State *state) noexcept {
  uint64_t now = platform_now_ticks();
  if (reload_is_too_soon(*state, now)) return RELOAD_UNCHANGED;
  state->last_check = now;

  Platform_Time_Result written = platform_last_write_ticks(frame_scratch(), CONFIG_FILE_NAME);
  if (written.error != OS_OK) {
    log_fatal("last_write_time_by_name failed: {}", os_error_name(written.error));
    return {false, MESSAGE_FAILED_TO_OPEN};
  }
  if (written.ticks == state->last_write) return RELOAD_UNCHANGED;
  state->last_write = written.ticks;

  Os_Error opened = platform_check_open(frame_scratch(), CONFIG_FILE_NAME);
  if (opened != OS_OK) {
    log_fatal("open failed: {}", os_error_name(opened));
    return {false, MESSAGE_FAILED_TO_OPEN};
  }

  try {
    return reload_read(config);
  } catch (const std::bad_alloc &) {
    log_fatal("load_map_from_path failed: {}", "Out_Of_Memory");
  } catch (...) {
    log_fatal("load_map_from_path failed: {}", "Unexpected");
  }
  return {false, MESSAGE_FAILED_TO_PARSE};
}
