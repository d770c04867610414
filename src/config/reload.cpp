// The reloader; see reload.h.
#include "src/config/reload.h"

#include "encoding/ini/ini.h"
#include "platform/platform.h"
#include "runtime/context.h"
#include "runtime/log.h"
#include "src/config/messages.h"
#include "src/config/schema.h"

namespace {

constexpr Reload_Result RELOAD_UNCHANGED = {true, ""};

// Less than a second since the last look; no look yet, or a clock that went back, means "look now".
// Written as a difference: `now - RELOAD_INTERVAL_TICKS` would wrap for a clock within a second of
// its epoch, and every frame would look.
bool reload_is_too_soon(const Reload_State &state, uint64_t now) {
  if (!state.looked || now < state.last_check) return false;
  return now - state.last_check < RELOAD_INTERVAL_TICKS;
}

Reload_Result reload_failed(const Status &status) { return {false, reload_message(status.failure)}; }

// From now on this version counts as seen: it is not read again until the file changes.
void reload_mark_seen(Reload_State *state, const File_Stamp &stamp) {
  state->last_write = stamp.last_write_ticks;
  state->write_seen = true;
}

// Whether the file still is the version the look saw, once it has been read.
bool reload_read_was_whole(std::string_view path, const File_Stamp &looked) {
  Result<File_Stamp> after = platform_file_stamp(frame_scratch(), path);
  return after.ok() && after.value() == looked;
}

// Reads, flattens and converts the file; the Config changes only when all of it converted.
Reload_Result reload_read(std::string_view path, Config *config, Reload_State *state, const File_Stamp &stamp,
                          Section_Map *sections) {
  Status loaded = load_map_from_path(sections, path, CONFIG_FILE_INI_OPTIONS, CONFIG_FILE_MAX_BYTES);
  if (!loaded.ok()) {
    log_fatal("load_map_from_path failed: {}", loaded);
    // A read that failed read nothing: try this version again at the next look.
    if (loaded.failure != FAILURE_READ) reload_mark_seen(state, stamp);
    return reload_failed(loaded);
  }
  if (!reload_read_was_whole(path, stamp)) {
    log_warning("{} changed while it was read: read again at the next look", path);
    return RELOAD_UNCHANGED;
  }
  reload_mark_seen(state, stamp);
  Result<Config> converted = config_from_map(frame_scratch(), *sections);
  if (!converted.ok()) {
    // Running out of memory while flattening is the attempt's data not fitting, as in the read.
    if (converted.status().failure == FAILURE_OUT_OF_MEMORY) log_fatal("load_map_from_path failed: {}", converted.status());
    return reload_failed(converted.status());
  }
  *config = converted.value();
  log_info("Reloaded configuration");
  return {false, ""};
}

}  // namespace

Reload_Result update_config(Config *config, Reload_State *state) noexcept {
  return update_config_at(CONFIG_FILE_NAME, config, state);
}

Reload_Result update_config_at(std::string_view path, Config *config, Reload_State *state) noexcept {
  uint64_t now = platform_now_ticks();
  if (reload_is_too_soon(*state, now)) return RELOAD_UNCHANGED;
  state->last_check = now;
  state->looked = true;

  Result<File_Stamp> looked = platform_file_stamp(frame_scratch(), path);
  if (!looked.ok()) {
    log_fatal("last_write_time_by_name failed: {}", looked.status());
    return reload_failed(looked.status());
  }
  const File_Stamp &stamp = looked.value();
  if (state->write_seen && stamp.last_write_ticks == state->last_write) return RELOAD_UNCHANGED;

  if (stamp.size_bytes > CONFIG_FILE_MAX_BYTES) {
    log_fatal("load_map_from_path failed: {} ({} bytes)", FAILURE_TOO_LARGE, stamp.size_bytes);
    reload_mark_seen(state, stamp);
    return reload_failed(status_fail(FAILURE_TOO_LARGE));
  }
  Status opened = platform_check_open(frame_scratch(), path);
  if (!opened.ok()) {
    log_fatal("open failed: {}", opened);
    return reload_failed(opened);
  }

  try {
    // The attempt's INI data: made here, released on every way out.
    Section_Map sections;
    return reload_read(path, config, state, stamp, &sections);
  } catch (...) {
    // An empty map that cannot be made (some standard libraries allocate for one).
    log_fatal("load_map_from_path failed: {}", FAILURE_OUT_OF_MEMORY);
  }
  return reload_failed(status_fail(FAILURE_OUT_OF_MEMORY));
}
