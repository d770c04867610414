// The simulated game's check of a module file before it hands it to LoadLibrary, as strict as the
// Windows loader: Wine loads a module whose imports do not resolve (with a stub that crashes when
// called), Windows refuses it. Windows only.
#pragma once
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

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

// The tables of `module`, loaded in this process, read from its mapped image (pe_read_loaded over
// the headers' region as the system reports it): the rebinding of its imports and the check of the
// modules that other modules import from read them alike.
Pe_Read read_loaded_module(HMODULE module);
