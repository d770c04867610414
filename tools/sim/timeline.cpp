// The timeline and the frame's events; see timeline.h. Lines are merged by their text, so a line
// says everything that tells one frame's activity from another's.
#include "tools/sim/timeline.h"

#include <cinttypes>
#include <cstdio>

#include "tools/sim/events.h"
#include "tools/sim/hooks.h"
#include "tools/sim/text.h"

namespace {

std::string timeline_retint_line(const Retint &r) {
  std::string line = "re-tinted " + r.component + ": " + text_tints(r.from) + " -> " + text_tints(r.to);
  if (r.from_palette != r.to_palette) {
    line += ", palette " + std::to_string(r.from_palette) + " -> " + std::to_string(r.to_palette);
  }
  return line;
}

std::string timeline_drawn_line(const Drawn_Text &d) {
  std::string line = "drew ";
  json_append_string(&line, d.text);
  line += " at (" + text_float_short(d.position[0]) + ", " + text_float_short(d.position[1]) + "), scale (" +
          text_float_short(d.scale[0]) + ", " + text_float_short(d.scale[1]) + "), colour (" +
          std::to_string(d.color[0]) + ", " + std::to_string(d.color[1]) + ", " + std::to_string(d.color[2]) + ", " +
          std::to_string(d.color[3]) + ")";
  return line;
}

// "1 request", "2 requests".
std::string timeline_count(int64_t count, const char *noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string timeline_heap_line(const Heap_Counts &heap) {
  return "heap: " + timeline_count(heap.requests, "request") + " (" + std::to_string(heap.refused) + " refused), " +
         timeline_count(heap.frees, "free");
}

bool timeline_heap_used(const Heap_Counts &heap) { return heap.requests > 0 || heap.frees > 0; }

// What the modules did in the frame, one line each.
std::vector<std::string> timeline_module_activity(const World &world, const Frame_Record &frame, const Heap_Counts &heap) {
  std::vector<std::string> lines;
  for (const Retint &r : world.retints) lines.push_back(timeline_retint_line(r));
  for (const Drawn_Text &d : world.drawn) lines.push_back(timeline_drawn_line(d));
  if (lines.empty() && frame.changed_game) lines.push_back("called natives other than reads");
  if (timeline_heap_used(heap)) lines.push_back(timeline_heap_line(heap));
  return lines;
}

void timeline_flush_run(Timeline_Run *run) {
  if (run->first < 0) return;
  std::string frames = run->first == run->last
                           ? "frame " + std::to_string(run->first)
                           : "frames " + std::to_string(run->first) + "-" + std::to_string(run->last);
  if (run->activity.empty()) {
    std::printf("%s: quiet (%s)\n", frames.c_str(), run->any_calls ? "reads only" : "no native calls");
  } else {
    std::printf("%s:%s\n", frames.c_str(), run->first == run->last ? "" : " each frame");
    for (const std::string &line : run->activity) std::printf("  module  %s\n", line.c_str());
  }
  *run = Timeline_Run{};
}

void timeline_float_pair(Json_Writer *line, const char *key, const float pair[2]) {
  json_key(line, key);
  json_begin_array(line);
  json_number_text(line, text_float_exact(pair[0]));
  json_number_text(line, text_float_exact(pair[1]));
  json_end_array(line);
}

void timeline_write_frame_events(const World &world, const Session_Record &record, const Heap_Counts &heap) {
  int64_t frame = record.frame.number;
  for (const Retint &r : world.retints) {
    Json_Writer line = events_line("retint");
    json_member_integer(&line, "frame", frame);
    json_member_string(&line, "component", r.component);
    json_member_integer(&line, "palette_from", r.from_palette);
    json_member_integer(&line, "palette_to", r.to_palette);
    json_member_integers(&line, "from", r.from, 3);
    json_member_integers(&line, "to", r.to, 3);
    events_write(record.files, &line);
  }
  for (const Drawn_Text &d : world.drawn) {
    Json_Writer line = events_line("text");
    json_member_integer(&line, "frame", frame);
    json_member_string(&line, "text", d.text);
    timeline_float_pair(&line, "scale", d.scale);
    json_member_integers(&line, "color", d.color, 4);
    timeline_float_pair(&line, "position", d.position);
    events_write(record.files, &line);
  }
  for (const std::string &p : world.problems) {
    Json_Writer line = events_line("problem");
    json_member_integer(&line, "frame", frame);
    json_member_string(&line, "text", "game: " + p);
    events_write(record.files, &line);
  }
  if (timeline_heap_used(heap)) {
    Json_Writer line = events_line("heap");
    json_member_integer(&line, "frame", frame);
    json_member_integer(&line, "requests", heap.requests);
    json_member_integer(&line, "refused", heap.refused);
    json_member_integer(&line, "frees", heap.frees);
    events_write(record.files, &line);
  }
}

// A frame in which something happened besides the modules' activity: always reported on its own.
void timeline_write_eventful_frame(const World &world, uint64_t clock_start_ticks, const Frame_Record &frame,
                                   const std::vector<std::string> &activity) {
  uint64_t ticks = game_clock_ticks;
  // Before the clock start once a clock step set the clock back far enough.
  double since_start = ticks >= clock_start_ticks ? static_cast<double>(ticks - clock_start_ticks)
                                                  : -static_cast<double>(clock_start_ticks - ticks);
  std::printf("frame %" PRId64 " (%s %+.3f s):\n", frame.number, format_clock(ticks).c_str(),
              since_start / CLOCK_TICKS_PER_SECOND);
  for (const Game_Line &line : frame.steps) std::printf("  %s %s\n", line.failed ? "FAILED " : "game   ", line.text.c_str());
  for (const std::string &line : activity) std::printf("  module  %s\n", line.c_str());
  for (const std::string &line : frame.host_problems) std::printf("  PROBLEM %s\n", line.c_str());
  for (const std::string &line : world.problems) std::printf("  PROBLEM game: %s\n", line.c_str());
  if (activity.empty()) std::printf("  module  %s\n", frame.calls ? "quiet (reads only)" : "no native calls");
}

// "0x" and 8 lowercase hexadecimal digits: models and categories.
std::string timeline_hex32(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

void timeline_write_final_event(const World &world, const Output_Files &files) {
  Json_Writer line = events_line("final");
  json_member_string(&line, "ped", text_hex64(world.ped));
  json_member_string(&line, "model", timeline_hex32(world.model));
  json_member_integer(&line, "refresh_count", world.refresh_count);
  json_key(&line, "components");
  json_begin_array(&line);
  for (const Component_Spec &c : world.components) {
    json_begin_object(&line);
    json_member_string(&line, "name", c.name);
    json_member_string(&line, "category", timeline_hex32(c.category));
    json_member_integer(&line, "palette", c.palette);
    json_member_integers(&line, "tints", c.tints, 3);
    json_member_integers(&line, "assets", c.assets, 4);
    json_end_object(&line);
  }
  json_end_array(&line);
  events_write(files, &line);
}

}  // namespace

void timeline_write_start(const Scenario &scenario, const World &world, bool wall_clock, const char *source) {
  std::printf("scenario %s: %" PRId64 " frames of %.3f ms, clock from %s (%s), %zu components, %zu steps\n", source,
              scenario.frame_count, static_cast<double>(scenario.frame_time_us) / 1000,
              format_clock(scenario.clock_start_ticks).c_str(), wall_clock ? "real clock" : "game clock",
              scenario.components.size(), scenario.steps.size());
  std::printf("player ped %s wears model %s\n", text_hex64(world.ped).c_str(), text_model(world.model).c_str());
}

void timeline_end_frame(const World &world, uint64_t clock_start_ticks, Session_Record *record, Timeline_Run *run) {
  Heap_Counts heap = game_heap_take_counts();
  timeline_write_frame_events(world, *record, heap);
  Totals &totals = record->totals;
  const Frame_Record &frame = record->frame;
  totals.retints += static_cast<int64_t>(world.retints.size());
  totals.drawn += static_cast<int64_t>(world.drawn.size());
  totals.problems += static_cast<int64_t>(world.problems.size());
  totals.heap_requests += heap.requests;
  totals.heap_refused += heap.refused;

  std::vector<std::string> activity = timeline_module_activity(world, frame, heap);
  bool eventful = !frame.steps.empty() || !frame.host_problems.empty() || !world.problems.empty();
  if (!eventful && run->first >= 0 && run->activity == activity) {
    run->last = frame.number;
    run->any_calls = run->any_calls || frame.calls > 0;
    return;
  }
  timeline_flush_run(run);
  if (eventful) {
    timeline_write_eventful_frame(world, clock_start_ticks, frame, activity);
    return;
  }
  *run = Timeline_Run{frame.number, frame.number, activity, frame.calls > 0};
}

void timeline_end_frames(Timeline_Run *run) { timeline_flush_run(run); }

void timeline_write_final_state(const World &world, const Output_Files &files) {
  std::printf("final state: ped %s, model %s, %" PRId64 " refreshes\n", text_hex64(world.ped).c_str(),
              text_model(world.model).c_str(), world.refresh_count);
  for (const Component_Spec &c : world.components) {
    const char *category = category_name(c.category);
    std::printf("  %-12s %-8s palette %u, tints %s\n", c.name.c_str(),
                category ? category : timeline_hex32(c.category).c_str(), c.palette, text_tints(c.tints).c_str());
  }
  timeline_write_final_event(world, files);
}

void timeline_write_totals(const Totals &t, int64_t frame_count) {
  std::printf("totals: %" PRId64 " frames, %" PRId64 " native calls, %" PRId64 " re-tints, %" PRId64
              " lines drawn, %" PRId64 " unknown natives, %s, %s, %" PRId64 " registrations, %" PRId64
              " unregistrations\n",
              frame_count, t.calls, t.retints, t.drawn, t.unknown, timeline_count(t.problems, "problem").c_str(),
              timeline_count(t.failed_steps, "failed step").c_str(), t.registrations, t.unregistrations);
  if (t.refused_modules) std::printf("  %" PRId64 " modules refused (not loaded)\n", t.refused_modules);
  // In the frames: a module's start-up and its unload use the heap unwatched, or outside the frames.
  std::printf("  heap in the frames: %" PRId64 " requests, %" PRId64 " refused\n", t.heap_requests, t.heap_refused);
  for (size_t i = 0; i < GAME_NATIVE_COUNT; i++) {
    if (t.calls_by_native[i]) std::printf("  %-24s %" PRId64 "\n", GAME_NATIVES[i].name, t.calls_by_native[i]);
  }
}
