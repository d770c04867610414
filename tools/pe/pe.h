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
  cut_short,         // a section's data ends past the end of the file (see pe_read)
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
// cannot make the reader loop or allocate without end. They bound the whole file, not each table:
// descriptors that all name one long lookup table cannot multiply the work.
constexpr size_t PE_MAX_IMPORT_DLLS = 4096;
constexpr size_t PE_MAX_IMPORTS = 65536;  // imported functions, all DLLs together
constexpr size_t PE_MAX_EXPORTS = 65536;  // ordinals are 16-bit
constexpr size_t PE_MAX_NAME_BYTES = 4096;
constexpr size_t PE_MAX_FILE_NAME_BYTES = 8u << 20;  // every name read from one file, together

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
  bool forwarded;    // the entry names another DLL's function instead of code (see pe_forwarder)
};

// An entry of the export table that forwards: the loader binds "Other.Function" (or "Other.#12")
// in its place.
struct Pe_Forwarder {
  uint32_t ordinal;
  std::string target;
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
  std::vector<Pe_Forwarder> forwarders;  // every entry that forwards, by ascending ordinal
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
// A file (Pe_Layout::file) must also hold the data of every section as the loader reads it, else
// the problem is `cut_short`: the loader reads a section's data in whole 512-byte sectors, no more
// than the section fills in memory, and refuses a file (error 193) where that data starts at or
// past the end of the file, or ends past its last sector.
Pe_Read pe_read(std::span<const uint8_t> bytes, Pe_Layout layout);

// The SizeOfImage field of a mapped image's headers (to bound a pe_read of it), or 0 when `headers`
// do not start a PE32+ image.
uint32_t pe_image_size(std::span<const uint8_t> headers);

// The tables of an image as the loader mapped it at `base` (a module loaded in this process), of
// which the first `readable` bytes are known to be mapped (at least the headers' page, as the OS
// reports it). The image's SizeOfImage bounds every later read. not_pe when the headers do not
// start a PE32+ image.
Pe_Read pe_read_loaded(const uint8_t *base, size_t readable);

const char *pe_problem_text(Pe_Problem problem);

// Whether Windows x64 would load the file as a DLL: AMD64, PE32+, marked as a DLL.
bool pe_is_x64_dll(const Pe_File &file);
// "a 32-bit (x86) DLL", "a 64-bit (x86-64) program, not a DLL", ... for messages.
std::string pe_kind_text(const Pe_File &file);

// Finds `name` as the Windows loader does: a binary search over the name table in byte order.
const Pe_Export *pe_find_export(const Pe_File &file, std::string_view name);
bool pe_has_ordinal(const Pe_File &file, uint32_t ordinal);
// The "Other.Function" that the entry of `ordinal` forwards to, or null when it holds code.
const std::string *pe_forwarder(const Pe_File &file, uint32_t ordinal);
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

// A forwarder's target as the loader reads it: the DLL before the last dot (".dll" added when that
// name has no dot of its own), the function after it ("#12": by ordinal).
struct Pe_Forward_Target {
  std::string dll;
  bool by_ordinal;
  uint16_t ordinal;  // by_ordinal only
  std::string name;  // otherwise
};
// False when `target` is no "Dll.Function" or "Dll.#ordinal".
bool pe_forward_target(std::string_view target, Pe_Forward_Target *out);

// How many forwarders the check follows from one import before it gives up (a loop, or a chain no
// real DLL makes).
constexpr size_t PE_MAX_FORWARDS = 16;

// What the loader would find for one DLL name.
enum class Pe_Dll_State {
  found,     // a loadable x64 DLL; `file` holds its tables
  missing,   // no DLL of that name would be found (error 126)
  unusable,  // found, but no loadable x64 DLL (error 193); `what` says what it is
  unknown,   // the caller cannot look where the loader would; `what` says why
};

struct Pe_Dll {
  Pe_Dll_State state = Pe_Dll_State::missing;
  std::string what;
  Pe_Problem problem = Pe_Problem::none;  // unusable: why its tables cannot be read, if that is why
  Pe_File file{};
};

// What a DLL found on disk is to the loader, judged from the file's bytes: found (a PE32+ x86-64
// DLL, `file` its tables), or unusable with `what` it is ("a 32-bit (x86) DLL", "not a usable DLL:
// ..."), with the reader's `problem` when its tables cannot be read (then `file` is empty).
Pe_Dll pe_judge_dll(std::span<const uint8_t> bytes);

// Binds DLL names as the loader would (a loaded module, a file found on the search path, a fake
// in tests). A name is as a module's import table or a forwarder writes it.
class Pe_Dll_Source {
 public:
  virtual ~Pe_Dll_Source() = default;
  // The reference stays valid as long as the source.
  virtual const Pe_Dll &bind(std::string_view dll) = 0;
};

// Not a Windows error: the import leads into a DLL that the source cannot see (Pe_Dll_State::unknown).
constexpr uint32_t PE_UNFOLLOWED = 0;

struct Pe_Unresolved {
  uint32_t error;      // one of PE_ERROR_*, or PE_UNFOLLOWED
  std::string dll;     // the imported DLL concerned
  std::string import;  // the name, or "#" and the ordinal; empty when the imported DLL itself fails
  std::string why;     // 193 and PE_UNFOLLOWED: what the DLL is, or why it cannot be seen
  // The targets the import was forwarded to, in order; the failure is at the last one.
  std::vector<std::string> forwards;
};

// Every import of `module` that would not resolve, in the loader's order (DLLs in descriptor order,
// functions in table order; a DLL that is missing or not loadable is listed once). Each import is
// followed through its forwarders, PE_MAX_FORWARDS at most (a longer chain is error 127). The first
// entry is the one that Windows would report. Empty when the module would load.
std::vector<Pe_Unresolved> pe_unresolved_imports(const Pe_File &module, Pe_Dll_Source &source);

// One line for a refusal: "ScriptHookVanta.dll does not export scriptWait (error 127)", "X.dll
// forwards f to Y.f, but the DLL Y.dll cannot be found (error 126)", ...
std::string pe_unresolved_text(const Pe_Unresolved &u);
// Of a forwarded import (`forwards` not empty), the text after "X.dll forwards f": " to Y.f, but
// the DLL Y.dll cannot be found (error 126)".
std::string pe_forwarding_text(const Pe_Unresolved &u);
