// The loader of the simulated game; see loader.h.
#include "tools/sim/loader.h"

#include <algorithm>
#include <cwctype>
#include <iterator>
#include <string>
#include <vector>

#include "tools/sim/events.h"
#include "tools/sim/module_check.h"
#include "tools/sim/rebind.h"
#include "tools/sim/text.h"

namespace {


bool loader_ends_with_asi(const std::wstring &name) {
  if (name.size() < 4) return false;
  std::wstring tail = name.substr(name.size() - 4);
  for (wchar_t &c : tail) c = static_cast<wchar_t>(towlower(c));
  return tail == L".asi";
}

// The *.asi files of `folder` ("" or a path ending in a separator), by name.
std::vector<std::wstring> loader_find_modules(const std::wstring &folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((folder + L"*.asi").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    // The pattern also matches short names, so "x.asix" would come through: check the long name.
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && loader_ends_with_asi(found.cFileName)) {
      names.push_back(found.cFileName);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

const Loaded_Module *loader_module_by_handle(const Module_List &modules, const void *handle) {
  for (const Loaded_Module &m : modules.loaded) {
    if (m.handle == handle) return &m;
  }
  return nullptr;
}

bool loader_entry_in_module(Script_Entry_Point entry, HMODULE module) {
  HMODULE owner = nullptr;
  DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  return GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(entry), &owner) && owner == module;
}

// A module that Windows would not load, or that LoadLibrary refused: reported, and the session goes
// on with the others (and ends with a failure status).
void loader_refuse(Session_Record *record, const std::string &shown, const Module_Check &check) {
  record->totals.refused_modules++;
  std::printf("refused %s: %s\n", shown.c_str(), check.text.c_str());
  std::fprintf(stderr, "maneshade-sim: refused %s: %s\n", shown.c_str(), check.text.c_str());
  for (size_t i = 1; i < check.unresolved.size(); i++) {
    std::printf("  also: %s\n", pe_unresolved_text(check.unresolved[i]).c_str());
  }
  const Pe_Unresolved *first = check.unresolved.empty() ? nullptr : &check.unresolved[0];
  Json_Writer line = events_line("load");
  json_member_string(&line, "file", shown);
  json_member_boolean(&line, "ok", false);
  json_member_integer(&line, "error", check.error);
  json_member_string(&line, "dll", first ? first->dll : "");
  json_member_string(&line, "import", first ? first->import : "");
  json_member_string(&line, "reason", check.text);
  json_key(&line, "unresolved");
  json_begin_array(&line);
  for (const Pe_Unresolved &u : check.unresolved) {
    json_begin_object(&line);
    json_member_string(&line, "dll", u.dll);
    json_member_string(&line, "import", u.import);
    json_member_integer(&line, "error", u.error);
    json_key(&line, "forwards");
    json_begin_array(&line);
    for (const std::string &target : u.forwards) json_string(&line, target);
    json_end_array(&line);
    json_end_object(&line);
  }
  json_end_array(&line);
  events_write(record->files, &line);
}

// The scripts that `handle`'s module registered while it loaded, each judged: under the module's
// own handle, and with an entry point inside the module?
void loader_report_registrations(const Module_List &modules, Session_Record *record, const std::string &shown,
                                 HMODULE handle) {
  for (const Registration &r : modules.registered_while_loading) {
    bool own = r.module == handle;
    bool inside = loader_entry_in_module(r.entry, handle);
    std::string entry = text_address(reinterpret_cast<const void *>(r.entry));
    std::printf("  registered script %s for module %s (%s; the entry point lies %s it)\n", entry.c_str(),
                text_address(r.module).c_str(), own ? "the module's own handle" : "NOT the module's own handle",
                inside ? "in" : "OUTSIDE");
    Json_Writer line = events_line("register");
    json_member_integer(&line, "frame", -1);
    json_member_string(&line, "file", shown);
    json_member_string(&line, "module", text_address(r.module));
    json_member_string(&line, "loaded_handle", text_address(handle));
    json_member_boolean(&line, "own_module", own);
    json_member_string(&line, "entry", entry);
    json_member_boolean(&line, "entry_in_module", inside);
    events_write(record->files, &line);
  }
  if (modules.registered_while_loading.empty()) std::printf("  registered no script\n");
}

// Loads the module file `name`; false only when it loaded but cannot be handed the game's functions.
bool loader_load_one(Module_List *modules, Session_Record *record, bool wall_clock, const std::wstring &folder,
                     const std::wstring &name) {
  wchar_t full[MAX_PATH * 4];
  DWORD length = GetFullPathNameW((folder + name).c_str(), static_cast<DWORD>(std::size(full)), full, nullptr);
  std::string shown = text_utf8_from_wide(name);
  if (!length || length >= std::size(full)) {
    loader_refuse(record, shown, Module_Check{false, ERROR_FILENAME_EXCED_RANGE, "the path is too long", {}});
    return true;
  }
  // Wine would load a module whose imports do not resolve; Windows refuses it, so the game does.
  Module_Check check = check_module_file(full);
  if (!check.ok) {
    loader_refuse(record, shown, check);
    return true;
  }
  modules->registered_while_loading.clear();
  HMODULE handle = LoadLibraryW(full);
  if (!handle) {
    DWORD error = GetLastError();
    loader_refuse(record, shown, Module_Check{false, error, "LoadLibrary failed with error " + std::to_string(error), {}});
    return true;
  }
  modules->loaded.push_back(Loaded_Module{shown, handle});
  std::printf("loaded %s at %s\n", shown.c_str(), text_address(handle).c_str());
  Json_Writer line = events_line("load");
  json_member_string(&line, "file", shown);
  json_member_string(&line, "module", text_address(handle));
  json_member_boolean(&line, "ok", true);
  events_write(record->files, &line);
  loader_report_registrations(*modules, record, shown, handle);
  return rebind_module(record->files, wall_clock, shown, handle);
}

}  // namespace

bool loader_load_modules(Module_List *modules, Session_Record *record, bool wall_clock, const std::wstring &folder) {
  std::vector<std::wstring> names = loader_find_modules(folder);
  if (names.empty()) std::printf("no *.asi module in the game's folder: the game runs alone\n");
  modules->loaded.reserve(names.size());
  for (const std::wstring &name : names) {
    if (!loader_load_one(modules, record, wall_clock, folder, name)) return false;
  }
  return true;
}

void loader_unload_modules(Module_List *modules, Session_Record *record) {
  for (size_t i = modules->loaded.size(); i-- > 0;) {
    const Loaded_Module &m = modules->loaded[i];
    std::printf("unloading %s\n", m.name.c_str());
    modules->unloading = &m;
    bool ok = FreeLibrary(m.handle) != 0;
    modules->unloading = nullptr;
    std::printf("  %s\n", ok ? "unloaded" : "FreeLibrary FAILED");
    Json_Writer line = events_line("unload");
    json_member_string(&line, "file", m.name);
    json_member_string(&line, "module", text_address(m.handle));
    json_member_boolean(&line, "ok", ok);
    events_write(record->files, &line);
  }
}

void loader_on_register(Module_List *modules, Session_Record *record, const Standin_Event &e) {
  record->totals.registrations++;
  if (record->frame.number < 0 && modules->unloading == nullptr) {
    // While a module loads its handle is not known yet: judged once LoadLibrary returns.
    modules->registered_while_loading.push_back(Registration{e.module, e.entry});
    return;
  }
  const Loaded_Module *m = loader_module_by_handle(*modules, e.module);
  std::string entry = text_address(reinterpret_cast<const void *>(e.entry));
  std::string text = "script " + entry + " registered for " + text_address(e.module) +
                     (m ? " (" + m->name + ")" : " (no loaded module has this handle)");
  record->frame.steps.push_back(Game_Line{text});
  Json_Writer line = events_line("register");
  json_member_integer(&line, "frame", record->frame.number);
  json_member_string(&line, "module", text_address(e.module));
  json_member_string(&line, "entry", entry);
  json_member_boolean(&line, "own_module", m != nullptr);
  events_write(record->files, &line);
}

void loader_on_unregister(Module_List *modules, Session_Record *record, const Standin_Event &e) {
  record->totals.unregistrations++;
  const Loaded_Module *unloading = modules->unloading;
  bool own = unloading && unloading->handle == e.module;
  std::string whose = own ? " (the handle of " + unloading->name + ", which is unloading)"
                          : unloading ? " (NOT the handle of " + unloading->name + ", which is unloading)"
                                      : " (outside an unload)";
  if (record->frame.number >= 0) {
    record->frame.steps.push_back(Game_Line{"scripts of module " + text_address(e.module) + " unregistered" + whose});
  } else {
    std::printf("  scripts of module %s unregistered%s\n", text_address(e.module).c_str(), whose.c_str());
  }
  Json_Writer line = events_line("unregister");
  json_member_integer(&line, "frame", record->frame.number);
  json_member_string(&line, "module", text_address(e.module));
  json_member_boolean(&line, "during_unload", unloading != nullptr);
  json_member_boolean(&line, "own_module", own);
  events_write(record->files, &line);
}
