#include "tests/foundation/AllocationCounter.h"

#include <windows.h>

#include <new>
#include <stdlib.h>

namespace
{
    volatile LONG g_allocations = 0;
    volatile LONG g_frees = 0;

    void* CountedAllocate(size_t size)
    {
        void* block = malloc(size != 0 ? size : 1);
        if (block == NULL)
            throw std::bad_alloc();
        InterlockedIncrement(&g_allocations);
        return block;
    }

    void CountedFree(void* block)
    {
        if (block == NULL)
            return;
        InterlockedIncrement(&g_frees);
        free(block);
    }
}

void* operator new(size_t size) { return CountedAllocate(size); }
void* operator new[](size_t size) { return CountedAllocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    try
    {
        return CountedAllocate(size);
    }
    catch (...)
    {
        return NULL;
    }
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* block) noexcept { CountedFree(block); }
void operator delete[](void* block) noexcept { CountedFree(block); }
void operator delete(void* block, size_t) noexcept { CountedFree(block); }
void operator delete[](void* block, size_t) noexcept { CountedFree(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { CountedFree(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { CountedFree(block); }

CAllocationCounter::CAllocationCounter()
{
    Restart();
}

void CAllocationCounter::Restart()
{
    m_allocations = InterlockedCompareExchange(&g_allocations, 0, 0);
    m_frees = InterlockedCompareExchange(&g_frees, 0, 0);
}

long CAllocationCounter::Allocations() const
{
    return InterlockedCompareExchange(&g_allocations, 0, 0) - m_allocations;
}

long CAllocationCounter::Frees() const
{
    return InterlockedCompareExchange(&g_frees, 0, 0) - m_frees;
}
