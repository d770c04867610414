// The end-to-end harness; see harness.h.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "tests/e2e/harness.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <cstdio>

namespace {

// Generous: a session of a few hundred frames takes well under a second. Only guards a hang.
constexpr DWORD PROGRAM_HANG_GUARD_MS = 120'000;

std::wstring wide_from_utf8(const std::string &text) {
  int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring out(static_cast<size_t>(size > 0 ? size - 1 : 0), L'\0');
  if (size > 1) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), size);
  return out;
}

std::string utf8_from_wide(const std::wstring &text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
  if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
  return out;
}

// Makes `folder` (ending in a separator), or empties it, subfolders and all: a case starts afresh.
void empty_folder(const std::wstring &folder) {
  CreateDirectoryW(folder.c_str(), nullptr);
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = found.cFileName;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      DeleteFileW((folder + name).c_str());
    } else if (name != L"." && name != L"..") {
      // A link to a folder is removed as a link: nothing of what it leads to is touched.
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) empty_folder(folder + name + L"\\");
      RemoveDirectoryW((folder + name).c_str());
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// "0x" and exactly sixteen lowercase hexadecimal digits.
bool parse_word(const Json_Value *v, uint64_t *out) {
  if (!v || v->kind != Json_Value::string || v->text.size() != 18 || v->text.compare(0, 2, "0x") != 0) return false;
  for (size_t i = 2; i < 18; i++) {
    char c = v->text[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return std::from_chars(v->text.data() + 2, v->text.data() + 18, *out, 16).ec == std::errc{};
}

// The documented form exactly: these five keys in this order, hex words of 16 lowercase digits.
bool parse_trace_line(const std::string &line, Trace_Record *out, std::string *error) {
  Json_Value v;
  if (!parse_json(line, &v, error)) return false;
  static const char *const KEYS[] = {"frame", "name", "hash", "args", "result"};
  bool shape = v.kind == Json_Value::object && v.members.size() == 5;
  for (size_t i = 0; shape && i < 5; i++) shape = v.members[i].first == KEYS[i];
  const Json_Value *frame = v.get("frame");
  const Json_Value *name = v.get("name");
  const Json_Value *args = v.get("args");
  shape = shape && frame->kind == Json_Value::number && frame->is_integer && name->kind == Json_Value::string &&
          args->kind == Json_Value::array && parse_word(v.get("hash"), &out->hash) &&
          parse_word(v.get("result"), &out->result);
  if (!shape) {
    *error = "not in the trace form";
    return false;
  }
  out->frame = frame->integer;
  out->name = name->text;
  for (const Json_Value &arg : args->items) {
    uint64_t word = 0;
    if (!parse_word(&arg, &word)) {
      *error = "an argument is not a 0x word of 16 lowercase digits";
      return false;
    }
    out->args.push_back(word);
  }
  return true;
}

template <typename Each_Line>
void for_each_line(const std::string &text, Each_Line each) {
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    each(text.substr(at, end - at));
    at = end + 1;
  }
}

void read_components(const Json_Value &final_event, std::vector<Final_Component> *out) {
  const Json_Value *list = final_event.get("components");
  if (!list) return;
  for (const Json_Value &c : list->items) {
    Final_Component fc{};
    fc.name = c.str("name");
    std::string category = c.str("category");
    std::from_chars(category.data() + std::min<size_t>(2, category.size()), category.data() + category.size(),
                    fc.category, 16);
    fc.palette = static_cast<uint32_t>(c.i64("palette"));
    const Json_Value *tints = c.get("tints");
    const Json_Value *assets = c.get("assets");
    for (size_t i = 0; tints && i < 3 && i < tints->items.size(); i++) fc.tints[i] = static_cast<int32_t>(tints->items[i].integer);
    for (size_t i = 0; assets && i < 4 && i < assets->items.size(); i++) fc.assets[i] = static_cast<uint32_t>(assets->items[i].integer);
    out->push_back(fc);
  }
}

std::wstring quoted(const std::wstring &arg) { return L"\"" + arg + L"\""; }

}  // namespace

bool read_whole(const std::wstring &path, std::string *out) {
  out->clear();
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) out->append(buffer, got);
  CloseHandle(file);
  return true;
}

bool write_whole(const std::wstring &path, const std::string &content) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = content.empty() || WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == content.size();
}

Program_Run run_program(std::wstring command, const std::wstring &folder, const std::wstring &out_file,
                        const std::wstring &err_file) {
  Program_Run run;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileW(out_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE err = CreateFileW(err_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  run.created = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup,
                               &process) != 0;
  if (!run.created) run.error = GetLastError();
  CloseHandle(out);
  CloseHandle(err);
  if (!run.created) return run;
  if (WaitForSingleObject(process.hProcess, PROGRAM_HANG_GUARD_MS) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &run.exit_code);
    run.ended = true;
  } else {
    TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return run;
}

std::string full_ini(const std::string &corvin_enabled, int corvin_tint, const std::string &mael_enabled, int mael_tint) {
  static const char *const TINT_KEYS[] = {"hair", "chin", "chops", "stache", "beard"};
  static const char *const ORDINALS[] = {"primary", "secondary", "tertiary"};
  std::string text;
  auto block = [&](const char *name, const std::string &enabled, int tint) {
    text += std::string("[") + name + "]\nenabled = " + enabled + "\n";
    for (const char *group : TINT_KEYS) {
      for (const char *ordinal : ORDINALS) text += std::string(group) + "_" + ordinal + " = " + std::to_string(tint) + "\n";
    }
  };
  block("corvin", corvin_enabled, corvin_tint);
  block("mael", mael_enabled, mael_tint);
  return text;
}

std::wstring test_program_folder() {
  wchar_t path[MAX_PATH * 4];
  DWORD length = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

// Wine's ntdll exports its version; Windows' has no such function.
bool running_under_wine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

bool Sim_Run::completed() const { return started && !events_of("final").empty(); }

std::vector<const Json_Value *> Sim_Run::events_of(const std::string &kind) const {
  std::vector<const Json_Value *> found;
  for (const Json_Value &e : events) {
    if (e.str("event") == kind) found.push_back(&e);
  }
  return found;
}

std::vector<Trace_Record> Sim_Run::calls_in_frame(int64_t frame) const {
  std::vector<Trace_Record> found;
  for (const Trace_Record &r : trace) {
    if (r.frame == frame) found.push_back(r);
  }
  return found;
}

const Final_Component *Sim_Run::component(const std::string &name) const {
  for (const Final_Component &c : components) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

std::string Sim_Run::summary() const {
  std::string text = "folder " + folder + ", started " + (started ? "yes" : "no") + ", exit code " +
                     std::to_string(exit_code) + "\nstderr:\n" + err;
  for (const Json_Value *p : events_of("problem")) text += "problem: " + p->str("text") + "\n";
  for (const std::string &f : format_errors) text += "format: " + f + "\n";
  return text;
}

Sim_Run run_sim(const std::string &case_name, const Sim_Options &options) {
  Sim_Run run;
  wchar_t current[MAX_PATH * 4];
  GetCurrentDirectoryW(static_cast<DWORD>(std::size(current)), current);
  std::wstring runs = std::wstring(current) + L"\\e2e-runs\\";
  CreateDirectoryW(runs.c_str(), nullptr);
  std::wstring folder = runs + wide_from_utf8(case_name) + L"\\";
  empty_folder(folder);
  run.folder = utf8_from_wide(folder);

  std::wstring programs = test_program_folder();
  if (options.with_module && !CopyFileW((programs + L"ManeShade.asi").c_str(), (folder + L"ManeShade.asi").c_str(), FALSE)) {
    run.err = "cannot copy ManeShade.asi from the test program's folder";
    return run;
  }
  if (options.with_probe && !CopyFileW((programs + L"e2e-probe\\maneshade_probe.asi").c_str(),
                                       (folder + L"maneshade_probe.asi").c_str(), FALSE)) {
    run.err = "cannot copy the probe module";
    return run;
  }
  for (const std::string &name : options.probe_files) {
    std::wstring wide = wide_from_utf8(name);
    if (!CopyFileW((programs + L"e2e-probe\\" + wide).c_str(), (folder + wide).c_str(), FALSE)) {
      run.err = "cannot copy e2e-probe\\" + name;
      return run;
    }
  }
  for (const std::string &name : options.folders) CreateDirectoryW((folder + wide_from_utf8(name)).c_str(), nullptr);
  for (const auto &[name, content] : options.files) write_whole(folder + wide_from_utf8(name), content);

  std::wstring command = quoted(programs + L"maneshade-sim.exe") + L" --trace trace.jsonl --events events.jsonl";
  for (const std::string &arg : options.extra_args) command += L" " + quoted(wide_from_utf8(arg));
  if (!options.scenario.empty()) {
    write_whole(folder + L"session.scenario", options.scenario);
    command += L" session.scenario";
  }

  Program_Run program = run_program(command, folder, folder + L"stdout.txt", folder + L"stderr.txt");
  if (!program.created) {
    run.err = "CreateProcessW failed with error " + std::to_string(program.error);
    return run;
  }
  run.started = program.ended;
  run.exit_code = program.exit_code;

  read_whole(folder + L"stdout.txt", &run.out);
  read_whole(folder + L"stderr.txt", &run.err);
  std::string text;
  read_whole(folder + L"trace.jsonl", &text);
  for_each_line(text, [&](const std::string &line) {
    Trace_Record record{};
    std::string error;
    if (parse_trace_line(line, &record, &error)) {
      run.trace.push_back(std::move(record));
    } else {
      run.format_errors.push_back("trace: " + error + ": " + line);
    }
  });
  read_whole(folder + L"events.jsonl", &text);
  for_each_line(text, [&](const std::string &line) {
    Json_Value event;
    std::string error;
    if (parse_json(line, &event, &error) && !event.str("event").empty()) {
      run.events.push_back(std::move(event));
    } else {
      run.format_errors.push_back("events: " + error + ": " + line);
    }
  });
  for (const Json_Value *f : run.events_of("final")) read_components(*f, &run.components);
  return run;
}
