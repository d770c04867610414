// A reader of Windows PE files (DLLs, .asi modules): headers, import and export tables, read from
// bytes with every offset checked, and the check that the Windows loader makes of a module's imports.
// Portable: the simulated game and the validator use it on files that players put in a game folder,
// so it must hold against truncated and hostile files. It reads only; it never maps or runs code.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The two ways a PE image lies in memory: as the bytes of the file (tables found through the section
// table), or as the loader mapped it (an RVA is an offset from the module's base).
enum class Pe_Layout { file, image };

// What makes bytes unreadable as a PE file; each has a text (pe_problem_text).
enum class Pe_Problem {
  none,
  not_pe,            // no "MZ" header, or no "PE\0\0" signature where it points
  truncated,         // a header ends past the end of the bytes
  bad_optional,      // the optional header is neither PE32 nor PE32+, or too short for its magic
  table_outside,     // an import or export table, name or entry lies outside the image or the file
  too_many_entries,  // a table claims more entries than any real one has (see PE_MAX_*)
};

constexpr uint16_t PE_MACHINE_AMD64 = 0x8664;
constexpr uint16_t PE_MACHINE_I386 = 0x014C;
constexpr uint16_t PE_MAGIC_PE32 = 0x10B;
constexpr uint16_t PE_MAGIC_PE32_PLUS = 0x20B;
constexpr uint16_t PE_CHARACTERISTIC_DLL = 0x2000;

// Bounds on what one file may list: far above any real module, low enough that a hostile file
// cannot make the reader loop or allocate without end.
constexpr size_t PE_MAX_IMPORT_DLLS = 4096;
constexpr size_t PE_MAX_IMPORTS_PER_DLL = 65536;
constexpr size_t PE_MAX_EXPORTS = 65536;  // ordinals are 16-bit
constexpr size_t PE_MAX_NAME_BYTES = 4096;

struct Pe_Import {
  bool by_ordinal;
  uint16_t ordinal;    // by_ordinal only
  std::string name;    // otherwise
  uint32_t slot_rva;   // where the loader writes the function's address (in the FirstThunk table)
};

struct Pe_Import_Dll {
  std::string dll;  // as the file writes it; Windows compares DLL names without regard to ASCII case
  std::vector<Pe_Import> functions;
};

struct Pe_Export {
  std::string name;
  uint32_t ordinal;  // biased by the table's base, as importers write it
  bool forwarded;    // the entry names another DLL's function instead of code
};

struct Pe_File {
  uint16_t machine;
  uint16_t magic;  // PE_MAGIC_PE32 or PE_MAGIC_PE32_PLUS
  uint16_t characteristics;
  uint16_t dll_characteristics;
  uint32_t size_of_image;
  std::string export_name;  // the DLL name its export table records; empty without one
  uint32_t ordinal_base;
  // Named exports in the order of the file's name table: the loader finds names by binary search
  // over that order, so a table out of byte order hides names from it (see pe_find_export).
  std::vector<Pe_Export> exports;
  std::vector<uint32_t> ordinals;  // every ordinal with an entry, named or not, ascending
  std::vector<Pe_Import_Dll> imports;
};

struct Pe_Read {
  Pe_Problem problem;  // none: `file` holds what was read
  std::string detail;  // which table or field, for the reader's own messages
  Pe_File file;
};

// Reads the headers and the import and export tables of `bytes`. Never reads outside `bytes`; a
// table the file claims but that does not fit is a problem, not a crash. The imports and exports of
// a PE32 (32-bit) file are not read: Windows x64 cannot load it, and its tables use other widths.
Pe_Read pe_read(std::span<const uint8_t> bytes, Pe_Layout layout);

// The SizeOfImage field of a mapped image's headers (to bound a pe_read of it), or 0 when `headers`
// do not start a PE32+ image.
uint32_t pe_image_size(std::span<const uint8_t> headers);

const char *pe_problem_text(Pe_Problem problem);

// Whether Windows x64 would load the file as a DLL: AMD64, PE32+, marked as a DLL.
bool pe_is_x64_dll(const Pe_File &file);
// "a 32-bit (x86) DLL", "a 64-bit (x86-64) program, not a DLL", ... for messages.
std::string pe_kind_text(const Pe_File &file);

// Finds `name` as the Windows loader does: a binary search over the name table in byte order.
const Pe_Export *pe_find_export(const Pe_File &file, std::string_view name);
bool pe_has_ordinal(const Pe_File &file, uint32_t ordinal);
// Whether the name table is in ascending byte order (else the loader misses names).
bool pe_exports_sorted(const Pe_File &file);

bool pe_dll_name_equal(std::string_view a, std::string_view b);
// "#" and the ordinal: how an import by ordinal is named in messages.
std::string pe_ordinal_text(uint16_t ordinal);

// ---- The loader's check of a module's imports. ----

// Windows error codes of a refused LoadLibrary.
constexpr uint32_t PE_ERROR_MOD_NOT_FOUND = 126;    // an imported DLL cannot be found
constexpr uint32_t PE_ERROR_PROC_NOT_FOUND = 127;   // a DLL lacks an imported name
constexpr uint32_t PE_ERROR_INVALID_ORDINAL = 182;  // a DLL lacks an imported ordinal
constexpr uint32_t PE_ERROR_BAD_EXE_FORMAT = 193;   // not a PE32+ x86-64 DLL

// What the loader would find for one imported DLL name. The caller supplies it (a loaded module,
// a file found on the search path, a fake in tests).
class Pe_Dll_Source {
 public:
  virtual ~Pe_Dll_Source() = default;
  // False when no DLL of that name would be found (error 126).
  virtual bool find(std::string_view dll) = 0;
  // False when the DLL found is not a loadable x64 DLL (error 193); `why` says what it is.
  virtual bool loadable(std::string_view dll, std::string *why) = 0;
  virtual bool has_name(std::string_view dll, std::string_view name) = 0;
  virtual bool has_ordinal(std::string_view dll, uint16_t ordinal) = 0;
};

struct Pe_Unresolved {
  uint32_t error;      // one of PE_ERROR_*
  std::string dll;     // the imported DLL concerned
  std::string import;  // the name, or "#" and the ordinal; empty for errors 126 and 193
  std::string why;     // for 193: what the DLL is instead
};

// Every import of `module` that would not resolve, in the loader's order (DLLs in descriptor order,
// functions in table order; a DLL that is missing or not loadable is listed once). The first entry is
// the one that Windows would report. Empty when the module would load.
std::vector<Pe_Unresolved> pe_unresolved_imports(const Pe_File &module, Pe_Dll_Source &source);

// One line for a refusal: "ScriptHookVanta.dll lacks the import scriptWait (error 127)", ...
std::string pe_unresolved_text(const Pe_Unresolved &u);
