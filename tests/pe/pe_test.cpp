// The PE reader on files built in memory: what it reads from a good file in both layouts, how it
// refuses damaged and hostile ones, and the loader's check of a module's imports.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/pe/pe_builder.h"
#include "tools/pe/pe.h"

namespace {

Pe_Builder module_spec() {
  Pe_Builder plan;
  plan.export_name = "ManeShade.asi";
  plan.exports = {"cleanup", "setup"};
  plan.imports = {{"ScriptHookVanta.dll", {"?scriptWait@@YAXK@Z", "?nativeCall@@YAPEA_KXZ"}},
                  {"KERNEL32.dll", {"GetSystemTimeAsFileTime", "#42"}}};
  return plan;
}

std::vector<std::string> import_names(const Pe_File &file) {
  std::vector<std::string> out;
  for (const Pe_Import_Dll &dll : file.imports) {
    for (const Pe_Import &f : dll.functions) {
      out.push_back(dll.dll + "!" + (f.by_ordinal ? pe_ordinal_text(f.ordinal) : f.name));
    }
  }
  return out;
}

TEST(PeRead, ReadsHeadersImportsAndExportsInBothLayouts) {
  Pe_Built built = pe_build(module_spec());
  for (Pe_Layout layout : {Pe_Layout::file, Pe_Layout::image}) {
    std::vector<uint8_t> bytes = layout == Pe_Layout::file ? built.bytes : pe_map_image(built);
    Pe_Read read = pe_read(bytes, layout);
    ASSERT_EQ(read.problem, Pe_Problem::none) << read.detail;
    const Pe_File &f = read.file;
    EXPECT_TRUE(pe_is_x64_dll(f));
    EXPECT_EQ(f.export_name, "ManeShade.asi");
    ASSERT_EQ(f.exports.size(), 2u);
    EXPECT_EQ(f.exports[0].name, "cleanup");
    EXPECT_EQ(f.exports[1].ordinal, 2u);
    EXPECT_EQ(import_names(f), (std::vector<std::string>{"ScriptHookVanta.dll!?scriptWait@@YAXK@Z",
                                                         "ScriptHookVanta.dll!?nativeCall@@YAPEA_KXZ",
                                                         "KERNEL32.dll!GetSystemTimeAsFileTime", "KERNEL32.dll!#42"}));
    // The slots are where the loader writes each address: the clock rebinding patches them.
    EXPECT_EQ(f.imports[1].functions[0].slot_rva, built.slot_rvas[2]);
    EXPECT_EQ(pe_image_size(bytes), f.size_of_image);
  }
}

TEST(PeRead, KindsOfFileThatWindowsX64DoesNotLoadAsDll) {
  struct Case {
    const char *fault;
    uint16_t machine, magic, characteristics;
    const char *kind;
  } cases[] = {
      {"a 32-bit DLL in a 64-bit game", 0x014C, 0x10B, 0x2102, "a 32-bit (x86) DLL"},
      {"a program renamed to .asi", 0x8664, 0x20B, 0x0022, "a 64-bit (x86-64) program, not a DLL"},
      {"a DLL for ARM64", 0xAA64, 0x20B, 0x2022, "a 64-bit (another processor) DLL"},
  };
  for (const Case &c : cases) {
    Pe_Builder plan = module_spec();
    plan.machine = c.machine;
    plan.magic = c.magic;
    plan.characteristics = c.characteristics;
    Pe_Read read = pe_read(pe_build(plan).bytes, Pe_Layout::file);
    ASSERT_EQ(read.problem, Pe_Problem::none) << c.fault;
    EXPECT_FALSE(pe_is_x64_dll(read.file)) << c.fault;
    EXPECT_EQ(pe_kind_text(read.file), c.kind) << c.fault;
  }
}

// Each row damages one field of a good file; the reader must refuse it, never read past the bytes.
TEST(PeRead, RefusesDamagedAndHostileFiles) {
  Pe_Built good = pe_build(module_spec());
  uint32_t optional = good.optional_offset;
  auto section_offset = [&](uint32_t rva) { return rva - good.section_rva + good.section_raw_offset; };
  struct Case {
    const char *fault;
    void (*damage)(std::vector<uint8_t> &, const Pe_Built &, uint32_t, uint32_t);
    Pe_Problem expected;
  };
  std::vector<Case> cases = {
      {"empty file", [](auto &b, auto &, uint32_t, uint32_t) { b.clear(); }, Pe_Problem::not_pe},
      {"text file", [](auto &b, auto &, uint32_t, uint32_t) { b.assign({'[', 'c', ']', '\n'}); }, Pe_Problem::not_pe},
      {"MZ alone", [](auto &b, auto &, uint32_t, uint32_t) { b.resize(2); }, Pe_Problem::truncated},
      {"PE header offset past the end",
       [](auto &b, auto &, uint32_t, uint32_t) { pe_put_u32(b, 0x3C, 0xFFFFFFF0); }, Pe_Problem::truncated},
      {"no PE signature", [](auto &b, auto &g, uint32_t, uint32_t) { b[g.nt_offset] = 'X'; }, Pe_Problem::not_pe},
      {"cut inside the optional header", [](auto &b, auto &g, uint32_t, uint32_t) { b.resize(g.optional_offset + 50); },
       Pe_Problem::truncated},
      {"optional header of unknown magic",
       [](auto &b, auto &, uint32_t opt, uint32_t) { pe_put_u16(b, opt, 0x107); }, Pe_Problem::bad_optional},
      {"optional header too short for PE32+",
       [](auto &b, auto &g, uint32_t, uint32_t) { pe_put_u16(b, g.nt_offset + 20, 100); }, Pe_Problem::bad_optional},
      {"section table past the end",
       [](auto &b, auto &g, uint32_t, uint32_t) { pe_put_u16(b, g.nt_offset + 6, 0xFFFF); }, Pe_Problem::truncated},
      {"import directory in no section",
       [](auto &b, auto &, uint32_t opt, uint32_t) { pe_put_u32(b, opt + 120, 0x7FFF0000); },
       Pe_Problem::table_outside},
      {"file cut inside the section data",
       [](auto &b, auto &g, uint32_t, uint32_t) { b.resize(g.section_raw_offset + 24); }, Pe_Problem::table_outside},
      {"DLL name offset past the image",
       [](auto &b, auto &, uint32_t, uint32_t imports) { pe_put_u32(b, imports + 12, 0xFFFFFF00); },
       Pe_Problem::table_outside},
      {"lookup table offset past the image",
       [](auto &b, auto &, uint32_t, uint32_t imports) { pe_put_u32(b, imports, 0xFFFFFF00); },
       Pe_Problem::table_outside},
      {"export count beyond any real table",
       [](auto &b, auto &g, uint32_t, uint32_t) {
         pe_put_u32(b, g.export_directory_rva - g.section_rva + g.section_raw_offset + 20, 0x10000000);
       },
       Pe_Problem::too_many_entries},
      {"export names an entry past the address table",
       [](auto &b, auto &g, uint32_t, uint32_t) {
         pe_put_u32(b, g.export_directory_rva - g.section_rva + g.section_raw_offset + 20, 1);
       },
       Pe_Problem::table_outside},
      {"export name table past the image",
       [](auto &b, auto &g, uint32_t, uint32_t) {
         pe_put_u32(b, g.export_directory_rva - g.section_rva + g.section_raw_offset + 32, 0xFFFFFFF0);
       },
       Pe_Problem::table_outside},
  };
  for (const Case &c : cases) {
    std::vector<uint8_t> bytes = good.bytes;
    c.damage(bytes, good, optional, section_offset(good.import_directory_rva));
    Pe_Read read = pe_read(bytes, Pe_Layout::file);
    EXPECT_EQ(read.problem, c.expected) << c.fault << " (" << read.detail << ")";
  }
}

// The loader reads a section's data in whole 512-byte sectors: a copy cut inside the last sector
// still loads, one that lacks a whole sector is refused (error 193).
TEST(PeRead, SectionDataMustLieInTheFile) {
  Pe_Builder plan = module_spec();
  plan.imports.push_back({"A.dll", std::vector<std::string>(300, "f")});
  Pe_Built good = pe_build(plan);
  ASSERT_EQ(good.bytes.size() % 512, 0u);
  ASSERT_EQ(good.bytes.back(), 0) << "the last sector ends in padding";
  size_t section_size = good.bytes.size() - good.section_raw_offset;
  struct Case {
    const char *fault;
    size_t cut;  // bytes cut off the end
    Pe_Problem expected;
  } cases[] = {
      {"a whole file", 0, Pe_Problem::none},
      {"cut inside the last sector's padding", 1, Pe_Problem::none},
      {"cut by an interrupted copy: the last sector is missing", 512, Pe_Problem::cut_short},
      {"cut in the middle of the section data", section_size / 2, Pe_Problem::cut_short},
  };
  for (const Case &c : cases) {
    std::vector<uint8_t> bytes(good.bytes.begin(), good.bytes.end() - static_cast<std::ptrdiff_t>(c.cut));
    EXPECT_EQ(pe_read(bytes, Pe_Layout::file).problem, c.expected) << c.fault;
  }
}

// The bounds hold for the whole file: tables that share entries cannot multiply the work.
TEST(PeRead, HostileFilesAreBoundedAsAWhole) {
  struct Case {
    const char *fault;
    std::vector<Pe_Builder_Dll> imports;
    std::vector<std::string> exports;
    Pe_Problem expected;
  } cases[] = {
      {"4095 descriptors share one lookup table of 65535 names",
       {{"A.dll", std::vector<std::string>(65535, "f"), 4095}}, {}, Pe_Problem::too_many_entries},
      {"as many imports as the bound allows, in two DLLs",
       {{"A.dll", std::vector<std::string>(PE_MAX_IMPORTS / 2, "f")},
        {"B.dll", std::vector<std::string>(PE_MAX_IMPORTS / 2, "g")}},
       {}, Pe_Problem::none},
      {"export names longer together than the bound on a file's names",
       {}, [] {
         std::vector<std::string> names;
         for (size_t i = 0; i <= PE_MAX_FILE_NAME_BYTES / PE_MAX_NAME_BYTES; i++) {
           names.push_back(std::to_string(1000 + i) + std::string(PE_MAX_NAME_BYTES - 4, 'x'));
         }
         return names;
       }(), Pe_Problem::too_many_entries},
  };
  for (const Case &c : cases) {
    Pe_Builder plan = module_spec();
    plan.imports = c.imports;
    plan.exports = c.exports;
    Pe_Read read = pe_read(pe_build(plan).bytes, Pe_Layout::file);
    EXPECT_EQ(read.problem, c.expected) << c.fault << " (" << read.detail << ")";
  }
}

TEST(PeRead, NameWithoutEndInsideItsSectionIsRefused) {
  Pe_Builder plan = module_spec();
  plan.export_name.clear();
  plan.exports.clear();
  Pe_Built good = pe_build(plan);
  std::vector<uint8_t> bytes = good.bytes;
  // Fill the section from the first DLL name on with letters: no NUL before the data ends.
  uint32_t descriptor = good.import_directory_rva - good.section_rva + good.section_raw_offset;
  uint32_t name_rva = bytes[descriptor + 12] | bytes[descriptor + 13] << 8;
  for (size_t i = name_rva - good.section_rva + good.section_raw_offset; i < bytes.size(); i++) bytes[i] = 'A';
  EXPECT_EQ(pe_read(bytes, Pe_Layout::file).problem, Pe_Problem::table_outside);
}

TEST(PeRead, ImportTableWithoutEndIsBounded) {
  // A lookup table that never ends cannot make the reader run on: the section ends first.
  Pe_Builder plan = module_spec();
  plan.imports = {{"A.dll", std::vector<std::string>(2000, "#1")}};
  Pe_Built built = pe_build(plan);
  Pe_Read read = pe_read(built.bytes, Pe_Layout::file);
  ASSERT_EQ(read.problem, Pe_Problem::none);
  EXPECT_EQ(read.file.imports[0].functions.size(), 2000u);
}

TEST(PeExports, FoundByBinarySearchAsTheLoaderDoes) {
  Pe_Builder plan = module_spec();
  plan.exports = {"?nativeCall@@YAPEA_KXZ", "?scriptWait@@YAXK@Z", "standin_run_frame", "zz_forwarded"};
  plan.forwards = {{"zz_forwarded", "Other.zz_forwarded"}};
  Pe_Read sorted = pe_read(pe_build(plan).bytes, Pe_Layout::file);
  ASSERT_EQ(sorted.problem, Pe_Problem::none);
  EXPECT_TRUE(pe_exports_sorted(sorted.file));
  EXPECT_NE(pe_find_export(sorted.file, "?scriptWait@@YAXK@Z"), nullptr);
  EXPECT_EQ(pe_find_export(sorted.file, "scriptWait"), nullptr);  // a bare name is another name
  const Pe_Export *forwarded = pe_find_export(sorted.file, "zz_forwarded");
  ASSERT_NE(forwarded, nullptr);
  EXPECT_TRUE(forwarded->forwarded);
  ASSERT_NE(pe_forwarder(sorted.file, forwarded->ordinal), nullptr);
  EXPECT_EQ(*pe_forwarder(sorted.file, forwarded->ordinal), "Other.zz_forwarded");
  EXPECT_EQ(pe_forwarder(sorted.file, 1), nullptr);
  EXPECT_TRUE(pe_has_ordinal(sorted.file, 1));
  EXPECT_TRUE(pe_has_ordinal(sorted.file, 4));
  EXPECT_FALSE(pe_has_ordinal(sorted.file, 5));

  // Out of order, as GNU ld writes a .def's `==` exports: the search misses a name that is there.
  plan.exports = {"standin_run_frame", "?scriptWait@@YAXK@Z", "?nativeCall@@YAPEA_KXZ"};
  plan.forwards.clear();
  Pe_Read unsorted = pe_read(pe_build(plan).bytes, Pe_Layout::file);
  EXPECT_FALSE(pe_exports_sorted(unsorted.file));
  EXPECT_EQ(pe_find_export(unsorted.file, "standin_run_frame"), nullptr);
}

// A DLL of the fake loader: its exports (name and forwarder target, empty for code) and ordinals.
struct Fake_Dll {
  Pe_Dll_State state = Pe_Dll_State::found;
  std::map<std::string, std::string> exports;
  std::set<uint16_t> ordinals;
};

class Fake_Dll_Source : public Pe_Dll_Source {
 public:
  explicit Fake_Dll_Source(const std::map<std::string, Fake_Dll> &dlls) {
    for (const auto &[name, fake] : dlls) {
      Pe_Dll &dll = dlls_[name];
      dll.state = fake.state;
      dll.what = fake.state == Pe_Dll_State::unknown ? "out of sight" : "a 32-bit (x86) DLL";
      uint32_t ordinal = 1000;
      for (const auto &[export_name, target] : fake.exports) {  // a std::map: in byte order
        dll.file.exports.push_back({export_name, ordinal, !target.empty()});
        if (!target.empty()) dll.file.forwarders.push_back({ordinal, target});
        dll.file.ordinals.push_back(ordinal++);
      }
      dll.file.ordinals.insert(dll.file.ordinals.begin(), fake.ordinals.begin(), fake.ordinals.end());
    }
  }
  const Pe_Dll &bind(std::string_view dll) override {
    for (const auto &[name, d] : dlls_) {
      if (pe_dll_name_equal(name, dll)) return d;
    }
    return missing_;
  }

 private:
  std::map<std::string, Pe_Dll> dlls_;
  Pe_Dll missing_{};
};

TEST(PeImports, UnresolvedImportsAsTheLoaderFindsThem) {
  Fake_Dll real_host{Pe_Dll_State::found, {{"?scriptWait@@YAXK@Z", ""}, {"?nativeCall@@YAPEA_KXZ", ""}}, {}};
  Fake_Dll kernel{Pe_Dll_State::found, {{"GetSystemTimeAsFileTime", ""}}, {42}};
  auto forwarding_host = [](std::string target) {
    return Fake_Dll{Pe_Dll_State::found, {{"?scriptWait@@YAXK@Z", target}}, {}};
  };
  const std::vector<Pe_Builder_Dll> wait_only = {{"ScriptHookVanta.dll", {"?scriptWait@@YAXK@Z"}}};
  struct Case {
    const char *fault;
    std::vector<Pe_Builder_Dll> imports;
    std::map<std::string, Fake_Dll> dlls;
    std::vector<std::string> expected;  // pe_unresolved_text of each, in order
  } cases[] = {
      {"all resolve", module_spec().imports, {{"scripthookvanta.dll", real_host}, {"kernel32.dll", kernel}}, {}},
      {"a bare C name that the host does not export",
       {{"ScriptHookVanta.dll", {"scriptWait"}}},
       {{"scripthookvanta.dll", real_host}},
       {"ScriptHookVanta.dll does not export scriptWait (error 127)"}},
      {"the host missing from the game folder",
       module_spec().imports,
       {{"kernel32.dll", kernel}},
       {"the DLL ScriptHookVanta.dll cannot be found (error 126)"}},
      {"a host of the wrong kind",
       wait_only,
       {{"scripthookvanta.dll", Fake_Dll{Pe_Dll_State::unusable, {}, {}}}},
       {"ScriptHookVanta.dll is a 32-bit (x86) DLL, which a 64-bit game cannot load (error 193)"}},
      {"an ordinal the DLL lacks, and a name after it",
       {{"KERNEL32.dll", {"#7", "NoSuchFunction"}}},
       {{"kernel32.dll", kernel}},
       {"KERNEL32.dll does not export #7 (error 182)", "KERNEL32.dll does not export NoSuchFunction (error 127)"}},
      {"a forwarder followed to a DLL that has the name",
       wait_only,
       {{"scripthookvanta.dll", forwarding_host("Real.?scriptWait@@YAXK@Z")}, {"real.dll", real_host}},
       {}},
      {"a forwarder to a DLL that does not exist",
       wait_only,
       {{"scripthookvanta.dll", forwarding_host("Gone.?scriptWait@@YAXK@Z")}},
       {"ScriptHookVanta.dll forwards ?scriptWait@@YAXK@Z to Gone.?scriptWait@@YAXK@Z, but the DLL Gone.dll cannot "
        "be found (error 126)"}},
      {"a forwarder to a DLL that lacks the name, through a second forwarder",
       wait_only,
       {{"scripthookvanta.dll", forwarding_host("Mid.wait")},
        {"mid.dll", Fake_Dll{Pe_Dll_State::found, {{"wait", "KERNEL32.Wait"}}, {}}},
        {"kernel32.dll", kernel}},
       {"ScriptHookVanta.dll forwards ?scriptWait@@YAXK@Z to Mid.wait, which forwards it to KERNEL32.Wait, but "
        "KERNEL32.dll does not export Wait (error 127)"}},
      {"a forwarder by ordinal to an ordinal the DLL lacks",
       wait_only,
       {{"scripthookvanta.dll", forwarding_host("KERNEL32.#7")}, {"kernel32.dll", kernel}},
       {"ScriptHookVanta.dll forwards ?scriptWait@@YAXK@Z to KERNEL32.#7, but KERNEL32.dll does not export #7 (error 182)"}},
      {"a forwarder into a 32-bit DLL",
       wait_only,
       {{"scripthookvanta.dll", forwarding_host("Old.f")}, {"old.dll", Fake_Dll{Pe_Dll_State::unusable, {}, {}}}},
       {"ScriptHookVanta.dll forwards ?scriptWait@@YAXK@Z to Old.f, but Old.dll is a 32-bit (x86) DLL, which a 64-bit "
        "game cannot load (error 193)"}},
      {"a forwarder that names no function",
       wait_only,
       {{"scripthookvanta.dll", forwarding_host("NoDot")}},
       {"ScriptHookVanta.dll forwards ?scriptWait@@YAXK@Z to NoDot, which names no function (error 127)"}},
      {"forwarders in a loop",
       wait_only,
       {{"scripthookvanta.dll", forwarding_host("ScriptHookVanta.?scriptWait@@YAXK@Z")}},
       {"ScriptHookVanta.dll forwards ?scriptWait@@YAXK@Z to ScriptHookVanta.?scriptWait@@YAXK@Z and on, through "
        "more than 16 forwarders without end (error 127)"}},
      {"a forwarder into a DLL the source cannot see",
       wait_only,
       {{"scripthookvanta.dll", forwarding_host("NTDLL.f")}, {"ntdll.dll", Fake_Dll{Pe_Dll_State::unknown, {}, {}}}},
       {"ScriptHookVanta.dll forwards ?scriptWait@@YAXK@Z to NTDLL.f, but the DLL NTDLL.dll cannot be looked at "
        "here: out of sight"}},
  };
  for (const Case &c : cases) {
    Pe_Builder plan = module_spec();
    plan.imports = c.imports;
    Pe_Read read = pe_read(pe_build(plan).bytes, Pe_Layout::file);
    ASSERT_EQ(read.problem, Pe_Problem::none) << c.fault;
    Fake_Dll_Source source(c.dlls);
    std::vector<std::string> texts;
    for (const Pe_Unresolved &u : pe_unresolved_imports(read.file, source)) texts.push_back(pe_unresolved_text(u));
    EXPECT_EQ(texts, c.expected) << c.fault;
  }
}

}  // namespace
