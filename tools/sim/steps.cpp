// The scenario's steps; see steps.h.
#include "tools/sim/steps.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "tools/sim/events.h"
#include "tools/sim/hooks.h"
#include "tools/sim/text.h"

namespace {

// How a read of a file fails when another program has locked a range of it (LockFileEx), the
// commonest way for a read to fail after a good open.
constexpr DWORD STEPS_READ_FAIL_ERROR = ERROR_LOCK_VIOLATION;

// The file's name as Windows takes it; the name is ASCII.
std::wstring steps_wide(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// A replace step writes this file first, then renames it over the configuration file.
std::string steps_new_file_name() { return std::string(SCENARIO_INI_FILE_NAME) + ".new"; }

// The file the ini steps act on now: the working folder's ManeShade.ini, or the game folder's.
std::wstring steps_ini_path(const Step_State &state, const std::string &name) {
  return (state.ini_in_game_folder ? state.game_folder : std::wstring()) + steps_wide(name);
}

FILETIME steps_filetime(uint64_t ticks) { return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)}; }

uint64_t steps_mtime_ticks(const Step_State &state, const Mtime &m) {
  if (m.now) return game_clock_ticks;
  return state.clock_start_ticks + static_cast<uint64_t>(m.offset_ticks);
}

// What a file step could not do ("write ManeShade.ini"), and the system's error; empty when it did it.
struct Step_Failure {
  std::string what;
  DWORD error = 0;
};

bool steps_fail(Step_Failure *failure, std::string what, DWORD error) {
  *failure = Step_Failure{std::move(what), error};
  return false;
}

bool steps_set_write_time(const std::wstring &path, const std::string &name, uint64_t ticks, Step_Failure *failure) {
  HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return steps_fail(failure, "set the modification time of " + name, GetLastError());
  FILETIME time = steps_filetime(ticks);
  bool ok = SetFileTime(file, nullptr, nullptr, &time) != 0;
  DWORD error = ok ? 0 : GetLastError();
  CloseHandle(file);
  return ok || steps_fail(failure, "set the modification time of " + name, error);
}

// The modification time that the file system kept, which may differ from the one asked for (a
// time of 0 changes nothing in SetFileTime; some file systems clamp old times).
uint64_t steps_kept_write_time(const std::wstring &path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// ", modification time T (ticks)" as the file has it now, and what was asked for when that differs.
std::string steps_when(const std::wstring &path, uint64_t asked) {
  uint64_t kept = steps_kept_write_time(path);
  std::string text = ", modification time " + format_clock(kept) + " (" + std::to_string(kept) + ")";
  if (kept != asked) text += ", not the " + format_clock(asked) + " (" + std::to_string(asked) + ") asked for";
  return text;
}

// Sets the file's length to `size` bytes: past the old end it reads as zeros.
bool steps_set_size(const std::wstring &path, const std::string &name, uint64_t size, Step_Failure *failure) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return steps_fail(failure, "open " + name + " to set its length", GetLastError());
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(size);
  bool ok = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  DWORD error = ok ? 0 : GetLastError();
  CloseHandle(file);
  return ok || steps_fail(failure, "make " + name + " " + std::to_string(size) + " bytes long", error);
}

bool steps_write_file(const std::wstring &path, const std::string &name, const std::string &content, uint64_t ticks,
                      Step_Failure *failure) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return steps_fail(failure, "write " + name, GetLastError());
  DWORD written = 0;
  bool ok = content.empty() ||
            (WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) && written == content.size());
  DWORD error = ok ? 0 : GetLastError();
  CloseHandle(file);
  if (!ok) return steps_fail(failure, "write all of " + name + " (" + std::to_string(written) + " of " +
                                          std::to_string(content.size()) + " bytes written)", error);
  // The time is set on a fresh handle, after the writes, so that closing cannot move it again.
  return steps_set_write_time(path, name, ticks, failure);
}

bool steps_replace_file(const Step_State &state, const std::wstring &path, const std::string &content, uint64_t ticks,
                        Step_Failure *failure) {
  std::string new_name = steps_new_file_name();
  std::wstring new_path = steps_ini_path(state, new_name);
  if (!steps_write_file(new_path, new_name, content, ticks, failure)) return false;
  if (MoveFileExW(new_path.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  return steps_fail(failure, "rename " + new_name + " over " + std::string(SCENARIO_INI_FILE_NAME), GetLastError());
}

// An ini torn step waiting for a module's read, an ini read fail step waiting for one, and the
// record they report to.
struct Steps_Torn_Write {
  bool pending = false;
  std::string content;
  uint64_t ticks = 0;
  int line = 0;
  std::wstring path;  // the file the step was given for
};
Steps_Torn_Write steps_torn;
struct Steps_Read_Failure {
  bool pending = false;
  int line = 0;
};
Steps_Read_Failure steps_read_failure;
Session_Record *steps_record;

// Does a step on the configuration file and says what it did, for the timeline; false with
// `*failure` when it could not.
bool steps_apply_to_ini(Step_State *state, const Step &step, std::string *done, Step_Failure *failure) {
  std::string name(SCENARIO_INI_FILE_NAME);
  std::wstring path = steps_ini_path(*state, name);
  uint64_t ticks = steps_mtime_ticks(*state, step.mtime);
  std::string bytes = " (" + std::to_string(step.content.size()) + " bytes)";
  bool ok = true;
  switch (step.kind) {
    case Step_Kind::ini_write:
      ok = steps_write_file(path, name, step.content, ticks, failure);
      *done = name + " written" + bytes + steps_when(path, ticks);
      break;
    case Step_Kind::ini_replace:
      ok = steps_replace_file(*state, path, step.content, ticks, failure);
      *done = name + " replaced by a new file" + bytes + steps_when(path, ticks);
      break;
    case Step_Kind::ini_torn:
      steps_torn = Steps_Torn_Write{true, step.content, ticks, step.line, path};
      *done = name + ": the next read by a module will be followed at once by a write" + bytes +
              " (an editor still saving)";
      break;
    case Step_Kind::ini_read_fail:
      steps_read_failure = Steps_Read_Failure{true, step.line};
      *done = name + ": the next read by a module will fail after its open, with error " +
              std::to_string(STEPS_READ_FAIL_ERROR) + " (a range of the file locked by another program)";
      break;
    case Step_Kind::ini_size:
      ok = steps_set_size(path, name, step.size, failure) && steps_set_write_time(path, name, ticks, failure);
      *done = name + " made " + std::to_string(step.size) + " bytes long" + steps_when(path, ticks);
      break;
    case Step_Kind::ini_delete:
      ok = DeleteFileW(path.c_str()) != 0 || steps_fail(failure, "delete " + name, GetLastError());
      *done = name + " deleted";
      break;
    case Step_Kind::ini_touch:
      ok = steps_set_write_time(path, name, ticks, failure);
      *done = name + " touched" + steps_when(path, ticks);
      break;
    case Step_Kind::ini_lock:
      steps_release(state);
      state->ini_lock = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      ok = state->ini_lock != INVALID_HANDLE_VALUE || steps_fail(failure, "hold " + name + " open without sharing", GetLastError());
      *done = name + " held open without sharing";
      break;
    case Step_Kind::ini_folder:
      state->ini_in_game_folder = step.game_folder;
      *done = step.game_folder ? "the ini steps act on ManeShade.ini of the game's folder (beside its modules) from now on"
                               : "the ini steps act on ManeShade.ini of the working folder from now on";
      break;
    case Step_Kind::ini_unlock:
      // Error 0: nothing the system refused; the scenario had no lock to end.
      ok = state->ini_lock != INVALID_HANDLE_VALUE ||
           steps_fail(failure, "close " + name + ": no ini lock step holds it open", 0);
      steps_release(state);
      *done = name + " closed (no longer held)";
      break;
    default: break;
  }
  return ok;
}

// Reports a step's outcome on the timeline and in the events: what it did, or what it could not do
// and why.
void steps_report(Session_Record *record, int line_number, const std::string &done, const Step_Failure *failure) {
  std::string text = done;
  if (failure) {
    text = "could not " + failure->what;
    if (failure->error != 0) text += ": " + steps_error_text(failure->error);
    record->totals.failed_steps++;
  }
  record->frame.steps.push_back(Game_Line{text, failure != nullptr});
  Json_Writer line = events_line("step");
  json_member_integer(&line, "frame", record->frame.number);
  json_member_integer(&line, "line", line_number);
  json_member_string(&line, "text", text);
  json_member_boolean(&line, "ok", failure == nullptr);
  json_member_integer(&line, "error", failure ? failure->error : 0);
  events_write(record->files, &line);
}

std::string steps_apply_tint(World *world, const Step &step) {
  Component_Spec *c = world_component(world, step.component);
  std::string text = c->name + " tints set by the game: " + text_tints(c->tints) + " -> " + text_tints(step.tints);
  std::memcpy(c->tints, step.tints, sizeof c->tints);
  if (step.set_palette) {
    text += ", palette " + std::to_string(c->palette) + " -> " + std::to_string(step.palette);
    c->palette = step.palette;
  }
  return text;
}

// Sets the game clock back, for this frame and every later one.
std::string steps_set_clock_back(Step_State *state, const Step &step) {
  state->clock_set_back_ticks += step.clock_back_ticks;
  game_clock_ticks -= step.clock_back_ticks;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.10g", static_cast<double>(step.clock_back_ticks) / CLOCK_TICKS_PER_SECOND);
  return std::string("the game clock set back by ") + seconds + " s, to " + format_clock(game_clock_ticks) + " (" +
         std::to_string(game_clock_ticks) + ")";
}

// Whether `file` is open on the configuration file (of any folder: the modules read only their own).
bool steps_is_ini(HANDLE file) {
  wchar_t path[MAX_PATH * 4];
  DWORD length = GetFinalPathNameByHandleW(file, path, MAX_PATH * 4, FILE_NAME_NORMALIZED);
  if (length == 0 || length >= MAX_PATH * 4) return false;
  std::wstring_view full(path, length);
  std::wstring name = steps_wide(SCENARIO_INI_FILE_NAME);
  size_t slash = full.find_last_of(L"\\/");
  std::wstring_view last = slash == std::wstring_view::npos ? full : full.substr(slash + 1);
  return CompareStringOrdinal(last.data(), static_cast<int>(last.size()), name.data(), static_cast<int>(name.size()),
                              /*bIgnoreCase=*/TRUE) == CSTR_EQUAL;
}

// A pending ini read fail step, carried out in place of the module's read.
BOOL steps_fail_read(LPDWORD read) {
  steps_read_failure.pending = false;
  if (read) *read = 0;
  try {
    steps_report(steps_record, steps_read_failure.line,
                 std::string("a module's read of ") + std::string(SCENARIO_INI_FILE_NAME) + " failed with error " +
                     std::to_string(STEPS_READ_FAIL_ERROR) + ", after its open",
                 nullptr);
  } catch (...) {
    // Out of memory while reporting: nothing may unwind into the module that called ReadFile.
  }
  SetLastError(STEPS_READ_FAIL_ERROR);
  return FALSE;
}

// A pending ini torn step, carried out right after the module's read.
void steps_tear_save() {
  // The module's read has happened (its bytes are the old ones); the editor finishes its save now.
  DWORD saved = GetLastError();
  steps_torn.pending = false;
  const std::wstring &path = steps_torn.path;
  std::string name(SCENARIO_INI_FILE_NAME);
  try {
    Step_Failure failure;
    bool written = steps_write_file(path, name, steps_torn.content, steps_torn.ticks, &failure);
    if (!written) failure.what += " while a module was reading it";
    steps_report(steps_record, steps_torn.line,
                 name + " written while a module was reading it (" + std::to_string(steps_torn.content.size()) +
                     " bytes)" + steps_when(path, steps_torn.ticks),
                 written ? nullptr : &failure);
  } catch (...) {
    // Out of memory while reporting: nothing may unwind into the module that called ReadFile.
  }
  SetLastError(saved);
}

// Deletes the working folder with all it holds. Windows refuses to remove a folder that a process
// runs in (a sharing violation), and so does Wine for a Windows program; but under Wine a Linux
// program may, as a player's file manager or a launcher's clean-up does: the folder is removed with
// rm -rf, through Wine's own names of the paths.
bool steps_delete_working_folder(std::string *done, Step_Failure *failure) {
  wchar_t folder[4 * MAX_PATH];
  DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(std::size(folder)), folder);
  if (length == 0 || length >= std::size(folder)) return steps_fail(failure, "name the working folder", GetLastError());
  *done = "the working folder " + text_utf8_from_wide(folder) + " deleted, with all it holds";
  if (RemoveDirectoryW(folder)) return true;
  DWORD refused = GetLastError();
  using Unix_Name = char *(CDECL *)(LPCWSTR);
  using Dos_Name = WCHAR *(CDECL *)(LPCSTR);
  HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  auto unix_name = reinterpret_cast<Unix_Name>(reinterpret_cast<void *>(GetProcAddress(kernel32, "wine_get_unix_file_name")));
  auto dos_name = reinterpret_cast<Dos_Name>(reinterpret_cast<void *>(GetProcAddress(kernel32, "wine_get_dos_file_name")));
  if (!unix_name || !dos_name) return steps_fail(failure, "delete the working folder", refused);  // Windows itself
  char *unix_folder = unix_name(folder);
  WCHAR *rm = dos_name("/bin/rm");
  bool started = false;
  if (unix_folder && rm) {
    std::wstring command = L"rm -rf -- \"" + text_wide_from_utf8(unix_folder) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    started = CreateProcessW(rm, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process) != 0;
    if (started) {
      WaitForSingleObject(process.hProcess, INFINITE);
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
  }
  HeapFree(GetProcessHeap(), 0, unix_folder);
  HeapFree(GetProcessHeap(), 0, rm);
  // Wine's handle of a Linux process may be signalled before the process ends: wait for the folder
  // to go, for a few seconds at most.
  for (int waited_ms = 0; started && waited_ms < 5000; waited_ms += 10) {
    if (GetFileAttributesW(folder) == INVALID_FILE_ATTRIBUTES) return true;
    Sleep(10);
  }
  return steps_fail(failure, "delete the working folder", started ? 0 : refused);
}

}  // namespace

void steps_apply(Step_State *state, World *world, Session_Record *record, const Step &step) {
  bool ok = true;
  Step_Failure failure;
  std::string text;
  switch (step.kind) {
    case Step_Kind::model:
      text = "the player's ped now wears model " + text_model(step.model);
      world->model = step.model;
      break;
    case Step_Kind::ped:
      text = "the player's ped is now " + text_hex64(step.ped);
      world->ped = step.ped;
      break;
    case Step_Kind::tint: text = steps_apply_tint(world, step); break;
    case Step_Kind::clock_back: text = steps_set_clock_back(state, step); break;
    case Step_Kind::working_folder_delete: ok = steps_delete_working_folder(&text, &failure); break;
    case Step_Kind::heap_fail:
      game_heap_fail_after(step.heap_allowed);
      text = "the modules' heap: the next " + std::to_string(step.heap_allowed) +
             " requests succeed, then every one fails";
      break;
    case Step_Kind::heap_ok:
      game_heap_allow_all();
      text = "the modules' heap: every request succeeds again";
      break;
    default: ok = steps_apply_to_ini(state, step, &text, &failure); break;
  }
  steps_report(record, step.line, text, ok ? nullptr : &failure);
}

void steps_release(Step_State *state) {
  if (state->ini_lock != INVALID_HANDLE_VALUE) CloseHandle(state->ini_lock);
  state->ini_lock = INVALID_HANDLE_VALUE;
}

void steps_attach(Session_Record *record) { steps_record = record; }

std::string steps_error_text(DWORD error) {
  struct Known {
    DWORD error;
    const char *reason;  // what it means for the file
    const char *name;    // what Windows calls it
  };
  static constexpr Known KNOWN[] = {
      {ERROR_FILE_NOT_FOUND, "there is no such file", "file not found"},
      {ERROR_PATH_NOT_FOUND, "there is no such folder", "path not found"},
      {ERROR_ACCESS_DENIED, "the system denies access (a read-only file, or a folder)", "access denied"},
      {ERROR_SHARING_VIOLATION, "another program holds it open", "a sharing violation"},
      {ERROR_LOCK_VIOLATION, "another program has locked a part of it", "a lock violation"},
      {ERROR_HANDLE_DISK_FULL, "the disk is full", "disk full"},
      {ERROR_DISK_FULL, "the disk is full", "disk full"},
      {ERROR_INVALID_PARAMETER, "the file system does not take that value", "an invalid parameter"},
      {ERROR_FILENAME_EXCED_RANGE, "the path is too long", "file name too long"},
  };
  std::string code = "error " + std::to_string(error);
  for (const Known &k : KNOWN) {
    if (k.error == error) return std::string(k.reason) + " (" + code + ", " + k.name + ")";
  }
  return code;
}

BOOL WINAPI steps_module_read_file(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
  bool watched = steps_record && (steps_read_failure.pending || steps_torn.pending) && steps_is_ini(file);
  if (watched && steps_read_failure.pending) return steps_fail_read(read);
  BOOL ok = ReadFile(file, buffer, size, read, overlapped);
  if (watched && steps_torn.pending) steps_tear_save();
  return ok;
}
