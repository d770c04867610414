// module_tables MODULE DLL...: checks a built ManeShade.asi's tables with the project's PE reader, as
// the Windows loader and the host see them: a 64-bit DLL that records its name, exports exactly
// setup and cleanup, imports from the host exactly the six functions it calls under the host's
// decorated names, and imports from no DLL but the host and the DLLs named after it ("name*" stands
// for every name that starts so). Prints one line per fault (exit status 1), or the import table in
// short (exit status 0). Used on the MSVC-mode link (scripts/msvc-mode.sh) and on a Visual Studio
// build's module.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/pe/pe.h"

namespace {

const char *const HOST = "ScriptHookVanta.dll";
const std::vector<std::string> HOST_IMPORTS = {
    "?nativeCall@@YAPEA_KXZ",
    "?nativeInit@@YAX_K@Z",
    "?nativePush64@@YAX_K@Z",
    "?scriptRegister@@YAXPEAUHINSTANCE__@@P6AXXZ@Z",
    "?scriptUnregister@@YAXPEAUHINSTANCE__@@@Z",
    "?scriptWait@@YAXK@Z",
};

bool allowed(const std::string &dll, int argc, char **argv) {
  for (int i = 2; i < argc; i++) {
    std::string pattern = argv[i];
    if (!pattern.empty() && pattern.back() == '*') {
      pattern.pop_back();
      if (dll.size() > pattern.size() && pe_dll_name_equal(std::string_view(dll).substr(0, pattern.size()), pattern)) {
        return true;
      }
    } else if (pe_dll_name_equal(dll, pattern)) {
      return true;
    }
  }
  return false;
}

std::string joined(const std::vector<std::string> &names) {
  std::string text;
  for (const std::string &name : names) text += (text.empty() ? "" : " ") + name;
  return text;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: module_tables MODULE [DLL...]\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "module_tables: cannot open %s\n", argv[1]);
    return 2;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Pe_Read read = pe_read(bytes, Pe_Layout::file);
  if (read.problem != Pe_Problem::none) {
    std::printf("FAIL: %s: %s (%s)\n", argv[1], pe_problem_text(read.problem), read.detail.c_str());
    return 1;
  }
  const Pe_File &file = read.file;
  int faults = 0;
  auto fail = [&](const std::string &what) {
    std::printf("FAIL: %s\n", what.c_str());
    faults++;
  };

  if (!pe_is_x64_dll(file)) fail("the module is " + pe_kind_text(file) + ", not a 64-bit DLL");
  if (file.export_name != "ManeShade.asi") fail("the export table names '" + file.export_name + "', not ManeShade.asi");
  std::vector<std::string> exports;
  for (const Pe_Export &e : file.exports) exports.push_back(e.name + (e.forwarded ? " (forwarded)" : ""));
  if (exports != std::vector<std::string>{"cleanup", "setup"} || file.ordinals.size() != 2) {
    fail("exports are '" + joined(exports) + "' (" + std::to_string(file.ordinals.size()) +
         " entries), want exactly 'cleanup setup'");
  }

  std::string summary;
  bool host_seen = false;
  for (const Pe_Import_Dll &dll : file.imports) {
    std::vector<std::string> names;
    for (const Pe_Import &f : dll.functions) names.push_back(f.by_ordinal ? pe_ordinal_text(f.ordinal) : f.name);
    std::sort(names.begin(), names.end());
    summary += "\n  " + dll.dll + ": " + std::to_string(names.size()) + " (" + joined(names) + ")";
    if (pe_dll_name_equal(dll.dll, HOST)) {
      if (host_seen) fail("the host has two import descriptors");
      host_seen = true;
      if (names != HOST_IMPORTS) {
        fail("host imports are '" + joined(names) + "', want exactly the six the module calls, under the host's " +
             "decorated names: '" + joined(HOST_IMPORTS) + "'");
      }
    } else if (!allowed(dll.dll, argc, argv)) {
      fail("imports " + dll.dll + ", which is neither the host nor one of the DLLs allowed here");
    }
  }
  if (!host_seen) fail(std::string("does not import ") + HOST);

  if (faults) return 1;
  std::printf("%s (%zu bytes): exports cleanup and setup; imports%s\n", argv[1], bytes.size(), summary.c_str());
  return 0;
}
