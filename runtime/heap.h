// Blocks of the process heap, for the frame scratch and whole-file reads: the only heap use of the
// module besides the INI data of a reload attempt.
#pragma once
#include <cstddef>

// Null when the heap is exhausted.
void *heap_alloc(size_t size) noexcept;
// Accepts null.
void heap_free(void *block) noexcept;
