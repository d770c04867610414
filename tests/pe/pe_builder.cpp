// The PE builder of the tests; see pe_builder.h.
#include "tests/pe/pe_builder.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace {

constexpr uint32_t BUILD_HEADERS_BYTES = 0x200;
constexpr uint32_t BUILD_SECTION_RVA = 0x1000;
constexpr uint32_t BUILD_NT_OFFSET = 0x80;
constexpr uint16_t BUILD_OPTIONAL_BYTES = 240;  // PE32+: 112 bytes of fields and 16 directories

void build_put_u64(std::vector<uint8_t> &bytes, uint32_t offset, uint64_t value) {
  pe_put_u32(bytes, offset, static_cast<uint32_t>(value));
  pe_put_u32(bytes, offset + 4, static_cast<uint32_t>(value >> 32));
}

// The section's data, growing as parts are appended; `rva` gives an offset's address.
struct Section_Writer {
  std::vector<uint8_t> data;
  uint32_t rva(size_t offset) const { return BUILD_SECTION_RVA + static_cast<uint32_t>(offset); }
  size_t reserve(size_t size) {
    while (data.size() % 8) data.push_back(0);
    size_t at = data.size();
    data.resize(at + size);
    return at;
  }
  uint32_t string(const std::string &text) {
    size_t at = reserve(text.size() + 1);
    for (size_t i = 0; i < text.size(); i++) data[at + i] = static_cast<uint8_t>(text[i]);
    return rva(at);
  }
};

}  // namespace

void pe_put_u16(std::vector<uint8_t> &bytes, uint32_t offset, uint16_t value) {
  if (offset + 2 > bytes.size()) bytes.resize(offset + 2);
  bytes[offset] = static_cast<uint8_t>(value);
  bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void pe_put_u32(std::vector<uint8_t> &bytes, uint32_t offset, uint32_t value) {
  pe_put_u16(bytes, offset, static_cast<uint16_t>(value));
  pe_put_u16(bytes, offset + 2, static_cast<uint16_t>(value >> 16));
}

Pe_Built pe_build(const Pe_Builder &plan) {
  Section_Writer s;
  Pe_Built built{};

  // Imports: descriptors (one per DLL and copy, and a zero one), then per DLL its lookup and bound
  // tables. Equal names share one hint/name entry.
  size_t descriptor_count = 0;
  for (const Pe_Builder_Dll &dll : plan.imports) descriptor_count += dll.copies;
  size_t descriptors = plan.imports.empty() ? 0 : s.reserve((descriptor_count + 1) * 20);
  std::map<std::string, uint32_t> hint_names;
  size_t descriptor = 0;
  for (const Pe_Builder_Dll &dll : plan.imports) {
    size_t count = dll.functions.size() + 1;
    size_t lookup = s.reserve(count * 8);
    size_t bound = dll.copies > 1 ? lookup : s.reserve(count * 8);
    for (size_t i = 0; i < dll.functions.size(); i++) {
      const std::string &f = dll.functions[i];
      uint64_t thunk = 0;
      if (!f.empty() && f[0] == '#') {
        thunk = 0x8000'0000'0000'0000 | std::strtoul(f.c_str() + 1, nullptr, 10);
      } else if (auto known = hint_names.find(f); known != hint_names.end()) {
        thunk = known->second;
      } else {
        size_t hint_name = s.reserve(2 + f.size() + 1);
        for (size_t k = 0; k < f.size(); k++) s.data[hint_name + 2 + k] = static_cast<uint8_t>(f[k]);
        thunk = hint_names[f] = s.rva(hint_name);
      }
      build_put_u64(s.data, static_cast<uint32_t>(lookup + i * 8), thunk);
      build_put_u64(s.data, static_cast<uint32_t>(bound + i * 8), thunk);
      built.slot_rvas.push_back(s.rva(bound + i * 8));
    }
    uint32_t name = s.string(dll.dll);
    for (uint32_t copy = 0; copy < dll.copies; copy++, descriptor++) {
      auto at = static_cast<uint32_t>(descriptors + descriptor * 20);
      pe_put_u32(s.data, at, s.rva(lookup));
      pe_put_u32(s.data, at + 12, name);
      pe_put_u32(s.data, at + 16, s.rva(bound));
    }
  }
  size_t import_size = plan.imports.empty() ? 0 : (descriptor_count + 1) * 20;

  // Exports: the directory, then its tables and strings, so that forwarder strings lie inside the
  // directory's extent as a linker places them.
  size_t all = plan.exports.size();
  size_t directory = 0, export_size = 0;
  if (all > 0 || !plan.export_name.empty()) {
    directory = s.reserve(40);
    size_t functions = s.reserve(all * 4);
    size_t names = s.reserve(all * 4);
    size_t ordinals = s.reserve(all * 2);
    pe_put_u32(s.data, static_cast<uint32_t>(directory + 12), s.string(plan.export_name));
    pe_put_u32(s.data, static_cast<uint32_t>(directory + 16), plan.ordinal_base);
    pe_put_u32(s.data, static_cast<uint32_t>(directory + 20), static_cast<uint32_t>(all));
    pe_put_u32(s.data, static_cast<uint32_t>(directory + 24), static_cast<uint32_t>(all));
    pe_put_u32(s.data, static_cast<uint32_t>(directory + 28), s.rva(functions));
    pe_put_u32(s.data, static_cast<uint32_t>(directory + 32), s.rva(names));
    pe_put_u32(s.data, static_cast<uint32_t>(directory + 36), s.rva(ordinals));
    for (size_t i = 0; i < all; i++) {
      const std::string &name = plan.exports[i];
      pe_put_u32(s.data, static_cast<uint32_t>(names + i * 4), s.string(name));
      pe_put_u16(s.data, static_cast<uint32_t>(ordinals + i * 2), static_cast<uint16_t>(i));
      // Code lives far past the tables; a forwarder's string lies within the directory.
      auto forward = plan.forwards.find(name);
      uint32_t target = forward != plan.forwards.end() ? s.string(forward->second) : 0x10000 + static_cast<uint32_t>(i) * 16;
      pe_put_u32(s.data, static_cast<uint32_t>(functions + i * 4), target);
    }
    export_size = s.data.size() - directory;
  }
  while (s.data.size() % BUILD_HEADERS_BYTES) s.data.push_back(0);

  std::vector<uint8_t> &b = built.bytes;
  b.assign(BUILD_HEADERS_BYTES, 0);
  b[0] = 'M';
  b[1] = 'Z';
  pe_put_u32(b, 0x3C, BUILD_NT_OFFSET);
  b[BUILD_NT_OFFSET] = 'P';
  b[BUILD_NT_OFFSET + 1] = 'E';
  uint32_t coff = BUILD_NT_OFFSET + 4;
  pe_put_u16(b, coff, plan.machine);
  pe_put_u16(b, coff + 2, 1);
  pe_put_u16(b, coff + 16, BUILD_OPTIONAL_BYTES);
  pe_put_u16(b, coff + 18, plan.characteristics);
  uint32_t optional = coff + 20;
  pe_put_u16(b, optional, plan.magic);
  pe_put_u32(b, optional + 32, 0x1000);  // SectionAlignment
  pe_put_u32(b, optional + 36, 0x200);   // FileAlignment
  auto image_size = static_cast<uint32_t>(BUILD_SECTION_RVA + ((s.data.size() + 0xFFF) & ~size_t{0xFFF}));
  pe_put_u32(b, optional + 56, image_size);
  pe_put_u32(b, optional + 60, BUILD_HEADERS_BYTES);
  pe_put_u16(b, optional + 70, 0x0160);  // high-entropy VA, dynamic base, NX compatible
  pe_put_u32(b, optional + 108, 16);
  if (export_size) {
    pe_put_u32(b, optional + 112, s.rva(directory));
    pe_put_u32(b, optional + 116, static_cast<uint32_t>(export_size));
  }
  if (import_size) {
    pe_put_u32(b, optional + 120, s.rva(descriptors));
    pe_put_u32(b, optional + 124, static_cast<uint32_t>(import_size));
  }
  uint32_t section = optional + BUILD_OPTIONAL_BYTES;
  const char name[8] = {'.', 'r', 'd', 'a', 't', 'a', 0, 0};
  for (uint32_t i = 0; i < 8; i++) b[section + i] = static_cast<uint8_t>(name[i]);
  pe_put_u32(b, section + 8, static_cast<uint32_t>(s.data.size()));
  pe_put_u32(b, section + 12, BUILD_SECTION_RVA);
  pe_put_u32(b, section + 16, static_cast<uint32_t>(s.data.size()));
  pe_put_u32(b, section + 20, BUILD_HEADERS_BYTES);
  b.insert(b.end(), s.data.begin(), s.data.end());

  built.nt_offset = BUILD_NT_OFFSET;
  built.optional_offset = optional;
  built.section_table_offset = section;
  built.section_rva = BUILD_SECTION_RVA;
  built.section_raw_offset = BUILD_HEADERS_BYTES;
  built.import_directory_rva = import_size ? s.rva(descriptors) : 0;
  built.export_directory_rva = export_size ? s.rva(directory) : 0;
  return built;
}

std::vector<uint8_t> pe_map_image(const Pe_Built &built) {
  std::vector<uint8_t> image(built.section_rva, 0);
  std::copy(built.bytes.begin(), built.bytes.begin() + built.section_raw_offset, image.begin());
  image.insert(image.end(), built.bytes.begin() + built.section_raw_offset, built.bytes.end());
  return image;
}
