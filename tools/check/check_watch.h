// maneshade-check --watch FILE: the module's own reloader, run on FILE with the real clock and file
// system until interrupted, with one line per attempt: what the game will do, and why.
#pragma once
#include <cstdio>
#include <string>
#include <string_view>

#include "src/config/config.h"
#include "tools/owned/owned.h"

// What the game would hold now: the settings in force and the line on screen.
struct Check_Watch {
  std::string path;
  Owned<Arena> scratch;  // the reloader's temporaries, released after every look
  Config config{};
  Reload_State state{};
  const char *message = "";   // the game's line after "Mane Shade: "; "" when none
  std::string last_report;    // the last report written, without its time: a failure that repeats
                              // every second is written again only when it reads otherwise
};

// Starts watching `path`: the first line, "watching PATH as the game does ...", to `err`.
void check_watch_begin(Check_Watch *watch, std::string_view path, FILE *err);

// One frame of the game's loop for `watch`: the reloader's look (update_config_at) and, when it
// attempted a load, a report to `err`: "[TIME] " and, on success, a summary of both blocks
// ("corvin: on, hair 57 57 57, ..., mael: off"), on failure the game's line and then the
// validator's explanation (the reason, or the key's line). Every read of a new version of the file
// is reported, whatever it says; a failure that repeats every second without a new version (the
// file is missing, or will not open) is reported again only when its report changes.
// Throws std::bad_alloc.
void check_watch_frame(Check_Watch *watch, std::string_view time_text, FILE *err);

// "corvin: on, hair 57 57 57, chin 1 2 3, ..., mael: off": a Config as a player reads it.
std::string check_watch_summary(const Config &config);

// check_watch_begin, then check_watch_frame ten times a second with the local time until the
// process is interrupted. Never returns but for running out of memory.
int check_watch(std::string_view path, FILE *err);
