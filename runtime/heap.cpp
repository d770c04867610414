// The heap; see heap.h. The C runtime's heap, which on Windows (msvcrt, the UCRT) is the process heap.
#include "runtime/heap.h"

#include <cstdlib>

void *heap_alloc(size_t size) noexcept { return std::malloc(size ? size : 1); }

void heap_free(void *block) noexcept { std::free(block); }
