#include "tests/xml/FreeRecorder.h"

#include <stdlib.h>

#include <algorithm>
#include <new>

namespace
{
    const size_t Capacity = 1 << 16;
    const void* g_freed[Capacity];
    size_t g_count = 0;
    bool g_recording = false;

    void Note(void* block)
    {
        if (g_recording && block != 0 && g_count < Capacity)
            g_freed[g_count++] = block;
    }
}

// The runtime's operator new takes its blocks from malloc, so these only add
// the note to what the runtime's own operator delete does.
void operator delete(void* block) noexcept
{
    Note(block);
    free(block);
}

void operator delete(void* block, size_t) noexcept
{
    Note(block);
    free(block);
}

void operator delete[](void* block) noexcept
{
    Note(block);
    free(block);
}

void operator delete[](void* block, size_t) noexcept
{
    Note(block);
    free(block);
}

CFreeRecorder::CFreeRecorder()
{
    g_count = 0;
    g_recording = true;
}

CFreeRecorder::~CFreeRecorder()
{
    g_recording = false;
}

std::vector<const void*> CFreeRecorder::FreedAmong(const std::vector<const void*>& addresses) const
{
    bool recording = g_recording;
    g_recording = false;
    std::vector<const void*> result;
    for (size_t i = 0; i < g_count; ++i)
    {
        if (std::find(addresses.begin(), addresses.end(), g_freed[i]) != addresses.end())
            result.push_back(g_freed[i]);
    }
    g_recording = recording;
    return result;
}
