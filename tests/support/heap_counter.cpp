// The counting operator new; see heap_counter.h. In a file of its own so that no caller sees
// (and inlines) the replacement.
#include "tests/support/heap_counter.h"

#include <cstdlib>
#include <new>

namespace {

size_t heap_news;

}  // namespace

size_t heap_new_count() { return heap_news; }

void *operator new(size_t size) {
  heap_news++;
  if (void *p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, size_t) noexcept { std::free(p); }
