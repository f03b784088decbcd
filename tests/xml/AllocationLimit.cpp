#include "tests/xml/AllocationLimit.h"

#include <stdlib.h>

#include <new>

namespace
{
    size_t g_largest = 0;
    int g_refusals = 0;
}

// Blocks come from malloc, as the runtime's own operator new takes them, so
// its operator delete (and the recorder's) frees them unchanged.
void* operator new(size_t size)
{
    if (g_largest != 0 && size > g_largest)
    {
        ++g_refusals;
        throw std::bad_alloc();
    }
    void* block = malloc(size != 0 ? size : 1);
    if (block == 0)
        throw std::bad_alloc();
    return block;
}

void* operator new[](size_t size)
{
    return ::operator new(size);
}

CAllocationLimit::CAllocationLimit(size_t largest)
{
    g_largest = largest;
    g_refusals = 0;
}

CAllocationLimit::~CAllocationLimit()
{
    g_largest = 0;
}

int CAllocationLimit::GetRefusals()
{
    return g_refusals;
}
