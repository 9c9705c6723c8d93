#include "support/AllocationCounter.hpp"

#include <atomic>
#include <cstdlib>
#include <new>

namespace
{
std::atomic<std::uint64_t> g_allocations{0};
} // namespace

namespace QarnoBench
{

std::uint64_t allocationCount()
{
    return g_allocations.load(std::memory_order_relaxed);
}

} // namespace QarnoBench

// Counting replacements of the global allocation functions; the aligned and
// array forms forward to these.
void* operator new(std::size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size))
    {
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
