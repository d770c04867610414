// The trace and the events file; see events.h.
#include "tools/sim/events.h"

#include <cstdio>

#include "tools/game/game_interface.h"
#include "tools/sim/text.h"
#include "tools/sim/world.h"

namespace {

void events_write_trace(const Session_Record &r, const Standin_Event &e, const char *name) {
  Json_Writer line;
  json_begin_object(&line);
  json_member_integer(&line, "frame", r.frame.number);
  json_member_string(&line, "name", name ? name : "unknown");
  json_member_string(&line, "hash", text_hex64(e.hash));
  json_key(&line, "args");
  json_begin_array(&line);
  for (int32_t i = 0; i < e.arg_count; i++) json_string(&line, text_hex64(e.args[i]));
  json_end_array(&line);
  json_member_string(&line, "result", text_hex64(e.result[0]));
  json_end_object(&line);
  line.text.push_back('\n');
  std::fputs(line.text.c_str(), r.files.trace);
}

}  // namespace

Json_Writer events_line(std::string_view kind) {
  Json_Writer line;
  json_begin_object(&line);
  json_member_string(&line, "event", kind);
  return line;
}

void events_write(const Output_Files &files, Json_Writer *line) {
  if (!files.events) return;
  json_end_object(line);
  line->text.push_back('\n');
  std::fputs(line->text.c_str(), files.events);
}

void events_report_problem(Session_Record *r, const std::string &text) {
  r->totals.problems++;
  if (r->frame.number >= 0) {
    r->frame.host_problems.push_back(text);
  } else {
    std::printf("  PROBLEM %s\n", text.c_str());
  }
  Json_Writer line = events_line("problem");
  json_member_integer(&line, "frame", r->frame.number);
  json_member_string(&line, "text", text);
  events_write(r->files, &line);
}

void events_on_native_call(Session_Record *r, const Standin_Event &e) {
  r->frame.calls++;
  r->totals.calls++;
  const Game_Native *native = game_native(e.hash);
  // A call without nativeInit reads hash 0 whatever was meant: its name is unknown.
  const char *name = ((e.flags & STANDIN_CALL_NOT_BEGUN) || !native) ? nullptr : native->name;
  if (!name) r->totals.unknown++;
  if (world_native_effect(e.hash) != Native_Effect::reads_only) r->frame.changed_game = true;
  if (native) r->totals.calls_by_native[native - GAME_NATIVES]++;
  if (r->files.trace) events_write_trace(*r, e, name);
}

void events_on_script_returned(Session_Record *r, const Standin_Event &e) {
  events_report_problem(r, "the script " + text_address(reinterpret_cast<const void *>(e.entry)) + " of module " +
                               text_address(e.module) + " returned");
}
