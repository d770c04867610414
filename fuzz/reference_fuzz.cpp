// Fuzzes the reader and the conversion against the reference (tests/reference): any bytes, read as
// the settings file and with no comments and no lowercasing, must give the same text, sections,
// verdict and line both ways. A difference stops the run with both readings printed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/fuzz_support.h"
#include "tests/reference/differential.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string bytes(reinterpret_cast<const char *>(data), size);
  for (const ref::Options &options : {ref::Options{";", true}, ref::Options{"", false}}) {
    std::string difference = differential_read(bytes, options);
    if (difference.empty()) continue;
    std::fprintf(stderr, "the module and the reference differ (options \"%s\", %d):\n%s", options.comment_prefix.c_str(),
                 options.lowercase_keys, difference.c_str());
    fuzz_check(false);
  }
  return 0;
}
