// Counts the bytes that a stretch of code asks the heap for on the calling
// thread (through malloc, calloc, realloc or operator new, in our code and in
// the libraries it calls), so that a test can hold a loader to what a hostile
// file may cost. The normal build replaces the C library's allocation entry
// points in the test program and forwards to the library's own; the
// sanitizer build, whose runtime owns those entry points, installs the
// sanitizer's allocation hooks instead.
//
// One source file of a test program defines QNDX_ALLOCATION_COUNTER_DEFINE
// before including this header; the others include it plainly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace qndx_test {

class AllocationCounter {
public:
    // Counts from here until destruction (one counter at a time per thread).
    AllocationCounter();
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    // Total bytes asked for so far, and the largest single request.
    uint64_t Bytes() const;
    uint64_t Largest() const;
};

}  // namespace qndx_test

#ifdef QNDX_ALLOCATION_COUNTER_DEFINE

#if defined(__SANITIZE_ADDRESS__)
#define QNDX_COUNT_WITH_SANITIZER_HOOKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QNDX_COUNT_WITH_SANITIZER_HOOKS 1
#endif
#endif

namespace qndx_test {
namespace allocation_detail {

// Plain thread-locals of the program itself: reading them never allocates.
__thread int t_counting;
__thread uint64_t t_bytes;
__thread uint64_t t_largest;

inline void Note(size_t size) {
    if (!t_counting) return;
    t_bytes += size;
    if (size > t_largest) t_largest = size;
}

}  // namespace allocation_detail

AllocationCounter::AllocationCounter() {
    allocation_detail::t_bytes = 0;
    allocation_detail::t_largest = 0;
    allocation_detail::t_counting = 1;
}

AllocationCounter::~AllocationCounter() { allocation_detail::t_counting = 0; }

uint64_t AllocationCounter::Bytes() const { return allocation_detail::t_bytes; }

uint64_t AllocationCounter::Largest() const { return allocation_detail::t_largest; }

}  // namespace qndx_test

#ifdef QNDX_COUNT_WITH_SANITIZER_HOOKS

extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, size_t),
                                                        void (*free_hook)(const volatile void*));

namespace qndx_test {
namespace allocation_detail {

void OnMalloc(const volatile void*, size_t size) { Note(size); }
void OnFree(const volatile void*) {}

const int kHooksInstalled = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);

}  // namespace allocation_detail
}  // namespace qndx_test

#else

// The C library's own allocator, under the names it exports for programs
// that replace malloc.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
}

extern "C" void* malloc(size_t size) noexcept {
    qndx_test::allocation_detail::Note(size);
    return __libc_malloc(size);
}

extern "C" void* calloc(size_t count, size_t size) noexcept {
    size_t total = 0;
    if (!__builtin_mul_overflow(count, size, &total)) qndx_test::allocation_detail::Note(total);
    return __libc_calloc(count, size);
}

extern "C" void* realloc(void* block, size_t size) noexcept {
    qndx_test::allocation_detail::Note(size);
    return __libc_realloc(block, size);
}

extern "C" void free(void* block) noexcept { __libc_free(block); }

#endif  // QNDX_COUNT_WITH_SANITIZER_HOOKS

#endif  // QNDX_ALLOCATION_COUNTER_DEFINE
