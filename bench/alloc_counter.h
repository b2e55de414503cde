// Counts the heap allocations made by the calling thread: this program's malloc family forwards
// to glibc and counts, so operator new, C libraries and drivers called on this thread all count.
#pragma once

#include <cstdint>

// Allocations (malloc, calloc, realloc, the aligned ones; operator new through them) made by the
// calling thread since it started.
uint64_t threadAllocationCount();
