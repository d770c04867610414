// Counts every operator new of the program that links this (tests and benchmarks only), so that a
// test can show that a stretch of code allocates nothing from the heap.
#pragma once
#include <cstddef>

size_t heap_new_count();
