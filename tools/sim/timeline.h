// The timeline on stdout: the session's opening lines, a report per frame (runs of frames in which
// the modules did the same thing merged into one), the final state and the totals; and the events
// that go with them (re-tints, lines drawn, the game's problems, the final state).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/sim/session.h"

// Frames reported so far as one run and not yet written: the same activity, nothing else happening.
struct Timeline_Run {
  int64_t first = -1, last = -1;
  std::vector<std::string> activity;
  bool any_calls = false;
};

// What the scenario is and where the player's ped starts; `source` names the scenario.
void timeline_write_start(const Scenario &scenario, const World &world, bool wall_clock, const char *source);

// Reports the frame that just ran in `world`: its events, and its timeline lines (or adds it to
// `run`); takes the modules' heap counts of the frame (hooks.h) into the totals. `clock_start_ticks`
// is the scenario's, from which a frame's time is told.
void timeline_end_frame(const World &world, uint64_t clock_start_ticks, Session_Record *record, Timeline_Run *run);

// Writes the run still open after the last frame.
void timeline_end_frames(Timeline_Run *run);

// The ped and its components as the session leaves them (also as the final event), then the totals.
void timeline_write_final_state(const World &world, const Output_Files &files);
void timeline_write_totals(const Totals &totals, int64_t frame_count);
