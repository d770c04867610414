// The check of a game folder; see check_game.h. The module's and the host's tables come from the PE
// reader, ManeShade.ini goes to check_file; nothing in the folder is changed, run or loaded.
#include "tools/check/check_game.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <span>
#include <string>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "runtime/log.h"
#include "src/config/messages.h"
#include "src/config/reload.h"
#include "src/config/schema.h"
#include "src/config/settings_file.h"
#include "tools/check/check.h"
#include "tools/check/check_report.h"
#include "tools/owned/owned.h"
#include "tools/pe/pe.h"

namespace fs = std::filesystem;

namespace {

constexpr int CHECK_GAME_ALL_WELL = 0;
constexpr int CHECK_GAME_TO_FIX = 1;

// Far above any real module or host library: a larger file is refused unread.
constexpr uint64_t CHECK_GAME_MAX_FILE_BYTES = 256ull << 20;
// How deep below DIR the search for misplaced copies goes, and how many entries it looks at in all:
// plenty for a game's folder, and an end to a tree that has none (a link loop, a mounted drive).
constexpr int CHECK_GAME_MAX_DEPTH = 4;
constexpr size_t CHECK_GAME_MAX_ENTRIES = 200'000;
// An export of the project's stand-in host (tools/standin-host/standin.h) that the real host lacks.
constexpr std::string_view CHECK_GAME_STANDIN_MARKER = "standin_run_frame";

// The files the check looks for, as indexes into CHECK_GAME_FILES.
enum Game_File { GAME_MODULE, GAME_HOST, GAME_CONFIG, GAME_FILE_COUNT };
constexpr std::string_view CHECK_GAME_FILES[GAME_FILE_COUNT] = {MODULE_FILE_NAME, HOST_FILE_NAME, CONFIG_FILE_NAME};
// Whether a copy below DIR matters: a stray module or ini misleads; other mods may ship the host.
constexpr bool CHECK_GAME_SEARCH_BELOW[GAME_FILE_COUNT] = {true, false, true};

// The subfolders of the game folder that ASI loaders commonly load .asi files from, besides the game
// folder itself (matched in any letter case).
constexpr std::string_view CHECK_GAME_LOADER_FOLDERS[] = {"scripts", "plugins"};

// How many DLLs the check reads to follow the host's forwarders: far more than any real chain.
constexpr size_t CHECK_GAME_MAX_DLLS_FOLLOWED = 8;

// What the look at the folder found.
struct Game_Found {
  std::vector<fs::path> in_dir[GAME_FILE_COUNT];  // names equal but for ASCII case: Windows finds any
  std::vector<fs::path> below[GAME_FILE_COUNT];
  std::vector<fs::path> asis_in_dir;  // every *.asi of DIR: an ASI loader loads each, whatever its name
  std::vector<fs::path> asis_in_loader_folders;  // every *.asi of DIR's scripts and plugins, which loaders
                                                 // that look in subfolders load
  std::vector<fs::path> configs_in_loader_folders;  // ManeShade.ini there: beside a module there
  std::vector<fs::path> dlls_in_dir;  // every *.dll of DIR: where the host's forwarders may lead
  std::vector<fs::path> ini_lookalikes;  // ManeShade.ini.* of DIR and of its loader folders: in Explorer,
                                         // with extensions hidden, ManeShade.ini.txt reads "ManeShade.ini"
  size_t unreadable_folders = 0;
  fs::path first_unreadable;
  std::error_code first_unreadable_why;
  size_t links = 0;  // links and junctions to folders, not looked into
  fs::path first_link;  // the first of them by path
  bool cut_short = false;
};

struct Game_Report {
  FILE *err;
  int problems = 0;
};

enum class Game_Verdict { ok, problem, note };

// A PE file of the folder as the loader would find it, or why it cannot be read.
struct Game_Pe {
  fs::path path;
  bool read = false;       // the bytes were read; `dll` is the loader's verdict on them
  bool too_large = false;  // else: larger than CHECK_GAME_MAX_FILE_BYTES
  Os_Error error{};        // else: why the bytes cannot be read
  Pe_Dll dll{};

  bool usable() const { return read && dll.state == Pe_Dll_State::found; }
};

// A name that is not valid UTF-16 (Windows allows lone surrogates) has no UTF-8 form; the
// conversion throws rather than guess, and such a name is none of the files looked for.
std::string check_game_utf8(const fs::path &path) {
  try {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
  } catch (const std::system_error &) {
    return "(a name that is not valid Unicode)";
  }
}

// False for text that is not UTF-8 where paths are UTF-16 (Windows): no file has that name.
bool check_game_path(std::string_view utf8, fs::path *path) {
  try {
    *path = fs::path(std::u8string(utf8.begin(), utf8.end()));
    return true;
  } catch (const std::system_error &) {
    return false;
  }
}

// A path as a message shows it: names on disk may hold any byte.
std::string check_game_shown(const fs::path &path) { return check_visible(check_game_utf8(path)); }

void check_game_say(Game_Report *report, std::string_view where, Game_Verdict verdict, std::string_view text) {
  static constexpr std::string_view LABELS[] = {": ok: ", ": problem: ", ": note: "};
  if (verdict == Game_Verdict::problem) report->problems++;
  std::string line(where);
  line.append(LABELS[static_cast<int>(verdict)]);
  line.append(text);
  line.push_back('\n');
  check_write(report->err, line);
}

void check_game_say_at(Game_Report *report, const fs::path &path, Game_Verdict verdict, std::string_view text) {
  check_game_say(report, check_game_shown(path), verdict, text);
}

// The MSVC-decorated names the module imports, with the plain name first when there is one:
// "scriptWait (?scriptWait@@YAXK@Z)".
std::string check_game_function_text(std::string_view name) {
  std::string shown = check_visible(name);
  size_t at = name.find('@');
  if (name.size() < 2 || name[0] != '?' || name[1] == '?' || at == std::string_view::npos) return shown;
  std::string text = check_visible(name.substr(1, at - 1));
  text.append(" (");
  text.append(shown);
  text.push_back(')');
  return text;
}

void check_game_record_unreadable(Game_Found *found, const fs::path &folder, std::error_code why) {
  if (found->unreadable_folders++ == 0) {
    found->first_unreadable = folder;
    found->first_unreadable_why = why;
  }
}

// Whether `name` ends with `extension` (".dll"), in any letter case, after at least one character.
bool check_game_ends_with(std::string_view name, std::string_view extension) {
  return name.size() > extension.size() && pe_dll_name_equal(name.substr(name.size() - extension.size()), extension);
}

bool check_game_starts_with(std::string_view name, std::string_view start) {
  return name.size() > start.size() && pe_dll_name_equal(name.substr(0, start.size()), start);
}

// Whether `path`, an entry one level below DIR, is in a folder that ASI loaders load from.
bool check_game_in_loader_folder(const fs::path &path, int depth) {
  if (depth != 1) return false;
  std::string folder = check_game_utf8(path.parent_path().filename());
  for (std::string_view name : CHECK_GAME_LOADER_FOLDERS) {
    if (pe_dll_name_equal(folder, name)) return true;
  }
  return false;
}

void check_game_match(Game_Found *found, const fs::path &path, int depth) {
  std::string name = check_game_utf8(path.filename());
  bool loader_folder = check_game_in_loader_folder(path, depth);
  if (depth == 0 && check_game_ends_with(name, ".dll")) found->dlls_in_dir.push_back(path);
  if (depth == 0 && check_game_ends_with(name, ".asi")) found->asis_in_dir.push_back(path);
  if (loader_folder && check_game_ends_with(name, ".asi")) found->asis_in_loader_folders.push_back(path);
  if ((depth == 0 || loader_folder) && check_game_starts_with(name, std::string(CONFIG_FILE_NAME) + ".")) {
    found->ini_lookalikes.push_back(path);
  }
  for (int i = 0; i < GAME_FILE_COUNT; i++) {
    if (!pe_dll_name_equal(name, CHECK_GAME_FILES[i])) continue;
    if (depth == 0) found->in_dir[i].push_back(path);
    if (loader_folder && i == GAME_CONFIG) found->configs_in_loader_folders.push_back(path);
    // A module in a loader folder is one the loader loads (check_game_find_modules).
    if (depth > 0 && CHECK_GAME_SEARCH_BELOW[i] && !(loader_folder && i == GAME_MODULE)) found->below[i].push_back(path);
  }
}

// Whether to look into the entry: a folder, and not a link or junction to one. A link may lead
// out of the game folder (to a shared folder, to the drive's root) or round to a folder above.
bool check_game_descends(const fs::directory_entry &entry, Game_Found *found) {
  std::error_code ignored;
  if (!entry.is_directory(ignored)) return false;
  if (!check_game_is_link(entry)) return true;
  // The first in name order, so that every listing order names the same one.
  if (found->links++ == 0 || entry.path() < found->first_link) found->first_link = entry.path();
  return false;
}

// Lists `dir` and, depth first within the bounds, its subfolders. False when `dir` itself cannot be
// listed (`why` says why); folders below that cannot be listed are counted and skipped.
bool check_game_walk(const fs::path &dir, Game_Found *found, std::error_code *why) {
  std::vector<std::pair<fs::path, int>> pending = {{dir, 0}};
  size_t entries = 0;
  while (!pending.empty()) {
    auto [folder, depth] = std::move(pending.back());
    pending.pop_back();
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      if (++entries > CHECK_GAME_MAX_ENTRIES) {
        found->cut_short = true;
        return true;
      }
      check_game_match(found, it->path(), depth);
      if (depth < CHECK_GAME_MAX_DEPTH && check_game_descends(*it, found)) pending.emplace_back(it->path(), depth + 1);
    }
    if (ec && depth == 0) {
      *why = ec;
      return false;
    }
    if (ec) check_game_record_unreadable(found, folder, ec);
  }
  return true;
}

// The entry of DIR that Windows would open for `file`: the exact name if present, else the first.
const fs::path *check_game_pick(const Game_Found &found, Game_File file) {
  const std::vector<fs::path> &paths = found.in_dir[file];
  for (const fs::path &path : paths) {
    if (check_game_utf8(path.filename()) == CHECK_GAME_FILES[file]) return &path;
  }
  return paths.empty() ? nullptr : &paths.front();
}

// Names in other letter case beside the one picked: on a file system that tells them apart, the
// player may be editing the one the game does not open.
void check_game_case_twins(Game_Report *report, const Game_Found &found, Game_File file, const fs::path &picked) {
  for (const fs::path &path : found.in_dir[file]) {
    if (path == picked) continue;
    check_game_say_at(report, path, Game_Verdict::problem,
                      "the same name as " + check_game_shown(picked.filename()) +
                          " but for letter case; Windows opens only one of them: delete one");
  }
}

// Copies below DIR, but for those a loader loads or the game reads (said with the module and the
// settings file): misplaced when the game uses none (`used` null; `target` is where it would use
// one); when it uses one, a stray module is a problem (a loader that looked there too would load
// both), a stray ini only a backup (no loader loads an .ini). An ini beside one of `others`, the
// other copies of the module that a loader loads, is read by that copy.
void check_game_copies_below(Game_Report *report, const Game_Found &found, Game_File file, const fs::path *used,
                             const fs::path &target, const std::vector<fs::path> &said,
                             const std::vector<const Game_Pe *> &others = {}, const fs::path *chosen = nullptr) {
  std::string name(CHECK_GAME_FILES[file]);
  std::vector<fs::path> copies = found.below[file];
  std::sort(copies.begin(), copies.end());
  for (const fs::path &path : copies) {
    if (std::find(said.begin(), said.end(), path) != said.end()) continue;
    // The player's settings are to be brought where the game reads them (said above): one file only.
    std::error_code ec;
    if (file == GAME_CONFIG && chosen && fs::is_regular_file(path, ec)) {
      check_game_say_at(report, path, Game_Verdict::note,
                        "another settings file, in a subfolder: bring only one of them where the game reads one, " +
                            check_game_shown(*chosen) + " (above) or this one");
      continue;
    }
    // Beside another copy of the module that a loader may load too (said to be one too many): that
    // copy reads it when the game folder holds none.
    auto other = std::find_if(others.begin(), others.end(), [&](const Game_Pe *pe) { return pe->path.parent_path() == path.parent_path(); });
    if (file == GAME_CONFIG && other != others.end()) {
      check_game_say_at(report, path, Game_Verdict::note,
                        "beside " + check_game_shown((*other)->path) + ", another copy of the module: if a loader loads "
                        "that copy too, it reads this file when the game folder holds no " + name);
      continue;
    }
    if (used && file == GAME_CONFIG) {
      check_game_say_at(report, path, Game_Verdict::note,
                        "another copy of " + name + ", in a subfolder: the game reads only " + check_game_shown(*used) +
                            "; edit that one");
    } else if (used) {
      check_game_say_at(report, path, Game_Verdict::problem,
                        "another copy of " + name + ", in a subfolder: the game uses " + check_game_shown(*used) +
                            ", and an ASI loader that also looked in this subfolder would load it twice: delete this copy");
    } else if (file == GAME_CONFIG) {
      check_game_say_at(report, path, Game_Verdict::note,
                        "a copy of " + name + " in a subfolder, where the game does not look: move it to " +
                            check_game_shown(target));
    } else {
      check_game_say_at(report, path, Game_Verdict::note,
                        "a copy of " + name + " in a subfolder, where an ASI loader does not look (some look in scripts or "
                            "plugins too): move it to " + check_game_shown(target));
    }
  }
}

// Reads the PE file at `path` as the loader would judge it.
Game_Pe check_game_load(const fs::path &path) {
  Game_Pe pe;
  pe.path = path;
  Owned<Arena> scratch;
  Result<std::string_view> bytes = platform_read_file(scratch.get(), check_game_utf8(path), CHECK_GAME_MAX_FILE_BYTES);
  if (!bytes.ok()) {
    pe.too_large = bytes.status().os_error == OS_TOO_LARGE;
    pe.error = bytes.status().os_error;
    return pe;
  }
  const auto *data = reinterpret_cast<const uint8_t *>(bytes.value().data());
  pe.read = true;
  pe.dll = pe_judge_dll(std::span<const uint8_t>(data, bytes.value().size()));
  return pe;
}

// What a file of unreadable tables is, for a problem line; Windows refuses all of them (error
// 193) but one crafted to stall a reader, which it might load after a long while.
std::string check_game_unusable_text(Pe_Problem problem) {
  std::string text = pe_problem_text(problem);
  switch (problem) {
    case Pe_Problem::cut_short: return "damaged: " + text + ", as after an interrupted copy; Windows refuses it (error 193)";
    case Pe_Problem::too_many_entries: return "not a usable DLL: " + text + " (damaged, or made to stall the programs that read it)";
    default: return "not a usable DLL: " + text + "; Windows refuses it (error 193)";
  }
}

// Says what is wrong with a PE file that is not a usable DLL; `fix` ends each problem line.
void check_game_say_unusable(Game_Report *report, const Game_Pe &pe, std::string_view fix) {
  if (pe.too_large) {
    check_game_say_at(report, pe.path, Game_Verdict::problem,
                      "larger than 256 MiB, far larger than any DLL: not the right file: " + std::string(fix));
  } else if (!pe.read) {
    check_game_say_at(report, pe.path, Game_Verdict::problem, std::string("cannot read it: ") + check_reason(pe.error));
  } else if (pe.dll.problem != Pe_Problem::none) {
    check_game_say_at(report, pe.path, Game_Verdict::problem,
                      check_game_unusable_text(pe.dll.problem) + ": " + std::string(fix));
  } else {
    check_game_say_at(report, pe.path, Game_Verdict::problem,
                      "it is " + pe.dll.what + ", not a 64-bit (x86-64) DLL; a 64-bit game cannot load it (error 193): " +
                          std::string(fix));
  }
}

// Whether a file read is Mane Shade's module, whatever its name: its export table names the module.
bool check_game_is_module(const Game_Pe &pe) {
  return pe.read && pe.dll.problem == Pe_Problem::none && pe_dll_name_equal(pe.dll.file.export_name, MODULE_FILE_NAME);
}

bool check_game_named(const fs::path &path, std::string_view name) {
  return pe_dll_name_equal(check_game_utf8(path.filename()), name);
}

// The module's files in DIR and its loader folders, as an ASI loader sees them: every .asi that is
// the module by its content or by its name (the loader loads each), DIR's first, the exact name first;
// and the module, by its content, under the extension .dll in DIR, which no ASI loader loads.
struct Game_Modules {
  std::vector<Game_Pe> loaded;     // the .asi copies
  std::vector<Game_Pe> named_dll;  // ManeShade*.dll that is the module by its content
};

// Whether the module's look at `path` finds a file there, to read (or to fail with: access denied, held
// by another program), rather than no file (then it looks beside itself); the module's own rule,
// settings_look_finds_no_file. `*look` says why, when it finds none.
bool check_game_finds_file(const fs::path &path, Status *look) {
  Owned<Arena> scratch;
  Result<File_Stamp> stamp = platform_file_stamp(scratch.get(), check_game_utf8(path));
  if (stamp.ok()) return true;
  *look = stamp.status();
  if (look->failure == FAILURE_OUT_OF_MEMORY) throw std::bad_alloc();
  return !settings_look_finds_no_file(*look);
}

// The settings file of `folder` that the game's look finds (a file, not a folder of that name): DIR's
// ManeShade.ini, or one beside a copy of the module in a loader folder; null when none.
const fs::path *check_game_settings_in(const Game_Found &found, const fs::path &folder, const fs::path &dir) {
  const fs::path *entry = nullptr;
  if (folder == dir) {
    entry = check_game_pick(found, GAME_CONFIG);
  } else {
    for (const fs::path &path : found.configs_in_loader_folders) {
      if (path.parent_path() != folder) continue;
      if (!entry || check_game_utf8(path.filename()) == CONFIG_FILE_NAME) entry = &path;
    }
  }
  Status look = STATUS_OK;
  return entry && check_game_finds_file(*entry, &look) ? entry : nullptr;
}

// The copy of the module to keep, of those a loader loads: the first usable one, DIR's first, which
// every loader loads (the player's settings of a subfolder are then to be brought to the game
// folder); of copies in subfolders alone, when DIR holds no settings file, the first usable one that
// has the player's settings beside it, which it reads. With no usable copy, the one to copy again,
// chosen alike. Null when there is none. Every other copy is one too many.
const Game_Pe *check_game_kept(const Game_Modules &modules, const Game_Found &found, const fs::path &dir) {
  bool settings_in_dir = check_game_settings_in(found, dir, dir) != nullptr;
  const Game_Pe *first[2] = {}, *with_settings[2] = {};  // [usable]
  for (const Game_Pe &pe : modules.loaded) {
    bool usable = pe.usable();
    if (!first[usable]) first[usable] = &pe;
    bool beside = !settings_in_dir && pe.path.parent_path() != dir &&
                  check_game_settings_in(found, pe.path.parent_path(), dir) != nullptr;
    if (beside && !with_settings[usable]) with_settings[usable] = &pe;
  }
  for (bool usable : {true, false}) {
    if (!first[usable]) continue;
    bool in_dir = first[usable]->path.parent_path() == dir;
    return with_settings[usable] && !in_dir ? with_settings[usable] : first[usable];
  }
  return nullptr;
}

Game_Modules check_game_find_modules(const Game_Found &found, const fs::path &dir) {
  Game_Modules modules;
  for (const auto *asis : {&found.asis_in_dir, &found.asis_in_loader_folders}) {
    for (const fs::path &path : *asis) {
      Game_Pe pe = check_game_load(path);
      if (check_game_is_module(pe) || check_game_named(path, MODULE_FILE_NAME)) modules.loaded.push_back(std::move(pe));
    }
  }
  std::string stem(MODULE_FILE_NAME.substr(0, MODULE_FILE_NAME.size() - 4));  // "ManeShade"
  for (const fs::path &path : found.dlls_in_dir) {
    std::string name = check_game_utf8(path.filename());
    if (!check_game_starts_with(name, stem)) continue;
    // Known by its content: anything else of that name (another program's DLL, a text file, a pipe)
    // is none of the check's business.
    Game_Pe pe = check_game_load(path);
    if (check_game_is_module(pe)) modules.named_dll.push_back(std::move(pe));
  }
  // DIR's first, where every loader looks; the exact name first, as the player knows it; then in name
  // order, as a loader lists them.
  auto order = [&dir](const Game_Pe &a, const Game_Pe &b) {
    bool a_below = a.path.parent_path() != dir, b_below = b.path.parent_path() != dir;
    bool a_exact = check_game_utf8(a.path.filename()) == MODULE_FILE_NAME;
    bool b_exact = check_game_utf8(b.path.filename()) == MODULE_FILE_NAME;
    return std::tie(a_below, b_exact, a.path) < std::tie(b_below, a_exact, b.path);
  };
  std::stable_sort(modules.loaded.begin(), modules.loaded.end(), order);
  std::stable_sort(modules.named_dll.begin(), modules.named_dll.end(), order);
  return modules;
}

// Each copy of the module that a loader loads: `kept` is the module (check_game_kept); every other
// copy is to be deleted: a usable one loads too (twice the script, twice the tints) with a loader that
// looks in both places, and a damaged one copied again would. `settings`: the settings file beside
// the kept copy, which it reads, when DIR holds none; null otherwise. `bring`: the player's settings
// file to be brought where the kept copy reads one, when it reads none; null otherwise. A copy named
// .dll loads never.
void check_game_module(Game_Report *report, const Game_Modules &modules, const fs::path &dir, const Game_Pe *kept,
                       const fs::path *settings, const fs::path *bring) {
  static constexpr std::string_view AGAIN = "copy ManeShade.asi again from the release ZIP";
  const Game_Pe *primary = kept && kept->usable() ? kept : nullptr;
  std::string reads = settings ? ", which reads " + check_game_shown(*settings) : "";
  for (const Game_Pe &pe : modules.loaded) {
    std::string folder = check_game_shown(pe.path.parent_path().filename());
    bool below = pe.path.parent_path() != dir;
    if (&pe == kept && !pe.usable()) {
      check_game_say_unusable(report, pe, AGAIN);
    } else if (&pe == kept) {
      std::string text = check_game_named(pe.path, MODULE_FILE_NAME)
                             ? "a 64-bit (x86-64) DLL"
                             : "Mane Shade's module under another name, which an ASI loader loads as it loads any .asi "
                               "file; a 64-bit (x86-64) DLL";
      if (below) {
        text += ", in the subfolder " + folder + ": an ASI loader that looks in " + folder +
                " loads it from there, one that looks in the game folder alone does not";
      }
      check_game_say_at(report, pe.path, Game_Verdict::ok, text);
    } else if (!pe.usable()) {
      // Copied again, it would load beside the kept copy.
      check_game_say_unusable(report, pe, primary ? "delete this file: " + check_game_shown(kept->path) +
                                                        " is a whole copy" + reads + " (a whole one here as well "
                                                        "would load Mane Shade twice)"
                                                  : "delete this file, and copy ManeShade.asi again to " +
                                                        check_game_shown(kept->path) + " alone");
    } else if (pe.path.parent_path() == kept->path.parent_path()) {
      check_game_say_at(report, pe.path, Game_Verdict::problem,
                        "another copy of Mane Shade's module, beside " + check_game_shown(kept->path) +
                            "; an ASI loader loads every .asi file of the folder, so Mane Shade would be loaded twice: "
                            "delete this copy");
    } else {
      // Deleted with its folder, the settings beside it would be lost: said where they go.
      std::string keep = kept->path.parent_path() == dir ? ", in the game folder, where every ASI loader looks" : reads;
      if (bring && bring->parent_path() == pe.path.parent_path()) {
        keep += "; the settings file beside this copy, " + check_game_shown(*bring) + ", is to go into " +
                (kept->path.parent_path() == dir ? std::string("the game folder") : check_game_shown(kept->path.parent_path())) +
                " (below)";
      }
      check_game_say_at(report, pe.path, Game_Verdict::problem,
                        "another copy of Mane Shade's module, besides " + check_game_shown(kept->path) +
                            "; an ASI loader that looks in both folders loads both, so Mane Shade would be loaded "
                            "twice: delete this copy, and keep " + check_game_shown(kept->path) + keep);
    }
  }
  for (const Game_Pe &pe : modules.named_dll) {
    if (primary) {
      check_game_say_at(report, pe.path, Game_Verdict::note,
                        "a copy of Mane Shade's module named .dll, which an ASI loader does not load; the game uses " +
                            check_game_shown(primary->path) + ": delete this copy");
    } else {
      check_game_say_at(report, pe.path, Game_Verdict::problem,
                        "Mane Shade's module, named .dll: an ASI loader loads only .asi files: rename it to .asi (" +
                            std::string(MODULE_FILE_NAME) + ")");
    }
  }
  if (modules.loaded.empty() && modules.named_dll.empty()) {
    check_game_say_at(report, dir / MODULE_FILE_NAME, Game_Verdict::problem,
                      "missing: copy ManeShade.asi from the release ZIP into the game folder");
  }
}

// The host library, read; `usable` only when the module's imports are worth looking up in it.
Game_Pe check_game_host(Game_Report *report, const Game_Found &found, const fs::path &dir) {
  const fs::path *path = check_game_pick(found, GAME_HOST);
  if (!path) {
    check_game_say_at(report, dir / HOST_FILE_NAME, Game_Verdict::problem,
                      "missing: install the 64-bit script-hook host library in the game folder; without it Windows "
                      "refuses ManeShade.asi (error 126)");
    return {};
  }
  check_game_case_twins(report, found, GAME_HOST, *path);
  Game_Pe host = check_game_load(*path);
  if (!host.usable()) {
    check_game_say_unusable(report, host, "install the 64-bit ScriptHookVanta.dll again");
    return host;
  }
  if (pe_find_export(host.dll.file, CHECK_GAME_STANDIN_MARKER)) {
    // The one line for this file: whatever it exports, it is not what the game needs.
    check_game_say_at(report, *path, Game_Verdict::problem,
                      "this is Mane Shade's development stand-in (it exports standin_run_frame), not the real host "
                      "library: the game needs the real ScriptHookVanta.dll");
    host.dll.state = Pe_Dll_State::unusable;
  }
  return host;
}

// The loader's view of the DLLs the host's functions lead to: the host itself, and for its
// forwarders a DLL of the game folder (the game's own folder comes first) or of the system folder.
class Game_Dll_Source : public Pe_Dll_Source {
 public:
  Game_Dll_Source(Pe_File host, const Game_Found &found, const fs::path &dir)
      : found_(found), dir_(dir), system_(check_game_system_folder()) {
    Pe_Dll &b = bound_[key_of(HOST_FILE_NAME)];
    b.state = Pe_Dll_State::found;
    b.file = std::move(host);
  }

  bool sees_system_folder() const { return !system_.empty(); }

  const Pe_Dll &bind(std::string_view dll) override {
    std::string key = key_of(dll);
    auto it = bound_.find(key);
    if (it != bound_.end()) return it->second;
    Pe_Dll &b = bound_[key];
    if (read_++ == CHECK_GAME_MAX_DLLS_FOLLOWED) {
      b.state = Pe_Dll_State::unknown;
      b.what = "the check follows forwarders into " + std::to_string(CHECK_GAME_MAX_DLLS_FOLLOWED) + " DLLs at most";
      return b;
    }
    fs::path path;
    if (!locate(dll, &path)) {
      b.state = Pe_Dll_State::missing;
      if (system_.empty() || key.starts_with("api-ms-") || key.starts_with("ext-ms-")) {
        b.state = Pe_Dll_State::unknown;
        b.what = system_.empty() ? "it is not in the game folder, and only maneshade-check.exe on Windows can look in "
                                   "the system folder"
                                 : "an API set, which Windows maps to a system DLL of its choice";
      }
      return b;
    }
    Game_Pe pe = check_game_load(path);
    if (pe.read) {
      b = std::move(pe.dll);
    } else {
      b.state = Pe_Dll_State::unusable;
      b.what = pe.too_large ? "larger than 256 MiB" : std::string("a file that cannot be read (") + check_reason(pe.error) + ")";
    }
    return b;
  }

 private:
  const Game_Found &found_;
  const fs::path &dir_;
  fs::path system_;
  std::map<std::string, Pe_Dll> bound_;  // by the name in ASCII lower case, as Windows compares them
  size_t read_ = 0;

  static std::string key_of(std::string_view dll) {
    std::string key(dll);
    for (char &c : key) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return key;
  }

  // The file the loader would find for `dll`: in the game folder (any letter case), else in the
  // system folder (which Windows searches without regard to case).
  bool locate(std::string_view dll, fs::path *out) const {
    for (const fs::path &path : found_.dlls_in_dir) {
      if (!pe_dll_name_equal(check_game_utf8(path.filename()), dll)) continue;
      *out = path;
      return true;
    }
    fs::path name;
    if (!check_game_path(dll, &name) || name.has_parent_path()) return false;
    for (const fs::path &folder : {dir_, system_}) {
      std::error_code ec;
      if (folder.empty() || !fs::is_regular_file(folder / name, ec)) continue;
      *out = folder / name;
      return true;
    }
    return false;
  }
};

// Every function the module imports from the host, looked up as the loader looks it up, through
// the host's forwarders.
void check_game_imports(Game_Report *report, const Pe_File &module, const fs::path &module_path, Pe_File host,
                        const fs::path &host_path, const Game_Found &found, const fs::path &dir) {
  Pe_File from_host;
  size_t imported = 0;
  for (const Pe_Import_Dll &dll : module.imports) {
    if (!pe_dll_name_equal(dll.dll, HOST_FILE_NAME)) continue;
    from_host.imports.push_back(dll);
    imported += dll.functions.size();
  }
  if (imported == 0) {
    check_game_say_at(report, module_path, Game_Verdict::problem,
                   "imports nothing from ScriptHookVanta.dll, so it is not Mane Shade's module: copy ManeShade.asi "
                   "again from the release ZIP");
    return;
  }
  Game_Dll_Source source(std::move(host), found, dir);
  std::vector<Pe_Unresolved> lacking = pe_unresolved_imports(from_host, source);
  for (const Pe_Unresolved &u : lacking) {
    std::string name = u.import.starts_with('#') ? u.import : check_game_function_text(u.import);
    if (u.forwards.empty()) {
      check_game_say_at(report, host_path, Game_Verdict::problem,
                        "lacks " + name + ", which ManeShade.asi imports; Windows refuses the module (error " +
                            std::to_string(u.error) + "): install the current ScriptHookVanta.dll");
      continue;
    }
    std::string text = "forwards " + name + check_visible(pe_forwarding_text(u));
    // What cannot be followed is only a note where the system folder was looked in (an API set);
    // where it could not be, all is not known to be well.
    if (u.error == PE_UNFOLLOWED && source.sees_system_folder()) {
      check_game_say_at(report, host_path, Game_Verdict::note, text);
    } else if (u.error == PE_UNFOLLOWED) {
      check_game_say_at(report, host_path, Game_Verdict::problem,
                        text + "; unless Windows finds that DLL in its system folder, it refuses ManeShade.asi "
                               "(error 126)");
    } else {
      check_game_say_at(report, host_path, Game_Verdict::problem,
                        text + "; Windows refuses ManeShade.asi: install the current ScriptHookVanta.dll with the "
                               "files that come with it");
    }
  }
  if (lacking.empty()) {
    check_game_say_at(report, host_path, Game_Verdict::ok,
                      "exports all " + std::to_string(imported) + " functions that ManeShade.asi imports from it");
  }
}

// What an entry named ManeShade.ini is, when the game's look finds no file in it.
std::string check_game_not_a_file(const Status &look) {
  switch (look.os_error) {
    case OS_IS_A_FOLDER: return "a folder, not a file";
    case OS_NOT_A_FILE: return "not a file (a device or a pipe)";
    case OS_SYMLINK_LOOP: return "a symbolic link that leads back to itself, not a file";
    case OS_FILE_NOT_FOUND:
    case OS_PATH_NOT_FOUND: return "a link to a file that is not there";
    default: return std::string("not a file the game can reach (") + check_reason(look.os_error) + ")";
  }
}

std::string check_game_failed_to_open() { return "\"" + check_player_line(MESSAGE_FAILED_TO_OPEN) + "\""; }

// What a file that may hold the player's settings holds: only settings are worth bringing where the
// game reads them.
enum class Game_Ini_Content {
  settings,      // text with a [corvin] or [mael] header, as the game reads it
  misencoded,    // such text in an encoding the game does not decode (UTF-32, UTF-16 without its mark)
  text,          // text, but with no such header
  shortcut,      // a Windows shortcut
  archive,       // a ZIP archive that holds no ManeShade.ini
  archive_ini,   // a ZIP archive that holds one
  other,         // anything else that is no text (it holds NUL bytes)
  unreadable,    // cannot be read, or is too large to be a settings file
};

// Far above any settings file, ZIP archive of one, or shortcut.
constexpr uint64_t CHECK_GAME_MAX_LOOKALIKE_BYTES = 16ull << 20;

// The extensions that Windows hides in Explorer by default, those of file types it knows without any
// program installed: ManeShade.ini.txt shows as "ManeShade.ini". A shortcut's .lnk (and an internet
// shortcut's .url) it never shows, whatever the setting. Others (.bak, .old) it shows.
constexpr std::string_view CHECK_GAME_HIDDEN_EXTENSIONS[] = {".txt", ".ini", ".log", ".zip", ".xml", ".htm", ".html", ".bat"};
constexpr std::string_view CHECK_GAME_NEVER_SHOWN_EXTENSIONS[] = {".lnk", ".url"};

bool check_game_extension_in(std::string_view extension, std::span<const std::string_view> list) {
  return std::any_of(list.begin(), list.end(), [&](std::string_view e) { return pe_dll_name_equal(extension, e); });
}

// Where a file that may hold the player's settings lies, in the order such files are worth naming.
enum class Game_Settings_Place {
  read_folder,     // ManeShade.ini.* where the game looks: DIR, or the folder of the module kept
  loader_folder,   // ManeShade.ini of scripts or plugins
  loader_lookalike,  // ManeShade.ini.* there
  subfolder,       // ManeShade.ini of another subfolder
};

// A file below DIR that may hold the player's settings, and what it holds.
struct Game_Settings_File {
  fs::path path;
  Game_Settings_Place place = Game_Settings_Place::read_folder;
  std::string extension;  // after "ManeShade.ini", as written: ".txt"; "" for the name itself
  bool hidden = false;    // Explorer shows the file as ManeShade.ini
  Game_Ini_Content content = Game_Ini_Content::unreadable;
  std::string why;        // unreadable: why; misencoded: its encoding, "UTF-32 (little endian, ...)"
  bool used = false;      // named ManeShade.ini where the game reads one, the game would use it
};

// Reads the file at `path` and says what it holds, and whether the game would use it: its bytes
// converted as the module converts them.
void check_game_judge_settings(Game_Settings_File *f) {
  Owned<Arena> scratch;
  Result<std::string_view> bytes =
      platform_read_file(scratch.get(), check_game_utf8(f->path), CHECK_GAME_MAX_LOOKALIKE_BYTES);
  if (!bytes.ok()) {
    Os_Error error = bytes.status().os_error;
    f->why = error == OS_TOO_LARGE ? "larger than 16 MiB, far larger than a settings file"
                                   : std::string("cannot read it: ") + check_reason(error);
    f->content = Game_Ini_Content::unreadable;
    return;
  }
  switch (check_binary_kind(bytes.value())) {
    case Check_Binary::shortcut: f->content = Game_Ini_Content::shortcut; return;
    case Check_Binary::zip_archive:
      f->content = check_zip_holds(bytes.value(), CONFIG_FILE_NAME) ? Game_Ini_Content::archive_ini : Game_Ini_Content::archive;
      return;
    case Check_Binary::none: break;
  }
  Result<std::string_view> text = settings_text_from_bytes(scratch.get(), bytes.value());
  if (!text.ok()) throw std::bad_alloc();
  if (text.value().find('\0') != std::string_view::npos) {
    f->why = check_misencoded_settings(bytes.value());
    f->content = f->why.empty() ? Game_Ini_Content::other : Game_Ini_Content::misencoded;
    return;
  }
  if (!check_holds_block_header(text.value())) {
    f->content = Game_Ini_Content::text;
    return;
  }
  f->content = Game_Ini_Content::settings;
  if (bytes.value().size() > CONFIG_FILE_MAX_BYTES) return;
  // The module logs what it refuses; the check says it in its own words.
  Log_Sink previous = log_set_sink({});
  Config_Result converted = config_from_text(scratch.get(), text.value());
  log_set_sink(previous);
  if (converted.status().runtime.failure == FAILURE_OUT_OF_MEMORY) throw std::bad_alloc();
  f->used = converted.ok();
}

Game_Settings_File check_game_settings_file(const fs::path &path, Game_Settings_Place place) {
  Game_Settings_File f;
  f.path = path;
  f.place = place;
  f.extension = check_game_utf8(path.filename()).substr(CONFIG_FILE_NAME.size());
  f.hidden = check_game_extension_in(f.extension, CHECK_GAME_HIDDEN_EXTENSIONS) ||
             check_game_extension_in(f.extension, CHECK_GAME_NEVER_SHOWN_EXTENSIONS);
  check_game_judge_settings(&f);
  return f;
}

bool check_game_holds_settings(const Game_Settings_File &f) {
  return f.content == Game_Ini_Content::settings || f.content == Game_Ini_Content::misencoded;
}

// Every file below DIR that may hold the player's settings: ManeShade.ini.* of the folders the game
// looks in (`read_folders`: DIR, and the folder of the module kept when it lies below), those of the
// loader folders, and the ManeShade.ini files of subfolders; and, when the game reads no file, the
// one to bring where it reads one (`chosen`, null when none).
struct Game_Settings_Search {
  std::vector<Game_Settings_File> files;
  const Game_Settings_File *chosen = nullptr;
};

// The player's settings, when the game reads none: of the files that hold settings (and of the
// ManeShade.ini files of subfolders, whatever they hold), one the game would use before one it would
// refuse, settings it reads before settings in another encoding; then the nearest to where the game
// reads (Game_Settings_Place), a name Explorer shows as ManeShade.ini first, then by path.
const Game_Settings_File *check_game_choose_settings(const std::vector<Game_Settings_File> &files) {
  auto rank = [](const Game_Settings_File &f) {
    int content = f.content == Game_Ini_Content::settings ? 0 : f.content == Game_Ini_Content::misencoded ? 1 : 2;
    return std::make_tuple(!f.used, content, static_cast<int>(f.place), !(f.hidden || f.extension.empty()), f.path);
  };
  const Game_Settings_File *best = nullptr;
  for (const Game_Settings_File &f : files) {
    bool named = f.place == Game_Settings_Place::loader_folder || f.place == Game_Settings_Place::subfolder;
    bool eligible = check_game_holds_settings(f) || (named && f.content != Game_Ini_Content::unreadable);
    if (eligible && (!best || rank(f) < rank(*best))) best = &f;
  }
  return best;
}

Game_Settings_Search check_game_search_settings(const Game_Found &found, const fs::path &dir, const fs::path &module_folder) {
  Game_Settings_Search search;
  std::vector<fs::path> lookalikes = found.ini_lookalikes;
  std::sort(lookalikes.begin(), lookalikes.end());
  std::vector<fs::path> read_folders = {dir};
  if (module_folder != dir) read_folders.push_back(module_folder);
  for (const fs::path &folder : read_folders) {
    for (const fs::path &path : lookalikes) {
      if (path.parent_path() == folder) search.files.push_back(check_game_settings_file(path, Game_Settings_Place::read_folder));
    }
  }
  for (const fs::path &path : lookalikes) {
    if (path.parent_path() == dir || path.parent_path() == module_folder) continue;
    search.files.push_back(check_game_settings_file(path, Game_Settings_Place::loader_lookalike));
  }
  std::vector<fs::path> named = found.below[GAME_CONFIG];
  std::sort(named.begin(), named.end());
  for (const fs::path &path : named) {
    std::error_code ec;
    if (path.parent_path() == module_folder || !fs::is_regular_file(path, ec)) continue;
    bool in_loader_folder = std::find(found.configs_in_loader_folders.begin(), found.configs_in_loader_folders.end(),
                                      path) != found.configs_in_loader_folders.end();
    search.files.push_back(check_game_settings_file(
        path, in_loader_folder ? Game_Settings_Place::loader_folder : Game_Settings_Place::subfolder));
  }
  return search;
}

// " (Windows hides the .txt, so Explorer names it ManeShade.ini)", " (Windows never shows a
// shortcut's .lnk, ...)"; "" when Explorer shows the extension, or for ManeShade.ini itself.
std::string check_game_hidden_clause(const Game_Settings_File &f) {
  if (!f.hidden) return "";
  std::string extension = check_visible(f.extension);
  std::string why = check_game_extension_in(f.extension, CHECK_GAME_NEVER_SHOWN_EXTENSIONS)
                        ? "Windows never shows a shortcut's " + extension
                        : "Windows hides the " + extension;
  return " (" + why + ", so Explorer names it " + std::string(CONFIG_FILE_NAME) + ")";
}

// "your settings, saved as UTF-32 (...), an encoding the game does not decode".
std::string check_game_misencoded_words(const Game_Settings_File &f) {
  return "your settings, saved as " + check_visible(f.why) + ", an encoding the game does not decode";
}

constexpr std::string_view CHECK_GAME_SAVE_AS_UTF8 = "save it as UTF-8 (in Notepad: Save as, Encoding UTF-8)";

// What brings the settings file `f`, of another folder than `target`, where the game reads one:
// "move X into the game folder, where the game reads it", "move X (Windows hides ...) into the game
// folder, named ManeShade.ini: the game reads only that name", "your settings are in X, saved as
// UTF-32 ...: open it and save it as UTF-8 ... into the game folder, named ManeShade.ini".
std::string check_game_bring(const Game_Settings_File &f, const fs::path &target, const fs::path &dir) {
  std::string where = target == dir ? "the game folder" : check_game_shown(target);
  std::string name(CONFIG_FILE_NAME);
  if (f.content == Game_Ini_Content::misencoded) {
    return "your settings are in " + check_game_shown(f.path) + check_game_hidden_clause(f) + ", saved as " +
           check_visible(f.why) + ", an encoding the game does not decode: open it and " +
           std::string(CHECK_GAME_SAVE_AS_UTF8) + " into " + where + ", named " + name;
  }
  if (f.extension.empty()) return "move " + check_game_shown(f.path) + " into " + where + ", where the game reads it";
  return "move " + check_game_shown(f.path) + check_game_hidden_clause(f) + " into " + where + ", named " + name +
         ": the game reads only that name";
}

// The lines for ManeShade.ini.* where the game looks (`search`'s read_folder files): with extensions
// hidden, as Windows shows files by default, Explorer names ManeShade.ini.txt "ManeShade.ini", and a
// player who saved the shipped file from a browser or renamed a copy in Explorer sees no difference.
// The game opens only ManeShade.ini: `read` is the one it reads (null: none). `blocked`: the folders
// where an entry named ManeShade.ini is no file. Only the settings file chosen is said to be renamed:
// a shortcut or an archive renamed would be read as text with no settings in it; a shortcut or an
// archive of a ManeShade.ini is a problem only when no settings file is chosen. How many lines say
// what to do instead of putting a ManeShade.ini there.
size_t check_game_ini_lookalikes(Game_Report *report, const Game_Settings_Search &search, const fs::path *read,
                                 const std::vector<fs::path> &blocked) {
  const std::string name(CONFIG_FILE_NAME);
  const Game_Settings_File *chosen = search.chosen;
  bool refused_too = false;  // another file found holds settings that the game would not use
  for (const Game_Settings_File &f : search.files) refused_too = refused_too || (check_game_holds_settings(f) && !f.used);
  size_t fixes = 0;
  for (const Game_Settings_File &f : search.files) {
    if (f.place != Game_Settings_Place::read_folder) continue;
    std::string hidden = check_game_hidden_clause(f);
    std::string folder = check_game_shown(f.path.parent_path());
    if (read) {
      check_game_say_at(report, f.path, Game_Verdict::note,
                        "not the file the game reads, which is " + check_game_shown(*read) + hidden +
                            (check_game_holds_settings(f) ? ": edit that one" : ""));
      continue;
    }
    bool problem = !chosen;
    std::string text;
    switch (f.content) {
      case Game_Ini_Content::settings:
      case Game_Ini_Content::misencoded:
        if (&f == chosen) {
          problem = true;
          bool in_way = std::find(blocked.begin(), blocked.end(), f.path.parent_path()) != blocked.end();
          std::string once = in_way ? "once the " + name + " beside it that is not a file is out of the way, " : "";
          if (f.content == Game_Ini_Content::misencoded) {
            text = check_game_misencoded_words(f) + hidden + ": " + once + "open it and " +
                   std::string(CHECK_GAME_SAVE_AS_UTF8) + ", named " + name;
          } else {
            // A settings file's line starts as it always has: "Windows hides the .txt: rename the file ...".
            text = (f.hidden ? "Windows hides the " + check_visible(f.extension) + ": " : "not named " + name + ": ") +
                   once + (in_way ? "rename this file to " : "rename the file to ") + name +
                   " (the game reads only that name)";
            if (f.used && refused_too) text += "; of the settings files found, the game would use this one";
          }
        } else {
          problem = false;
          std::string what = f.content == Game_Ini_Content::misencoded
                                 ? ", saved as " + check_visible(f.why) + ", an encoding the game does not decode"
                             : f.used ? ", which the game would use too"
                                      : ", which the game would refuse";
          std::string other = check_game_shown(chosen->path);
          std::string verb = chosen->place == Game_Settings_Place::read_folder ? "rename " : "bring ";
          if (chosen->used && !f.used) {
            text = "another settings file under another name" + what + ": " + verb + other + ", which it would "
                   "use, not this one";
          } else {
            text = "another settings file under another name" + what + (f.used ? "" : "; the game reads neither") +
                   ": " + verb + other + " or this one, not both";
          }
        }
        break;
      case Game_Ini_Content::shortcut:
        text = "a Windows shortcut, not a settings file" + hidden + "; the game follows no shortcut" +
               (chosen ? "" : ": copy the settings file it leads to into " + folder + ", named " + name);
        break;
      case Game_Ini_Content::archive_ini:
        text = "a ZIP archive, not a settings file" + hidden + "; the game does not unpack archives" +
               (chosen ? "" : ": extract the " + name + " it holds into " + folder);
        break;
      case Game_Ini_Content::archive:
        problem = false;
        text = "a ZIP archive that holds no " + name + ", not a settings file" + hidden;
        break;
      case Game_Ini_Content::text:
        problem = false;
        text = "a text file with no section [corvin] or [mael], not a settings file" + hidden;
        break;
      case Game_Ini_Content::other:
        problem = false;
        text = "not a settings file (it is no text), whatever its name" + hidden;
        break;
      case Game_Ini_Content::unreadable:
        problem = false;
        text = f.why + hidden;
        break;
    }
    if (problem) fixes++;
    check_game_say_at(report, f.path, problem ? Game_Verdict::problem : Game_Verdict::note, text);
  }
  return fixes;
}

// Settings under another name in a loader folder, where the game does not look, while it reads `read`.
void check_game_loader_lookalikes(Game_Report *report, const Game_Settings_Search &search, const fs::path &read) {
  for (const Game_Settings_File &f : search.files) {
    if (f.place != Game_Settings_Place::loader_lookalike || !check_game_holds_settings(f)) continue;
    check_game_say_at(report, f.path, Game_Verdict::note,
                      "settings under another name" + check_game_hidden_clause(f) + ", in a subfolder: not the file "
                      "the game reads, which is " + check_game_shown(read) + "; edit that one");
  }
}

// Where the game reads ManeShade.ini, taking DIR as the folder it runs in (as when it is started as
// usual), and what was said of it.
struct Game_Config {
  fs::path read;    // the file the game reads; empty when it finds none
  fs::path target;  // the folder where a ManeShade.ini would be read
  std::vector<fs::path> said;  // copies of ManeShade.ini below DIR said here (beside the module, or to move)
  bool not_beside_module = false;  // the game reads DIR's file, and none lies beside the module below DIR
};

// No settings file where the game reads one (`target`, DIR or the module's folder): the player's own
// (`chosen`) to be brought there when there is one below DIR, else the release's to be copied.
void check_game_missing(Game_Report *report, const Game_Settings_File *chosen, const fs::path &target,
                        const fs::path &dir, const Game_Pe *module, Game_Config *config) {
  std::string where = target == dir ? "the game folder" : check_game_shown(target);
  std::string text = target == dir ? "missing: "
                                   : "missing: the game folder holds no ManeShade.ini, so the game looks beside " +
                                         check_game_shown(module->path) + ": ";
  if (chosen) {
    config->said.push_back(chosen->path);
    text += check_game_bring(*chosen, target, dir);
  } else {
    text += "copy ManeShade.ini from the release ZIP into " + where;
  }
  check_game_say_at(report, target / CONFIG_FILE_NAME, Game_Verdict::problem,
                    text + "; without it the game shows " + check_game_failed_to_open());
}

// An entry named ManeShade.ini in the folder the game looks in that is no file, when the game has
// nowhere else to look: it shows the line for a missing file. `chosen`: the player's settings of
// another folder, to put in its place.
void check_game_blocked(Game_Report *report, const fs::path &path, const Status &look, const Game_Settings_File *chosen,
                        const fs::path &dir, Game_Config *config) {
  std::string put = "put the settings file " + std::string(CONFIG_FILE_NAME) + " in its place";
  if (chosen && chosen->path.parent_path() != path.parent_path()) {
    config->said.push_back(chosen->path);
    put = "then " + check_game_bring(*chosen, path.parent_path(), dir);
  }
  check_game_say_at(report, path, Game_Verdict::problem,
                    check_game_not_a_file(look) + ": the game looks for a file of this name and finds none, so it "
                    "shows " + check_game_failed_to_open() + ": move or rename this, and " + put);
}

// Checks the file the game reads: check_file's usual report, whose verdict counts.
void check_game_read(Game_Report *report, const Game_Found &found, const fs::path &path, bool in_dir) {
  if (in_dir) check_game_case_twins(report, found, GAME_CONFIG, path);
  if (check_file_in_game(check_game_utf8(path), report->err) != CHECK_EXIT_INSTALLED) report->problems++;
}

// The entry named ManeShade.ini beside the module in `module_folder`, a loader folder; null when none.
const fs::path *check_game_beside(const Game_Found &found, const fs::path &module_folder) {
  const fs::path *beside = nullptr;
  for (const fs::path &path : found.configs_in_loader_folders) {
    if (path.parent_path() != module_folder) continue;
    if (!beside || check_game_utf8(path.filename()) == CONFIG_FILE_NAME) beside = &path;
  }
  return beside;
}

// The game looks at ManeShade.ini of the folder it runs in (DIR); when that look finds no file (none,
// a folder, a link that leads nowhere), at the one beside the module that the loader loaded.
Game_Config check_game_config(Game_Report *report, const Game_Found &found, const fs::path &dir, const Game_Pe *module,
                              const Game_Settings_Search &search) {
  Game_Config config;
  fs::path module_folder = module ? module->path.parent_path() : dir;
  bool elsewhere = module_folder != dir;
  const fs::path *beside = elsewhere ? check_game_beside(found, module_folder) : nullptr;
  if (beside) config.said.push_back(*beside);
  const fs::path *working = check_game_pick(found, GAME_CONFIG);
  Status look = STATUS_OK;
  Status beside_look = STATUS_OK;
  bool beside_found = beside && check_game_finds_file(*beside, &beside_look);
  if (working && check_game_finds_file(*working, &look)) {
    config.read = *working;
    config.target = dir;
    check_game_ini_lookalikes(report, search, working, {});
    check_game_read(report, found, *working, true);
    check_game_loader_lookalikes(report, search, *working);
    if (beside) {
      check_game_say_at(report, *beside, Game_Verdict::note,
                        "beside " + check_game_shown(module->path) + ", but the game reads " + check_game_shown(*working) +
                            " first: this one only when it runs in a folder without a ManeShade.ini");
    } else if (elsewhere) {
      // Started in another folder, the game looks there, then beside the module: not in DIR.
      config.not_beside_module = true;
      check_game_say_at(report, module_folder / CONFIG_FILE_NAME, Game_Verdict::note,
                        "none beside " + check_game_shown(module->path) + ": a game started in another folder (by a "
                        "launcher or a shortcut) that holds no ManeShade.ini looks here, not in the game folder, finds "
                        "no settings and shows " + check_game_failed_to_open() + ": put the module in the game folder, "
                        "or a copy of " + check_game_shown(*working) + " here");
    }
    return config;
  }
  // No file of that name in DIR: the game looks beside the module.
  config.target = module_folder;
  std::vector<fs::path> blocked;
  if (working) blocked.push_back(dir);
  if (beside && !beside_found) blocked.push_back(module_folder);
  if (!elsewhere) {
    if (working) check_game_blocked(report, *working, look, search.chosen, dir, &config);
    // The settings chosen in DIR are said to be renamed: a line that counts among the fixes.
    size_t fixes = check_game_ini_lookalikes(report, search, nullptr, blocked);
    if (!working && fixes == 0) check_game_missing(report, search.chosen, dir, dir, module, &config);
    return config;
  }
  if (working) {
    check_game_say_at(report, *working, Game_Verdict::note,
                      check_game_not_a_file(look) + ": the game finds no settings file here, and looks for the " +
                          std::string(CONFIG_FILE_NAME) + " beside " + check_game_shown(module->path) + " instead");
  }
  const fs::path *read = beside_found ? beside : nullptr;
  // Renamed, a look-alike in DIR would be read first, one beside the module when DIR has none.
  size_t fixes = check_game_ini_lookalikes(report, search, read, blocked);
  if (read) {
    config.read = *read;
    check_game_read(report, found, *read, false);
    check_game_loader_lookalikes(report, search, *read);
    return config;
  }
  if (beside) {
    check_game_blocked(report, *beside, beside_look, search.chosen, dir, &config);
    return config;
  }
  if (fixes == 0) check_game_missing(report, search.chosen, module_folder, dir, module, &config);
  return config;
}

// What the search below DIR could not cover: not a problem of the folder, but said.
void check_game_search_notes(Game_Report *report, const Game_Found &found, const fs::path &dir) {
  if (found.unreadable_folders > 0) {
    check_game_say_at(report, found.first_unreadable, Game_Verdict::note,
                      "cannot look inside (" + check_visible(found.first_unreadable_why.message()) + "); " +
                          std::to_string(found.unreadable_folders) +
                          " folder(s) below the game folder were skipped in the search for stray copies");
  }
  if (found.links > 0) {
    std::string others = found.links == 1 ? "" : "; nor are the " + std::to_string(found.links - 1) + " other links below the game folder";
    check_game_say_at(report, found.first_link, Game_Verdict::note,
                      "a link (or junction) to another folder: not looked into in the search for stray copies, since it "
                      "may lead out of the game folder" + others);
  }
  if (found.cut_short) {
    check_game_say_at(report, dir, Game_Verdict::note,
                      "the search for stray copies stopped after " + std::to_string(CHECK_GAME_MAX_ENTRIES) + " entries");
  }
}

// Why `dir` is not a folder to check, as the one line of the run; empty when it is one. A player who
// gives a file (the ini, the module, the game's .exe) learns that --game wants the folder.
std::string check_game_not_a_folder(const fs::path &dir) {
  std::error_code ec;
  fs::file_status status = fs::status(dir, ec);
  std::string shown = check_game_shown(dir);
  std::string name = check_game_utf8(dir.filename());
  bool file_name = false;
  for (std::string_view extension : {".ini", ".asi", ".dll", ".exe", ".txt"}) {
    file_name = file_name || check_game_ends_with(name, extension);
  }
  // To check a settings file, the player leaves --game out.
  bool ini = check_game_ends_with(name, ".ini");
  const std::string wants = "--game wants the game's folder (the folder of its .exe), not a file";
  if (status.type() == fs::file_type::not_found) {
    std::string why = file_name ? wants + (ini ? "; to check a settings file, leave out --game" : "")
                                : "give the game's folder (the folder of its .exe)";
    return "maneshade-check: no folder " + shown + ": " + why + "\n";
  }
  if (ec) return "maneshade-check: cannot look at " + shown + ": " + check_visible(ec.message()) + "\n";
  if (status.type() == fs::file_type::regular) {
    return "maneshade-check: " + shown + " is a file: " + wants + (ini ? "; to check it, run: maneshade-check " + shown : "") + "\n";
  }
  if (status.type() != fs::file_type::directory) {
    const char *what = status.type() == fs::file_type::fifo                                             ? "a pipe"
                       : status.type() == fs::file_type::character || status.type() == fs::file_type::block ? "a device"
                       : status.type() == fs::file_type::socket                                         ? "a socket"
                                                                                                        : "no folder";
    return "maneshade-check: " + shown + " is " + what + ", not a folder: give the game's folder (the folder of its .exe)\n";
  }
  return {};
}

// DIR as every line names it: in full, so that "move it to" and "the one in" name a place the player
// can find whatever folder the check was started in.
fs::path check_game_full_path(const fs::path &dir) {
  std::error_code ec;
  fs::path full = fs::absolute(dir, ec);
  if (ec) return dir;
  full = full.lexically_normal();
  // "C:\Games\Vanta\" and "/games/vanta/." name the folder; a trailing separator reads as a name.
  if (!full.has_filename() && full.has_relative_path()) full = full.parent_path();
  return full;
}

int check_game_verdict(Game_Report *report, const fs::path &dir, const Game_Pe *module, const Game_Config &config) {
  std::string line = "maneshade-check: " + check_game_shown(dir) + ": ";
  if (report->problems == 0) {
    std::string loads = "the game should load Mane Shade";
    if (module && module->path.parent_path() != dir) {
      loads += " (with an ASI loader that looks in " + check_game_shown(module->path.parent_path().filename()) + ")";
    }
    // Every finding says where the game reads the file; all being well, it reads one.
    std::string elsewhere = config.not_beside_module
                                ? " (started in another folder, by a launcher or a shortcut, it does not find this file: "
                                  "see the note above)"
                                : " (started in another folder, by a launcher or a shortcut, it reads a ManeShade.ini "
                                  "of that folder first)";
    check_write(report->err, line + "all is well: " + loads + " and use " + check_game_shown(config.read) + elsewhere + "\n");
    return CHECK_GAME_ALL_WELL;
  }
  line.append(std::to_string(report->problems));
  line.append(report->problems == 1 ? " problem to fix (above)\n" : " problems to fix (above)\n");
  check_write(report->err, line);
  return CHECK_GAME_TO_FIX;
}

}  // namespace

int check_game(std::string_view dir_text, FILE *err) {
  Game_Report report{err};
  fs::path dir;
  if (!check_game_path(dir_text, &dir)) {
    check_write(err, "maneshade-check: no folder " + check_visible(dir_text) + ": the name is not valid UTF-8\n");
    return CHECK_GAME_TO_FIX;
  }
  std::string not_a_folder = check_game_not_a_folder(dir);
  if (!not_a_folder.empty()) {
    check_write(err, not_a_folder);
    return CHECK_GAME_TO_FIX;
  }
  dir = check_game_full_path(dir);
  Game_Found found;
  std::error_code why;
  if (!check_game_walk(dir, &found, &why)) {
    check_write(err, "maneshade-check: cannot look inside " + check_game_shown(dir) + ": " + check_visible(why.message()) + "\n");
    return CHECK_GAME_TO_FIX;
  }

  Game_Modules modules = check_game_find_modules(found, dir);
  const Game_Pe *kept = check_game_kept(modules, found, dir);
  const fs::path *settings = kept && kept->path.parent_path() != dir && !check_game_settings_in(found, dir, dir)
                                 ? check_game_settings_in(found, kept->path.parent_path(), dir)
                                 : nullptr;
  fs::path module_folder = kept ? kept->path.parent_path() : dir;
  Game_Settings_Search search = check_game_search_settings(found, dir, module_folder);
  bool reads = check_game_settings_in(found, dir, dir) || (module_folder != dir && check_game_settings_in(found, module_folder, dir));
  if (!reads) search.chosen = check_game_choose_settings(search.files);
  check_game_module(&report, modules, dir, kept, settings, search.chosen ? &search.chosen->path : nullptr);
  // The module whose imports the host must satisfy: the one the loader loads, else the copy named
  // .dll, which will be that module once renamed.
  const Game_Pe *primary = kept && kept->usable() ? kept : nullptr;
  const Game_Pe *module = primary;
  for (const Game_Pe &pe : modules.named_dll) {
    if (!module && pe.usable()) module = &pe;
  }
  check_game_copies_below(&report, found, GAME_MODULE, kept ? &kept->path : nullptr, dir, {});
  Game_Pe host = check_game_host(&report, found, dir);
  if (module && host.usable()) {
    check_game_imports(&report, module->dll.file, module->path, std::move(host.dll.file), host.path, found, dir);
  }
  // Beside the module the loader loads; a copy too damaged to load is where it will be once replaced.
  Game_Config config = check_game_config(&report, found, dir, kept, search);
  std::vector<const Game_Pe *> others;  // other copies that a loader loads
  for (const Game_Pe &pe : modules.loaded) {
    if (pe.usable() && &pe != primary) others.push_back(&pe);
  }
  check_game_copies_below(&report, found, GAME_CONFIG, config.read.empty() ? nullptr : &config.read, config.target,
                          config.said, others, search.chosen ? &search.chosen->path : nullptr);
  check_game_search_notes(&report, found, dir);
  return check_game_verdict(&report, dir, primary, config);
}
