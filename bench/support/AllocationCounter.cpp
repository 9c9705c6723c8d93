#include "support/AllocationCounter.hpp"

#include <atomic>
#include <cstdlib>
#include <new>

#include <malloc.h>

namespace
{
std::atomic<std::uint64_t> g_allocations{0};
std::atomic<std::uint64_t> g_liveBytes{0};

void release(void* p) noexcept
{
    if (p != nullptr)
    {
        g_liveBytes.fetch_sub(malloc_usable_size(p), std::memory_order_relaxed);
        std::free(p);
    }
}
} // namespace

namespace QarnoBench
{

std::uint64_t allocationCount()
{
    return g_allocations.load(std::memory_order_relaxed);
}

double allocationsPer(std::uint64_t before, double count)
{
    return static_cast<double>(allocationCount() - before) / count;
}

std::uint64_t liveBytes()
{
    return g_liveBytes.load(std::memory_order_relaxed);
}

} // namespace QarnoBench

// Counting replacements of the global allocation functions; the aligned and
// array forms forward to these.
void* operator new(std::size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size))
    {
        g_liveBytes.fetch_add(malloc_usable_size(p), std::memory_order_relaxed);
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    release(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    release(p);
}
