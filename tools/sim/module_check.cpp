// The loader's check of a module file; see module_check.h.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "tools/sim/module_check.h"

#include <algorithm>
#include <iterator>
#include <map>

namespace {

// Far above any real module or DLL; a larger file is not read into memory at all.
constexpr uint64_t MODULE_FILE_MAX_BYTES = 256ull << 20;

std::wstring check_wide_from_utf8(std::string_view text) {
  if (text.empty()) return {};
  int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

// The whole file, or false (missing, unreadable, not a disk file, larger than the bound).
bool check_read_file(const std::wstring &path, std::vector<uint8_t> *out) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) && size.QuadPart >= 0 &&
            static_cast<uint64_t>(size.QuadPart) <= MODULE_FILE_MAX_BYTES;
  if (ok) {
    out->resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    size_t done = 0;
    while (ok && done < out->size()) {
      DWORD want = static_cast<DWORD>(std::min<size_t>(out->size() - done, 1u << 20));
      ok = ReadFile(file, out->data() + done, want, &got, nullptr) && got > 0;
      done += got;
    }
  }
  CloseHandle(file);
  return ok;
}

// Binds each DLL name once, as the loader would: a module of that name already in the process,
// whose export table the loader searches in memory, or else the file found on the search path.
class Process_Dll_Source : public Pe_Dll_Source {
 public:
  const Pe_Dll &bind(std::string_view dll) override {
    std::string key(dll);
    for (char &c : key) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    auto it = bound_.find(key);
    if (it != bound_.end()) return it->second;
    Pe_Dll &b = bound_[key];
    std::wstring name = check_wide_from_utf8(dll);
    if (HMODULE loaded = GetModuleHandleW(name.c_str())) {
      Pe_Read read = read_loaded_module(loaded);
      b.state = read.problem == Pe_Problem::none ? Pe_Dll_State::found : Pe_Dll_State::unusable;
      if (b.state == Pe_Dll_State::found) {
        b.file = std::move(read.file);
      } else {
        b.what = "a loaded module whose export table cannot be read";
      }
      return b;
    }
    // The search path of a LoadLibrary without flags: the program's folder, the system folders,
    // the current folder, then PATH.
    wchar_t path[MAX_PATH * 4];
    DWORD length = SearchPathW(nullptr, name.c_str(), nullptr, static_cast<DWORD>(std::size(path)), path, nullptr);
    if (length == 0 || length >= std::size(path)) return b;  // missing
    std::vector<uint8_t> bytes;
    if (!check_read_file(path, &bytes)) {
      b.state = Pe_Dll_State::unusable;
      b.what = "a file that cannot be read";
      return b;
    }
    b = pe_judge_dll(bytes);
    return b;
  }

 private:
  std::map<std::string, Pe_Dll> bound_;
};

}  // namespace

Pe_Read read_loaded_module(HMODULE module) {
  auto *base = reinterpret_cast<const uint8_t *>(module);
  MEMORY_BASIC_INFORMATION region{};
  if (!base || !VirtualQuery(base, &region, sizeof region)) return Pe_Read{Pe_Problem::not_pe, "no mapped image", {}};
  return pe_read_loaded(base, region.RegionSize);
}

Module_Check check_module_file(const std::wstring &path) {
  std::vector<uint8_t> bytes;
  if (!check_read_file(path, &bytes)) {
    return Module_Check{false, PE_ERROR_BAD_EXE_FORMAT, "the file cannot be read, or is larger than any module", {}};
  }
  Pe_Dll module = pe_judge_dll(bytes);
  if (module.state != Pe_Dll_State::found) {
    return Module_Check{false, PE_ERROR_BAD_EXE_FORMAT,
                        "the file is " + module.what + ", which a 64-bit game cannot load (error 193)", {}};
  }
  Process_Dll_Source source;
  std::vector<Pe_Unresolved> unresolved = pe_unresolved_imports(module.file, source);
  if (unresolved.empty()) return Module_Check{true, 0, {}, {}};
  Module_Check check{false, unresolved[0].error, pe_unresolved_text(unresolved[0]), {}};
  check.unresolved = std::move(unresolved);
  return check;
}
