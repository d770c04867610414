// The check of a game folder; see check_game.h. The module's and the host's tables come from the PE
// reader, ManeShade.ini goes to check_file; nothing in the folder is changed, run or loaded.
#include "tools/check/check_game.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "runtime/arena.h"
#include "runtime/names.h"
#include "src/config/messages.h"
#include "tools/check/check.h"
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

// What the look at the folder found.
struct Game_Found {
  std::vector<fs::path> in_dir[GAME_FILE_COUNT];  // names equal but for ASCII case: Windows finds any
  std::vector<fs::path> below[GAME_FILE_COUNT];
  size_t unreadable_folders = 0;
  fs::path first_unreadable;
  std::error_code first_unreadable_why;
  bool cut_short = false;
};

struct Game_Report {
  FILE *err;
  int problems = 0;
};

enum class Game_Verdict { ok, problem, note };

// A module or host file's table, when it could be read.
struct Game_Pe {
  bool usable = false;  // read, and a PE32+ x86-64 DLL
  Pe_File file{};
};

// A read's heap bytes and scratch, released on every way out.
struct Game_Read {
  Arena scratch{};
  File_Bytes bytes{};

  Game_Read() = default;
  Game_Read(const Game_Read &) = delete;
  Game_Read &operator=(const Game_Read &) = delete;
  ~Game_Read() {
    platform_free_file(&bytes);
    arena_destroy(&scratch);
  }
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

void check_game_match(Game_Found *found, const fs::path &path, int depth) {
  std::string name = check_game_utf8(path.filename());
  for (int i = 0; i < GAME_FILE_COUNT; i++) {
    if (!pe_dll_name_equal(name, CHECK_GAME_FILES[i])) continue;
    if (depth == 0) found->in_dir[i].push_back(path);
    if (depth > 0 && CHECK_GAME_SEARCH_BELOW[i]) found->below[i].push_back(path);
  }
}

// A folder to look into: not a link to one (where the library tells them apart), so that a link
// loop is not followed.
bool check_game_descends(const fs::directory_entry &entry) {
  std::error_code ignored;
  return entry.symlink_status(ignored).type() == fs::file_type::directory;
}

// Whether `folder` is one of the folders above it under another name, which would make the walk go
// round. Not every standard library tells a link from a folder (mingw-w64's takes links and
// junctions for folders), so the walk also compares each folder with those above it.
bool check_game_loops(const fs::path &folder, int depth) {
  fs::path above = folder.parent_path();
  for (int i = 0; i < depth; i++, above = above.parent_path()) {
    std::error_code ec;
    if (fs::equivalent(folder, above, ec) && !ec) return true;
  }
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
    if (check_game_loops(folder, depth)) continue;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      if (++entries > CHECK_GAME_MAX_ENTRIES) {
        found->cut_short = true;
        return true;
      }
      check_game_match(found, it->path(), depth);
      if (depth < CHECK_GAME_MAX_DEPTH && check_game_descends(*it)) pending.emplace_back(it->path(), depth + 1);
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

// Copies below DIR: misplaced when DIR lacks the file, stray when it has one.
void check_game_copies_below(Game_Report *report, const Game_Found &found, Game_File file, const fs::path &dir) {
  std::string name(CHECK_GAME_FILES[file]);
  std::vector<fs::path> copies = found.below[file];
  std::sort(copies.begin(), copies.end());
  bool in_dir = !found.in_dir[file].empty();
  for (const fs::path &path : copies) {
    if (in_dir) {
      check_game_say_at(report, path, Game_Verdict::problem,
                        "another copy of " + name + ", in a subfolder: the game uses the one in " + check_game_shown(dir) +
                            ", and an ASI loader that also looks in subfolders (some look in scripts or plugins) would load "
                            "it twice: delete this copy");
    } else {
      check_game_say_at(report, path, Game_Verdict::note,
                        "a copy of " + name + " in a subfolder, where an ASI loader does not look (some look in scripts or "
                            "plugins too): move it to " + check_game_shown(dir));
    }
  }
}

// Reads the PE file at `path` and says what is wrong with it; `fix` ends each problem line.
Game_Pe check_game_read_pe(Game_Report *report, const fs::path &path, std::string_view fix) {
  Game_Pe pe;
  Game_Read read;
  Result<File_Bytes> bytes = platform_read_file(&read.scratch, check_game_utf8(path), CHECK_GAME_MAX_FILE_BYTES);
  if (!bytes.ok() && bytes.status().os_error == OS_TOO_LARGE) {
    check_game_say_at(report, path, Game_Verdict::problem,
                      "larger than 256 MiB, far larger than any DLL: not the right file: " + std::string(fix));
    return pe;
  }
  if (!bytes.ok()) {
    Os_Error why = bytes.status().os_error;
    check_game_say_at(report, path, Game_Verdict::problem,
                      std::string("cannot read it: ") + check_reason(why) + " (" + os_error_name(why) + ")");
    return pe;
  }
  read.bytes = bytes.value();
  const auto *data = reinterpret_cast<const uint8_t *>(read.bytes.data);
  Pe_Read table = pe_read(std::span<const uint8_t>(data, read.bytes.size), Pe_Layout::file);
  if (table.problem != Pe_Problem::none) {
    check_game_say_at(report, path, Game_Verdict::problem,
                      std::string("not a usable DLL: ") + pe_problem_text(table.problem) +
                          "; Windows refuses it (error 193): " + std::string(fix));
    return pe;
  }
  pe.file = std::move(table.file);
  pe.usable = pe_is_x64_dll(pe.file);
  if (!pe.usable) {
    check_game_say_at(report, path, Game_Verdict::problem,
                      "it is " + pe_kind_text(pe.file) +
                          ", not a 64-bit (x86-64) DLL; a 64-bit game cannot load it (error 193): " + std::string(fix));
  }
  return pe;
}

Game_Pe check_game_module(Game_Report *report, const Game_Found &found, const fs::path &dir) {
  const fs::path *path = check_game_pick(found, GAME_MODULE);
  if (!path) {
    check_game_say_at(report, dir / MODULE_FILE_NAME, Game_Verdict::problem,
                      "missing: copy ManeShade.asi from the release ZIP into the game folder");
    return {};
  }
  check_game_case_twins(report, found, GAME_MODULE, *path);
  return check_game_read_pe(report, *path, "copy ManeShade.asi again from the release ZIP");
}

Game_Pe check_game_host(Game_Report *report, const Game_Found &found, const fs::path &dir) {
  const fs::path *path = check_game_pick(found, GAME_HOST);
  if (!path) {
    check_game_say_at(report, dir / HOST_FILE_NAME, Game_Verdict::problem,
                      "missing: install the 64-bit script-hook host library in the game folder; without it Windows "
                      "refuses ManeShade.asi (error 126)");
    return {};
  }
  check_game_case_twins(report, found, GAME_HOST, *path);
  Game_Pe host = check_game_read_pe(report, *path, "install the 64-bit ScriptHookVanta.dll again");
  if (host.usable && pe_find_export(host.file, CHECK_GAME_STANDIN_MARKER)) {
    check_game_say_at(report, *path, Game_Verdict::problem,
                      "this is Mane Shade's development stand-in (it exports standin_run_frame), not the real host "
                      "library: the game needs the real ScriptHookVanta.dll");
  }
  return host;
}

// The loader's view with only the host to bind: what the module imports from it resolves against
// the host's export table, as Windows resolves it.
class Game_Host_Source : public Pe_Dll_Source {
 public:
  explicit Game_Host_Source(const Pe_File &host) {
    host_.state = Pe_Dll_State::found;
    host_.file = host;
  }
  const Pe_Dll &bind(std::string_view) override { return host_; }

 private:
  Pe_Dll host_;
};

// Every function the module imports from the host, looked up as the loader looks it up.
void check_game_imports(Game_Report *report, const Pe_File &module, const fs::path &module_path, const Pe_File &host,
                        const fs::path &host_path) {
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
  Game_Host_Source source(host);
  std::vector<Pe_Unresolved> lacking = pe_unresolved_imports(from_host, source);
  for (const Pe_Unresolved &u : lacking) {
    std::string name = u.import.starts_with('#') ? u.import : check_game_function_text(u.import);
    check_game_say_at(report, host_path, Game_Verdict::problem,
                      "lacks " + name + ", which ManeShade.asi imports; Windows refuses the module (error " +
                          std::to_string(u.error) + "): install the current ScriptHookVanta.dll");
  }
  if (lacking.empty()) {
    check_game_say_at(report, host_path, Game_Verdict::ok,
                      "exports all " + std::to_string(imported) + " functions that ManeShade.asi imports from it");
  }
}

void check_game_config(Game_Report *report, const Game_Found &found, const fs::path &dir) {
  const fs::path *path = check_game_pick(found, GAME_CONFIG);
  if (!path) {
    check_game_say_at(report, dir / CONFIG_FILE_NAME, Game_Verdict::problem,
                      std::string("missing: copy ManeShade.ini from the release ZIP into the game folder; without it "
                                  "the game shows \"") +
                          std::string(MESSAGE_LINE_PREFIX) + " " + MESSAGE_FAILED_TO_OPEN + "\"");
    return;
  }
  check_game_case_twins(report, found, GAME_CONFIG, *path);
  // check_file writes its usual report; with dump off it writes nothing to `out`.
  if (check_file(check_game_utf8(*path), /*dump=*/false, report->err, report->err) != CHECK_EXIT_INSTALLED) {
    report->problems++;
  }
}

// What the search below DIR could not cover: not a problem of the folder, but said.
void check_game_search_notes(Game_Report *report, const Game_Found &found, const fs::path &dir) {
  if (found.unreadable_folders > 0) {
    check_game_say_at(report, found.first_unreadable, Game_Verdict::note,
                      "cannot look inside (" + check_visible(found.first_unreadable_why.message()) + "); " +
                          std::to_string(found.unreadable_folders) +
                          " folder(s) below the game folder were skipped in the search for stray copies");
  }
  if (found.cut_short) {
    check_game_say_at(report, dir, Game_Verdict::note,
                      "the search for stray copies stopped after " + std::to_string(CHECK_GAME_MAX_ENTRIES) + " entries");
  }
}

// Why `dir` is not a folder to check, as the one line of the run; empty when it is one.
std::string check_game_not_a_folder(const fs::path &dir) {
  std::error_code ec;
  fs::file_status status = fs::status(dir, ec);
  std::string shown = check_game_shown(dir);
  if (status.type() == fs::file_type::not_found) {
    return "maneshade-check: no folder " + shown + ": give the game's folder (the folder of its .exe)\n";
  }
  if (ec) return "maneshade-check: cannot look at " + shown + ": " + check_visible(ec.message()) + "\n";
  if (status.type() != fs::file_type::directory) {
    return "maneshade-check: " + shown + " is not a folder: give the game's folder (the folder of its .exe)\n";
  }
  return {};
}

int check_game_verdict(Game_Report *report, const fs::path &dir) {
  std::string line = "maneshade-check: " + check_game_shown(dir) + ": ";
  if (report->problems == 0) {
    check_write(report->err, line + "all is well: the game should load Mane Shade and use ManeShade.ini\n");
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
  Game_Found found;
  std::error_code why;
  if (!check_game_walk(dir, &found, &why)) {
    check_write(err, "maneshade-check: cannot look inside " + check_game_shown(dir) + ": " + check_visible(why.message()) + "\n");
    return CHECK_GAME_TO_FIX;
  }

  Game_Pe module = check_game_module(&report, found, dir);
  const fs::path *module_path = check_game_pick(found, GAME_MODULE);
  if (module.usable) check_game_say_at(&report, *module_path, Game_Verdict::ok, "a 64-bit (x86-64) DLL");
  check_game_copies_below(&report, found, GAME_MODULE, dir);
  Game_Pe host = check_game_host(&report, found, dir);
  if (module.usable && host.usable) {
    check_game_imports(&report, module.file, *module_path, host.file, *check_game_pick(found, GAME_HOST));
  }
  check_game_config(&report, found, dir);
  check_game_copies_below(&report, found, GAME_CONFIG, dir);
  check_game_search_notes(&report, found, dir);
  return check_game_verdict(&report, dir);
}
