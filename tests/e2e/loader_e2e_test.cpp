// The simulated game loads modules as strictly as Windows: a module whose imports do not resolve,
// or a file that is no x64 DLL, is refused with the error Windows would give, and the session goes
// on with the others. maneshade-check.exe --game decides the same faults alike. Also the built
// files' tables, read with the project's own PE reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"
#include "tests/pe/pe_builder.h"
#include "tools/pe/pe.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace {

std::string read_program_file(const std::wstring &name) {
  std::string out;
  read_whole(test_program_folder() + name, &out);
  return out;
}

Pe_File read_built(const std::wstring &name) {
  std::string bytes = read_program_file(name);
  Pe_Read read = pe_read(std::span(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()), Pe_Layout::file);
  EXPECT_EQ(read.problem, Pe_Problem::none) << read.detail;
  return read.file;
}

std::string bytes_of(const Pe_Builder &plan) {
  std::vector<uint8_t> b = pe_build(plan).bytes;
  return std::string(b.begin(), b.end());
}

Pe_Builder dll_importing(std::vector<Pe_Builder_Dll> imports) {
  Pe_Builder plan;
  plan.exports = {"f"};
  plan.imports = std::move(imports);
  return plan;
}

// 4,095 import descriptors that share one lookup table of 65,535 names: made to stall a reader.
std::string shared_lookup_module() {
  Pe_Builder plan;
  plan.imports = {{"ScriptHookVanta.dll", std::vector<std::string>(65535, "?scriptWait@@YAXK@Z"), 4095}};
  return bytes_of(plan);
}

const char SESSION[] =
    "frames 3\nframe_time 16ms\nmodel corvin\n"
    "component hair hair palette 3 tints 12 4 0 assets 0x1a01 0x1a02 0x1a03 0x1a04\n";

TEST(StrictLoader, RefusesWhatWindowsRefusesAndRunsTheRest) {
  Pe_Builder x86 = dll_importing({});
  x86.machine = PE_MACHINE_I386;
  x86.magic = PE_MAGIC_PE32;
  std::string module = read_program_file(L"ManeShade.asi");
  ASSERT_GT(module.size(), 4096u);

  // A DLL beside the modules whose exports forward: one to a DLL that does not exist, one to a
  // function that KERNEL32 lacks, one to a function it has.
  Pe_Builder forwarder;
  forwarder.exports = {"f", "g", "h"};
  forwarder.forwards = {{"f", "Gone.f"}, {"g", "KERNEL32.NoSuchFunction"}, {"h", "KERNEL32.GetTickCount"}};

  struct Case {
    const char *file;  // what a player might find in a game folder
    std::string content;
    int64_t error;
    const char *dll, *import;
    const char *reason = "";  // part of the strict check's reason, where Wine's LoadLibrary would fail alike
  } cases[] = {
      {"a_text_file.asi", "[corvin]\nenabled = yes\n", 193, "", ""},
      {"b_truncated.asi", module.substr(0, 1024), 193, "", ""},
      {"c_32bit.asi", bytes_of(x86), 193, "", ""},
      {"d_missing_dll.asi", bytes_of(dll_importing({{"NoSuchHost.dll", {"f"}}})), 126, "NoSuchHost.dll", ""},
      {"e_missing_name.asi", bytes_of(dll_importing({{"KERNEL32.dll", {"GetSystemTimeAsFileTime", "NoSuchFunction"}}})),
       127, "KERNEL32.dll", "NoSuchFunction"},
      {"f_missing_ordinal.asi", bytes_of(dll_importing({{"KERNEL32.dll", {"#65000"}}})), 182, "KERNEL32.dll",
       "#65000"},
      {"g_cut_short.asi", module.substr(0, module.size() - 1024), 193, "", "", "cut short"},
      {"h_forwards_to_missing_dll.asi", bytes_of(dll_importing({{"Forwarder.dll", {"h", "f"}}})), 126, "Forwarder.dll",
       "f", "Forwarder.dll forwards f to Gone.f, but the DLL Gone.dll cannot be found (error 126)"},
      {"i_forwards_to_missing_name.asi", bytes_of(dll_importing({{"Forwarder.dll", {"g"}}})), 127, "Forwarder.dll", "g",
       "forwards g to KERNEL32.NoSuchFunction, but KERNEL32.dll does not export NoSuchFunction (error 127)"},
      {"j_shared_lookup_table.asi", shared_lookup_module(), 193, "", "", "more entries than any real one"},
  };
  Sim_Options options;
  options.scenario = SESSION;
  options.probe_files = {"bare_import_probe.asi"};
  for (const Case &c : cases) options.files.push_back({c.file, c.content});
  options.files.push_back({"Forwarder.dll", bytes_of(forwarder)});
  Sim_Run run = run_sim("strict_loader", options);
  ASSERT_TRUE(run.started) << run.summary();
  EXPECT_EQ(run.exit_code, 1u) << "a refused module ends the session with status 1";

  std::vector<const Json_Value *> loads = run.events_of("load");
  auto load_of = [&](const std::string &file) -> const Json_Value * {
    for (const Json_Value *e : loads) {
      if (e->str("file") == file) return e;
    }
    return nullptr;
  };
  // The module built as it was before: a bare scriptWait, which the real host does not export.
  const Json_Value *bare = load_of("bare_import_probe.asi");
  ASSERT_NE(bare, nullptr) << run.summary();
  EXPECT_FALSE(bare->flag("ok"));
  EXPECT_EQ(bare->i64("error"), 127);
  EXPECT_EQ(bare->str("dll"), "ScriptHookVanta.dll");
  EXPECT_EQ(bare->str("import"), "scriptWait");
  EXPECT_NE(run.out.find("refused bare_import_probe.asi: ScriptHookVanta.dll does not export scriptWait (error 127)"),
            std::string::npos)
      << run.out;

  for (const Case &c : cases) {
    const Json_Value *e = load_of(c.file);
    ASSERT_NE(e, nullptr) << c.file << "\n" << run.summary();
    EXPECT_FALSE(e->flag("ok")) << c.file;
    EXPECT_EQ(e->i64("error"), c.error) << c.file << ": " << e->str("reason");
    EXPECT_EQ(e->str("dll"), c.dll) << c.file;
    EXPECT_EQ(e->str("import"), c.import) << c.file;
    EXPECT_NE(e->str("reason").find(c.reason), std::string::npos) << c.file << ": " << e->str("reason");
    EXPECT_NE(run.out.find(std::string("refused ") + c.file + ": "), std::string::npos) << c.file;
  }

  // The module itself loads and runs in the same session.
  const Json_Value *own = load_of("ManeShade.asi");
  ASSERT_NE(own, nullptr) << run.summary();
  EXPECT_TRUE(own->flag("ok"));
  EXPECT_EQ(run.events_of("register").size(), 1u);
  EXPECT_FALSE(run.calls_in_frame(2).empty()) << "the module ran its frames";
}

std::wstring runs_folder() {
  wchar_t current[MAX_PATH * 4];
  GetCurrentDirectoryW(MAX_PATH * 4, current);
  std::wstring runs = std::wstring(current) + L"\\e2e-runs\\";
  CreateDirectoryW(runs.c_str(), nullptr);
  return runs;
}

// Under Wine a Unix program runs from a Windows one: the test makes its links with ln, since Wine
// cannot make one itself. Wine cannot wait for such a program, so the test waits for the link.
// False where there is no ln (on Windows), or no link came.
bool make_folder_link(const std::wstring &folder, const std::wstring &link, const std::wstring &target) {
  const std::wstring ln = L"Z:\\bin\\ln";
  if (GetFileAttributesW(ln.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  std::wstring command = ln + L" -sfn " + target + L" " + link;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(ln.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                      &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int i = 0; i < 100; i++, Sleep(50)) {
    DWORD attributes = GetFileAttributesW((folder + link).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
  }
  return false;
}

// maneshade-check.exe --game in game folders that hold the faults the simulated game refuses (and a
// link out of the folder): its answer is the game's, and it finishes on the crafted file.
TEST(CheckGameE2e, DecidesAsTheStrictLoaderDoes) {
  // A host that exports what the module imports (the stand-in would be named as a problem), and
  // one whose exports all forward to a DLL that is nowhere.
  std::string module = read_program_file(L"ManeShade.asi");
  Pe_Builder forwarding = dll_importing({});
  forwarding.export_name = "ScriptHookVanta.dll";
  forwarding.exports.clear();
  for (const Pe_Import_Dll &dll : read_built(L"ManeShade.asi").imports) {
    if (!pe_dll_name_equal(dll.dll, "ScriptHookVanta.dll")) continue;
    for (const Pe_Import &f : dll.functions) forwarding.exports.push_back(f.name);
  }
  std::sort(forwarding.exports.begin(), forwarding.exports.end());
  std::string host = bytes_of(forwarding);
  for (const std::string &name : forwarding.exports) forwarding.forwards[name] = "Gone." + name;
  struct Case {
    const char *fault;
    std::string module, host;
    const wchar_t *link;  // a link to make in the folder, to the folder above; or null
    DWORD status;
    std::string said, not_said;
  } cases[] = {
      {"module cut short by an interrupted copy", module.substr(0, module.size() - 1024), host, nullptr, 1,
       "ManeShade.asi: problem: damaged: the file ends before the data its headers describe", "ok: a 64-bit"},
      {"host forwards its functions to a DLL that is nowhere", module, bytes_of(forwarding), nullptr, 1,
       "ScriptHookVanta.dll: problem: forwards scriptWait (?scriptWait@@YAXK@Z) to Gone.?scriptWait@@YAXK@Z, but the "
       "DLL Gone.dll cannot be found (error 126)",
       "exports all"},
      {"module crafted to stall a reader", shared_lookup_module(), host, nullptr, 1,
       "ManeShade.asi: problem: not a usable DLL: a table of the file claims more entries", "ok: a 64-bit"},
      {"a link to the folder above, which holds copies of the module", module, host, L"up", 0,
       "up: note: a link (or junction) to another folder: not looked into", "another copy"},
  };
  std::wstring runs = runs_folder();
  for (size_t i = 0; i < std::size(cases); i++) {
    const Case &c = cases[i];
    SCOPED_TRACE(c.fault);
    std::wstring folder = runs + L"check_alike_" + std::to_wstring(i) + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(write_whole(folder + L"ManeShade.asi", c.module));
    ASSERT_TRUE(write_whole(folder + L"ScriptHookVanta.dll", c.host));
    ASSERT_TRUE(write_whole(folder + L"ManeShade.ini", full_ini("yes", 57, "no", 12)));
    if (c.link && !make_folder_link(folder, c.link, L"..")) {
      std::printf("no folder links can be made here: row skipped\n");
      continue;
    }
    std::wstring report = runs + L"check_alike_" + std::to_wstring(i) + L".txt";
    std::wstring command = L"\"" + test_program_folder() + L"maneshade-check.exe\" --game .";
    Program_Run run = run_program(command, folder, report + L".out", report);
    std::string err;
    read_whole(report, &err);
    ASSERT_TRUE(run.ended) << "maneshade-check.exe did not start, or did not end";
    EXPECT_EQ(run.exit_code, c.status) << err;
    EXPECT_NE(err.find(c.said), std::string::npos) << err;
    EXPECT_EQ(err.find(c.not_said), std::string::npos) << err;
  }
}

// An ASI loader loads every .asi of its folder, whatever the name, and no .dll: the game loads a
// renamed copy, both of two copies, and no copy named .dll. maneshade-check.exe --game, run in the
// same folder, knows the module by its content alike.
TEST(CheckGameE2e, KnowsTheModuleByItsContentAsTheLoaderLoadsIt) {
  std::string module = read_program_file(L"ManeShade.asi");
  struct Case {
    const char *fault;
    bool with_module;  // ManeShade.asi itself too
    const char *copy;  // the module under this name
    size_t registrations;
    const char *said;
  } cases[] = {
      {"a renamed copy was called missing", false, "MyHair.asi", 1, "MyHair.asi: ok: Mane Shade's module under another name"},
      {"two copies loaded with no warning", true, "ManeShade (1).asi", 2,
       "ManeShade (1).asi: problem: another copy of Mane Shade's module"},
      {"a copy named .dll got no hint", false, "ManeShade.dll", 0,
       "ManeShade.dll: problem: Mane Shade's module, named .dll: an ASI loader loads only .asi files: rename it to .asi"},
  };
  for (size_t i = 0; i < std::size(cases); i++) {
    const Case &c = cases[i];
    SCOPED_TRACE(c.fault);
    Sim_Options options;
    options.scenario = SESSION;
    options.with_module = c.with_module;
    options.files = {{c.copy, module}};
    Sim_Run run = run_sim("module_names_" + std::to_string(i), options);
    ASSERT_TRUE(run.started) << run.summary();
    EXPECT_EQ(run.events_of("register").size(), c.registrations) << run.out;

    std::wstring folder(run.folder.begin(), run.folder.end());  // the case's name is ASCII
    std::wstring command = L"\"" + test_program_folder() + L"maneshade-check.exe\" --game .";
    Program_Run check = run_program(command, folder, folder + L"check.txt.out", folder + L"check.txt");
    std::string err;
    read_whole(folder + L"check.txt", &err);
    ASSERT_TRUE(check.ended) << "maneshade-check.exe did not start, or did not end";
    EXPECT_NE(err.find(c.said), std::string::npos) << err;
    EXPECT_EQ(err.find("ManeShade.asi: problem: missing"), std::string::npos) << err;
  }
}

// The same facts as the objdump checks, read with the reader the game and the validator use.
TEST(BuiltFiles, ModuleImportsTheSixDecoratedNamesAndTheStandInExportsThem) {
  Pe_File module = read_built(L"ManeShade.asi");
  Pe_File host = read_built(L"ScriptHookVanta.dll");
  EXPECT_TRUE(pe_is_x64_dll(module));
  EXPECT_EQ(module.export_name, "ManeShade.asi");
  std::vector<std::string> host_imports;
  for (const Pe_Import_Dll &dll : module.imports) {
    if (!pe_dll_name_equal(dll.dll, "ScriptHookVanta.dll")) continue;
    for (const Pe_Import &f : dll.functions) host_imports.push_back(f.name);
  }
  std::sort(host_imports.begin(), host_imports.end());
  EXPECT_EQ(host_imports, (std::vector<std::string>{"?nativeCall@@YAPEA_KXZ", "?nativeInit@@YAX_K@Z",
                                                    "?nativePush64@@YAX_K@Z",
                                                    "?scriptRegister@@YAXPEAUHINSTANCE__@@P6AXXZ@Z",
                                                    "?scriptUnregister@@YAXPEAUHINSTANCE__@@@Z", "?scriptWait@@YAXK@Z"}));
  EXPECT_TRUE(pe_exports_sorted(host));
  for (const std::string &name : host_imports) EXPECT_NE(pe_find_export(host, name), nullptr) << name;
  EXPECT_EQ(pe_find_export(host, "scriptWait"), nullptr) << "no bare host name";
}

}  // namespace
