// maneshade-sim: the simulated game. Loads every *.asi of its folder the way an ASI loader does, plays a scenario frame by frame through the stand-in host, and reports what the modules did.
// This file holds the command line, the frame loop and the host observer, which hands each of the
// host's events to the part that keeps it. Usage and formats: docs/simulated-game.md.
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "demo_scenario.h"
#include "tools/sim/events.h"
#include "tools/sim/hooks.h"
#include "tools/sim/loader.h"
#include "tools/sim/session.h"
#include "tools/sim/steps.h"
#include "tools/sim/text.h"
#include "tools/sim/timeline.h"
#include "tools/standin-host/standin.h"

namespace {

constexpr int EXIT_BAD_USAGE = 2;
constexpr int EXIT_LOAD_FAILED = 1;
constexpr int EXIT_IO_FAILED = 3;
constexpr int64_t MICROSECONDS_PER_SECOND = 1'000'000;
constexpr uint64_t MICROSECONDS_PER_MILLISECOND = 1'000;

bool read_file(const char *path, std::string *out) {
  std::FILE *file = std::fopen(path, "rb");
  if (!file) return false;
  char buffer[65536];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) out->append(buffer, n);
  bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

void print_usage(std::FILE *to) {
  std::fputs(
      "usage: maneshade-sim [options] [SCENARIO]\n"
      "Loads every *.asi of the current folder (the game's folder) and plays SCENARIO (default: the\n"
      "built-in demo).\n"
      "  --trace FILE      one JSON object per native call (JSON Lines)\n"
      "  --events FILE     registrations, steps, re-tints, lines drawn, problems, final state (JSON Lines)\n"
      "  --realtime        pace the frames at the frame time (for watching)\n"
      "  --wall-clock      the modules keep the real system clock; the clock starts at the real time\n"
      "  --print-scenario  print the scenario's text (e.g. the built-in demo) and exit\n"
      "  --working-folder DIR  run the game with DIR as its working folder, as a launcher or a shortcut\n"
      "                    may start it; the modules still load from the game's folder\n",
      to);
}

// -1 when the session should run; else the exit status (after --help, or a usage error).
int parse_options(int argc, char **argv, Options *options) {
  for (int i = 1; i < argc; i++) {
    std::string arg = argv[i];
    if ((arg == "--trace" || arg == "--events") && i + 1 < argc) {
      (arg == "--trace" ? options->trace_path : options->events_path) = argv[++i];
    } else if (arg == "--realtime") {
      options->realtime = true;
    } else if (arg == "--wall-clock") {
      options->wall_clock = true;
    } else if (arg == "--print-scenario") {
      options->print_scenario = true;
    } else if (arg == "--working-folder" && i + 1 < argc) {
      options->working_folder = argv[++i];
    } else if (arg == "--help" || arg == "-h") {
      print_usage(stdout);
      return 0;
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "maneshade-sim: unknown option or missing value: %s\n", arg.c_str());
      print_usage(stderr);
      return EXIT_BAD_USAGE;
    } else if (!options->scenario_path) {
      options->scenario_path = argv[i];
    } else {
      std::fprintf(stderr, "maneshade-sim: more than one scenario given\n");
      return EXIT_BAD_USAGE;
    }
  }
  return -1;
}

std::FILE *open_output(const char *path) {
  if (!path) return nullptr;
  std::FILE *file = std::fopen(path, "wb");
  if (!file) std::fprintf(stderr, "maneshade-sim: cannot write %s\n", path);
  return file;
}

// The folder the game was started in, with a final separator: its own folder, where its modules are.
std::wstring game_folder() {
  wchar_t folder[MAX_PATH * 4];
  DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(std::size(folder)), folder);
  if (length == 0 || length >= std::size(folder)) return L"";
  std::wstring out(folder, length);
  if (out.back() != L'\\' && out.back() != L'/') out.push_back(L'\\');
  return out;
}

// With --realtime: sleeps until the real time since the start catches up with the game time.
void pace_frame(const LARGE_INTEGER &frequency, const LARGE_INTEGER &real_start, uint64_t game_time_us) {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  auto elapsed_us =
      static_cast<uint64_t>((now.QuadPart - real_start.QuadPart) * MICROSECONDS_PER_SECOND / frequency.QuadPart);
  if (elapsed_us < game_time_us) Sleep(static_cast<DWORD>((game_time_us - elapsed_us) / MICROSECONDS_PER_MILLISECOND));
}

void begin_frame(Session *s, int64_t frame, uint64_t game_time_us) {
  Frame_Record &record = s->record.frame;
  record.number = frame;
  game_clock_ticks =
      s->scenario.clock_start_ticks + game_time_us * CLOCK_TICKS_PER_MICROSECOND - s->steps.clock_set_back_ticks;
  record.calls = 0;
  record.changed_game = false;
  record.steps.clear();
  record.host_problems.clear();
  world_begin_frame(&s->world);
}

void flush_outputs(const Output_Files &files) {
  std::fflush(stdout);
  if (files.trace) std::fflush(files.trace);
  if (files.events) std::fflush(files.events);
}

// A stack overflow kills the game (a module's, on its script fiber, cannot be survived): it is named
// on stderr first, with little stack and no C runtime, so that whoever ran the session reads why it
// ended early. Any other exception is left to its handlers.
LONG WINAPI report_fatal_exception(EXCEPTION_POINTERS *info) {
  if (info->ExceptionRecord->ExceptionCode != EXCEPTION_STACK_OVERFLOW) return EXCEPTION_CONTINUE_SEARCH;
  static const char TEXT[] = "maneshade-sim: a stack overflowed (exception 0xc00000fd): the game dies\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), TEXT, sizeof TEXT - 1, &written, nullptr);
  return EXCEPTION_CONTINUE_SEARCH;
}

// The host's events, each to the part that keeps it. Never throws.
void observe_host(void *context, const Standin_Event *event) {
  auto *s = static_cast<Session *>(context);
  try {
    switch (event->kind) {
      case STANDIN_EVENT_NATIVE_CALL: events_on_native_call(&s->record, *event); break;
      case STANDIN_EVENT_SCRIPT_REGISTERED: loader_on_register(&s->modules, &s->record, *event); break;
      case STANDIN_EVENT_SCRIPT_UNREGISTERED: loader_on_unregister(&s->modules, &s->record, *event); break;
      case STANDIN_EVENT_PROBLEM: events_report_problem(&s->record, std::string("host: ") + event->text); break;
      case STANDIN_EVENT_SCRIPT_RETURNED: events_on_script_returned(&s->record, *event); break;
      default: break;
    }
  } catch (...) {
    // Out of memory while recording: nothing may unwind into the host's fibers.
    std::fputs("maneshade-sim: out of memory while recording an event\n", stderr);
  }
}

void run_frames(Session *s) {
  LARGE_INTEGER frequency{}, real_start{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&real_start);
  Timeline_Run run;
  size_t next_step = 0;
  for (int64_t frame = 0; frame < s->scenario.frame_count; frame++) {
    uint64_t game_time_us = static_cast<uint64_t>(frame) * s->scenario.frame_time_us;
    if (s->options.realtime) pace_frame(frequency, real_start, game_time_us);
    begin_frame(s, frame, game_time_us);
    bool stepped = false;
    while (next_step < s->scenario.steps.size() && s->scenario.steps[next_step].frame == frame) {
      steps_apply(&s->steps, &s->world, &s->record, s->scenario.steps[next_step++]);
      stepped = true;
    }
    // Where a step may make a module fail: what the earlier frames did is kept if the game dies.
    if (stepped) flush_outputs(s->record.files);
    standin_run_frame(game_time_us);
    timeline_end_frame(s->world, s->scenario.clock_start_ticks, &s->record, &run);
  }
  timeline_end_frames(&run);
  s->record.frame.number = -1;
}

// The scenario's text from its file or the built-in demo, parsed into `s`; else the exit status.
int load_scenario(Session *s, const char *source) {
  std::string text;
  if (!s->options.scenario_path) {
    text.assign(DEMO_SCENARIO);
  } else if (!read_file(s->options.scenario_path, &text)) {
    std::fprintf(stderr, "maneshade-sim: cannot read scenario %s\n", source);
    return EXIT_BAD_USAGE;
  }
  if (s->options.print_scenario) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
  }
  Scenario_Result parsed = parse_scenario(text);
  if (!parsed.ok) {
    std::fprintf(stderr, "maneshade-sim: %s:%d: %s\n", source, parsed.error_line, parsed.error.c_str());
    return EXIT_BAD_USAGE;
  }
  s->scenario = std::move(parsed.scenario);
  return -1;
}

// Loads the modules, plays the frames and unloads the modules; the session's exit status.
int play(Session *s) {
  world_register_natives(&s->world);
  standin_set_observer(observe_host, s);
  steps_attach(&s->record);
  int exit_code = 0;
  if (s->options.working_folder) {
    // A launcher starts the game in another folder: the modules load from the game's own folder.
    std::wstring folder = text_wide_from_utf8(s->options.working_folder);
    if (!SetCurrentDirectoryW(folder.c_str())) {
      std::fprintf(stderr, "maneshade-sim: cannot make %s the working folder (error %lu)\n", s->options.working_folder,
                   GetLastError());
      return EXIT_BAD_USAGE;
    }
    std::printf("working folder: %s (the game's folder, whose modules load: %s)\n", s->options.working_folder,
                text_utf8_from_wide(s->steps.game_folder).c_str());
  }
  if (loader_load_modules(&s->modules, &s->record, s->options.wall_clock, s->steps.game_folder)) {
    run_frames(s);
  } else {
    exit_code = EXIT_LOAD_FAILED;
  }
  if (s->record.totals.refused_modules > 0) exit_code = EXIT_LOAD_FAILED;
  loader_unload_modules(&s->modules, &s->record);
  standin_set_observer(nullptr, nullptr);
  steps_attach(nullptr);
  steps_release(&s->steps);
  timeline_write_final_state(s->world, s->record.files);
  timeline_write_totals(s->record.totals, s->scenario.frame_count);
  return exit_code;
}

int run(int argc, char **argv) {
  AddVectoredExceptionHandler(/*First=*/1, report_fatal_exception);
  Session s;
  int status = parse_options(argc, argv, &s.options);
  if (status >= 0) return status;
  const char *source = s.options.scenario_path ? s.options.scenario_path : "<built-in demo>";
  status = load_scenario(&s, source);
  if (status >= 0) return status;
  if (s.options.wall_clock) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    s.scenario.clock_start_ticks = (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
  }
  game_clock_ticks = s.scenario.clock_start_ticks;
  s.steps.clock_start_ticks = s.scenario.clock_start_ticks;
  s.steps.game_folder = game_folder();
  s.world = world_from_scenario(s.scenario);

  Output_Files &files = s.record.files;
  files.trace = open_output(s.options.trace_path);
  files.events = open_output(s.options.events_path);
  if ((s.options.trace_path && !files.trace) || (s.options.events_path && !files.events)) return EXIT_IO_FAILED;

  timeline_write_start(s.scenario, s.world, s.options.wall_clock, source);
  int exit_code = play(&s);
  if (files.trace) std::fclose(files.trace);
  if (files.events) std::fclose(files.events);
  return exit_code;
}

}  // namespace

int main(int argc, char **argv) {
  try {
    return run(argc, argv);
  } catch (...) {
    std::fprintf(stderr, "maneshade-sim: out of memory\n");
    return EXIT_IO_FAILED;
  }
}
