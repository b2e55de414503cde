// The counting malloc family: every entry point the process resolves to this executable, forwarded
// to glibc's own implementation, with a per-thread count of the allocations.
#include "alloc_counter.h"

#include <cerrno>
#include <cstddef>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* pointer);
}

namespace {
// Constant-initialised thread-local storage in the executable: reading it never allocates.
thread_local uint64_t tAllocations = 0;
}  // namespace

uint64_t threadAllocationCount() {
    return tAllocations;
}

extern "C" {

void* malloc(size_t size) {
    ++tAllocations;
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
    ++tAllocations;
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size) {
    ++tAllocations;
    return __libc_realloc(pointer, size);
}

void free(void* pointer) {
    __libc_free(pointer);
}

void* memalign(size_t alignment, size_t size) {
    ++tAllocations;
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
    ++tAllocations;
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) {
    // The alignment must be a power of two and a multiple of the pointer size.
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    ++tAllocations;
    void* p = __libc_memalign(alignment, size);
    if (!p && size)
        return ENOMEM;
    *out = p;
    return 0;
}

}  // extern "C"
