// maneshade-check --game on fake game folders in a temporary folder, with a module and host libraries
// built in memory: each row is one fault a player's folder may have, and what the check must say.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "sample_config.h"
#include "tests/pe/pe_builder.h"
#include "tests/check/check_capture.h"
#include "tools/check/check_game.h"

namespace fs = std::filesystem;

namespace {

// What ManeShade.asi imports from the host, under the names the real host exports.
const std::vector<std::string> MODULE_IMPORTS = {
    "?scriptRegister@@YAXPEAUHINSTANCE__@@P6AXXZ@Z", "?scriptUnregister@@YAXPEAUHINSTANCE__@@@Z",
    "?scriptWait@@YAXK@Z", "?nativeInit@@YAX_K@Z", "?nativePush64@@YAX_K@Z", "?nativeCall@@YAPEA_KXZ"};

std::string bytes_of(const Pe_Builder &plan) {
  std::vector<uint8_t> b = pe_build(plan).bytes;
  return std::string(b.begin(), b.end());
}

Pe_Builder module_spec() {
  Pe_Builder plan;
  plan.export_name = "ManeShade.asi";
  plan.imports = {{"ScriptHookVanta.dll", MODULE_IMPORTS}, {"KERNEL32.dll", {"GetSystemTimeAsFileTime"}}};
  return plan;
}

// A host that exports `exports` (kept in byte order, as a linker writes the name table).
Pe_Builder host_spec(std::vector<std::string> exports) {
  Pe_Builder plan;
  plan.export_name = "ScriptHookVanta.dll";
  std::sort(exports.begin(), exports.end());
  plan.exports = std::move(exports);
  return plan;
}

std::vector<std::string> without(std::vector<std::string> names, const std::string &name) {
  std::erase(names, name);
  return names;
}

std::vector<std::string> with(std::vector<std::string> names, const std::string &name) {
  names.push_back(name);
  return names;
}

const std::string MODULE = bytes_of(module_spec());
const std::string HOST = bytes_of(host_spec(with(MODULE_IMPORTS, "?getGameVersion@@YA?AW4eGameVersion@@XZ")));
const std::string INI(SAMPLE_CONFIG);

std::string x86_host() {
  Pe_Builder plan = host_spec(MODULE_IMPORTS);
  plan.machine = 0x014C;
  plan.magic = 0x10B;
  return bytes_of(plan);
}

// A host whose six functions forward to `dll` (the same names there).
std::string forwarding_host(const std::string &dll) {
  Pe_Builder plan = host_spec(MODULE_IMPORTS);
  for (const std::string &name : MODULE_IMPORTS) plan.forwards[name] = dll + "." + name;
  return bytes_of(plan);
}

// A crafted module: 4,095 import descriptors that share one lookup table of 65,535 names.
std::string shared_lookup_module() {
  Pe_Builder plan = module_spec();
  plan.imports = {{"ScriptHookVanta.dll", std::vector<std::string>(65535, MODULE_IMPORTS[0]), 4095}};
  return bytes_of(plan);
}

std::string module_without_host_imports() {
  Pe_Builder plan = module_spec();
  plan.imports.erase(plan.imports.begin());
  return bytes_of(plan);
}

// The start of a Windows shortcut (.lnk): its header's size and class, and nothing of use after.
const std::string SHORTCUT = std::string("\x4C\0\0\0\x01\x14\x02\0", 8) + std::string(68, '\0');

// A ZIP archive whose central directory names `name`: what the check reads of one.
std::string zip_holding(const std::string &name) {
  std::string entry = std::string("PK\x01\x02", 4) + std::string(24, '\0');
  entry += static_cast<char>(name.size());
  entry += std::string(17, '\0') + name;
  std::string end = std::string("PK\x05\x06", 4) + std::string(18, '\0');
  return std::string("PK\x03\x04", 4) + std::string(26, '\0') + entry + end;
}

// ASCII `text` as UTF-32, little endian, with its mark; and as UTF-16, little endian, without one.
std::string utf32_le(const std::string &text) {
  std::string out("\xFF\xFE\0\0", 4);
  for (char c : text) out += std::string{c, '\0', '\0', '\0'};
  return out;
}

std::string utf16_le(const std::string &text) {
  std::string out;
  for (char c : text) out += std::string{c, '\0'};
  return out;
}

std::string utf8_of(const fs::path &path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// A file of the folder: its path below DIR ('/' between names) and its bytes; a path ending in '/'
// is a folder.
struct Entry {
  std::string path;
  std::string bytes;
};

const std::vector<Entry> WELL = {{"ManeShade.asi", MODULE}, {"ScriptHookVanta.dll", HOST}, {"ManeShade.ini", INI}};

std::vector<Entry> well_but(std::vector<Entry> changes, const std::string &remove = "") {
  std::vector<Entry> entries;
  for (const Entry &e : WELL) {
    bool replaced = e.path == remove;
    for (const Entry &c : changes) replaced = replaced || c.path == e.path || c.path == e.path + "/";
    if (!replaced) entries.push_back(e);
  }
  entries.insert(entries.end(), changes.begin(), changes.end());
  return entries;
}

struct Outcome {
  int status;
  std::string err;
};

class CheckGame : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             (std::string("maneshade_check_game_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::create_directories(folder);
  }

  void TearDown() override {
    std::error_code ignored;
    fs::permissions(folder / "game" / "locked", fs::perms::owner_all, ignored);
    fs::remove_all(folder, ignored);
  }

  // Makes `folder/game` hold exactly `entries`.
  fs::path make_game(const std::vector<Entry> &entries) {
    fs::path game = folder / "game";
    std::error_code ignored;
    fs::remove_all(game, ignored);
    fs::create_directories(game);
    for (const Entry &e : entries) {
      fs::path path = game / fs::path(std::u8string(e.path.begin(), e.path.end()));
      if (e.path.back() == '/') {
        fs::create_directories(path);
        continue;
      }
      fs::create_directories(path.parent_path());
      std::ofstream file(path, std::ios::binary | std::ios::trunc);
      file.write(e.bytes.data(), static_cast<std::streamsize>(e.bytes.size()));
    }
    return game;
  }

  Outcome run(const fs::path &dir) {
    FILE *err = std::tmpfile();
    EXPECT_NE(err, nullptr);
    if (!err) return {-1, {}};
    Outcome outcome{check_game(utf8_of(dir), err), check_capture_read(err)};
    std::fclose(err);
    return outcome;
  }

  fs::path folder;
};

size_t count_of(const std::string &text, const std::string &part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) count++;
  return count;
}

TEST_F(CheckGame, SaysWhatIsWrongWithTheFolder) {
  struct Case {
    const char *fault;
    std::vector<Entry> entries;
    int status;
    std::vector<std::string> said;
    std::vector<std::string> not_said;
  };
  const std::string truncated_host = HOST.substr(0, 200);
  const Case cases[] = {
      {"all well: nothing to fix", WELL, 0,
       {"ManeShade.asi: ok: a 64-bit (x86-64) DLL", "ScriptHookVanta.dll: ok: exports all 6 functions",
        "ManeShade.ini: ok: the game would use this file", "all is well"},
       {"problem:", "note:"}},
      {"names in other letter case: Windows finds them", {{"maneshade.ASI", MODULE}, {"SCRIPTHOOKVANTA.dll", HOST}, {"maneshade.ini", INI}}, 0,
       {"maneshade.ASI: ok", "SCRIPTHOOKVANTA.dll: ok", "all is well"}, {"missing"}},
      {"module missing", well_but({}, "ManeShade.asi"), 1, {"ManeShade.asi: problem: missing", "1 problem to fix"}, {}},
      {"host missing", well_but({}, "ScriptHookVanta.dll"), 1,
       {"ScriptHookVanta.dll: problem: missing", "error 126"}, {"exports all"}},
      {"ini missing", well_but({}, "ManeShade.ini"), 1,
       {"ManeShade.ini: problem: missing", "\"Mane Shade: failed to open config file\""}, {}},
      {"ini the game would refuse", well_but({{"ManeShade.ini", "[corvin]\nenabled = yes\n"}}), 1,
       {"the game would refuse this file", "1 problem to fix"}, {"all is well"}},
      {"32-bit host", well_but({{"ScriptHookVanta.dll", x86_host()}}), 1,
       {"ScriptHookVanta.dll: problem: it is a 32-bit (x86) DLL", "error 193"}, {"exports all"}},
      {"truncated host", well_but({{"ScriptHookVanta.dll", truncated_host}}), 1,
       {"ScriptHookVanta.dll: problem: not a usable DLL", "truncated", "error 193"}, {"exports all"}},
      {"empty host", well_but({{"ScriptHookVanta.dll", ""}}), 1, {"ScriptHookVanta.dll: problem: not a usable DLL"}, {}},
      {"host lacks one import", well_but({{"ScriptHookVanta.dll", bytes_of(host_spec(without(MODULE_IMPORTS, "?scriptWait@@YAXK@Z")))}}), 1,
       {"ScriptHookVanta.dll: problem: lacks scriptWait (?scriptWait@@YAXK@Z), which ManeShade.asi imports", "error 127",
        "1 problem to fix"},
       {"nativeCall", "exports all"}},
      {"the stand-in host got a problem and then an ok line",
       well_but({{"ScriptHookVanta.dll", bytes_of(host_spec(with(with(MODULE_IMPORTS, "standin_run_frame"), "standin_set_native_handler")))}}), 1,
       {"ScriptHookVanta.dll: problem: this is Mane Shade's development stand-in", "1 problem to fix"},
       {"ScriptHookVanta.dll: ok"}},
      {"a renamed copy, which a loader loads all the same, was called missing",
       well_but({{"MyHair.asi", MODULE}}, "ManeShade.asi"), 0,
       {"MyHair.asi: ok: Mane Shade's module under another name", "exports all 6 functions", "all is well"}, {"missing"}},
      {"two copies that both load went unsaid", well_but({{"ManeShade (1).asi", MODULE}}), 1,
       {"ManeShade.asi: ok: a 64-bit", "ManeShade (1).asi: problem: another copy of Mane Shade's module",
        "loaded twice: delete this copy", "1 problem to fix"},
       {}},
      {"another mod's .asi files are none of the check's business",
       well_but({{"OtherMod.asi", bytes_of(host_spec({"f"}))}, {"Notes.asi", "text"}}), 0, {"all is well"},
       {"OtherMod", "Notes"}},
      {"the module named .dll got no hint", well_but({{"ManeShade.dll", MODULE}}, "ManeShade.asi"), 1,
       {"ManeShade.dll: problem: Mane Shade's module, named .dll", "rename it to .asi", "exports all 6 functions",
        "1 problem to fix"},
       {"missing"}},
      {"a stray .dll copy beside the module", well_but({{"ManeShade.dll", MODULE}}), 0,
       {"ManeShade.dll: note: a copy of Mane Shade's module named .dll", "all is well"}, {"problem:"}},
      {"ManeShade.ini.txt was called missing", well_but({{"ManeShade.ini.txt", INI}}, "ManeShade.ini"), 1,
       {"ManeShade.ini.txt: problem: Windows hides the .txt: rename the file to ManeShade.ini", "1 problem to fix"},
       {"missing"}},
      {"a ManeShade.ini.bak beside the real one", well_but({{"ManeShade.ini.bak", INI}}), 0,
       {"ManeShade.ini.bak: note: not the file the game reads", "all is well"}, {"problem:"}},
      {"module is a text file", well_but({{"ManeShade.asi", "[corvin]\n"}}), 1,
       {"ManeShade.asi: problem: not a usable DLL: not a Windows program or DLL"}, {"exports all"}},
      {"module is a folder", well_but({{"ManeShade.asi/", ""}}), 1, {"ManeShade.asi: problem: cannot read it: it is a folder"}, {}},
      {"module that imports nothing from the host", well_but({{"ManeShade.asi", module_without_host_imports()}}), 1,
       {"ManeShade.asi: problem: imports nothing from ScriptHookVanta.dll"}, {"exports all"}},
      {"second copy of the module in a subfolder", well_but({{"ManeShade-1.0/ManeShade.asi", MODULE}}), 1,
       {"ManeShade.asi: ok", "ManeShade.asi: problem: another copy of ManeShade.asi, in a subfolder", "ManeShade-1.0",
        "1 problem to fix"},
       {}},
      {"the only copy of the module in a subfolder", well_but({{"mods/old/ManeShade.asi", MODULE}}, "ManeShade.asi"), 1,
       {"ManeShade.asi: problem: missing", "ManeShade.asi: note: a copy of ManeShade.asi in a subfolder", "move it to",
        "1 problem to fix"},
       {}},
      {"a backup of the ini in a subfolder: no loader loads an ini", well_but({{"ManeShade/ManeShade.ini", INI}}), 0,
       {"ManeShade.ini: note: another copy of ManeShade.ini, in a subfolder: the game reads only", "all is well"},
       {"problem:", "twice"}},
      {"module cut short by an interrupted copy", well_but({{"ManeShade.asi", MODULE.substr(0, MODULE.size() - 512)}}), 1,
       {"ManeShade.asi: problem: damaged: the file ends before the data its headers describe", "error 193",
        "copy ManeShade.asi again"},
       {"ok: a 64-bit"}},
      {"module crafted to stall a reader: descriptors share one long lookup table",
       well_but({{"ManeShade.asi", shared_lookup_module()}}), 1,
       {"ManeShade.asi: problem: not a usable DLL: a table of the file claims more entries than any real one"},
       {"ok: a 64-bit", "error 193"}},
      {"host forwards to a DLL of the game folder that has the functions",
       well_but({{"ScriptHookVanta.dll", forwarding_host("Real")}, {"REAL.dll", bytes_of(host_spec(MODULE_IMPORTS))}}),
       0, {"ScriptHookVanta.dll: ok: exports all 6 functions", "all is well"}, {"problem:", "note:"}},
      {"host forwards to a DLL of the game folder that lacks a function",
       well_but({{"ScriptHookVanta.dll", forwarding_host("Real")},
                 {"Real.dll", bytes_of(host_spec(without(MODULE_IMPORTS, "?scriptWait@@YAXK@Z")))}}),
       1,
       {"ScriptHookVanta.dll: problem: forwards scriptWait (?scriptWait@@YAXK@Z) to Real.?scriptWait@@YAXK@Z, but "
        "Real.dll does not export ?scriptWait@@YAXK@Z (error 127); Windows refuses ManeShade.asi",
        "1 problem to fix"},
       {"exports all"}},
      {"host forwards to a DLL of the game folder that is 32-bit",
       well_but({{"ScriptHookVanta.dll", forwarding_host("Real")}, {"Real.dll", x86_host()}}), 1,
       {"but Real.dll is a 32-bit (x86) DLL, which a 64-bit game cannot load (error 193)"}, {"exports all"}},
      // The system folder lacks it (Windows), or cannot be looked in (elsewhere): not all is well.
      {"host forwards to a DLL that is nowhere", well_but({{"ScriptHookVanta.dll", forwarding_host("Gone")}}), 1,
       {"ScriptHookVanta.dll: problem: forwards scriptWait (?scriptWait@@YAXK@Z) to Gone.?scriptWait@@YAXK@Z, but the "
        "DLL Gone.dll cannot be"},
       {"exports all", "all is well"}},
      // The game reads ManeShade.ini of the folder it runs in (DIR), else the one beside the module it loaded.
      {"a module and its ini in scripts: the ini called missing, and scripts a place the game does not look",
       well_but({{"scripts/ManeShade.asi", MODULE}, {"scripts/ManeShade.ini", INI}}, "ManeShade.asi"), 0,
       {"ManeShade.asi: ok: a 64-bit (x86-64) DLL, in the subfolder scripts", "exports all 6 functions",
        "ManeShade.ini: ok: the game would use this file", "all is well: the game should load Mane Shade (with an ASI "
        "loader that looks in scripts)"},
       {"missing", "where the game does not look", "problem:"}},
      {"a module in plugins reads the game folder's ini first",
       well_but({{"Plugins/MyHair.asi", MODULE}}, "ManeShade.asi"), 0,
       {"MyHair.asi: ok: Mane Shade's module under another name", "in the subfolder Plugins", "all is well"},
       {"missing", "problem:"}},
      {"the ini beside a module in scripts, with one in the game folder too",
       well_but({{"scripts/ManeShade.asi", MODULE}, {"scripts/ManeShade.ini", INI}}, "ManeShade.asi"), 0,
       {"ManeShade.ini: note: beside ", "but the game reads ", "first: this one only when it runs in a folder without a "
        "ManeShade.ini", "all is well"},
       {"where the game does not look", "problem:"}},
      {"a module in scripts and no ini anywhere", {{"scripts/ManeShade.asi", MODULE}, {"ScriptHookVanta.dll", HOST}}, 1,
       {"ManeShade.ini: problem: missing: the game folder holds no ManeShade.ini, so the game looks beside",
        "1 problem to fix"},
       {}},
      {"the module in the game folder and in scripts", well_but({{"scripts/ManeShade.asi", MODULE}}), 1,
       {"ManeShade.asi: problem: another copy of Mane Shade's module, besides", "loads both, so Mane Shade would be "
        "loaded twice", "1 problem to fix"},
       {"in the subfolder scripts"}},
      {"a folder named ManeShade.ini: the settings saved as .txt were to be deleted",
       well_but({{"ManeShade.ini/", ""}, {"ManeShade.ini.txt", INI}}), 1,
       {"ManeShade.ini: problem: a folder, not a file: the game looks for a file of this name and finds none, so it "
        "shows \"Mane Shade: failed to open config file\"",
        "ManeShade.ini.txt: problem: Windows hides the .txt: once the ManeShade.ini beside it that is not a file is out "
        "of the way, rename this file to ManeShade.ini"},
       {"delete this one", "edit that one", "the game would use this file"}},
      {"a folder named ManeShade.ini in the game folder, and the module and its ini in scripts",
       well_but({{"ManeShade.ini/", ""}, {"scripts/ManeShade.asi", MODULE}, {"scripts/ManeShade.ini", INI}},
                "ManeShade.asi"),
       0,
       {"ManeShade.ini: note: a folder, not a file: the game finds no settings file here, and looks for the ManeShade.ini "
        "beside", "ManeShade.ini: ok: the game would use this file", "all is well"},
       {"problem:"}},
      {"a damaged copy beside a whole one in scripts was to be copied again, and then both load",
       well_but({{"ManeShade.asi", MODULE.substr(0, MODULE.size() - 512)}, {"scripts/ManeShade.asi", MODULE},
                 {"scripts/ManeShade.ini", INI}},
                "ManeShade.ini"),
       1,
       {"ManeShade.asi: problem: damaged", "delete this file: ", "is a whole copy, which reads ",
        "ManeShade.ini: ok: the game would use this file", "1 problem to fix"},
       {"copy ManeShade.asi again", "missing", "release ZIP"}},
      // Kept, the copy in scripts loads with no loader that looks in the game folder alone.
      {"two whole copies and the settings beside the one in scripts: the release's ini was to be copied, then the "
       "game folder's copy deleted",
       well_but({{"scripts/ManeShade.asi", MODULE}, {"scripts/ManeShade.ini", INI}}, "ManeShade.ini"), 1,
       {"ManeShade.asi: ok: a 64-bit (x86-64) DLL\n", "ManeShade.asi: problem: another copy of Mane Shade's module, "
        "besides", "delete this copy, and keep ", "in the game folder, where every ASI loader looks; the settings file "
        "beside this copy, ", "ManeShade.ini: problem: missing: move ", "into the game folder, where the game reads it",
        "2 problems to fix"},
       {"release ZIP", "in the subfolder scripts"}},
      {"a renamed copy in the game folder, and the module and the settings in scripts: the copy that every loader "
       "loads was to be deleted",
       {{"MyHair.asi", MODULE}, {"ScriptHookVanta.dll", HOST}, {"scripts/ManeShade.asi", MODULE},
        {"scripts/ManeShade.ini", INI}},
       1, {"MyHair.asi: ok: Mane Shade's module under another name", "missing: move ", "2 problems to fix"},
       {"in the subfolder scripts", "release ZIP"}},
      {"a folder named ManeShade.ini, and the settings beside a second copy in scripts: the game folder's copy was to "
       "be deleted",
       well_but({{"ManeShade.ini/", ""}, {"scripts/ManeShade.asi", MODULE}, {"scripts/ManeShade.ini", INI}}), 1,
       {"ManeShade.asi: ok: a 64-bit (x86-64) DLL\n", "ManeShade.ini: problem: a folder, not a file",
        "move or rename this, and then move ", "into the game folder, where the game reads it", "2 problems to fix"},
       {"in the subfolder scripts", "put the settings file"}},
      {"the settings saved as .txt in scripts went unsaid, and the release's were to be copied",
       well_but({{"scripts/ManeShade.ini.txt", INI}}, "ManeShade.ini"), 1,
       {"ManeShade.ini: problem: missing: move ", "ManeShade.ini.txt (Windows hides the .txt, so Explorer names it "
        "ManeShade.ini) into the game folder, named ManeShade.ini", "1 problem to fix"},
       {"release ZIP"}},
      {"... in plugins, beside a second copy there: that copy was to be deleted and the release's ini copied",
       well_but({{"plugins/ManeShade.asi", MODULE}, {"plugins/ManeShade.ini.txt", INI}}, "ManeShade.ini"), 1,
       {"ManeShade.asi: ok: a 64-bit (x86-64) DLL\n", "the settings file beside this copy, ",
        "into the game folder, named ManeShade.ini", "2 problems to fix"},
       {"release ZIP"}},
      {"... and once the release's ini was copied beside them, they were never named",
       well_but({{"scripts/ManeShade.ini.txt", INI}}), 0,
       {"ManeShade.ini.txt: note: settings under another name (Windows hides the .txt", "not the file the game reads",
        "all is well"},
       {"problem:"}},
      {"the module in scripts and the settings in the game folder alone: a game started elsewhere finds none",
       well_but({{"scripts/ManeShade.asi", MODULE}}, "ManeShade.asi"), 0,
       {"ManeShade.ini: note: none beside ", "a game started in another folder", "put the module in the game folder",
        "it does not find this file: see the note above"},
       {"problem:", "it reads a ManeShade.ini of that folder first"}},
      {"a text file named ManeShade.dll beside the module was called a copy of it",
       well_but({{"ManeShade.dll", "not a program\n"}}), 0, {"all is well"}, {"ManeShade.dll"}},
      {"another program's DLL named ManeShade.dll was called the module, to be renamed .asi",
       well_but({{"ManeShade.dll", HOST}}, "ManeShade.asi"), 1, {"ManeShade.asi: problem: missing"}, {"ManeShade.dll"}},
      {"a fragment saved as .log beside the settings saved as .txt: the fragment was to be renamed",
       well_but({{"ManeShade.ini.log", "[corvin]\n"}, {"ManeShade.ini.txt", INI}}, "ManeShade.ini"), 1,
       {"ManeShade.ini.txt: problem: Windows hides the .txt: rename the file to ManeShade.ini",
        "the game would use this one", "ManeShade.ini.log: note: another settings file under another name, which the "
        "game would refuse: rename ", "1 problem to fix"},
       {"ManeShade.ini.log: problem"}},
      {"a fragment, a file missing a key and a whole one: the fragment was to be renamed",
       well_but({{"ManeShade.ini.log", "[corvin]\n"}, {"ManeShade.ini.txt", INI.substr(0, INI.rfind("beard_tertiary"))},
                 {"ManeShade.ini.bak", INI}},
                "ManeShade.ini"),
       1, {"ManeShade.ini.bak: problem: not named ManeShade.ini: rename the file", "1 problem to fix"},
       {"ManeShade.ini.log: problem", "ManeShade.ini.txt: problem"}},
      {"the settings saved as .txt in UTF-32 were no text, and the release's to be copied",
       well_but({{"ManeShade.ini.txt", utf32_le(INI)}}, "ManeShade.ini"), 1,
       {"ManeShade.ini.txt: problem: your settings, saved as UTF-32 (little endian, with a byte-order mark), an "
        "encoding the game does not decode", "save it as UTF-8 (in Notepad: Save as, Encoding UTF-8), named ManeShade.ini"},
       {"release ZIP", "no text"}},
      {"... and in UTF-16 without a mark, in scripts",
       well_but({{"scripts/ManeShade.ini.txt", utf16_le(INI)}}, "ManeShade.ini"), 1,
       {"ManeShade.ini: problem: missing: your settings are in ", "saved as UTF-16 without a byte-order mark",
        "into the game folder, named ManeShade.ini"},
       {"release ZIP"}},
      {"copies in plugins and scripts, the settings in scripts: plugins' ini was called missing",
       {{"plugins/ManeShade.asi", MODULE}, {"scripts/ManeShade.asi", MODULE}, {"scripts/ManeShade.ini", INI},
        {"ScriptHookVanta.dll", HOST}},
       1, {"delete this copy, and keep ", "ManeShade.ini: ok: the game would use this file", "1 problem to fix"},
       {"missing", "release ZIP"}},
      {"the settings in scripts beside no module: the release's were to be copied beside them",
       {{"ManeShade.asi", MODULE}, {"ScriptHookVanta.dll", HOST}, {"scripts/ManeShade.ini", INI}}, 1,
       {"ManeShade.ini: problem: missing: move ", "into the game folder, where the game reads it", "1 problem to fix"},
       {"release ZIP", "note:"}},
      {"a shortcut and an archive named ManeShade.ini.*: renamed, the game reads them as text",
       well_but({{"ManeShade.ini.lnk", SHORTCUT}, {"ManeShade.ini.zip", zip_holding("ManeShade-1.0/ManeShade.ini")}},
                "ManeShade.ini"),
       1,
       {"ManeShade.ini.lnk: problem: a Windows shortcut, not a settings file (Windows never shows a shortcut's .lnk",
        "copy the settings file it leads to into ", "ManeShade.ini.zip: problem: a ZIP archive, not a settings file "
        "(Windows hides the .zip", "extract the ManeShade.ini it holds into ", "2 problems to fix"},
       {"rename", "missing"}},
      {"a backup beside the settings saved as .txt: both were to be renamed, and Windows said to hide .bak",
       well_but({{"ManeShade.ini.txt", INI}, {"ManeShade.ini.bak", INI}}, "ManeShade.ini"), 1,
       {"ManeShade.ini.txt: problem: Windows hides the .txt: rename the file",
        "ManeShade.ini.bak: note: another settings file under another name", "1 problem to fix"},
       {"hides the .bak"}},
      {"a host copy in a subfolder is another mod's business", well_but({{"tools/ScriptHookVanta.dll", HOST}}), 0, {"all is well"}, {"another copy"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.fault);
    Outcome outcome = run(make_game(c.entries));
    EXPECT_EQ(outcome.status, c.status) << outcome.err;
    for (const std::string &phrase : c.said) EXPECT_NE(outcome.err.find(phrase), std::string::npos) << phrase << "\n" << outcome.err;
    for (const std::string &phrase : c.not_said) EXPECT_EQ(outcome.err.find(phrase), std::string::npos) << phrase << "\n" << outcome.err;
  }
}

TEST_F(CheckGame, ADirThatIsNoFolderIsOneClearLine) {
#ifndef _WIN32
  fs::path pipe = folder / "pipe" / "ManeShade.ini";
  fs::create_directories(pipe.parent_path());
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
#endif
  struct Case {
    const char *fault;
    fs::path dir;
    std::string said;
  } cases[] = {
      {"DIR missing", folder / "no such game", "maneshade-check: no folder "},
      {"DIR is a file", make_game(WELL) / "ManeShade.ini",
       "ManeShade.ini is a file: --game wants the game's folder (the folder of its .exe), not a file; to check it, run: "
       "maneshade-check "},
      {"DIR names a file that is not there either", folder / "ManeShade.ini",
       "maneshade-check: no folder " + utf8_of(folder / "ManeShade.ini") +
           ": --game wants the game's folder (the folder of its .exe), not a file; to check a settings file, leave out --game"},
#ifndef _WIN32
      {"a pipe named ManeShade.ini was called a file to check", pipe,
       "maneshade-check: " + utf8_of(pipe) + " is a pipe, not a folder: give the game's folder (the folder of its .exe)"},
#endif
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.fault);
    Outcome outcome = run(c.dir);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find(c.said), std::string::npos) << outcome.err;
    EXPECT_EQ(count_of(outcome.err, "\n"), 1u) << outcome.err;
  }
}

// Every line names files and folders in full, whatever DIR was given as: "move it to ." says nothing.
TEST_F(CheckGame, LinesNameFullPaths) {
  fs::path game = make_game(well_but({{"mods/ManeShade.ini", INI}, {"old/ManeShade.asi", MODULE}}, "ManeShade.asi"));
  fs::path previous = fs::current_path();
  fs::current_path(game);
  FILE *err = std::tmpfile();
  ASSERT_NE(err, nullptr);
  check_game(".", err);
  std::string text = check_capture_read(err);
  std::fclose(err);
  fs::current_path(previous);
  std::string full = utf8_of(game);
  EXPECT_NE(text.find("the game reads only " + utf8_of(game / "ManeShade.ini") + "; edit that one"), std::string::npos) << text;
  EXPECT_NE(text.find("move it to " + full + "\n"), std::string::npos) << text;
  EXPECT_NE(text.find("maneshade-check: " + full + ": "), std::string::npos) << text;
  EXPECT_EQ(text.find("./"), std::string::npos) << text;
}

// A file of 300 MiB (sparse: nothing is written) is refused unread, not read into memory.
TEST_F(CheckGame, AHugeHostIsRefusedUnread) {
  fs::path game = make_game(WELL);
  std::error_code ec;
  fs::resize_file(game / "ScriptHookVanta.dll", 300ull << 20, ec);
  ASSERT_FALSE(ec) << ec.message();
  Outcome outcome = run(game);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("ScriptHookVanta.dll: problem: larger than 256 MiB"), std::string::npos) << outcome.err;
}

// A link from a subfolder back up to DIR: the search must end, and see each copy once.
TEST_F(CheckGame, ALinkLoopIsNotFollowed) {
  fs::path game = make_game(well_but({{"mods/ManeShade.asi", MODULE}}));
  std::error_code ec;
  fs::create_directory_symlink(game, game / "mods" / "loop", ec);
  if (ec) GTEST_SKIP() << "no directory links here: " << ec.message();
  Outcome outcome = run(game);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(count_of(outcome.err, "another copy of ManeShade.asi"), 1u) << outcome.err;
}

// A link or junction below DIR is never looked into, wherever it leads; one note says it is there.
TEST_F(CheckGame, LinksToFoldersAreNotFollowed) {
  struct Case {
    const char *fault;
    std::string link;  // below DIR
    std::string target;  // below the test's folder ("" for the folder itself)
  } cases[] = {
      {"a link to a shared folder outside the game folder, holding copies", "mods", "shared"},
      {"a link to the folder above the game folder", "up", ""},
      {"a link back up to the game folder itself", "mods/loop", "game"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.fault);
    fs::path game = make_game(well_but({{"mods/", ""}}));
    fs::create_directories(folder / "shared");
    std::ofstream(folder / "shared" / "ManeShade.asi", std::ios::binary) << MODULE;
    std::ofstream(folder / "shared" / "ManeShade.ini", std::ios::binary) << INI;
    std::error_code ec;
    fs::remove(game / c.link, ec);
    fs::create_directory_symlink(folder / c.target, game / c.link, ec);
    if (ec) GTEST_SKIP() << "no directory links here: " << ec.message();
    Outcome outcome = run(game);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    std::string name = fs::path(c.link).filename().string();
    EXPECT_NE(outcome.err.find(name + ": note: a link (or junction) to another folder: not looked into"), std::string::npos)
        << outcome.err;
    EXPECT_EQ(count_of(outcome.err, "another copy"), 0u) << outcome.err;
  }
}

TEST_F(CheckGame, AnUnreadableSubfolderIsSaidAndSkipped) {
  fs::path game = make_game(well_but({{"locked/ManeShade.asi", MODULE}}));
  std::error_code ec;
  fs::permissions(game / "locked", fs::perms::none, ec);
  std::error_code probe;
  fs::directory_iterator look(game / "locked", probe);
  if (ec || !probe) GTEST_SKIP() << "this user can read any folder, or permissions do not apply here";
  Outcome outcome = run(game);
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_NE(outcome.err.find("locked: note: cannot look inside"), std::string::npos) << outcome.err;
}

// Names on disk may hold control bytes; the report shows them escaped (Windows forbids them in names).
TEST_F(CheckGame, ControlBytesOfNamesAreEscaped) {
  std::error_code ec;
  fs::path game = make_game(WELL);
  fs::create_directories(game / "\x1b[2J", ec);
  if (ec) GTEST_SKIP() << "this file system refuses control bytes in names";
  std::ofstream(game / "\x1b[2J" / "ManeShade.asi", std::ios::binary) << MODULE;
  Outcome outcome = run(game);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("\\x1b[2J"), std::string::npos) << outcome.err;
  EXPECT_EQ(outcome.err.find('\x1b'), std::string::npos) << outcome.err;
}

}  // namespace
