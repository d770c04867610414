// The watch mode; see check_watch.h. It runs the module's reloader itself, not a copy of its rules.
#include "tools/check/check_watch.h"

#include <chrono>
#include <thread>

#include "runtime/arena.h"
#include "src/config/keys.h"
#include "src/config/reload.h"
#include "src/config/messages.h"
#include "tools/check/check.h"
#include "tools/check/check_console.h"
#include "tools/check/check_report.h"

namespace {

// Ten looks a second: the reloader itself decides when a second has passed.
constexpr auto CHECK_WATCH_FRAME = std::chrono::milliseconds(100);

}  // namespace

std::string check_watch_summary(const Config &config) {
  std::string out;
  std::string_view block, group;
  bool block_on = false;
  for (const Config_Key &key : CONFIG_KEYS) {
    const Character_Config &values = config.*key.block;
    if (key.section() != block) {
      block = key.section();
      block_on = values.enabled != 0;
      group = {};
      if (!out.empty()) out.append(", ");
      out.append(block).append(block_on ? ": on" : ": off");
    }
    if (!block_on || key.field == &Character_Config::enabled) continue;
    std::string_view name = key.field_name();
    std::string_view this_group = name.substr(0, name.find('_'));
    if (this_group != group) {
      group = this_group;
      out.append(", ").append(group);
    }
    out.append(" ").append(std::to_string(values.*key.field));
  }
  return out;
}

void check_watch_begin(Check_Watch *watch, std::string_view path, FILE *err) {
  watch->path = std::string(path);
  check_write(err, "watching " + check_visible(path) + " as the game does (once a second); press Ctrl+C to stop\n");
  std::fflush(err);
}

void check_watch_frame(Check_Watch *watch, std::string_view time_text, FILE *err) {
  Reload_State before = watch->state;
  Reload_Result result = update_config_at(watch->scratch.get(), watch->path, &watch->config, &watch->state);
  if (result.unchanged) {
    arena_release(watch->scratch.get());
    return;
  }
  watch->message = result.message;
  // The reloader marks a version seen once it read it; every other failure comes back each second.
  bool new_version = watch->state.write_seen != before.write_seen || watch->state.last_write != before.last_write ||
                     watch->state.last_size != before.last_size;
  // Why, from the load's own outcome and what it read: the file is not read a second time.
  std::string report = result.message[0] == '\0'
                           ? "the game loads it: " + check_watch_summary(watch->config) + "\n"
                           : check_player_line(result.message) + " (the game keeps " +
                                 check_watch_summary(watch->config) + ")\n" +
                                 check_explain_load(watch->path, result.status, result.read, result.looked.size_bytes);
  arena_release(watch->scratch.get());
  if (!new_version && report == watch->last_report) return;
  watch->last_report = report;
  std::string line = "[";
  line.append(time_text).append("] ").append(report);
  check_write(err, line);
  std::fflush(err);
}

int check_watch(std::string_view path, FILE *err) {
  Check_Watch watch;
  check_watch_begin(&watch, path, err);
  for (;;) {
    check_watch_frame(&watch, check_console_local_time(), err);
    std::this_thread::sleep_for(CHECK_WATCH_FRAME);
  }
}
