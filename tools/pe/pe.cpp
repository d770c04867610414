// The PE reader; see pe.h. Field offsets are those of the PE/COFF format (winnt.h's IMAGE_*
// structures); every read goes through pe_u16/pe_u32/pe_u64, which check the bounds.
#include "tools/pe/pe.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

constexpr uint32_t PE_DOS_LFANEW_OFFSET = 0x3C;
constexpr size_t PE_COFF_HEADER_BYTES = 20;
constexpr size_t PE_SECTION_HEADER_BYTES = 40;
constexpr size_t PE_IMPORT_DESCRIPTOR_BYTES = 20;
constexpr size_t PE_EXPORT_DIRECTORY_BYTES = 40;
constexpr uint32_t PE_DIRECTORY_EXPORT = 0;
constexpr uint32_t PE_DIRECTORY_IMPORT = 1;
constexpr uint64_t PE_THUNK_ORDINAL_FLAG64 = 0x8000'0000'0000'0000;

struct Pe_Section {
  uint32_t virtual_address;
  uint32_t virtual_size;
  uint32_t raw_size;
  uint32_t raw_offset;
};

// The loader reads a section's file data in whole sectors, and maps no more of it than the
// section's pages in memory.
constexpr uint64_t PE_SECTOR_BYTES = 512;
constexpr uint64_t PE_PAGE_BYTES = 4096;

// The bytes, how to find an RVA in them, and what is left of the file's bounds (pe.h).
struct Pe_View {
  std::span<const uint8_t> bytes;
  Pe_Layout layout;
  uint32_t size_of_headers;
  std::vector<Pe_Section> sections;  // by ascending address, as the loader requires them
  size_t imports_left = PE_MAX_IMPORTS;
  size_t name_bytes_left = PE_MAX_FILE_NAME_BYTES;
};

uint64_t pe_round_up(uint64_t value, uint64_t unit) { return (value + unit - 1) / unit * unit; }

bool pe_fits(std::span<const uint8_t> bytes, uint64_t offset, uint64_t size) {
  return offset <= bytes.size() && size <= bytes.size() - offset;
}

bool pe_u16(std::span<const uint8_t> bytes, uint64_t offset, uint16_t *out) {
  if (!pe_fits(bytes, offset, 2)) return false;
  *out = static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
  return true;
}

bool pe_u32(std::span<const uint8_t> bytes, uint64_t offset, uint32_t *out) {
  if (!pe_fits(bytes, offset, 4)) return false;
  uint32_t v = 0;
  for (int i = 3; i >= 0; i--) v = v << 8 | bytes[offset + static_cast<uint64_t>(i)];
  *out = v;
  return true;
}

bool pe_u64(std::span<const uint8_t> bytes, uint64_t offset, uint64_t *out) {
  uint32_t low = 0, high = 0;
  if (!pe_u32(bytes, offset, &low) || !pe_u32(bytes, offset + 4, &high)) return false;
  *out = uint64_t{high} << 32 | low;
  return true;
}

// Where `rva` lies in the bytes, and how many bytes from there on belong to the same part (the
// headers, or one section's file data); false when `rva` lies in none.
bool pe_locate(const Pe_View &view, uint32_t rva, uint64_t *offset, uint64_t *available) {
  uint64_t size = view.bytes.size();
  if (view.layout == Pe_Layout::image) {
    if (rva >= size) return false;
    *offset = rva;
    *available = size - rva;
    return true;
  }
  if (rva < view.size_of_headers) {
    if (rva >= size) return false;
    *offset = rva;
    *available = std::min<uint64_t>(view.size_of_headers, size) - rva;
    return true;
  }
  // The last section that starts at or below `rva`: a binary search, so that a file of many
  // sections cannot make each lookup long.
  auto after = std::upper_bound(view.sections.begin(), view.sections.end(), rva,
                                [](uint32_t at, const Pe_Section &s) { return at < s.virtual_address; });
  if (after == view.sections.begin()) return false;
  const Pe_Section &s = *std::prev(after);
  uint64_t within = rva - s.virtual_address;
  // Bytes past the section's file data are zero in memory; tables never live there.
  uint64_t start = uint64_t{s.raw_offset} + within;
  uint64_t end = std::min<uint64_t>(uint64_t{s.raw_offset} + s.raw_size, size);
  if (within >= s.raw_size || start >= end) return false;
  *offset = start;
  *available = end - start;
  return true;
}

// The offset of `size` bytes at `rva`, all inside one part; false when they are not all there.
bool pe_offset(const Pe_View &view, uint32_t rva, uint64_t size, uint64_t *out) {
  uint64_t available = 0;
  return pe_locate(view, rva, out, &available) && size <= available;
}

bool pe_rva_u16(const Pe_View &view, uint32_t rva, uint16_t *out) {
  uint64_t offset = 0;
  return pe_offset(view, rva, 2, &offset) && pe_u16(view.bytes, offset, out);
}

bool pe_rva_u32(const Pe_View &view, uint32_t rva, uint32_t *out) {
  uint64_t offset = 0;
  return pe_offset(view, rva, 4, &offset) && pe_u32(view.bytes, offset, out);
}

bool pe_rva_u64(const Pe_View &view, uint32_t rva, uint64_t *out) {
  uint64_t offset = 0;
  return pe_offset(view, rva, 8, &offset) && pe_u64(view.bytes, offset, out);
}

// A NUL-terminated name at `rva`, at most PE_MAX_NAME_BYTES long, ending within its part:
// table_outside when it is not, too_many_entries when the file's names exceed their bound.
Pe_Problem pe_rva_name(Pe_View *view, uint32_t rva, std::string *out) {
  uint64_t offset = 0, available = 0;
  if (!pe_locate(*view, rva, &offset, &available)) return Pe_Problem::table_outside;
  const uint8_t *start = view->bytes.data() + offset;
  const void *nul = std::memchr(start, 0, std::min<uint64_t>(available, PE_MAX_NAME_BYTES + 1));
  if (!nul) return Pe_Problem::table_outside;
  auto size = static_cast<size_t>(static_cast<const uint8_t *>(nul) - start);
  if (size > view->name_bytes_left) return Pe_Problem::too_many_entries;
  view->name_bytes_left -= size;
  out->assign(reinterpret_cast<const char *>(start), size);
  return Pe_Problem::none;
}

Pe_Read pe_fail(Pe_Problem problem, std::string detail) { return Pe_Read{problem, std::move(detail), {}}; }

bool pe_read_imports(Pe_View *view, uint32_t directory_rva, Pe_File *file, Pe_Read *failure) {
  for (size_t d = 0;; d++) {
    if (d == PE_MAX_IMPORT_DLLS) {
      *failure = pe_fail(Pe_Problem::too_many_entries, "import directory");
      return false;
    }
    uint32_t base = directory_rva + static_cast<uint32_t>(d * PE_IMPORT_DESCRIPTOR_BYTES);
    uint32_t lookup = 0, name_rva = 0, slots = 0;
    if (!pe_rva_u32(*view, base, &lookup) || !pe_rva_u32(*view, base + 12, &name_rva) ||
        !pe_rva_u32(*view, base + 16, &slots)) {
      *failure = pe_fail(Pe_Problem::table_outside, "import directory");
      return false;
    }
    // The loader stops at the first descriptor without a name (the table's zero terminator).
    if (name_rva == 0) return true;
    Pe_Import_Dll dll;
    if (Pe_Problem p = pe_rva_name(view, name_rva, &dll.dll); p != Pe_Problem::none) {
      *failure = pe_fail(p, "imported DLL name");
      return false;
    }
    // Without a lookup table the bound table names the functions (as old linkers write it).
    uint32_t table = lookup ? lookup : slots;
    for (size_t i = 0;; i++) {
      uint64_t thunk = 0;
      if (!pe_rva_u64(*view, table + static_cast<uint32_t>(i * 8), &thunk)) {
        *failure = pe_fail(Pe_Problem::table_outside, "import table of " + dll.dll);
        return false;
      }
      if (thunk == 0) break;
      // The bound is on the whole file: many descriptors may name one long table.
      if (view->imports_left == 0) {
        *failure = pe_fail(Pe_Problem::too_many_entries, "imports of " + dll.dll);
        return false;
      }
      view->imports_left--;
      Pe_Import import{};
      import.slot_rva = slots + static_cast<uint32_t>(i * 8);
      if (thunk & PE_THUNK_ORDINAL_FLAG64) {
        import.by_ordinal = true;
        import.ordinal = static_cast<uint16_t>(thunk);
      } else if (Pe_Problem p = pe_rva_name(view, static_cast<uint32_t>(thunk & 0x7FFF'FFFF) + 2, &import.name);
                 p != Pe_Problem::none) {
        *failure = pe_fail(p, "imported name from " + dll.dll);
        return false;
      }
      dll.functions.push_back(std::move(import));
    }
    file->imports.push_back(std::move(dll));
  }
}

bool pe_read_exports(Pe_View *view, uint32_t directory_rva, uint32_t directory_size, Pe_File *file,
                     Pe_Read *failure) {
  uint32_t name_rva = 0, base = 0, function_count = 0, name_count = 0, functions = 0, names = 0, name_ordinals = 0;
  uint64_t offset = 0;
  if (!pe_offset(*view, directory_rva, PE_EXPORT_DIRECTORY_BYTES, &offset)) {
    *failure = pe_fail(Pe_Problem::table_outside, "export directory");
    return false;
  }
  (void)pe_u32(view->bytes, offset + 12, &name_rva);
  (void)pe_u32(view->bytes, offset + 16, &base);
  (void)pe_u32(view->bytes, offset + 20, &function_count);
  (void)pe_u32(view->bytes, offset + 24, &name_count);
  (void)pe_u32(view->bytes, offset + 28, &functions);
  (void)pe_u32(view->bytes, offset + 32, &names);
  (void)pe_u32(view->bytes, offset + 36, &name_ordinals);
  if (function_count > PE_MAX_EXPORTS || name_count > PE_MAX_EXPORTS) {
    *failure = pe_fail(Pe_Problem::too_many_entries, "export directory");
    return false;
  }
  if (name_rva) {
    if (Pe_Problem p = pe_rva_name(view, name_rva, &file->export_name); p != Pe_Problem::none) {
      *failure = pe_fail(p, "export table's DLL name");
      return false;
    }
  }
  file->ordinal_base = base;
  // An entry that points into the export directory itself is a forwarder string.
  auto forwards = [&](uint32_t target) { return target >= directory_rva && target - directory_rva < directory_size; };
  std::vector<uint32_t> entry_rvas(function_count);
  for (uint32_t i = 0; i < function_count; i++) {
    if (!pe_rva_u32(*view, functions + i * 4, &entry_rvas[i])) {
      *failure = pe_fail(Pe_Problem::table_outside, "export address table");
      return false;
    }
    if (!entry_rvas[i]) continue;
    file->ordinals.push_back(base + i);
    if (!forwards(entry_rvas[i])) continue;
    // A forwarder that cannot be read stays empty: the loader fails on it only when it binds it.
    Pe_Forwarder f{base + i, {}};
    if (pe_rva_name(view, entry_rvas[i], &f.target) == Pe_Problem::too_many_entries) {
      *failure = pe_fail(Pe_Problem::too_many_entries, "export forwarders");
      return false;
    }
    file->forwarders.push_back(std::move(f));
  }
  for (uint32_t i = 0; i < name_count; i++) {
    uint32_t string_rva = 0;
    uint16_t index = 0;
    Pe_Export e{};
    if (!pe_rva_u32(*view, names + i * 4, &string_rva) || !pe_rva_u16(*view, name_ordinals + i * 2, &index)) {
      *failure = pe_fail(Pe_Problem::table_outside, "export name table");
      return false;
    }
    if (Pe_Problem p = pe_rva_name(view, string_rva, &e.name); p != Pe_Problem::none) {
      *failure = pe_fail(p, "export name table");
      return false;
    }
    if (index >= function_count) {
      *failure = pe_fail(Pe_Problem::table_outside, "export " + e.name + " names no entry");
      return false;
    }
    e.ordinal = base + index;
    e.forwarded = forwards(entry_rvas[index]);
    file->exports.push_back(std::move(e));
  }
  return true;
}

// Whether the file holds the data of every section as the loader reads it (see pe_read).
bool pe_sections_in_file(const Pe_View &view) {
  uint64_t size = view.bytes.size();
  for (const Pe_Section &s : view.sections) {
    if (s.raw_size == 0) continue;
    uint64_t in_memory = pe_round_up(s.virtual_size ? s.virtual_size : s.raw_size, PE_PAGE_BYTES);
    uint64_t start = s.raw_offset / PE_SECTOR_BYTES * PE_SECTOR_BYTES;
    uint64_t read = std::min(pe_round_up(uint64_t{s.raw_offset} - start + s.raw_size, PE_SECTOR_BYTES), in_memory);
    if (s.raw_offset >= size || start + read > pe_round_up(size, PE_SECTOR_BYTES)) return false;
  }
  return true;
}

// Reads the section table and the two directories of a PE32+ file.
bool pe_read_tables(std::span<const uint8_t> bytes, Pe_Layout layout, uint64_t optional, uint16_t optional_size,
                    uint16_t section_count, Pe_File *file, Pe_Read *failure) {
  Pe_View view{bytes, layout, 0, {}};
  uint32_t directory_count = 0;
  (void)pe_u32(bytes, optional + 60, &view.size_of_headers);
  (void)pe_u32(bytes, optional + 108, &directory_count);
  uint64_t sections = optional + optional_size;
  if (!pe_fits(bytes, sections, uint64_t{section_count} * PE_SECTION_HEADER_BYTES)) {
    *failure = pe_fail(Pe_Problem::truncated, "section table");
    return false;
  }
  for (uint16_t i = 0; i < section_count; i++) {
    uint64_t at = sections + uint64_t{i} * PE_SECTION_HEADER_BYTES;
    Pe_Section s{};
    (void)pe_u32(bytes, at + 8, &s.virtual_size);
    (void)pe_u32(bytes, at + 12, &s.virtual_address);
    (void)pe_u32(bytes, at + 16, &s.raw_size);
    (void)pe_u32(bytes, at + 20, &s.raw_offset);
    view.sections.push_back(s);
  }
  std::stable_sort(view.sections.begin(), view.sections.end(),
                   [](const Pe_Section &a, const Pe_Section &b) { return a.virtual_address < b.virtual_address; });
  if (layout == Pe_Layout::file && !pe_sections_in_file(view)) {
    *failure = pe_fail(Pe_Problem::cut_short, "section data");
    return false;
  }
  auto directory = [&](uint32_t index, uint32_t *rva, uint32_t *size) {
    *rva = *size = 0;
    if (index >= directory_count || uint64_t{112} + (index + 1) * 8 > optional_size) return;
    (void)pe_u32(bytes, optional + 112 + index * 8, rva);
    (void)pe_u32(bytes, optional + 116 + index * 8, size);
  };
  uint32_t rva = 0, size = 0;
  directory(PE_DIRECTORY_EXPORT, &rva, &size);
  if (rva && size && !pe_read_exports(&view, rva, size, file, failure)) return false;
  directory(PE_DIRECTORY_IMPORT, &rva, &size);
  if (rva && size && !pe_read_imports(&view, rva, file, failure)) return false;
  return true;
}

}  // namespace

Pe_Read pe_read(std::span<const uint8_t> bytes, Pe_Layout layout) {
  if (bytes.size() < 2 || bytes[0] != 'M' || bytes[1] != 'Z') return pe_fail(Pe_Problem::not_pe, "no MZ header");
  uint32_t nt = 0;
  if (!pe_u32(bytes, PE_DOS_LFANEW_OFFSET, &nt)) return pe_fail(Pe_Problem::truncated, "DOS header");
  if (!pe_fits(bytes, nt, 4 + PE_COFF_HEADER_BYTES)) return pe_fail(Pe_Problem::truncated, "PE header");
  if (std::memcmp(bytes.data() + nt, "PE\0\0", 4) != 0) return pe_fail(Pe_Problem::not_pe, "no PE signature");
  Pe_Read read{Pe_Problem::none, {}, {}};
  Pe_File &file = read.file;
  uint64_t coff = uint64_t{nt} + 4;
  uint16_t section_count = 0, optional_size = 0;
  (void)pe_u16(bytes, coff, &file.machine);
  (void)pe_u16(bytes, coff + 2, &section_count);
  (void)pe_u16(bytes, coff + 16, &optional_size);
  (void)pe_u16(bytes, coff + 18, &file.characteristics);
  uint64_t optional = coff + PE_COFF_HEADER_BYTES;
  if (!pe_fits(bytes, optional, optional_size)) return pe_fail(Pe_Problem::truncated, "optional header");
  if (optional_size < 2) return pe_fail(Pe_Problem::bad_optional, "no optional header");
  (void)pe_u16(bytes, optional, &file.magic);
  // PE32's optional header is 96 bytes before its directories, PE32+'s 112.
  size_t least = file.magic == PE_MAGIC_PE32_PLUS ? 112 : file.magic == PE_MAGIC_PE32 ? 96 : 0;
  if (least == 0 || optional_size < least) return pe_fail(Pe_Problem::bad_optional, "optional header");
  (void)pe_u32(bytes, optional + 56, &file.size_of_image);
  (void)pe_u16(bytes, optional + 70, &file.dll_characteristics);
  if (file.magic != PE_MAGIC_PE32_PLUS) return read;
  Pe_Read failure{};
  if (!pe_read_tables(bytes, layout, optional, optional_size, section_count, &file, &failure)) return failure;
  return read;
}

uint32_t pe_image_size(std::span<const uint8_t> headers) {
  uint32_t nt = 0, size = 0;
  uint16_t magic = 0;
  if (headers.size() < 2 || headers[0] != 'M' || headers[1] != 'Z' || !pe_u32(headers, PE_DOS_LFANEW_OFFSET, &nt))
    return 0;
  uint64_t optional = uint64_t{nt} + 4 + PE_COFF_HEADER_BYTES;
  if (!pe_fits(headers, nt, 4) || std::memcmp(headers.data() + nt, "PE\0\0", 4) != 0) return 0;
  if (!pe_u16(headers, optional, &magic) || magic != PE_MAGIC_PE32_PLUS || !pe_u32(headers, optional + 56, &size))
    return 0;
  return size;
}

Pe_Read pe_read_loaded(const uint8_t *base, size_t readable) {
  uint32_t size = base ? pe_image_size(std::span<const uint8_t>(base, readable)) : 0;
  if (size == 0) return pe_fail(Pe_Problem::not_pe, "no PE32+ image at the module's base");
  return pe_read(std::span<const uint8_t>(base, size), Pe_Layout::image);
}

Pe_Dll pe_judge_dll(std::span<const uint8_t> bytes) {
  Pe_Dll dll;
  dll.state = Pe_Dll_State::unusable;
  Pe_Read read = pe_read(bytes, Pe_Layout::file);
  if (read.problem != Pe_Problem::none) {
    dll.problem = read.problem;
    dll.what = std::string("not a usable DLL: ") + pe_problem_text(read.problem);
    return dll;
  }
  dll.what = pe_kind_text(read.file);
  if (pe_is_x64_dll(read.file)) dll.state = Pe_Dll_State::found;
  dll.file = std::move(read.file);
  return dll;
}

const char *pe_problem_text(Pe_Problem problem) {
  switch (problem) {
    case Pe_Problem::none: return "no problem";
    case Pe_Problem::not_pe: return "not a Windows program or DLL";
    case Pe_Problem::truncated: return "the file ends inside its headers (truncated)";
    case Pe_Problem::cut_short: return "the file ends before the data its headers describe (cut short)";
    case Pe_Problem::bad_optional: return "the file's headers are damaged";
    case Pe_Problem::table_outside: return "a table of the file points outside the file";
    case Pe_Problem::too_many_entries: return "a table of the file claims more entries than any real one";
  }
  return "unknown problem";
}

bool pe_is_x64_dll(const Pe_File &file) {
  return file.machine == PE_MACHINE_AMD64 && file.magic == PE_MAGIC_PE32_PLUS &&
         (file.characteristics & PE_CHARACTERISTIC_DLL);
}

std::string pe_kind_text(const Pe_File &file) {
  std::string bits = file.magic == PE_MAGIC_PE32_PLUS ? "64-bit" : "32-bit";
  std::string machine = file.machine == PE_MACHINE_AMD64  ? " (x86-64)"
                        : file.machine == PE_MACHINE_I386 ? " (x86)"
                                                          : " (another processor)";
  bool dll = file.characteristics & PE_CHARACTERISTIC_DLL;
  if (pe_is_x64_dll(file)) return "a 64-bit (x86-64) DLL";
  return "a " + bits + machine + (dll ? " DLL" : " program, not a DLL");
}

const Pe_Export *pe_find_export(const Pe_File &file, std::string_view name) {
  size_t low = 0, high = file.exports.size();
  while (low < high) {
    size_t middle = low + (high - low) / 2;
    int order = std::string_view(file.exports[middle].name).compare(name);
    if (order == 0) return &file.exports[middle];
    if (order < 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return nullptr;
}

bool pe_has_ordinal(const Pe_File &file, uint32_t ordinal) {
  return std::binary_search(file.ordinals.begin(), file.ordinals.end(), ordinal);
}

bool pe_exports_sorted(const Pe_File &file) {
  return std::is_sorted(file.exports.begin(), file.exports.end(),
                        [](const Pe_Export &a, const Pe_Export &b) { return a.name < b.name; });
}

std::string pe_ordinal_text(uint16_t ordinal) {
  // Appended, not "#" + ...: GCC 12 at -O3 warns falsely (-Wrestrict) about a literal plus a string.
  std::string text(1, '#');
  text.append(std::to_string(ordinal));
  return text;
}

bool pe_dll_name_equal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

const std::string *pe_forwarder(const Pe_File &file, uint32_t ordinal) {
  auto it = std::lower_bound(file.forwarders.begin(), file.forwarders.end(), ordinal,
                             [](const Pe_Forwarder &f, uint32_t o) { return f.ordinal < o; });
  return it != file.forwarders.end() && it->ordinal == ordinal ? &it->target : nullptr;
}

bool pe_forward_target(std::string_view target, Pe_Forward_Target *out) {
  size_t dot = target.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == target.size()) return false;
  out->dll.assign(target.substr(0, dot));
  if (out->dll.find('.') == std::string::npos) out->dll.append(".dll");
  std::string_view function = target.substr(dot + 1);
  out->by_ordinal = function[0] == '#';
  out->ordinal = 0;
  out->name.clear();
  if (!out->by_ordinal) {
    out->name.assign(function);
    return true;
  }
  uint32_t ordinal = 0;
  for (char c : function.substr(1)) {
    if (c < '0' || c > '9') return false;
    ordinal = ordinal * 10 + static_cast<uint32_t>(c - '0');
    if (ordinal > 0xFFFF) return false;
  }
  out->ordinal = static_cast<uint16_t>(ordinal);
  return function.size() > 1;
}

namespace {

uint32_t pe_error_of(Pe_Dll_State state) {
  switch (state) {
    case Pe_Dll_State::missing: return PE_ERROR_MOD_NOT_FOUND;
    case Pe_Dll_State::unusable: return PE_ERROR_BAD_EXE_FORMAT;
    default: return PE_UNFOLLOWED;
  }
}

// Follows one import from the DLL `dll` (found) through its forwarders; false with `*u` filled in
// when it does not resolve.
bool pe_resolve(Pe_Dll_Source &source, const Pe_Dll *dll, Pe_Forward_Target want, Pe_Unresolved *u) {
  for (;;) {
    uint32_t ordinal = 0;
    if (want.by_ordinal) {
      ordinal = want.ordinal;
      if (!pe_has_ordinal(dll->file, ordinal)) {
        u->error = PE_ERROR_INVALID_ORDINAL;
        return false;
      }
    } else {
      const Pe_Export *e = pe_find_export(dll->file, want.name);
      if (!e) {
        u->error = PE_ERROR_PROC_NOT_FOUND;
        return false;
      }
      ordinal = e->ordinal;
    }
    const std::string *target = pe_forwarder(dll->file, ordinal);
    if (!target) return true;
    u->forwards.push_back(*target);
    // A forwarder that names nothing, or a chain that does not end, binds nothing.
    if (u->forwards.size() > PE_MAX_FORWARDS || !pe_forward_target(*target, &want)) {
      u->error = PE_ERROR_PROC_NOT_FOUND;
      return false;
    }
    dll = &source.bind(want.dll);
    if (dll->state != Pe_Dll_State::found) {
      u->error = pe_error_of(dll->state);
      u->why = dll->what;
      return false;
    }
  }
}

// What is wrong with `dll` or its `function`, without the error code.
std::string pe_failure_text(uint32_t error, const std::string &dll, const std::string &function, const std::string &why) {
  switch (error) {
    case PE_UNFOLLOWED: return "the DLL " + dll + " cannot be looked at here: " + why;
    case PE_ERROR_MOD_NOT_FOUND: return "the DLL " + dll + " cannot be found";
    case PE_ERROR_BAD_EXE_FORMAT: return dll + " is " + why + ", which a 64-bit game cannot load";
    case PE_ERROR_INVALID_ORDINAL:
    case PE_ERROR_PROC_NOT_FOUND: return dll + " does not export " + function;
    default: return dll + ": " + function;
  }
}

}  // namespace

std::vector<Pe_Unresolved> pe_unresolved_imports(const Pe_File &module, Pe_Dll_Source &source) {
  std::vector<Pe_Unresolved> unresolved;
  for (const Pe_Import_Dll &dll : module.imports) {
    const Pe_Dll &bound = source.bind(dll.dll);
    if (bound.state != Pe_Dll_State::found) {
      unresolved.push_back({pe_error_of(bound.state), dll.dll, {}, bound.what, {}});
      continue;
    }
    for (const Pe_Import &f : dll.functions) {
      Pe_Unresolved u{0, dll.dll, f.by_ordinal ? pe_ordinal_text(f.ordinal) : f.name, {}, {}};
      if (!pe_resolve(source, &bound, Pe_Forward_Target{dll.dll, f.by_ordinal, f.ordinal, f.name}, &u)) {
        unresolved.push_back(std::move(u));
      }
    }
  }
  return unresolved;
}

std::string pe_forwarding_text(const Pe_Unresolved &u) {
  std::string code = u.error == PE_UNFOLLOWED ? "" : " (error " + std::to_string(u.error) + ")";
  std::string text = " to " + u.forwards.front();
  if (u.forwards.size() > PE_MAX_FORWARDS) {
    return text + " and on, through more than " + std::to_string(PE_MAX_FORWARDS) + " forwarders without end" + code;
  }
  for (size_t i = 1; i < u.forwards.size(); i++) text += ", which forwards it to " + u.forwards[i];
  Pe_Forward_Target last{};
  if (!pe_forward_target(u.forwards.back(), &last)) return text + ", which names no function" + code;
  return text + ", but " + pe_failure_text(u.error, last.dll, last.by_ordinal ? pe_ordinal_text(last.ordinal) : last.name, u.why) + code;
}

std::string pe_unresolved_text(const Pe_Unresolved &u) {
  if (!u.forwards.empty()) return u.dll + " forwards " + u.import + pe_forwarding_text(u);
  std::string code = u.error == PE_UNFOLLOWED ? "" : " (error " + std::to_string(u.error) + ")";
  return pe_failure_text(u.error, u.dll, u.import, u.why) + code;
}
