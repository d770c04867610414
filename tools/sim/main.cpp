// maneshade-sim: the simulated game. Loads every *.asi of its working folder the way an ASI loader
// does, plays a scenario frame by frame through the stand-in host, and reports what the modules did.
// Usage and formats: docs/simulated-game.md.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <iterator>
#include <string>
#include <vector>

#include "host/natives.h"
#include "src/script/tint.h"
#include "tools/sim/clock_hook.h"
#include "tools/sim/module_check.h"
#include "demo_scenario.h"
#include "tools/sim/scenario.h"
#include "tools/sim/world.h"
#include "tools/standin-host/standin.h"

namespace {

constexpr wchar_t INI_NAME[] = L"ManeShade.ini";
constexpr wchar_t INI_NEW_NAME[] = L"ManeShade.ini.new";
constexpr int EXIT_BAD_USAGE = 2;
constexpr int EXIT_LOAD_FAILED = 1;
constexpr int EXIT_IO_FAILED = 3;

struct Options {
  const char *scenario_path = nullptr;  // null: the built-in demo
  const char *trace_path = nullptr;
  const char *events_path = nullptr;
  bool realtime = false;
  bool wall_clock = false;
  bool print_scenario = false;
};

struct Loaded_Module {
  std::string name;  // file name, UTF-8
  HMODULE handle;
};

struct Registration {
  void *module;
  Script_Entry_Point entry;
};

struct Session {
  Options options;
  Scenario scenario;
  World world;
  std::FILE *trace = nullptr;
  std::FILE *events = nullptr;
  std::vector<Loaded_Module> modules;
  int64_t frame = -1;  // -1 outside the frames (loading, unloading)
  const Loaded_Module *unloading = nullptr;
  std::vector<Registration> registrations_while_loading;

  // This frame.
  int64_t frame_calls = 0;
  bool frame_writes = false;  // a native other than a read was called
  std::vector<std::string> frame_steps;
  std::vector<std::string> host_problems;

  // Totals.
  int64_t total_calls = 0;
  int64_t calls_by_native[NATIVE_COUNT] = {};
  int64_t total_unknown = 0;
  int64_t total_retints = 0;
  int64_t total_drawn = 0;
  int64_t total_problems = 0;
  int64_t total_registrations = 0;
  int64_t total_unregistrations = 0;
  int64_t refused_modules = 0;  // not loaded: Windows would refuse them, or LoadLibrary did

  HANDLE ini_lock = INVALID_HANDLE_VALUE;
};

// The clock that the modules see as the system clock, in FILETIME units.
uint64_t game_clock_ticks;

void WINAPI game_clock_as_filetime(LPFILETIME out) {
  out->dwLowDateTime = static_cast<DWORD>(game_clock_ticks);
  out->dwHighDateTime = static_cast<DWORD>(game_clock_ticks >> 32);
}

std::string hex64(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016" PRIx64, value);
  return text;
}

std::string hex_address(const void *address) { return hex64(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(address))); }

std::string json_string(const std::string &text) {
  std::string out = "\"";
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (byte < 0x20 || byte == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      out += escape;
    } else {
      out.push_back(c);
    }
  }
  return out + "\"";
}

// Nine significant digits give the float back exactly (events); six read well (timeline).
std::string format_float(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return text;
}

std::string format_float_short(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
  return text;
}

std::string utf8_from_wide(const wchar_t *text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<size_t>(size - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  return out;
}

void write_event(Session &s, const std::string &body) {
  if (!s.events) return;
  std::fprintf(s.events, "{\"event\": %s}\n", body.c_str());
}

const Loaded_Module *module_by_handle(const Session &s, const void *handle) {
  for (const Loaded_Module &m : s.modules) {
    if (m.handle == handle) return &m;
  }
  return nullptr;
}

bool is_read_native(uint64_t hash) {
  return hash == NATIVE_GET_PLAYER_PED || hash == NATIVE_GET_ENTITY_MODEL || hash == NATIVE_GET_NUM_COMPONENTS ||
         hash == NATIVE_GET_COMPONENT_CATEGORY || hash == NATIVE_GET_COMPONENT_TINT ||
         hash == NATIVE_GET_COMPONENT_ASSETS;
}

void report_problem(Session &s, const std::string &text) {
  s.total_problems++;
  if (s.frame >= 0) {
    s.host_problems.push_back(text);
  } else {
    std::printf("  PROBLEM %s\n", text.c_str());
  }
  write_event(s, "\"problem\", \"frame\": " + std::to_string(s.frame) + ", \"text\": " + json_string(text));
}

void on_native_call(Session &s, const Standin_Event &e) {
  s.frame_calls++;
  s.total_calls++;
  const char *name = (e.flags & STANDIN_CALL_NOT_BEGUN) ? nullptr : native_name(e.hash);
  if (!name) s.total_unknown++;
  if (!is_read_native(e.hash)) s.frame_writes = true;
  for (size_t i = 0; i < NATIVE_COUNT; i++) {
    if (NATIVE_TABLE[i].hash == e.hash) s.calls_by_native[i]++;
  }
  if (!s.trace) return;
  std::string line = "{\"frame\": " + std::to_string(s.frame) + ", \"name\": \"" + (name ? name : "unknown") +
                     "\", \"hash\": \"" + hex64(e.hash) + "\", \"args\": [";
  for (int32_t i = 0; i < e.arg_count; i++) line += (i ? ", \"" : "\"") + hex64(e.args[i]) + "\"";
  line += "], \"result\": \"" + hex64(e.result[0]) + "\"}\n";
  std::fputs(line.c_str(), s.trace);
}

void on_register(Session &s, const Standin_Event &e) {
  s.total_registrations++;
  if (s.frame < 0 && s.unloading == nullptr) {
    // While a module loads its handle is not known yet: judged once LoadLibrary returns.
    s.registrations_while_loading.push_back(Registration{e.module, e.entry});
    return;
  }
  const Loaded_Module *m = module_by_handle(s, e.module);
  std::string text = "script " + hex_address(reinterpret_cast<const void *>(e.entry)) + " registered for " +
                     hex_address(e.module) + (m ? " (" + m->name + ")" : " (no loaded module has this handle)");
  s.frame_steps.push_back(text);
  write_event(s, "\"register\", \"frame\": " + std::to_string(s.frame) + ", \"module\": \"" + hex_address(e.module) +
                     "\", \"entry\": \"" + hex_address(reinterpret_cast<const void *>(e.entry)) +
                     "\", \"own_module\": " + (m ? "true" : "false"));
}

void on_unregister(Session &s, const Standin_Event &e) {
  s.total_unregistrations++;
  bool own = s.unloading && s.unloading->handle == e.module;
  std::string whose = own ? " (the handle of " + s.unloading->name + ", which is unloading)"
                          : s.unloading ? " (NOT the handle of " + s.unloading->name + ", which is unloading)"
                                        : " (outside an unload)";
  if (s.frame >= 0) {
    s.frame_steps.push_back("scripts of module " + hex_address(e.module) + " unregistered" + whose);
  } else {
    std::printf("  scripts of module %s unregistered%s\n", hex_address(e.module).c_str(), whose.c_str());
  }
  write_event(s, "\"unregister\", \"frame\": " + std::to_string(s.frame) + ", \"module\": \"" + hex_address(e.module) +
                     "\", \"during_unload\": " + (s.unloading ? "true" : "false") +
                     ", \"own_module\": " + (own ? "true" : "false"));
}

void on_host_event(void *context, const Standin_Event *event) {
  Session &s = *static_cast<Session *>(context);
  try {
    switch (event->kind) {
      case STANDIN_EVENT_NATIVE_CALL: on_native_call(s, *event); break;
      case STANDIN_EVENT_SCRIPT_REGISTERED: on_register(s, *event); break;
      case STANDIN_EVENT_SCRIPT_UNREGISTERED: on_unregister(s, *event); break;
      case STANDIN_EVENT_PROBLEM: report_problem(s, std::string("host: ") + event->text); break;
      case STANDIN_EVENT_SCRIPT_RETURNED:
        report_problem(s, "the script " + hex_address(reinterpret_cast<const void *>(event->entry)) + " of module " +
                              hex_address(event->module) + " returned");
        break;
      default: break;
    }
  } catch (...) {
    // Out of memory while recording: nothing may unwind into the host's fibers.
    std::fputs("maneshade-sim: out of memory while recording an event\n", stderr);
  }
}

// ---- Scenario steps. ----

FILETIME filetime_from_ticks(uint64_t ticks) {
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

uint64_t mtime_ticks(const Session &s, const Mtime &m) {
  if (m.now) return game_clock_ticks;
  return s.scenario.clock_start_ticks + static_cast<uint64_t>(m.offset_ticks);
}

bool set_write_time(const wchar_t *path, uint64_t ticks, DWORD *error) {
  HANDLE file = CreateFileW(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return false;
  }
  FILETIME time = filetime_from_ticks(ticks);
  bool ok = SetFileTime(file, nullptr, nullptr, &time) != 0;
  if (!ok) *error = GetLastError();
  CloseHandle(file);
  return ok;
}

bool write_file(const wchar_t *path, const std::string &content, uint64_t ticks, DWORD *error) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return false;
  }
  DWORD written = 0;
  bool ok = content.empty() ||
            (WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) && written == content.size());
  if (!ok) *error = GetLastError();
  CloseHandle(file);
  // The time is set on a fresh handle, after the writes, so that closing cannot move it again.
  return ok && set_write_time(path, ticks, error);
}

std::string tints_text(const int32_t tints[3]) {
  return std::to_string(tints[0]) + " " + std::to_string(tints[1]) + " " + std::to_string(tints[2]);
}

std::string model_text(uint32_t model) {
  char text[40];
  const char *name = model == CORVIN_MODEL ? " (corvin)" : model == MAEL_MODEL ? " (mael)" : "";
  std::snprintf(text, sizeof text, "0x%08x%s", model, name);
  return text;
}

std::string apply_ini_step(Session &s, const Step &step, bool *ok, DWORD *error) {
  uint64_t ticks = mtime_ticks(s, step.mtime);
  std::string when = ", modification time " + format_clock(ticks) + " (" + std::to_string(ticks) + ")";
  std::string bytes = " (" + std::to_string(step.content.size()) + " bytes)";
  switch (step.kind) {
    case Step_Kind::ini_write:
      *ok = write_file(INI_NAME, step.content, ticks, error);
      return "ManeShade.ini written" + bytes + when;
    case Step_Kind::ini_replace:
      *ok = write_file(INI_NEW_NAME, step.content, ticks, error);
      if (*ok && !MoveFileExW(INI_NEW_NAME, INI_NAME, MOVEFILE_REPLACE_EXISTING)) {
        *ok = false;
        *error = GetLastError();
      }
      return "ManeShade.ini replaced by a new file" + bytes + when;
    case Step_Kind::ini_delete:
      *ok = DeleteFileW(INI_NAME) != 0;
      if (!*ok) *error = GetLastError();
      return "ManeShade.ini deleted";
    case Step_Kind::ini_touch:
      *ok = set_write_time(INI_NAME, ticks, error);
      return "ManeShade.ini touched" + when;
    case Step_Kind::ini_lock:
      if (s.ini_lock != INVALID_HANDLE_VALUE) CloseHandle(s.ini_lock);
      s.ini_lock = CreateFileW(INI_NAME, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      *ok = s.ini_lock != INVALID_HANDLE_VALUE;
      if (!*ok) *error = GetLastError();
      return "ManeShade.ini held open without sharing";
    case Step_Kind::ini_unlock:
      *ok = s.ini_lock != INVALID_HANDLE_VALUE;
      if (*ok) CloseHandle(s.ini_lock);
      s.ini_lock = INVALID_HANDLE_VALUE;
      return "ManeShade.ini closed (no longer held)";
    default: return {};
  }
}

void apply_step(Session &s, const Step &step) {
  bool ok = true;
  DWORD error = 0;
  std::string text;
  switch (step.kind) {
    case Step_Kind::model:
      text = "the player's ped now wears model " + model_text(step.model);
      s.world.model = step.model;
      break;
    case Step_Kind::ped:
      text = "the player's ped is now " + hex64(step.ped);
      s.world.ped = step.ped;
      break;
    case Step_Kind::tint: {
      Component_Spec *c = world_component(&s.world, step.component);
      text = c->name + " tints set by the game: " + tints_text(c->tints) + " -> " + tints_text(step.tints);
      std::memcpy(c->tints, step.tints, sizeof c->tints);
      if (step.set_palette) {
        text += ", palette " + std::to_string(c->palette) + " -> " + std::to_string(step.palette);
        c->palette = step.palette;
      }
      break;
    }
    default: text = apply_ini_step(s, step, &ok, &error); break;
  }
  if (!ok) text += ": FAILED, error " + std::to_string(error);
  s.frame_steps.push_back(text);
  write_event(s, "\"step\", \"frame\": " + std::to_string(s.frame) + ", \"line\": " + std::to_string(step.line) +
                     ", \"text\": " + json_string(text) + ", \"ok\": " + (ok ? "true" : "false") +
                     ", \"error\": " + std::to_string(error));
  if (!ok) s.total_problems++;
}

// ---- Loading and unloading. ----

bool ends_with_asi(const std::wstring &name) {
  if (name.size() < 4) return false;
  std::wstring tail = name.substr(name.size() - 4);
  for (wchar_t &c : tail) c = static_cast<wchar_t>(towlower(c));
  return tail == L".asi";
}

std::vector<std::wstring> find_modules() {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(L"*.asi", &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    // The pattern also matches short names, so "x.asix" would come through: check the long name.
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && ends_with_asi(found.cFileName)) {
      names.push_back(found.cFileName);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

bool entry_in_module(Script_Entry_Point entry, HMODULE module) {
  HMODULE owner = nullptr;
  DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  return GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(entry), &owner) && owner == module;
}

// A module that Windows would not load, or that LoadLibrary refused: reported, and the session goes
// on with the others (and ends with EXIT_LOAD_FAILED).
void refuse_module(Session &s, const std::string &shown, const Module_Check &check) {
  s.refused_modules++;
  std::printf("refused %s: %s\n", shown.c_str(), check.text.c_str());
  std::fprintf(stderr, "maneshade-sim: refused %s: %s\n", shown.c_str(), check.text.c_str());
  std::string unresolved;
  for (size_t i = 0; i < check.unresolved.size(); i++) {
    const Pe_Unresolved &u = check.unresolved[i];
    if (i > 0) std::printf("  also: %s\n", pe_unresolved_text(u).c_str());
    unresolved += std::string(i ? ", " : "") + "{\"dll\": " + json_string(u.dll) + ", \"import\": " +
                  json_string(u.import) + ", \"error\": " + std::to_string(u.error) + "}";
  }
  const Pe_Unresolved *first = check.unresolved.empty() ? nullptr : &check.unresolved[0];
  write_event(s, "\"load\", \"file\": " + json_string(shown) + ", \"ok\": false, \"error\": " +
                     std::to_string(check.error) + ", \"dll\": " + json_string(first ? first->dll : "") +
                     ", \"import\": " + json_string(first ? first->import : "") + ", \"reason\": " +
                     json_string(check.text) + ", \"unresolved\": [" + unresolved + "]");
}

bool load_modules(Session &s) {
  std::vector<std::wstring> names = find_modules();
  if (names.empty()) std::printf("no *.asi module in the working folder: the game runs alone\n");
  s.modules.reserve(names.size());
  for (const std::wstring &name : names) {
    wchar_t full[MAX_PATH * 4];
    DWORD length = GetFullPathNameW(name.c_str(), static_cast<DWORD>(std::size(full)), full, nullptr);
    std::string shown = utf8_from_wide(name.c_str());
    if (!length || length >= std::size(full)) {
      refuse_module(s, shown, Module_Check{false, ERROR_FILENAME_EXCED_RANGE, "the path is too long", {}});
      continue;
    }
    // Wine would load a module whose imports do not resolve; Windows refuses it, so the game does.
    Module_Check check = check_module_file(full);
    if (!check.ok) {
      refuse_module(s, shown, check);
      continue;
    }
    s.registrations_while_loading.clear();
    HMODULE handle = LoadLibraryW(full);
    if (!handle) {
      DWORD error = GetLastError();
      refuse_module(s, shown, Module_Check{false, error, "LoadLibrary failed with error " + std::to_string(error), {}});
      continue;
    }
    s.modules.push_back(Loaded_Module{shown, handle});
    std::printf("loaded %s at %s\n", shown.c_str(), hex_address(handle).c_str());
    write_event(s, "\"load\", \"file\": " + json_string(shown) + ", \"module\": \"" + hex_address(handle) + "\", \"ok\": true");
    for (const Registration &r : s.registrations_while_loading) {
      bool own = r.module == handle;
      bool inside = entry_in_module(r.entry, handle);
      std::printf("  registered script %s for module %s (%s; the entry point lies %s it)\n",
                  hex_address(reinterpret_cast<const void *>(r.entry)).c_str(), hex_address(r.module).c_str(),
                  own ? "the module's own handle" : "NOT the module's own handle", inside ? "in" : "OUTSIDE");
      write_event(s, "\"register\", \"frame\": -1, \"file\": " + json_string(shown) + ", \"module\": \"" +
                         hex_address(r.module) + "\", \"loaded_handle\": \"" + hex_address(handle) +
                         "\", \"own_module\": " + (own ? "true" : "false") + ", \"entry\": \"" +
                         hex_address(reinterpret_cast<const void *>(r.entry)) +
                         "\", \"entry_in_module\": " + (inside ? "true" : "false"));
    }
    if (s.registrations_while_loading.empty()) std::printf("  registered no script\n");
    if (s.options.wall_clock) continue;
    Rebind_Result rebound = rebind_system_time(handle, game_clock_as_filetime);
    if (!rebound.ok) {
      std::fprintf(stderr, "maneshade-sim: cannot hand %s the game clock (error %lu)\n", shown.c_str(),
                   static_cast<unsigned long>(rebound.error));
      return false;
    }
    std::printf("  clock: %s\n", rebound.slots ? "GetSystemTimeAsFileTime now reads the game clock"
                                               : "GetSystemTimeAsFileTime is not imported: nothing to rebind");
    write_event(s, "\"clock\", \"file\": " + json_string(shown) + ", \"slots\": " + std::to_string(rebound.slots));
  }
  return true;
}

void unload_modules(Session &s) {
  for (size_t i = s.modules.size(); i-- > 0;) {
    const Loaded_Module &m = s.modules[i];
    std::printf("unloading %s\n", m.name.c_str());
    s.unloading = &m;
    bool ok = FreeLibrary(m.handle) != 0;
    s.unloading = nullptr;
    std::printf("  %s\n", ok ? "unloaded" : "FreeLibrary FAILED");
    write_event(s, "\"unload\", \"file\": " + json_string(m.name) + ", \"module\": \"" + hex_address(m.handle) +
                       "\", \"ok\": " + (ok ? "true" : "false"));
  }
}

// ---- The timeline. ----

// What the modules did in a frame, one line each; equal texts on consecutive frames are merged.
std::vector<std::string> module_activity(const Session &s) {
  std::vector<std::string> lines;
  for (const Retint &r : s.world.retints) {
    std::string line = "re-tinted " + r.component + ": " + tints_text(r.from) + " -> " + tints_text(r.to);
    if (r.from_palette != r.to_palette) {
      line += ", palette " + std::to_string(r.from_palette) + " -> " + std::to_string(r.to_palette);
    }
    lines.push_back(line);
  }
  for (const Drawn_Text &d : s.world.drawn) {
    lines.push_back("drew " + json_string(d.text) + " at (" + format_float_short(d.position[0]) + ", " +
                    format_float_short(d.position[1]) + "), scale (" + format_float_short(d.scale[0]) + ", " +
                    format_float_short(d.scale[1]) + "), colour (" + std::to_string(d.color[0]) + ", " +
                    std::to_string(d.color[1]) + ", " + std::to_string(d.color[2]) + ", " +
                    std::to_string(d.color[3]) + ")");
  }
  if (lines.empty() && s.frame_writes) lines.push_back("called natives other than reads");
  return lines;
}

struct Timeline_Run {
  int64_t first = -1, last = -1;
  std::vector<std::string> activity;
  bool any_calls = false;
};

void flush_run(Timeline_Run &run) {
  if (run.first < 0) return;
  std::string frames = run.first == run.last ? "frame " + std::to_string(run.first)
                                             : "frames " + std::to_string(run.first) + "-" + std::to_string(run.last);
  if (run.activity.empty()) {
    std::printf("%s: quiet (%s)\n", frames.c_str(), run.any_calls ? "reads only" : "no native calls");
  } else {
    std::printf("%s:%s\n", frames.c_str(), run.first == run.last ? "" : " each frame");
    for (const std::string &line : run.activity) std::printf("  module  %s\n", line.c_str());
  }
  run = Timeline_Run{};
}

void record_frame_events(Session &s) {
  for (const Retint &r : s.world.retints) {
    write_event(s, "\"retint\", \"frame\": " + std::to_string(s.frame) + ", \"component\": " + json_string(r.component) +
                       ", \"palette_from\": " + std::to_string(r.from_palette) + ", \"palette_to\": " +
                       std::to_string(r.to_palette) + ", \"from\": [" + std::to_string(r.from[0]) + ", " +
                       std::to_string(r.from[1]) + ", " + std::to_string(r.from[2]) + "], \"to\": [" +
                       std::to_string(r.to[0]) + ", " + std::to_string(r.to[1]) + ", " + std::to_string(r.to[2]) + "]");
  }
  for (const Drawn_Text &d : s.world.drawn) {
    write_event(s, "\"text\", \"frame\": " + std::to_string(s.frame) + ", \"text\": " + json_string(d.text) +
                       ", \"scale\": [" + format_float(d.scale[0]) + ", " + format_float(d.scale[1]) + "], \"color\": [" +
                       std::to_string(d.color[0]) + ", " + std::to_string(d.color[1]) + ", " +
                       std::to_string(d.color[2]) + ", " + std::to_string(d.color[3]) + "], \"position\": [" +
                       format_float(d.position[0]) + ", " + format_float(d.position[1]) + "]");
  }
  for (const std::string &p : s.world.problems) {
    s.total_problems++;
    write_event(s, "\"problem\", \"frame\": " + std::to_string(s.frame) + ", \"text\": " + json_string("game: " + p));
  }
  s.total_retints += static_cast<int64_t>(s.world.retints.size());
  s.total_drawn += static_cast<int64_t>(s.world.drawn.size());
}

void report_frame(Session &s, Timeline_Run &run) {
  std::vector<std::string> activity = module_activity(s);
  bool eventful = !s.frame_steps.empty() || !s.host_problems.empty() || !s.world.problems.empty();
  if (!eventful && run.first >= 0 && run.activity == activity) {
    run.last = s.frame;
    run.any_calls = run.any_calls || s.frame_calls > 0;
    return;
  }
  flush_run(run);
  if (!eventful) {
    run = Timeline_Run{s.frame, s.frame, activity, s.frame_calls > 0};
    return;
  }
  uint64_t ticks = game_clock_ticks;
  std::printf("frame %" PRId64 " (%s +%.3f s):\n", s.frame, format_clock(ticks).c_str(),
              static_cast<double>(ticks - s.scenario.clock_start_ticks) / TICKS_PER_SECOND);
  for (const std::string &line : s.frame_steps) std::printf("  game    %s\n", line.c_str());
  for (const std::string &line : activity) std::printf("  module  %s\n", line.c_str());
  for (const std::string &line : s.host_problems) std::printf("  PROBLEM %s\n", line.c_str());
  for (const std::string &line : s.world.problems) std::printf("  PROBLEM game: %s\n", line.c_str());
  if (activity.empty()) std::printf("  module  %s\n", s.frame_calls ? "quiet (reads only)" : "no native calls");
}

void write_final_state(Session &s) {
  std::printf("final state: ped %s, model %s, %" PRId64 " refreshes\n", hex64(s.world.ped).c_str(),
              model_text(s.world.model).c_str(), s.world.refresh_count);
  std::string components;
  for (const Component_Spec &c : s.world.components) {
    const char *category = category_name(c.category);
    char hash[16];
    std::snprintf(hash, sizeof hash, "0x%08x", c.category);
    std::printf("  %-12s %-8s palette %u, tints %s\n", c.name.c_str(), category ? category : hash, c.palette,
                tints_text(c.tints).c_str());
    components += std::string(components.empty() ? "" : ", ") + "{\"name\": " + json_string(c.name) +
                  ", \"category\": \"" + hash + "\", \"palette\": " + std::to_string(c.palette) + ", \"tints\": [" +
                  std::to_string(c.tints[0]) + ", " + std::to_string(c.tints[1]) + ", " + std::to_string(c.tints[2]) +
                  "], \"assets\": [" + std::to_string(c.assets[0]) + ", " + std::to_string(c.assets[1]) + ", " +
                  std::to_string(c.assets[2]) + ", " + std::to_string(c.assets[3]) + "]}";
  }
  char model[16];
  std::snprintf(model, sizeof model, "0x%08x", s.world.model);
  write_event(s, "\"final\", \"ped\": \"" + hex64(s.world.ped) + "\", \"model\": \"" + model +
                     "\", \"refresh_count\": " + std::to_string(s.world.refresh_count) + ", \"components\": [" +
                     components + "]");
}

void write_totals(const Session &s) {
  std::printf("totals: %" PRId64 " frames, %" PRId64 " native calls, %" PRId64 " re-tints, %" PRId64
              " lines drawn, %" PRId64 " unknown natives, %" PRId64 " problems, %" PRId64 " registrations, %" PRId64
              " unregistrations\n",
              s.scenario.frame_count, s.total_calls, s.total_retints, s.total_drawn, s.total_unknown, s.total_problems,
              s.total_registrations, s.total_unregistrations);
  if (s.refused_modules) std::printf("  %" PRId64 " modules refused (not loaded)\n", s.refused_modules);
  for (size_t i = 0; i < NATIVE_COUNT; i++) {
    if (s.calls_by_native[i]) std::printf("  %-24s %" PRId64 "\n", NATIVE_TABLE[i].name, s.calls_by_native[i]);
  }
}

// ---- The session. ----

void run_frames(Session &s) {
  LARGE_INTEGER frequency{}, real_start{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&real_start);
  Timeline_Run run;
  size_t next_step = 0;
  for (int64_t frame = 0; frame < s.scenario.frame_count; frame++) {
    uint64_t game_time_us = static_cast<uint64_t>(frame) * s.scenario.frame_time_us;
    if (s.options.realtime) {
      LARGE_INTEGER now{};
      QueryPerformanceCounter(&now);
      auto elapsed_us = static_cast<uint64_t>((now.QuadPart - real_start.QuadPart) * 1'000'000 / frequency.QuadPart);
      if (elapsed_us < game_time_us) Sleep(static_cast<DWORD>((game_time_us - elapsed_us) / 1000));
    }
    s.frame = frame;
    game_clock_ticks = s.scenario.clock_start_ticks + game_time_us * TICKS_PER_MICROSECOND;
    s.frame_calls = 0;
    s.frame_writes = false;
    s.frame_steps.clear();
    s.host_problems.clear();
    world_begin_frame(&s.world);
    while (next_step < s.scenario.steps.size() && s.scenario.steps[next_step].frame == frame) {
      apply_step(s, s.scenario.steps[next_step++]);
    }
    standin_run_frame(game_time_us);
    record_frame_events(s);
    report_frame(s, run);
  }
  flush_run(run);
  s.frame = -1;
}

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
      "Loads every *.asi of the working folder and plays SCENARIO (default: the built-in demo).\n"
      "  --trace FILE      one JSON object per native call (JSON Lines)\n"
      "  --events FILE     registrations, steps, re-tints, lines drawn, problems, final state (JSON Lines)\n"
      "  --realtime        pace the frames at the frame time (for watching)\n"
      "  --wall-clock      the modules keep the real system clock; the clock starts at the real time\n"
      "  --print-scenario  print the scenario's text (e.g. the built-in demo) and exit\n",
      to);
}

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

int run(int argc, char **argv) {
  Session s;
  int status = parse_options(argc, argv, &s.options);
  if (status >= 0) return status;

  std::string text;
  const char *source = s.options.scenario_path ? s.options.scenario_path : "<built-in demo>";
  if (!s.options.scenario_path) {
    text.assign(DEMO_SCENARIO);
  } else if (!read_file(s.options.scenario_path, &text)) {
    std::fprintf(stderr, "maneshade-sim: cannot read scenario %s\n", source);
    return EXIT_BAD_USAGE;
  }
  if (s.options.print_scenario) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
  }
  Scenario_Result parsed = parse_scenario(text);
  if (!parsed.ok) {
    std::fprintf(stderr, "maneshade-sim: %s:%d: %s\n", source, parsed.error_line, parsed.error.c_str());
    return EXIT_BAD_USAGE;
  }
  s.scenario = std::move(parsed.scenario);
  if (s.options.wall_clock) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    s.scenario.clock_start_ticks = (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
  }
  game_clock_ticks = s.scenario.clock_start_ticks;
  s.world = world_from_scenario(s.scenario);

  s.trace = open_output(s.options.trace_path);
  s.events = open_output(s.options.events_path);
  if ((s.options.trace_path && !s.trace) || (s.options.events_path && !s.events)) return EXIT_IO_FAILED;

  std::printf("scenario %s: %" PRId64 " frames of %.3f ms, clock from %s (%s), %zu components, %zu steps\n", source,
              s.scenario.frame_count, static_cast<double>(s.scenario.frame_time_us) / 1000,
              format_clock(s.scenario.clock_start_ticks).c_str(),
              s.options.wall_clock ? "real clock" : "game clock", s.scenario.components.size(), s.scenario.steps.size());
  std::printf("player ped %s wears model %s\n", hex64(s.world.ped).c_str(), model_text(s.world.model).c_str());

  world_register_natives(&s.world);
  standin_set_observer(on_host_event, &s);
  int exit_code = 0;
  if (load_modules(s)) {
    run_frames(s);
  } else {
    exit_code = EXIT_LOAD_FAILED;
  }
  if (s.refused_modules > 0) exit_code = EXIT_LOAD_FAILED;
  unload_modules(s);
  standin_set_observer(nullptr, nullptr);
  if (s.ini_lock != INVALID_HANDLE_VALUE) CloseHandle(s.ini_lock);
  write_final_state(s);
  write_totals(s);
  if (s.trace) std::fclose(s.trace);
  if (s.events) std::fclose(s.events);
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
