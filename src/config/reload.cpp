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

// A version is the file it is (the working folder's or the one beside the module), its last-write
// time and its size.
bool reload_is_seen(const Reload_State &state, const File_Stamp &stamp, bool beside_module) {
  return state.write_seen && state.seen_beside_module == beside_module && stamp.last_write_ticks == state.last_write &&
         stamp.size_bytes == state.last_size;
}

// The line on screen is now what reading this version gave: it is not read again until it changes.
void reload_mark_seen(Reload_State *state, const File_Stamp &stamp, bool beside_module) {
  state->last_write = stamp.last_write_ticks;
  state->last_size = stamp.size_bytes;
  state->seen_beside_module = beside_module;
  state->write_seen = true;
}

// The line on screen is now a failure that no version's content gave (no file, a lock, a failed
// read, memory): whatever file the next look finds is read, even one put back as it was, so that
// the line says what that file holds.
void reload_forget_seen(Reload_State *state) { state->write_seen = false; }

Reload_Result reload_ended(const Config_Status &status, std::string_view path, const File_Stamp &looked = {},
                           const Settings_Text &read = {}) {
  return {false, reload_message(status), status, path, looked, read};
}

// Whether a failed read leaves this version to be read again at the next look: it read nothing of
// the file's own doing (another program held it, the read failed, memory ran short).
bool reload_may_retry(Failure failure) {
  return failure == FAILURE_OPEN || failure == FAILURE_READ || failure == FAILURE_OUT_OF_MEMORY;
}

struct Reload_Look {
  Result<File_Stamp> stamp;
  std::string_view path;  // the file looked at
  bool beside_module;     // it is the one beside the module
};

Reload_Look reload_look_beside(Arena *scratch, const Settings_Places &places) {
  return {platform_file_stamp(scratch, places.beside_module), places.beside_module, true};
}

// The look at the settings file: the working folder's, or when that folder holds none, the one
// beside the module. When neither place holds one, the working folder's failure.
Reload_Look reload_look(Arena *scratch, const Settings_Places &places) {
  Reload_Look working = {platform_file_stamp(scratch, places.working), places.working, false};
  if (!settings_look_finds_no_file(working.stamp.status()) || places.beside_module.empty()) return working;
  Reload_Look beside = reload_look_beside(scratch, places);
  return settings_look_finds_no_file(beside.stamp.status()) ? working : beside;
}

// What reading the version `look` saw gave: installed when all of it converted; counted as seen,
// or the version seen forgotten, by its outcome.
Reload_Result reload_finish(const Reload_Look &look, const Settings_Load &loaded, Config *config, Reload_State *state) {
  const File_Stamp &stamp = look.stamp.value();
  const Status &runtime = loaded.status.runtime;
  if (runtime.failure == FAILURE_CHANGED) {
    log_warning("{} changed while it was read: read again at the next look", look.path);
    return {true, "", loaded.status, look.path, stamp, {}};
  }
  if (runtime.failure == FAILURE_OPEN) {
    log_fatal("open failed: {}", runtime);
  } else if (!runtime.ok()) {
    log_fatal("load_map_from_path failed: {}", runtime);
  }
  if (reload_may_retry(runtime.failure)) {
    reload_forget_seen(state);
  } else {
    reload_mark_seen(state, stamp, look.beside_module);
  }
  if (loaded.status.ok()) {
    *config = loaded.config;
    log_info("Reloaded configuration");
  }
  return reload_ended(loaded.status, look.path, stamp, loaded.read);
}

}  // namespace

bool settings_look_finds_no_file(const Status &look) noexcept {
  if (look.failure == FAILURE_OPEN) return look.os_error == OS_NOT_A_FILE || look.os_error == OS_IS_A_FOLDER;
  if (look.failure != FAILURE_FILE_TIME) return false;
  switch (look.os_error) {
    case OS_FILE_NOT_FOUND:
    case OS_PATH_NOT_FOUND:
    case OS_IS_A_FOLDER:
    case OS_NOT_A_FILE:
    case OS_SYMLINK_LOOP:
    case OS_UNREACHABLE: return true;
    default: return false;
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

  Reload_Look look = reload_look(scratch, places);
  for (;;) {
    if (!look.stamp.ok()) {
      log_fatal("last_write_time_by_name failed: {}", look.stamp.status());
      reload_forget_seen(state);
      return reload_ended(look.stamp.status(), look.path);
    }
    if (reload_is_seen(*state, look.stamp.value(), look.beside_module)) return {true, "", {}, look.path, look.stamp.value(), {}};
    Settings_Load loaded = settings_file_load(scratch, look.path, look.stamp.value());
    // A name that the look took for a file but that opens as something else (a pipe or a device,
    // as Wine shows a Linux one) holds no file either: the file beside the module is looked at.
    if (!look.beside_module && !places.beside_module.empty() && settings_look_finds_no_file(loaded.status.runtime)) {
      Reload_Look beside = reload_look_beside(scratch, places);
      if (!settings_look_finds_no_file(beside.stamp.status())) {
        look = beside;
        continue;
      }
    }
    return reload_finish(look, loaded, config, state);
  }
}
