// The reloader; see reload.h.
#include "src/config/reload.h"

#include "runtime/arena.h"
#include "runtime/log.h"
#include "src/config/messages.h"
#include "src/config/schema.h"
#include "src/config/settings_file.h"

namespace {

constexpr Reload_Result RELOAD_UNCHANGED = {true, ""};

// Less than a second since the last look; no look yet, or a clock that went back, means "look now".
// Written as a difference: `now - RELOAD_INTERVAL_TICKS` would wrap for a clock within a second of
// its epoch, and every frame would look.
bool reload_is_too_soon(const Reload_State &state, uint64_t now) {
  if (!state.looked || now < state.last_check) return false;
  return now - state.last_check < RELOAD_INTERVAL_TICKS;
}

bool reload_is_seen(const Reload_State &state, const File_Stamp &stamp) {
  return state.write_seen && stamp.last_write_ticks == state.last_write && stamp.size_bytes == state.last_size;
}

// From now on this version counts as seen: it is not read again until the file changes.
void reload_mark_seen(Reload_State *state, const File_Stamp &stamp) {
  state->last_write = stamp.last_write_ticks;
  state->last_size = stamp.size_bytes;
  state->write_seen = true;
}

Reload_Result reload_failed(const Config_Status &status) { return {false, reload_message(status)}; }

// Whether a failed read leaves this version to be read again at the next look: it read nothing of
// the file's own doing (another program held it, the read failed, memory ran short).
bool reload_may_retry(Failure failure) {
  return failure == FAILURE_OPEN || failure == FAILURE_READ || failure == FAILURE_OUT_OF_MEMORY;
}

// Reads, flattens and converts the version `stamp`; the Config changes only when all of it converted.
Reload_Result reload_read(Arena *scratch, std::string_view path, Config *config, Reload_State *state,
                          const File_Stamp &stamp) {
  Section_Map sections{};
  Status loaded = load_map_from_path(scratch, &sections, path, stamp, CONFIG_FILE_INI_OPTIONS);
  if (loaded.failure == FAILURE_CHANGED) {
    log_warning("{} changed while it was read: read again at the next look", path);
    return RELOAD_UNCHANGED;
  }
  if (!loaded.ok()) {
    if (loaded.failure == FAILURE_OPEN) {
      log_fatal("open failed: {}", loaded);
    } else {
      log_fatal("load_map_from_path failed: {}", loaded);
    }
    if (!reload_may_retry(loaded.failure)) reload_mark_seen(state, stamp);
    return reload_failed(loaded);
  }
  Config_Result converted = config_from_map(scratch, sections);
  delete_map(&sections);
  // Running out of memory while flattening is the attempt's data not fitting, as in the read.
  if (converted.status().runtime.failure == FAILURE_OUT_OF_MEMORY) {
    log_fatal("load_map_from_path failed: {}", converted.status().runtime);
    return reload_failed(converted.status());
  }
  reload_mark_seen(state, stamp);
  if (!converted.ok()) return reload_failed(converted.status());
  *config = converted.value();
  log_info("Reloaded configuration");
  return {false, ""};
}

}  // namespace

Reload_Result update_config(Config *config, Reload_State *state) noexcept {
  return update_config_at(frame_scratch(), CONFIG_FILE_NAME, config, state);
}

Reload_Result update_config_at(Arena *scratch, std::string_view path, Config *config, Reload_State *state) noexcept {
  uint64_t now = platform_now_ticks();
  if (reload_is_too_soon(*state, now)) return RELOAD_UNCHANGED;
  state->last_check = now;
  state->looked = true;

  Result<File_Stamp> looked = platform_file_stamp(scratch, path);
  if (!looked.ok()) {
    log_fatal("last_write_time_by_name failed: {}", looked.status());
    return reload_failed(looked.status());
  }
  if (reload_is_seen(*state, looked.value())) return RELOAD_UNCHANGED;
  return reload_read(scratch, path, config, state, looked.value());
}
