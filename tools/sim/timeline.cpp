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
std::vector<std::string> timeline_module_activity(const Session &s, const Heap_Counts &heap) {
  std::vector<std::string> lines;
  for (const Retint &r : s.world.retints) lines.push_back(timeline_retint_line(r));
  for (const Drawn_Text &d : s.world.drawn) lines.push_back(timeline_drawn_line(d));
  if (lines.empty() && s.frame.changed_game) lines.push_back("called natives other than reads");
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

void timeline_write_frame_events(const Session &s, const Heap_Counts &heap) {
  for (const Retint &r : s.world.retints) {
    Json_Writer line = events_line("retint");
    json_member_integer(&line, "frame", s.frame.number);
    json_member_string(&line, "component", r.component);
    json_member_integer(&line, "palette_from", r.from_palette);
    json_member_integer(&line, "palette_to", r.to_palette);
    json_member_integers(&line, "from", r.from, 3);
    json_member_integers(&line, "to", r.to, 3);
    events_write(s, &line);
  }
  for (const Drawn_Text &d : s.world.drawn) {
    Json_Writer line = events_line("text");
    json_member_integer(&line, "frame", s.frame.number);
    json_member_string(&line, "text", d.text);
    timeline_float_pair(&line, "scale", d.scale);
    json_member_integers(&line, "color", d.color, 4);
    timeline_float_pair(&line, "position", d.position);
    events_write(s, &line);
  }
  for (const std::string &p : s.world.problems) {
    Json_Writer line = events_line("problem");
    json_member_integer(&line, "frame", s.frame.number);
    json_member_string(&line, "text", "game: " + p);
    events_write(s, &line);
  }
  if (timeline_heap_used(heap)) {
    Json_Writer line = events_line("heap");
    json_member_integer(&line, "frame", s.frame.number);
    json_member_integer(&line, "requests", heap.requests);
    json_member_integer(&line, "refused", heap.refused);
    json_member_integer(&line, "frees", heap.frees);
    events_write(s, &line);
  }
}

// A frame in which something happened besides the modules' activity: always reported on its own.
void timeline_write_eventful_frame(const Session &s, const std::vector<std::string> &activity) {
  uint64_t ticks = game_clock_ticks;
  // Before the clock start once a clock step set the clock back far enough.
  double since_start = ticks >= s.scenario.clock_start_ticks
                           ? static_cast<double>(ticks - s.scenario.clock_start_ticks)
                           : -static_cast<double>(s.scenario.clock_start_ticks - ticks);
  std::printf("frame %" PRId64 " (%s %+.3f s):\n", s.frame.number, format_clock(ticks).c_str(),
              since_start / CLOCK_TICKS_PER_SECOND);
  for (const std::string &line : s.frame.steps) std::printf("  game    %s\n", line.c_str());
  for (const std::string &line : activity) std::printf("  module  %s\n", line.c_str());
  for (const std::string &line : s.frame.host_problems) std::printf("  PROBLEM %s\n", line.c_str());
  for (const std::string &line : s.world.problems) std::printf("  PROBLEM game: %s\n", line.c_str());
  if (activity.empty()) std::printf("  module  %s\n", s.frame.calls ? "quiet (reads only)" : "no native calls");
}

// "0x" and 8 lowercase hexadecimal digits: models and categories.
std::string timeline_hex32(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

void timeline_write_final_event(const Session &s) {
  Json_Writer line = events_line("final");
  json_member_string(&line, "ped", text_hex64(s.world.ped));
  json_member_string(&line, "model", timeline_hex32(s.world.model));
  json_member_integer(&line, "refresh_count", s.world.refresh_count);
  json_key(&line, "components");
  json_begin_array(&line);
  for (const Component_Spec &c : s.world.components) {
    json_begin_object(&line);
    json_member_string(&line, "name", c.name);
    json_member_string(&line, "category", timeline_hex32(c.category));
    json_member_integer(&line, "palette", c.palette);
    json_member_integers(&line, "tints", c.tints, 3);
    json_member_integers(&line, "assets", c.assets, 4);
    json_end_object(&line);
  }
  json_end_array(&line);
  events_write(s, &line);
}

}  // namespace

void timeline_write_start(const Session &s, const char *source) {
  std::printf("scenario %s: %" PRId64 " frames of %.3f ms, clock from %s (%s), %zu components, %zu steps\n", source,
              s.scenario.frame_count, static_cast<double>(s.scenario.frame_time_us) / 1000,
              format_clock(s.scenario.clock_start_ticks).c_str(), s.options.wall_clock ? "real clock" : "game clock",
              s.scenario.components.size(), s.scenario.steps.size());
  std::printf("player ped %s wears model %s\n", text_hex64(s.world.ped).c_str(), text_model(s.world.model).c_str());
}

void timeline_end_frame(Session *s, Timeline_Run *run) {
  Heap_Counts heap = game_heap_take_counts();
  timeline_write_frame_events(*s, heap);
  s->totals.retints += static_cast<int64_t>(s->world.retints.size());
  s->totals.drawn += static_cast<int64_t>(s->world.drawn.size());
  s->totals.problems += static_cast<int64_t>(s->world.problems.size());
  s->totals.heap_requests += heap.requests;
  s->totals.heap_refused += heap.refused;

  std::vector<std::string> activity = timeline_module_activity(*s, heap);
  bool eventful = !s->frame.steps.empty() || !s->frame.host_problems.empty() || !s->world.problems.empty();
  if (!eventful && run->first >= 0 && run->activity == activity) {
    run->last = s->frame.number;
    run->any_calls = run->any_calls || s->frame.calls > 0;
    return;
  }
  timeline_flush_run(run);
  if (eventful) {
    timeline_write_eventful_frame(*s, activity);
    return;
  }
  *run = Timeline_Run{s->frame.number, s->frame.number, activity, s->frame.calls > 0};
}

void timeline_end_frames(Timeline_Run *run) { timeline_flush_run(run); }

void timeline_write_final_state(const Session &s) {
  std::printf("final state: ped %s, model %s, %" PRId64 " refreshes\n", text_hex64(s.world.ped).c_str(),
              text_model(s.world.model).c_str(), s.world.refresh_count);
  for (const Component_Spec &c : s.world.components) {
    const char *category = category_name(c.category);
    std::printf("  %-12s %-8s palette %u, tints %s\n", c.name.c_str(),
                category ? category : timeline_hex32(c.category).c_str(), c.palette, text_tints(c.tints).c_str());
  }
  timeline_write_final_event(s);
}

void timeline_write_totals(const Session &s) {
  const Totals &t = s.totals;
  std::printf("totals: %" PRId64 " frames, %" PRId64 " native calls, %" PRId64 " re-tints, %" PRId64
              " lines drawn, %" PRId64 " unknown natives, %" PRId64 " problems, %" PRId64 " registrations, %" PRId64
              " unregistrations\n",
              s.scenario.frame_count, t.calls, t.retints, t.drawn, t.unknown, t.problems, t.registrations,
              t.unregistrations);
  if (t.refused_modules) std::printf("  %" PRId64 " modules refused (not loaded)\n", t.refused_modules);
  // In the frames: a module's start-up and its unload use the heap unwatched, or outside the frames.
  std::printf("  heap in the frames: %" PRId64 " requests, %" PRId64 " refused\n", t.heap_requests, t.heap_refused);
  for (size_t i = 0; i < GAME_NATIVE_COUNT; i++) {
    if (t.calls_by_native[i]) std::printf("  %-24s %" PRId64 "\n", GAME_NATIVES[i].name, t.calls_by_native[i]);
  }
}
