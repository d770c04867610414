// Builds small PE files in memory for the PE reader's tests and fuzz seeds: headers, one section
// holding an import directory and an export directory, laid out as a linker would.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct Pe_Builder_Dll {
  std::string dll;
  std::vector<std::string> functions;  // a name, or "#" and an ordinal
  // More than 1 makes a hostile file: the DLL's descriptor is written that many times, every copy
  // naming one table that serves as both lookup and bound table.
  uint32_t copies = 1;
};

struct Pe_Builder {
  uint16_t machine = 0x8664;
  uint16_t magic = 0x20B;
  uint16_t characteristics = 0x2022;  // executable image, large address aware, DLL
  std::string export_name = "Test.dll";
  uint32_t ordinal_base = 1;
  std::vector<std::string> exports;  // written into the name table in this order (sort them to be valid)
  std::map<std::string, std::string> forwards;  // exports that forward, to "Dll.Function"
  std::vector<Pe_Builder_Dll> imports;
};

// Where the builder put things, so that tests can damage them.
struct Pe_Built {
  std::vector<uint8_t> bytes;
  uint32_t nt_offset;           // "PE\0\0"
  uint32_t optional_offset;
  uint32_t section_table_offset;
  uint32_t section_rva;         // the one section's RVA ...
  uint32_t section_raw_offset;  // ... and where its data starts in the file
  uint32_t import_directory_rva;
  uint32_t export_directory_rva;
  std::vector<uint32_t> slot_rvas;  // the bound-table slot of each import, in order
};

Pe_Built pe_build(const Pe_Builder &plan);

// The same image as the loader maps it: section data at its RVA.
std::vector<uint8_t> pe_map_image(const Pe_Built &built);

void pe_put_u16(std::vector<uint8_t> &bytes, uint32_t offset, uint16_t value);
void pe_put_u32(std::vector<uint8_t> &bytes, uint32_t offset, uint32_t value);
