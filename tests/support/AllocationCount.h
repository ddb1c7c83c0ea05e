// Counts every operator new while `counting` is set, for the tests that
// prove a path allocates nothing. It replaces the global allocator, so a
// test binary includes it in one file only.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

namespace quorvel::test_support {
inline std::atomic<bool> counting{false};
inline std::atomic<long> allocations{0};
}  // namespace quorvel::test_support

void* operator new(std::size_t size)
{
    using namespace quorvel::test_support;
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
