// Fuzzes the PE reader on both layouts: any bytes must read without a fault or a read outside them,
// and what it reads must hold together (names found by the loader's search, bounded counts).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "tools/pe/pe.h"

namespace {

void fuzz_check(bool condition) {
  if (!condition) std::abort();
}

void fuzz_read(std::span<const uint8_t> bytes, Pe_Layout layout) {
  Pe_Read read = pe_read(bytes, layout);
  if (read.problem != Pe_Problem::none) {
    fuzz_check(read.file.imports.empty() && read.file.exports.empty());
    return;
  }
  const Pe_File &f = read.file;
  fuzz_check(f.imports.size() <= PE_MAX_IMPORT_DLLS && f.exports.size() <= PE_MAX_EXPORTS);
  size_t imports = 0;
  for (const Pe_Import_Dll &dll : f.imports) {
    imports += dll.functions.size();
    fuzz_check(dll.dll.size() <= PE_MAX_NAME_BYTES);
  }
  fuzz_check(imports <= PE_MAX_IMPORTS);
  fuzz_check(f.forwarders.size() <= f.ordinals.size());
  if (pe_exports_sorted(f)) {
    for (const Pe_Export &e : f.exports) fuzz_check(pe_find_export(f, e.name) != nullptr);
  }
  if (layout == Pe_Layout::image) fuzz_check(pe_image_size(bytes) == (f.magic == PE_MAGIC_PE32_PLUS ? f.size_of_image : 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  fuzz_read(bytes, Pe_Layout::file);
  fuzz_read(bytes, Pe_Layout::image);
  return 0;
}
