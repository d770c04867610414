// The reloader; see reload.h.
#include "src/config/reload.h"

#include "runtime/arena.h"
#include "runtime/log.h"
#include "src/config/messages.h"

namespace {

constexpr Reload_Result RELOAD_UNCHANGED = {true, "", {}, {}, {}, {}};

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

Reload_Result reload_ended(const Config_Status &status, std::string_view path, const File_Stamp &looked = {},
                           const Settings_Text &read = {}) {
  return {false, reload_message(status), status, path, looked, read};
}

// Whether a failed read leaves this version to be read again at the next look: it read nothing of
// the file's own doing (another program held it, the read failed, memory ran short).
bool reload_may_retry(Failure failure) {
  return failure == FAILURE_OPEN || failure == FAILURE_READ || failure == FAILURE_OUT_OF_MEMORY;
}

// The look at the settings file: the working folder's, or when there is none, the one beside the
// module. `*path` is the file looked at.
Result<File_Stamp> reload_look(Arena *scratch, const Settings_Places &places, std::string_view *path) {
  *path = places.working;
  Result<File_Stamp> looked = platform_file_stamp(scratch, places.working);
  if (looked.ok() || places.beside_module.empty() || !(looked.status() == status_fail(FAILURE_FILE_TIME, OS_FILE_NOT_FOUND))) {
    return looked;
  }
  Result<File_Stamp> beside = platform_file_stamp(scratch, places.beside_module);
  if (!beside.ok() && beside.status().failure != FAILURE_OUT_OF_MEMORY) return looked;  // neither: the working folder's reason
  *path = places.beside_module;
  return beside;
}

// Reads, flattens and converts the version `stamp`; the Config changes only when all of it converted.
Reload_Result reload_read(Arena *scratch, std::string_view path, Config *config, Reload_State *state,
                          const File_Stamp &stamp) {
  Settings_Load loaded = settings_file_load(scratch, path, stamp);
  const Status &runtime = loaded.status.runtime;
  if (runtime.failure == FAILURE_CHANGED) {
    log_warning("{} changed while it was read: read again at the next look", path);
    return {true, "", loaded.status, path, stamp, {}};
  }
  if (runtime.failure == FAILURE_OPEN) {
    log_fatal("open failed: {}", runtime);
  } else if (!runtime.ok()) {
    log_fatal("load_map_from_path failed: {}", runtime);
  }
  if (!reload_may_retry(runtime.failure)) reload_mark_seen(state, stamp);
  if (loaded.status.ok()) {
    *config = loaded.config;
    log_info("Reloaded configuration");
  }
  return reload_ended(loaded.status, path, stamp, loaded.read);
}

}  // namespace

bool settings_look_finds_no_file(const Status &look) noexcept {
  if (look.failure != FAILURE_FILE_TIME) return false;
  switch (look.os_error) {
    case OS_ACCESS_DENIED:
    case OS_SHARING_VIOLATION:
    case OS_IO_ERROR:
    case OS_OUT_OF_MEMORY: return false;
    default: return true;
  }
}

Settings_Places settings_places(Arena *arena) noexcept {
  Result<std::string_view> beside = platform_beside_module(arena, CONFIG_FILE_NAME);
  if (!beside.ok()) return SETTINGS_WORKING_FOLDER_ONLY;
  return {CONFIG_FILE_NAME, beside.value()};
}

Reload_Result update_config(Config *config, Reload_State *state, const Settings_Places &places) noexcept {
  return update_config_from(frame_scratch(), places, config, state);
}

Reload_Result update_config_at(Arena *scratch, std::string_view path, Config *config, Reload_State *state) noexcept {
  return update_config_from(scratch, {path, {}}, config, state);
}

Reload_Result update_config_from(Arena *scratch, const Settings_Places &places, Config *config, Reload_State *state) noexcept {
  uint64_t now = platform_now_ticks();
  if (reload_is_too_soon(*state, now)) return RELOAD_UNCHANGED;
  state->last_check = now;
  state->looked = true;

  std::string_view path;
  Result<File_Stamp> looked = reload_look(scratch, places, &path);
  if (!looked.ok()) {
    log_fatal("last_write_time_by_name failed: {}", looked.status());
    return reload_ended(looked.status(), path);
  }
  if (reload_is_seen(*state, looked.value())) return {true, "", {}, path, looked.value(), {}};
  return reload_read(scratch, path, config, state, looked.value());
}
