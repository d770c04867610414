// The simulated game's check of a module file before it hands it to LoadLibrary, as strict as the
// Windows loader: Wine loads a module whose imports do not resolve (with a stub that crashes when
// called), Windows refuses it. Windows only.
#pragma once
#include <string>
#include <vector>

#include "tools/pe/pe.h"

struct Module_Check {
  bool ok;
  uint32_t error;                         // the Windows error LoadLibrary would give: 126, 127, 182 or 193
  std::string text;                       // why, in one line
  std::vector<Pe_Unresolved> unresolved;  // every import that would not resolve, the reported one first
};

// Reads the file at `path` (refused when cut short, as the loader refuses it) and resolves each of
// its imports against the DLL that Windows would bind: a module of that name already loaded in this
// process (the stand-in host among them), whose export table is read in memory, or else the file
// found on the DLL search path. A forwarder is followed to its DLL, bound the same way.
Module_Check check_module_file(const std::wstring &path);
